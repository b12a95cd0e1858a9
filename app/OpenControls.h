// skorel-open's controls beyond the viewer's: pictures and turning movies,
// settings files, the clipping plane and the opacity correction, from keys,
// the mouse wheel and the command line.
#pragma once
#include "commands/Settings.h"

#include <string>

struct ViewOptions {
    std::string screenshot, movie, settings; // empty: not asked for
    int frames = 72;                         // of a movie's full turn
    int size[2] = {0, 0};                    // of the pictures; 0: the window's 640 x 480
    bool overlay = false;                    // batch pictures show cube, letters and panel
    bool viewGiven = false;
    float view[2] = {0, 0}; // azimuth and elevation, degrees from the front view
    float zoom = 0;         // 0: the settings' distance
};

// The options that take a value, besides the data options.
bool isViewOption(const std::string& arg);
// Reads one of them; false with what a good value is in wants.
bool readViewOption(const std::string& arg, const std::string& value, ViewOptions& options,
                    std::string& wants);

// Reads a settings file into look; a file that cannot be read or holds a bad
// line gives one line on standard error and leaves look alone.
void readSettingsFile(const std::string& path, Look& look);

// Before the window opens: a batch run asks no question.
void prepareWindow(const ViewOptions& options);
// Once the viewer has its panel and texture: applies look, then the options,
// and takes over keys, mouse and frames. Pictures are named after dataPath.
void startOpenControls(const ViewOptions& options, const Look& look, const std::string& dataPath);
