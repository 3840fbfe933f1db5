#include <windows.h>

#include "lib_init.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        LibraryAttach(instance);
        break;
    case DLL_PROCESS_DETACH:
        // At process exit the other libraries may be gone already and every resource goes
        // with the process: undo only when the library is unloaded by FreeLibrary.
        if (!reserved) LibraryDetach();
        break;
    default:
        break;
    }
    return TRUE;
}
