// Entry point, command line, start-up sequence and the orderly exit.
#pragma once
#include <string>

extern const char* const usageLine;

// What the command line asks for: no arguments mean the default data set.
struct CommandLine {
    std::string fileName = "data/neghip.raw";
    int width = 64, height = 64, depth = 64;
    bool eightBit = true;
};

// False when the argument count (program name included) is neither 1 nor 6.
// Numbers are read as atoi reads them (words that are not numbers give 0),
// but values past the range of int saturate rather than wrap.
bool parseCommandLine(int argc, const char* const* argv, CommandLine& out);

// Empty when the sizes can be loaded into a texture of at most maxTextureSize
// texels per axis; otherwise the one-line reason, without a line end.
std::string sizeProblem(const CommandLine& line, int maxTextureSize);

// One warning on standard error per axis of at most 2 voxels: the padding
// makes such an axis all transparent border.
void warnBorderAxes(const int sizes[3]);

// The whole program: returns only if GLUT's main loop does.
int runSkorel(int argc, char** argv);

void initApplication(int argc, char** argv);

// The same viewer on a volume its caller prepares: windowOpen runs once the
// window and GL context exist, before anything else can end the program (or
// before GLUT ends it for an error); prepareVolume then (it may ask the
// driver's limits) sets `volume` and the view's geometry; started, where
// given, runs once the panel and the texture are built. Returns only if GLUT's
// main loop does.
int runViewer(int argc, char** argv, void (*windowOpen)(), void (*prepareVolume)(),
              void (*started)() = nullptr);

// Start-up stages after the volume is loaded (tests and benchmarks use them).
// The panel over the volume, wired to the commands, labelled, and with the
// controls disabled that the driver or the initial state rule out:
void buildControlPanel();
// The first volume texture from the editor's table; false without memory.
bool buildInitialTexture();
[[noreturn]] void exitApplication();
