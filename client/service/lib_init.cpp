#include "lib_init.h"

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include "address_library.h"
#include "auto_printer.h"
#include "automation.h"
#include "automation_notify.h"
#include "automation_threads.h"
#include "blackout.h"
#include "connect_hooks.h"
#include "connect_queue.h"
#include "device_entry.h"
#include "device_list_update.h"
#include "helper_pipe.h"
#include "install_wait.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "lib_stop.h"
#include "log.h"
#include "local_addresses.h"
#include "monitor_channel.h"
#include "pnxscapi.h"
#include "search_socket.h"
#include "server_session.h"
#include "service_window.h"
#include "server_storage.h"
#include "storage_actions.h"
#include "storage_list.h"
#include "warn_disconnect.h"

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

namespace {
// The helper service's "forget every pair" record is due. Sending it may wait for a busy
// pipe, which must not happen under the loader lock: loading only marks it due, and the first
// call into the library sends it, before any pair record can go out.
bool g_clearPairsDue = false;  // library lock
bool g_inLoader = false;
}  // namespace

void SendDueHelperClear() {
    {
        LibraryLock lock;
        if (!g_clearPairsDue || g_inLoader) return;
        g_clearPairsDue = false;
    }
    HelperPipeClearPairs();
}

void LibraryAttach(HINSTANCE instance) {
    g_lib.instance = instance;
    // The lower layers reach those above them only through these: the connect worker its
    // storage requests and Auto Printer, the device rows the connect queue, the device-list
    // update its server's status word and blackout timer, the connect queue and automation,
    // the server windows automation and their storage lists.
    SetConnectHooks({&RunStorageRequest, &AutoPrinterHasJobs, &ReleaseAutoPrinterWait});
    SetDeviceRowDeletedHook(&DropQueuedRequestsLocked);
    SetDeviceListHooks({[](const DeviceEntry* device) { return IsDeviceQueued(device, QueuedKind::Any); },
                        &RefreshDeviceComPort, &RefreshDeviceIdsQuick, &WarnDisconnect, &StartServerAutomation,
                        &ApplyServerStatusUpdate, &StartBlackoutTimer});
    SetServerAutomationHooks({&SuspendServerAutomation, &ResumeServerAutomation, &RunDeviceApplications,
                              &ReleaseDeviceAutomation});
    SetServerStorageHooks({&HandleStorageListReply, &RenewServerStorage, &MarkServerStorageError,
                           &DestroyServerStorage, &RereadServerStorage});
    InitLibraryLock();
    g_inLoader = true;
    OneTimeInitialize();
    g_inLoader = false;
}

void LibraryDetach() {
    g_inLoader = true;
    OneTimeUninitialize();
    g_inLoader = false;
    CloseLibraryStop();
    DeleteLibraryLock();
}

bool EndLibraryThreads(HWND log) {
    SignalLibraryStop();
    // Under the loader lock a thread cannot finish its exit: there only the library's own
    // marks are watched, which a thread clears before it returns.
    if (g_inLoader) {
        WaitConnectWorkerLetGo(kThreadEndWaitMs);
    } else {
        JoinConnectQueueWorker();
    }
    bool ended = WaitAutomationThreads(kThreadEndWaitMs) && !ConnectWorkerRuns();
    LogLine(log, ended ? "*** Every library thread has ended ***" : "*** Library threads are still running ***");
    return ended;
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
    {
        LibraryLock lock;
        g_clearPairsDue = true;
    }
    SendDueHelperClear();
    BuildLocalAddressList();
    return 1;
}

int OneTimeUninitialize() {
    if (!ClaimInitialized(false)) return 1;
    // Every library thread must be gone before its code may be unloaded.
    EndLibraryThreads(LogServiceWindow());
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
