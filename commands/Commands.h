// Keyboard shortcuts, panel commands and transfer-function changes. None of
// them draws: the idle callback redraws continuously.
#pragma once

struct ViewState;

// Esc and the Exit button end the program through this; start-up installs
// the orderly exit. It must not return.
extern void (*exitAction)();

void keyboard(unsigned char key, int x, int y);
void handleCommand(int id);
// The choices a panel command makes in view alone (filter, blending
// operator); false, view untouched, for every other id.
bool setViewChoice(int id, ViewState& view);
void handleChange(int id, int x, int y);

// A float value stepped in double precision and stored back in single; a
// result past 0 or 1 becomes exactly that limit.
float stepUnitValue(float value, double step);
// The slice count stepped and held within 10 to 200.
int stepSliceCount(int count, int step);
