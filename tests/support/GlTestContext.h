// A real GL context for tests: a private Xvfb server and one GLUT window.
#pragma once
#include <GL/gl.h>
#include <vector>

// Starts the server and window once per process and makes the context current.
void ensureGlContext();

// Width x height RGBA pixels of the back buffer, rows bottom to top.
std::vector<unsigned char> readPixels(int width, int height);
