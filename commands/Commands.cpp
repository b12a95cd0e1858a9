#include "commands/Commands.h"

#include "app/Application.h"

void keyboard(unsigned char key, int, int) {
    switch (key) {
    case 27:
        exitApplication();
    default:
        break;
    }
}
