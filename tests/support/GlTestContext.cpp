#include "GlTestContext.h"
#include "Viewer.h"
#include "app/Application.h"
#include "app/ExtensionProbe.h"
#include "render/Navigation.h"
#include "render/ViewState.h"

#include <GL/freeglut.h>
#include <cstdlib>

void ensureGlContext() {
    static XServer* server = nullptr; // lives until the process ends
    if (server) return;
    server = new XServer();
    setenv("DISPLAY", server->display.c_str(), 1);
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
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

void setUpViewer() {
    ensureGlContext();
    if (!volume) {
        probeExtensions();
        volume = new Volume();
        volume->load("data/neghip.raw", 64, 64, 64, true);
    }
    viewState = ViewState();
    for (int axis = 0; axis < 3; ++axis)
        viewState.textureScale[axis] = volume->scale()[axis] * 0.5f;
    mouseState = new MouseState();
    buildControlPanel();
    buildInitialTexture();
}
