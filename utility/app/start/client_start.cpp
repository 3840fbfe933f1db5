// Starting the client service library from the main dialog: registration, debug mode, search
// filters, default property, broadcast list and the service properties, in that order.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "app.h"
#include "notify_handlers.h"
#include "ini_text.h"
#include "pnx_api.h"
#include "system_util.h"
#include "user_settings.h"
#include "utility_log.h"

namespace {

// The library keeps at most this many broadcast addresses.
constexpr int kMaxBroadcastAddresses = 128;

void ToOem(const wchar_t* text, char* out, int outBytes) {
    out[0] = '\0';
    if (!WideCharToMultiByte(CP_OEMCP, 0, text, -1, out, outBytes, nullptr, nullptr)) out[0] = '\0';
    out[outBytes - 1] = '\0';
}

}  // namespace

// Directed broadcast addresses of the adapters (network byte order), at most `capacity`;
// -1 when the adapters cannot be read.
int GetLocalBroadcastAddresses(uint32_t* list, int capacity) {
    ULONG size = 0;
    if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return -1;
    std::vector<unsigned char> buffer(size);
    auto* adapters = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (GetAdaptersInfo(adapters, &size) != NO_ERROR) return -1;
    int count = 0;
    for (IP_ADAPTER_INFO* a = adapters; a && count < capacity; a = a->Next) {
        uint32_t address = inet_addr(a->IpAddressList.IpAddress.String);
        uint32_t mask = inet_addr(a->IpAddressList.IpMask.String);
        if (mask == 0) continue;
        list[count++] = (address & mask) | ~mask;
    }
    return count;
}

void StartClientService(HWND dialog) {
    HKEY key = nullptr;
    const bool firstRun = RegOpenKeyExW(HKEY_CURRENT_USER, kLibraryKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS;
    if (key) RegCloseKey(key);

    RegisterConfig config{};
    std::wstring location = std::wstring(L"HKEY_CURRENT_USER\\") + kLibraryKey;
    ToOem(location.c_str(), config.location, sizeof config.location);
    config.size = sizeof config;
    config.options = kRegisterOptionNewDeviceAutoConnect;
    g_app.service = g_pnx.PnxRegisterNotification(dialog, &config);
    if (!g_app.service) {
        // Without a service window every later call would fail unseen: say so once.
        WriteLog(L"PnxRegisterNotification failed");
        ErrorBox(dialog, L"MESSAGE02", MB_ICONWARNING | MB_SETFOREGROUND, L"Pnxscapi.dll");
        return;
    }

    const CommandLineOptions& options = g_app.options;
    if (options.log.flags) {
        DebugModeInfo debug{};
        if (options.log.flags & kLogToFile) debug.flags |= kDebugLogFile;
        if (options.log.flags & kLogToDebugger) debug.flags |= kDebugDebugger;
        if (options.showServiceWindow) debug.flags |= kDebugShowWindow;
        ToOem(options.log.folder, debug.folder, sizeof debug.folder);
        g_pnx.PnxDebugMode(g_app.service, &debug);
    }
    if (options.filterInUse) {
        if (options.hasFilterAddress) {
            wchar_t text[32] = {};
            FormatAddress(&options.filterAddress, text, 32, kAddressIpv4);
            char narrow[32] = {};
            ToOem(text, narrow, sizeof narrow);
            g_pnx.PnxSetSearchFilter(g_app.service, 1, narrow);
        }
        if (options.macCount) g_pnx.PnxSetSearchFilter(g_app.service, 4, options.macBlock);
    }

    PropertyInfo property{};
    g_pnx.PnxGetDefaultPropertyInfo(g_app.service, &property);
    property.property |= 0x2;
    if (g_settings.autoStart) property.property |= 0x9;
    g_pnx.PnxSetDefaultPropertyInfo(g_app.service, &property);

    std::wstring nasName = ReadIniValue(g_app.iniPath, L"MAIN", L"NAS_NAME", 520);
    if (nasName.empty()) nasName = L"(No Name)";
    g_pnx.PnxDefaultNasName(g_app.service, nasName.c_str());

    char broadcastLocation[300] = {};
    ToOem((location + L"\\Broadcast").c_str(), broadcastLocation, sizeof broadcastLocation);
    g_pnx.PnxInitBroadcastAddr(g_app.service, broadcastLocation);

    bool storedList = false;
    if (firstRun) {
        uint32_t addresses[kMaxBroadcastAddresses] = {};
        int count = GetLocalBroadcastAddresses(addresses, kMaxBroadcastAddresses);
        if (count >= 2) {
            for (int i = 0; i < count; ++i) addresses[i] = ntohl(addresses[i]);
            g_pnx.PnxSetBroadcastAddr(g_app.service, addresses, static_cast<uint32_t>(count));
            storedList = true;
        }
    }

    if (!ReadOptionFlag(L"OldAutoPrinter")) {
        const uint16_t bits = 2;
        g_pnx.PnxConvertProperty(g_app.service, 1, 5, &bits, 2);
        WriteOptionFlag(L"OldAutoPrinter", 1);
    }

    ServiceProperties properties{};
    properties.size = 10;
    g_pnx.PnxGetServiceProperties(g_app.service, &properties);
    SetViewsStartTick(GetTickCount());
    // A stored timer outside the dialog's range (0 would make the library's timer spin).
    g_settings.statusTimer = ClampStatusTimer(g_settings.statusTimer);
    properties.timer = g_settings.statusTimer;
    if (g_settings.broadcast) properties.useBroadAddress = 1;
    if (storedList) {
        properties.useBroadAddress |= 1;
        g_settings.broadcast = 1;
        WriteOptionFlag(L"Broadcast", 1);
    }
    properties.communicateMode |= 0x8;
    g_pnx.PnxStartService(g_app.service, &properties);
}
