#include "render/FrameCounter.h"

#include <GL/freeglut.h>

FrameCounter* frameCounter = nullptr;

int glutElapsedTime() {
    return glutGet(GLUT_ELAPSED_TIME);
}

FrameCounter::FrameCounter(Clock clock) : clock(clock), startMs(clock()) {}

int FrameCounter::update() {
    if (!updated) {
        lastUpdateMs = startMs;
        updated = true;
    }
    const int32_t now = clock();
    const int32_t prev = lastUpdateMs;
    ++framesSinceSample;
    frameMs = now - prev;
    lastUpdateMs = now;
    // The period closes on the previous update, compared in float as the
    // sample time is kept.
    if (float(prev) - lastSampleMs > 1000.0f) {
        lastSampleMs = float(prev);
        rate = framesSinceSample;
        framesSinceSample = 0;
    }
    return rate;
}

void idle() {
    if (frameCounter) frameCounter->update();
    glutPostRedisplay();
}
