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
    // GLUT's clock wraps after 2^31 ms (24.8 days): differences are taken
    // modulo 2^32 so that the counter keeps running across the wrap.
    frameMs = int32_t(uint32_t(now) - uint32_t(prev));
    lastUpdateMs = now;
    // The period closes on the previous update, measured from the sample time
    // as it is kept (a float); exact in double, and positive across a wrap.
    double sinceSample = double(float(prev)) - double(lastSampleMs);
    if (sinceSample < 0.0) sinceSample += 4294967296.0;
    if (sinceSample > 1000.0) {
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
