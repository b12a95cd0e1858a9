// One frame: the slice stack through the volume texture, then the overlay.
#include "render/Renderer.h"

#include "gui/ControlPanel.h"
#include "platform/Extensions.h"
#include "platform/PalettedTexture.h"
#include "render/BrickedVolume.h"
#include "render/FrameCounter.h"
#include "render/FrameSettings.h"
#include "render/SliceClip.h"
#include "render/ViewState.h"
#include "render/VolumeTexture.h"

#include <GL/freeglut.h>
#include <GL/glext.h>
#include <cstdio>
#include <cstdlib>
#include <utility>

void (*beforeSwap)() = nullptr;

void inverseRotation(const float modelView[16], float m[16]) {
    for (int i = 0; i < 16; ++i)
        m[i] = modelView[i];
    std::swap(m[1], m[4]);
    std::swap(m[2], m[8]);
    std::swap(m[6], m[9]);
    m[12] = m[13] = m[14] = 0.0f;
}

namespace {

// The equation goes back to addition only where the driver can change it.
void setBlending(const FrameSettings& s) {
    if (extensions.hasBlendMinmax) extensions.glBlendEquationEXT(GL_FUNC_ADD_EXT);
    glBlendFunc(s.blendSource, s.blendDestination);
    if (s.usesBlendColor) extensions.glBlendColorEXT(1, 1, 1, s.constantAlpha);
    if (s.blendEquation != GL_FUNC_ADD_EXT) extensions.glBlendEquationEXT(s.blendEquation);
    glEnable(GL_BLEND);
}

// The window's projection as reshape left it; no cutting until it is known.
float projection[16];
int viewportWidth = 0, viewportHeight = 0;

// Fragments outside sliceBox all fail the alpha test, so each slice is cut to
// the window rectangles of its parts that may hold visible bricks, one scissor
// per rectangle. Scissors, not smaller polygons: new vertices would
// interpolate texture coordinates with other rounding and move single pixels.
// wholeSlices turns the cutting off. `bricked`: each slice is drawn brick by brick.
void drawSlices(bool bricked) {
    const bool cut = !viewState.wholeSlices && !sliceBox.whole && viewportWidth > 0;
    if (cut && sliceBox.empty) return;
    const float* centre = viewState.textureCentre; // as setSliceTextureMatrix translates
    float polygon[maxSliceVertices][2];
    int spans[sliceTiles][4];
    if (cut) glEnable(GL_SCISSOR_TEST);
    if (bricked) beginBrickedSlices(viewState.filter, cut);
    for (int i = 0; i < viewState.sliceCount; ++i) {
        const float z = float(2.0 * i / (viewState.sliceCount - 1) - 1.0);
        if (bricked) {
            drawBrickedSlice(z, cut, projection, viewportWidth, viewportHeight);
            continue;
        }
        int count = 1;
        if (cut) {
            const int corners = slicePolygon(sliceBox, centre, viewState.textureScale,
                                             viewState.rotation, z, polygon);
            if (corners == 0) continue;
            int rect[4];
            const float eyeZ = z + viewState.distance;
            sliceScissor(polygon, corners, eyeZ, projection, viewportWidth, viewportHeight, rect);
            count = sliceSpans(sliceBox, centre, viewState.textureScale, viewState.rotation, z,
                               eyeZ, projection, viewportWidth, viewportHeight, rect, spans);
        }
        glPushMatrix();
        glTranslatef(0, 0, z);
        for (int s = 0; s < count; ++s) {
            if (cut) glScissor(spans[s][0], spans[s][1], spans[s][2], spans[s][3]);
            glBegin(GL_QUADS);
            glVertex3f(-1, -1, 0);
            glVertex3f(1, -1, 0);
            glVertex3f(1, 1, 0);
            glVertex3f(-1, 1, 0);
            glEnd();
        }
        glPopMatrix();
    }
    if (bricked) endBrickedSlices();
    if (cut) glDisable(GL_SCISSOR_TEST);
}

// The box is cut like the data; the polygon where the plane cuts it is drawn whole.
void drawClipOutline() {
    if (!viewState.clip.on) return;
    float corners[6][3];
    const int count = clipOutline(viewState.clip, viewState.boxScale, corners);
    glDisable(GL_CLIP_PLANE0);
    glBegin(GL_LINE_LOOP);
    for (int c = 0; c < count; ++c)
        glVertex3fv(corners[c]);
    glEnd();
}

void drawOverlay(ControlPanel& panel) {
    if (!viewState.showOverlay) {
        panel.setVisible(false);
        return;
    }
    panel.setVisible(true);
    glColor4f(0, 0, 0.7f, 1);
    if (viewState.outlineBox) {
        glPushMatrix();
        glScalef(viewState.boxScale[0], viewState.boxScale[1], viewState.boxScale[2]);
        glutWireCube(2.0);
        // Letters in white over the data, but none on faces turned well away:
        // those would sit behind it, the back one on top of the front one.
        const char* const* labels = viewState.faceLabels;
        const bool lettered =
            labels[0] || labels[1] || labels[2] || labels[3] || labels[4] || labels[5];
        if (lettered) glDisable(GL_DEPTH_TEST), glColor4f(1, 1, 1, 1);
        for (int face = 0; face < 6 && lettered; ++face) {
            const int axis = face / 2;
            const float side = face % 2 ? -1.0f : 1.0f;
            if (!labels[face] || side * viewState.rotation[4 * axis + 2] < -0.5f) continue;
            drawCentredText(axis == 0 ? side : 0, axis == 1 ? side : 0, axis == 2 ? side : 0,
                            labels[face]);
        }
        if (lettered) glEnable(GL_DEPTH_TEST), glColor4f(0, 0, 0.7f, 1);
        glPopMatrix();
        drawClipOutline();
    }
    glDisable(GL_CLIP_PLANE0); // it cuts the data and the box, never the panel
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    panel.fpsLabel->setText("%4d fps", frameCounter ? frameCounter->fps() : 0);
    panel.drawPanel(glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));
}

// SKOREL_EXIT_AFTER_FRAMES=n ends the program after its n-th swapped frame,
// with one line on standard output; start-up timing waits for that line.
void countFrameForExit() {
    static const int exitAfter = [] {
        const char* n = std::getenv("SKOREL_EXIT_AFTER_FRAMES");
        return n ? std::atoi(n) : 0;
    }();
    static int swapped = 0;
    if (exitAfter <= 0 || ++swapped < exitAfter) return;
    std::printf("Swapped frame %d\n", swapped);
    std::fflush(stdout);
    std::exit(0);
}

} // namespace

void noteProjection(int width, int height) {
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    viewportWidth = width;
    viewportHeight = height;
}

void setSliceTextureMatrix() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, viewState.distance);
    glMultMatrixf(viewState.rotation);
    // The model-view's rotation block and last row are rotation's own.
    float m[16];
    inverseRotation(viewState.rotation, m);

    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);

    glMatrixMode(GL_TEXTURE);
    glEnable(GL_TEXTURE_3D);
    glLoadIdentity();
    glTranslatef(viewState.textureCentre[0], viewState.textureCentre[1],
                 viewState.textureCentre[2]);
    glScalef(viewState.textureScale[0], viewState.textureScale[1], viewState.textureScale[2]);
    glMultMatrixf(m);
    glTranslatef(0, 0, -viewState.distance);
}

void display() {
    const FrameSettings settings =
        frameSettings(viewState.blendOperator, viewState.sliceCount, viewState.useTf,
                      viewState.density, viewState.intensity);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    setSliceTextureMatrix();
    if (viewState.clip.on) { // given under the volume's model-view: it turns with it
        double equation[4];
        clipEquation(viewState.clip, equation);
        glClipPlane(GL_CLIP_PLANE0, equation);
        glEnable(GL_CLIP_PLANE0);
    }

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    // Eye planes given under an identity model-view are stored unchanged.
    const float planeS[] = {1, 0, 0, 0}, planeT[] = {0, 1, 0, 0}, planeR[] = {0, 0, 1, 0};
    glTexGenfv(GL_S, GL_EYE_PLANE, planeS);
    glTexGenfv(GL_T, GL_EYE_PLANE, planeT);
    glTexGenfv(GL_R, GL_EYE_PLANE, planeR);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_R);

    glColor4f(1, 1, 1, viewState.intensity);
    // A drag draws from the volume's smaller copy where there is one, a
    // single texture even for bricks: the samples of a large texture miss
    // the caches. The copy shares the palette of paletteTexture.
    const GLuint dragCopy = viewState.coarse ? dragCopyTexture() : 0;
    glBindTexture(GL_TEXTURE_3D, dragCopy ? dragCopy : volumeTexture);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GLint(viewState.filter));
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GLint(viewState.filter));

    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, settings.alphaReference);
    setBlending(settings);

    glTranslatef(0, 0, viewState.distance);
    beginPalettedLookup(paletteTexture());
    drawSlices(volumeTexturesSplit() && !dragCopy);
    endPalettedLookup();

    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_3D);
    glPopMatrix();
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);

    drawOverlay(*controlPanel);
    glDisable(GL_CLIP_PLANE0);
    glFlush();
    if (beforeSwap) beforeSwap();
    glutSwapBuffers();
    countFrameForExit();
}
