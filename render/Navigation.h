// Pointer input: every event goes to the control panel first, then a left
// drag turns the volume (trackball) and a right drag moves it nearer or farther.
#pragma once

struct MouseState {
    int x = 0, y = 0; // last pointer position, GLUT window coordinates (y down)
    bool rotating = false;
    bool zooming = false;
};

extern MouseState* mouseState; // created by start-up

// Point on the unit sphere for window position (x, y), y down: the centre
// maps to (0, 0, 1), everything on or outside the inscribed circle to z = 0.
void trackballProject(int x, int y, int width, int height, float point[3]);

// Applies the turn that carries trackball point `from` to `to` after the
// accumulated rotation (column-major): axis from x to, 90 degrees per unit of
// chord. Coincident points leave the rotation unchanged.
void rotateByTrackball(const float from[3], const float to[3], float rotation[16]);

// Slices drawn while turning: two thirds of the saved count, at least 10.
int rotatingSliceCount(int savedSliceCount);

void mouse(int button, int state, int x, int y);
void motion(int x, int y);
void passiveMotion(int x, int y);
