// The setup program's entry.
#include "startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    return RunSetup(instance, commandLine);
}
