// The look of a view as a small text file that a person can read and edit:
// one "key = values" line per setting, '#' starts a comment line. Pure
// functions over plain data; skorel-open reads and writes the files.
#pragma once
#include "render/ClipPlane.h"
#include "render/FrameSettings.h"
#include "tf/TransferFunction.h"

#include <string>
#include <vector>

struct Look {
    TransferFunction transfer;
    BlendOperator blendOperator = BlendOperator::over;
    float density = 0.1f, intensity = 0.2f;
    int sliceCount = 80;
    bool linearFilter = true;
    bool windowGiven = false; // else the window comes from the data
    double window[2] = {0, 255};
    bool rotationGiven = false; // else the start-up view's (data may come tilted)
    float rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1}; // column-major, the view's turn
    float distance = -4.4f;                          // eye-space z of the centre, -19 to -1
    ClipPlane clip;
    bool opacityCorrection = true;
};

// Every setting, one per line, numbers written so that they read back exactly.
std::string formatLook(const Look& look);

// Reads text as formatLook writes it; keys may be missing (they keep look's
// values) or in any order, and later lines win. False, with look untouched,
// at the first bad line: error says "line N: " and what is wrong. Unknown keys
// are skipped with "line N: unknown key 'K' skipped" added to warnings.
bool parseLook(const std::string& text, Look& look, std::string& error,
               std::vector<std::string>& warnings);
