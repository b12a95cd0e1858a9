// How the volume is seen: program-wide values read by every frame and written
// by the navigation, the commands and start-up.
#pragma once
#include "render/ClipPlane.h"
#include "render/FrameSettings.h"

#include <GL/gl.h>

struct ViewState {
    float distance = -4.4f; // eye-space z of the volume's centre; never above -1
    int sliceCount = 80;    // squares drawn; 10 to 200 through keys and commands
    float intensity = 0.2f; // alpha of the slices' colour, 0 to 1
    float density = 0.1f;   // alpha-test threshold as a fraction of intensity, 0 to 1
    float textureScale[3] = {1.0f, 1.0f, 1.0f}; // per-axis texture-coordinate scale (s, t, r)
    GLenum filter = GL_LINEAR;                  // GL_LINEAR or GL_NEAREST
    bool showOverlay = true;                    // outline cube, frame rate and panel
    bool wholeSlices = false;                   // full squares, not cut to the visible bricks
    bool coarse = false; // a drag: drawn from the volume's smaller copy where there is one
    // The panel's choices, written by its commands: the frame reads no widget.
    BlendOperator blendOperator = BlendOperator::over;
    bool useTf = true;      // coloured through the transfer function, else grey alpha
    bool outlineBox = true; // the panel is open on a page
    bool editing = false;   // a left drag moves the transfer function, not the volume
    float rotation[16] = {1, 0, 0, 0, 0, 1, 0, 0,
                          0, 0, 1, 0, 0, 0, 0, 1}; // column-major, pure rotation

    // Where the data sit: the texture coordinate the trackball turns about, and
    // the outline box's half-sizes (the default cube fills the padded block).
    float textureCentre[3] = {0.5f, 0.5f, 0.5f};
    float boxScale[3] = {1.0f, 1.0f, 1.0f};
    // Letters drawn at the middle of the box's +x, -x, +y, -y, +z and -z faces;
    // null draws none (skorel draws none at all).
    const char* faceLabels[6] = {};
    ClipPlane clip; // off unless skorel-open's keys or settings turn it on
};

extern ViewState viewState;
