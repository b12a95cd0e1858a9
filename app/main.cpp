#include "app/Application.h"
#include "platform/Memory.h"

int main(int argc, char** argv) {
    restartWithHugePages(argv);
    return runSkorel(argc, argv);
}
