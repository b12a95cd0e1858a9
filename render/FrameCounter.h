// Frames per second for the overlay, counted by the GLUT idle callback.
#pragma once
#include <cstdint>

// Milliseconds since glutInit, from GLUT.
int glutElapsedTime();

class FrameCounter {
  public:
    typedef int (*Clock)(); // elapsed milliseconds

    explicit FrameCounter(Clock clock = glutElapsedTime);

    // Counts one frame; returns fps().
    int update();
    // Updates counted in the last completed period of a little over a second.
    int fps() const { return rate; }

    int32_t startTime() const { return startMs; }
    int32_t frameTime() const { return frameMs; } // between the two latest updates
    float lastSampleTime() const { return lastSampleMs; }

  private:
    Clock clock;
    int32_t startMs;
    int32_t frameMs = 0;
    int32_t rate = 0;
    // Sampling state; lastUpdateMs starts at startMs on the first update.
    bool updated = false;
    int32_t lastUpdateMs = 0;
    float lastSampleMs = 0.0f;
    int32_t framesSinceSample = 0;
};

// The program's counter, created at start-up; may be null before that.
extern FrameCounter* frameCounter;

// GLUT idle callback: counts a frame and asks for the next one.
void idle();
