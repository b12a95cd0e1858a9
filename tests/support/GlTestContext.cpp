#include "GlTestContext.h"
#include "Viewer.h"

#include <GL/freeglut.h>
#include <cstdlib>

namespace {
XServer* glServer = nullptr;
}

void ensureGlContext() {
    if (glServer) return;
    glServer = new XServer(); // lives until the process ends
    setenv("DISPLAY", glServer->display.c_str(), 1);
    int argc = 1;
    char name[] = "skorel-tests";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(256, 256);
    glutCreateWindow("skorel-tests");
}

std::vector<unsigned char> readPixels(int width, int height) {
    std::vector<unsigned char> pixels(size_t(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}
