// Widget base: bitmap text, filled rectangles and the overlay projection.
#include "gui/Widget.h"

#include <GL/freeglut.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>

void drawText(int x, int y, const char* format, ...) {
    if (!format) return;
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    glRasterPos2i(x, y);
    for (const char* c = buffer; *c; ++c)
        glutBitmapCharacter(GLUT_BITMAP_8_BY_13, *c);
}

void drawCentredText(float x, float y, float z, const char* text) {
    glRasterPos3f(x, y, z);
    // A null bitmap only moves the raster position: half the text to the left
    // and half a capital's height down.
    glBitmap(0, 0, 0, 0, -4.0f * float(std::strlen(text)), -4.0f, nullptr);
    for (const char* c = text; *c; ++c)
        glutBitmapCharacter(GLUT_BITMAP_8_BY_13, *c);
}

void fillRect(int x0, int y0, int x1, int y1) {
    glBegin(GL_QUADS);
    glVertex2i(x0, y0);
    glVertex2i(x1, y0);
    glVertex2i(x1, y1);
    glVertex2i(x0, y1);
    glEnd();
}

void Panel::beginOverlay(int width, int height) {
    glBindTexture(GL_TEXTURE_2D, 0);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
}

void Panel::endOverlay() {
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
