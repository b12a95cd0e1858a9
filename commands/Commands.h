// Keyboard shortcuts, panel commands and transfer-function changes.
#pragma once

void keyboard(unsigned char key, int x, int y);
