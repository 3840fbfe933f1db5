// usbhelper.exe: the printer helper service. It is only ever started by the service control
// manager; started any other way, the dispatcher call fails and the program ends at once.
#include <windows.h>
#include <commctrl.h>

#include "helper_service.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    InitCommonControls();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&controls);
    RunServiceDispatcher();
    return 0;
}
