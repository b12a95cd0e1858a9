// The program's objects as start-up leaves them, over the default data set,
// in a real GL context: for tests that drive the callbacks directly.
#pragma once
#include "GlTestContext.h"
#include "app/Application.h"
#include "app/ExtensionProbe.h"
#include "platform/Extensions.h"
#include "gui/ControlPanel.h"
#include "render/Navigation.h"
#include "render/ViewState.h"
#include "volume/Volume.h"

inline void setUpViewer() {
    static bool probed = false;
    ensureGlContext();
    if (!probed) {
        probeExtensions();
        volume = new Volume();
        volume->load("data/neghip.raw", 64, 64, 64, true);
        probed = true;
    }
    viewState = ViewState();
    for (int axis = 0; axis < 3; ++axis)
        viewState.textureScale[axis] = volume->scale()[axis] * 0.5f;
    mouseState = new MouseState();
    buildControlPanel();
    buildInitialTexture();
}
