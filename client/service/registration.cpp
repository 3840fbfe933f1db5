// Registration of the client window: PnxRegisterNotification, PnxUnRegisterNotification and
// the special-notification options.
#include "registration.h"

#include <windows.h>

#include <cstring>

#include "text_util.h"
#include "bus_driver.h"
#include "connect_marks.h"
#include "default_property.h"
#include "broadcast_list.h"
#include "lib_init.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "lib_stop.h"
#include "log.h"
#include "pnxscapi.h"
#include "search_filter.h"
#include "service_properties.h"
#include "service_window.h"
#include "watchers.h"

namespace {
// Copies a caller's fixed text field when it is non-empty and terminated within the field.
template <size_t N, size_t M>
void CopyField(char (&target)[N], const char (&source)[M]) {
    static_assert(N >= M);
    std::string_view text = FieldText(source);
    if (!text.empty() && text.size() < M) CopyIfFits(text, target, N);
}

void TakeConfig(const RegisterConfig* config) {
    std::memset(g_lib.driverName, 0, sizeof g_lib.driverName);
    std::strcpy(g_lib.driverName, kDefaultDriverName);
    std::memset(g_lib.location, 0, sizeof g_lib.location);
    if (!config) return;
    CopyField(g_lib.driverName, config->driver);
    CopyField(g_lib.location, config->location);
}

HWND LiveServiceWindow() {
    LibraryLock lock;
    return g_lib.serviceWindow && IsWindow(g_lib.serviceWindow) ? g_lib.serviceWindow : nullptr;
}
}  // namespace

HWND RegisterClientWindow(HWND clientWindow, const RegisterConfig* config) {
    SendDueHelperClear();
    if (!clientWindow) return nullptr;
    // One registration per process: a second call gets the service window it already has.
    if (HWND existing = LiveServiceWindow()) return existing;
    {
        LibraryLock lock;
        g_lib.clientWindow = clientWindow;
    }
    TakeConfig(config);
    OpenBusDriver(g_lib.driverName);
    {
        LibraryLock lock;
        ResetServiceProperties();
    }
    LoadServiceProperties(g_lib.location);  // an empty location chooses no store
    ClearSearchFilters();
    DropConnectMarks();
    // Older callers pass shorter records: the options word counts only when the record holds it.
    g_lib.options = (config && config->size >= kRegisterConfigSizeWithOptions) ? config->options : 0;
    ResetDefaultPropertyInfo();
    HWND service = CreateServiceWindow(clientWindow);
    LibraryLock lock;
    if (!service) {
        g_lib.clientWindow = nullptr;
        CloseBusDriver();
        return nullptr;
    }
    g_lib.serviceWindow = service;
    return service;
}

int UnregisterClientWindow(HWND service) {
    if (!service) return 0;
    if (!IsWindow(service)) return 1;
    // Only the library's own service window is torn down; any other window is left alone.
    if (service != LiveServiceWindow()) return 0;
    LogLine(service, "PnxUnRegisterNotification()");
    SignalLibraryStop();
    // The printer and process watchers end while the service window goes (with hundreds of
    // server windows that takes a while), instead of before it.
    TellWatchersToStop();
    StopAddressWatch();
    DestroyWindow(service);
    StopPrinterWatch();
    StopProcessWatch();
    EndLibraryThreads(service);
    DropConnectMarks();
    FreeBroadcastListMemory();
    FreeDefaultPropertyLists();
    LibraryLock lock;
    g_lib.serviceWindow = nullptr;
    g_lib.clientWindow = nullptr;
    return 1;
}

int StoreSpecialNotification(HWND, uint32_t options) {
    LibraryLock lock;
    g_lib.specialNotification = options;
    return 1;
}
