// A GL context for tests: a private Xvfb and one 256 x 256 window per process.
#pragma once
#include "platform/Extensions.h"

#include <GL/gl.h>
#include <vector>

void ensureGlContext();
// Width x height RGBA pixels of the back buffer, rows bottom to top.
std::vector<unsigned char> readPixels(int width, int height);
// The program's objects made afresh as start-up leaves them on the default data.
void setUpViewer();
// A driver that accepts every 3D size and then stores nothing; other targets
// go on to driverUpload, which the test sets to the real entry point.
extern TexImage3DProc driverUpload;
void APIENTRY storeNothing(GLenum target, GLint level, GLenum internalFormat, GLsizei w, GLsizei h,
                           GLsizei d, GLint border, GLenum format, GLenum type, const GLvoid* p);
