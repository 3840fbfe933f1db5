// The setup program's entry.
#include "startup.h"
#include "system_library.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    RestrictDllSearch();
    return RunSetup(instance, commandLine);
}
