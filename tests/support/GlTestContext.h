// A real GL context for tests: a private Xvfb server and one 256 x 256 GLUT
// window, made once per process.
#pragma once
#include <GL/gl.h>
#include <vector>

void ensureGlContext();
// Width x height RGBA pixels of the back buffer, rows bottom to top.
std::vector<unsigned char> readPixels(int width, int height);
// The program's objects as start-up leaves them over the default data set,
// made afresh, for tests that drive the callbacks directly.
void setUpViewer();
