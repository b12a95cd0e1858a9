#include "render/Navigation.h"

#include "gui/ControlPanel.h"
#include "render/ViewState.h"

#include <GL/freeglut.h>
#include <algorithm>
#include <cmath>

MouseState* mouseState = nullptr;

namespace {

float lastTrackballPoint[3] = {0, 0, 0};
int savedSliceCount = 0;
GLenum savedFilter = 0;

int windowWidth() {
    return glutGet(GLUT_WINDOW_WIDTH);
}
int windowHeight() {
    return glutGet(GLUT_WINDOW_HEIGHT);
}

} // namespace

void trackballProject(int x, int y, int width, int height, float point[3]) {
    // A minimised window can report no area; the turn must stay finite.
    width = std::max(width, 1);
    height = std::max(height, 1);
    const float px = float(2 * x - width) / float(width);
    const float py = float(height - 2 * y) / float(height);
    float d = std::sqrt(px * px + py * py);
    if (d >= 1.0f) d = 1.0f;
    const float pz = std::cos(d * 1.5707964f);
    const float length = std::sqrt(px * px + py * py + pz * pz);
    point[0] = px / length, point[1] = py / length, point[2] = pz / length;
}

void rotateByTrackball(const float from[3], const float to[3], float rotation[16]) {
    const float delta[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
    float axis[3] = {from[1] * to[2] - from[2] * to[1], from[2] * to[0] - from[0] * to[2],
                     from[0] * to[1] - from[1] * to[0]};
    const float axisLength = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    if (axisLength == 0.0f) return; // no axis to turn about
    for (float& a : axis)
        a /= axisLength;
    const float degrees =
        90.0f * std::sqrt(delta[0] * delta[0] + delta[1] * delta[1] + delta[2] * delta[2]);

    // The turn as glRotatef builds it, column-major.
    const float radians = degrees * float(M_PI / 180.0);
    const float c = std::cos(radians), s = std::sin(radians), t = 1.0f - c;
    const float x = axis[0], y = axis[1], z = axis[2];
    const float turn[16] = {t * x * x + c,
                            t * x * y + s * z,
                            t * x * z - s * y,
                            0,
                            t * x * y - s * z,
                            t * y * y + c,
                            t * y * z + s * x,
                            0,
                            t * x * z + s * y,
                            t * y * z - s * x,
                            t * z * z + c,
                            0,
                            0,
                            0,
                            0,
                            1};
    // rotation = turn x rotation: about an axis fixed to the screen.
    float product[16];
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += turn[k * 4 + row] * rotation[col * 4 + k];
            product[col * 4 + row] = sum;
        }
    std::copy(product, product + 16, rotation);
}

int rotatingSliceCount(int saved) {
    return std::max(2 * saved / 3, 10);
}

void mouse(int button, int state, int x, int y) {
    controlPanel->onMouse(button, state, x, windowHeight() - y);
    if (button == GLUT_LEFT_BUTTON) {
        if (state == GLUT_DOWN) {
            mouseState->rotating = true;
            trackballProject(x, y, windowWidth(), windowHeight(), lastTrackballPoint);
            savedSliceCount = viewState.sliceCount;
            savedFilter = viewState.filter;
        } else if (mouseState->rotating) {
            // Only a release that ends a rotation restores: before any press
            // the saved values are not a valid slice count and filter.
            mouseState->rotating = false;
            viewState.sliceCount = savedSliceCount;
            viewState.filter = savedFilter;
            viewState.coarse = false;
        }
    } else if (button == GLUT_RIGHT_BUTTON) {
        mouseState->zooming = state == GLUT_DOWN;
    }
    mouseState->x = x, mouseState->y = y;
    glutPostRedisplay();
}

void motion(int x, int y) {
    const int height = windowHeight();
    if (mouseState->rotating) {
        controlPanel->onMotion(GLUT_LEFT_BUTTON, mouseState->x, height - mouseState->y, x,
                               height - y);
        if (!viewState.editing) {
            float point[3];
            trackballProject(x, y, windowWidth(), height, point);
            rotateByTrackball(lastTrackballPoint, point, viewState.rotation);
            std::copy(point, point + 3, lastTrackballPoint);
            viewState.sliceCount = rotatingSliceCount(savedSliceCount);
            viewState.filter = GL_NEAREST;
            viewState.coarse = true;
        }
        mouseState->x = x, mouseState->y = y;
        glutPostRedisplay();
    }
    if (mouseState->zooming) {
        controlPanel->onMotion(GLUT_RIGHT_BUTTON, mouseState->x, height - mouseState->y, x,
                               height - y);
        viewState.distance = float(double(viewState.distance) + (y - mouseState->y) * 0.05);
        if (viewState.distance > -1.0f) viewState.distance = -1.0f;
        mouseState->y = y;
        glutPostRedisplay();
    }
}

void passiveMotion(int x, int y) {
    controlPanel->onPassiveMotion(x, windowHeight() - y);
    mouseState->x = x, mouseState->y = y;
}
