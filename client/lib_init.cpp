#include "lib_init.h"

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include "address_library.h"
#include "helper_pipe.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "local_addresses.h"
#include "monitor_channel.h"
#include "pnxscapi.h"
#include "search_socket.h"
#include "server_session.h"
#include "service_window.h"

namespace {
bool g_winsockStarted = false;  // library lock (set and cleared with the init flag)

// Claims the transition under the lock so that two callers never both run it; the work
// itself runs outside the lock because the helper pipe may wait up to five seconds.
bool ClaimInitialized(bool wanted) {
    LibraryLock lock;
    if (g_lib.initialized == wanted) return false;
    g_lib.initialized = wanted;
    return true;
}
}  // namespace

void LibraryAttach(HINSTANCE instance) {
    g_lib.instance = instance;
    InitLibraryLock();
    OneTimeInitialize();
}

void LibraryDetach() {
    OneTimeUninitialize();
    DeleteLibraryLock();
}

int OneTimeInitialize() {
    if (!ClaimInitialized(true)) return 1;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterServiceWindowClass(g_lib.instance);
    RegisterServerWindowClass(g_lib.instance);
    WSADATA wsa;
    g_winsockStarted = WSAStartup(MAKEWORD(1, 1), &wsa) == 0;
    LoadAddressLibrary();
    RegisterMonitorWindowClass(g_lib.instance, kMonitorReassemblySize);
    ResetSearchSettings();
    ResetServiceProperties();
    HelperPipeClearPairs();
    BuildLocalAddressList();
    return 1;
}

int OneTimeUninitialize() {
    if (!ClaimInitialized(false)) return 1;
    UnregisterServiceWindowClass(g_lib.instance);
    UnregisterServerWindowClass(g_lib.instance);
    UnregisterMonitorWindowClass(g_lib.instance);
    if (g_winsockStarted) WSACleanup();
    g_winsockStarted = false;
    FreeAddressLibrary();
    LibraryLock lock;
    g_lib.localAddresses.clear();
    g_lib.localAddresses.shrink_to_fit();
    return 1;
}
