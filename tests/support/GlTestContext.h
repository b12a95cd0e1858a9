// A GL context for tests: a private Xvfb and one 256 x 256 window per process.
#pragma once
#include <GL/gl.h>
#include <vector>

void ensureGlContext();
// Width x height RGBA pixels of the back buffer, rows bottom to top.
std::vector<unsigned char> readPixels(int width, int height);
// The program's objects made afresh as start-up leaves them on the default data.
void setUpViewer();
