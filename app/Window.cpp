#include "app/Window.h"

#include "commands/Commands.h"
#include "platform/Platform.h"
#include "render/FrameCounter.h"
#include "render/Navigation.h"
#include "render/Renderer.h"

#include <GL/freeglut.h>
#include <GL/glu.h>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

bool fullScreen = false;

namespace {

// SKOREL_FULLSCREEN=yes or no answers the question without showing it.
bool wantFullScreen() {
    const char* answer = std::getenv("SKOREL_FULLSCREEN");
    if (answer && strcasecmp(answer, "yes") == 0) return true;
    if (answer && strcasecmp(answer, "no") == 0) return false;
    return askYesNo("Start FullScreen?", "Click Yes to go to full screen (Recommended)");
}

} // namespace

void askFullScreen() {
    fullScreen = wantFullScreen();
    if (!fullScreen) return;
    char mode[16];
    std::snprintf(mode, sizeof mode, "%dx%d:%d", 800, 600, 16);
    glutGameModeString(mode);
    if (glutGameModeGet(GLUT_GAME_MODE_POSSIBLE)) {
        glutEnterGameMode();
        return;
    }
    fullScreen = false;
    std::printf("Error Fullscreen Mode !\n");
}

void initWindow() {
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    askFullScreen();
    if (!fullScreen) {
        glutInitWindowSize(640, 480);
        glutInitWindowPosition(100, 100);
        glutCreateWindow("Skorel");
    }
    glutSetKeyRepeat(GLUT_KEY_REPEAT_ON);
    glutIgnoreKeyRepeat(0);

    glutDisplayFunc(display);
    glutIdleFunc(idle);
    glutReshapeFunc(reshape);
    glutKeyboardFunc(keyboard);
    glutSpecialFunc(specialKey);
    glutMouseFunc(mouse);
    glutMotionFunc(motion);
    glutPassiveMotionFunc(passiveMotion);
}

void initGLState() {
    const GLenum names[] = {GL_VENDOR, GL_RENDERER, GL_VERSION};
    for (GLenum name : names) {
        const GLubyte* text = glGetString(name);
        std::printf("%s\n", text ? reinterpret_cast<const char*>(text) : "");
    }
    glClearColor(0, 0, 0, 0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
}

void reshape(int width, int height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(width) / double(height), double(0.1f), 20.0);
    noteProjection(width, height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void specialKey(int, int, int) {}
