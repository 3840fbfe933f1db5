#include "server_names.h"

#include <winsock2.h>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "device_entry.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "log.h"
#include "messages.h"
#include "notify.h"
#include "server_entry.h"
#include "text_util.h"
#include "win_handles.h"

namespace {
constexpr uint16_t kEchoPort = 7;
constexpr SIZE_T kWorkerStack = 16 * 1024;
constexpr const char* kPcNameMessage = "*** (Get Other PCName) ***";

// What a look-up needs, copied before its thread starts: the thread owns it.
struct PcNameRequest {
    HWND window;
    uint32_t address;
    HMODULE module;  // keeps the library loaded while the thread runs in it
};

// A finished look-up waiting for its window.
struct PcNameResult {
    HWND window;
    uint32_t address;
    char name[kPcNameMax + 1];
};
std::vector<PcNameResult> g_pcNames;  // library lock

uint32_t AddressOfSocketToward(uint32_t serverIpv4) {
    qz::Socket socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!socket) return 0;
    sockaddr_in peer = {};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(kEchoPort);
    peer.sin_addr.s_addr = serverIpv4;
    if (connect(socket.get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) return 0;
    sockaddr_in local = {};
    int length = sizeof local;
    if (getsockname(socket.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return local.sin_addr.s_addr;
}

uint32_t MaskOfLocalAddress(uint32_t address) {
    LibraryLock lock;
    for (const LocalAddress& local : g_lib.localAddresses) {
        if (local.address == address) return local.mask;
    }
    return 0;
}

std::string ReverseLookup(uint32_t address) {
    in_addr raw = {};
    raw.s_addr = address;
    const hostent* host = gethostbyaddr(reinterpret_cast<const char*>(&raw), sizeof raw, AF_INET);
    return PcNameFromHostName(host ? host->h_name : nullptr, address);
}

DWORD WINAPI PcNameWorker(void* parameter) {
    std::unique_ptr<PcNameRequest> request(static_cast<PcNameRequest*>(parameter));
    HMODULE module = request->module;
    std::string name = ReverseLookup(request->address);
    // A name that is only the address text tells nothing new.
    if (name != Ipv4Text(request->address)) PostPcNameResult(request->window, request->address, name);
    request.reset();
    FreeLibraryAndExitThread(module, 0);
}

// Gives the name to every device of the window still used by that address; fills a change
// record for each.
size_t NameDevicesLocked(HWND window, const PcNameResult& result, std::vector<DeviceChangeRecord>& records) {
    size_t named = 0;
    for (DeviceEntry* device : DeviceEntriesLocked(window)) {
        UsbDeviceInfo* info = device->info;
        if (!info || info->status != kDeviceStatusOtherPc || info->userAddress != result.address) continue;
        std::memcpy(info->userPcName, result.name, sizeof info->userPcName);
        info->userPcName[sizeof info->userPcName - 1] = '\0';
        DeviceChangeRecord record;
        if (FillChangeRecord(&record, device, PNXET_CHANGE, kDeviceChangePcName, kPcNameMessage, nullptr)) {
            records.push_back(record);
        }
        ++named;
    }
    return named;
}

std::vector<PcNameResult> TakeResults(HWND window) {
    std::vector<PcNameResult> taken;
    LibraryLock lock;
    auto mine = [window](const PcNameResult& r) { return r.window == window; };
    std::copy_if(g_pcNames.begin(), g_pcNames.end(), std::back_inserter(taken), mine);
    g_pcNames.erase(std::remove_if(g_pcNames.begin(), g_pcNames.end(), mine), g_pcNames.end());
    return taken;
}

void LogPcAddress(HWND window, const PcAddress& pc) {
    LogLine(window, "  PC Address : %s", Ipv4Text(pc.address).c_str());
    LogLine(window, "  SubnetMask : %s", Ipv4Text(pc.mask).c_str());
    LogLine(window, "  Segment    : %s", Ipv4Text(pc.segment).c_str());
}
}  // namespace

namespace {

// What the host name resolves to, kept for a short while: every new server asks, and the
// look-up costs milliseconds. An address change drops it at once.
struct HostAddresses {
    bool valid = false;
    ULONGLONG taken = 0;
    size_t count = 0;
    uint32_t first = 0;
};
constexpr ULONGLONG kHostAddressesMaxAgeMs = 10000;
std::mutex g_hostMutex;
HostAddresses g_host;  // g_hostMutex

HostAddresses LookUpHostAddresses() {
    HostAddresses found;
    char hostName[256] = {};
    if (gethostname(hostName, sizeof hostName - 1) != 0) return found;
    const hostent* host = gethostbyname(hostName);
    if (!host || host->h_addrtype != AF_INET || host->h_length != sizeof(uint32_t) || !host->h_addr_list) return found;
    for (; host->h_addr_list[found.count]; ++found.count) {
        if (found.count == 0) std::memcpy(&found.first, host->h_addr_list[0], sizeof found.first);
    }
    found.valid = true;
    found.taken = GetTickCount64();
    return found;
}

HostAddresses CurrentHostAddresses() {
    {
        std::lock_guard<std::mutex> lock(g_hostMutex);
        if (g_host.valid && GetTickCount64() - g_host.taken < kHostAddressesMaxAgeMs) return g_host;
    }
    HostAddresses found = LookUpHostAddresses();
    std::lock_guard<std::mutex> lock(g_hostMutex);
    g_host = found;
    return found;
}

}  // namespace

void ForgetHostAddresses() {
    std::lock_guard<std::mutex> lock(g_hostMutex);
    g_host = HostAddresses{};
}

uint32_t LocalAddressToward(uint32_t serverIpv4) {
    HostAddresses host = CurrentHostAddresses();
    if (!host.valid || host.count == 0) return 0;
    if (host.count == 1) return host.first;
    return AddressOfSocketToward(serverIpv4);
}

bool StorePcAddressLocked(ServerRecord* record, const PcAddress& pc) {
    bool changed = record->localAddress != pc.address || record->localMask != pc.mask ||
                   record->localSegment != pc.segment;
    record->localAddress = pc.address;
    record->localMask = pc.mask;
    record->localSegment = pc.segment;
    return changed;
}

PcAddress ComputePcAddress(uint32_t serverIpv4) {
    PcAddress pc;
    pc.address = LocalAddressToward(serverIpv4);
    pc.mask = pc.address ? MaskOfLocalAddress(pc.address) : 0;
    pc.segment = pc.address & pc.mask;
    return pc;
}

std::string PcNameFromHostName(const char* hostName, uint32_t address) {
    if (!hostName || !hostName[0]) return Ipv4Text(address);
    std::string label(hostName, strcspn(hostName, "."));
    if (label.size() > kPcNameMax) label.resize(kPcNameMax);
    if (label.empty() || _stricmp(label.c_str(), "localhost") == 0) return Ipv4Text(address);
    return label;
}

bool StartPcNameLookup(HWND window, WPARAM wParam) {
    auto* device = reinterpret_cast<DeviceEntry*>(wParam);
    uint32_t address;
    {
        // Only a device of this window's list is read: wParam is not trusted as a pointer.
        LibraryLock lock;
        if (!DeviceListedLocked(window, device) || !device->info) return false;
        if (device->info->status != kDeviceStatusOtherPc || device->info->userAddress == 0) return false;
        address = device->info->userAddress;
    }
    std::unique_ptr<PcNameRequest> request(new (std::nothrow) PcNameRequest{window, address, nullptr});
    if (!request) return false;
    // The worker holds the library while it runs and lets it go as it ends.
    qz::Module module;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&PcNameWorker),
                            module.put())) {
        return false;
    }
    request->module = module.get();
    qz::Handle thread(CreateThread(nullptr, kWorkerStack, PcNameWorker, request.get(),
                                   STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread) return false;
    // The worker owns both from here.
    request.release();
    module.release();
    SetThreadPriority(thread.get(), THREAD_PRIORITY_LOWEST);
    return true;
}

bool PostPcNameResult(HWND window, uint32_t address, const std::string& name) {
    PcNameResult result = {window, address, {}};
    std::memcpy(result.name, name.data(), std::min(name.size(), kPcNameMax));
    {
        LibraryLock lock;
        try {
            g_pcNames.push_back(result);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    if (PostMessageA(window, PNXM_PC_NAME_FOUND, 0, 0)) return true;
    // The window is gone: nobody will take the result.
    DropPcNames(window);
    return false;
}

void ApplyPcNames(HWND window) {
    for (const PcNameResult& result : TakeResults(window)) {
        std::vector<DeviceChangeRecord> records;
        {
            LibraryLock lock;
            NameDevicesLocked(window, result, records);
        }
        if (!records.empty()) NotifyDevices(window, records.data(), records.size());
        if (!IsWindow(window)) return;
    }
}

void DropPcNames(HWND window) {
    LibraryLock lock;
    g_pcNames.erase(std::remove_if(g_pcNames.begin(), g_pcNames.end(),
                                   [window](const PcNameResult& r) { return r.window == window; }),
                    g_pcNames.end());
}

int ServerPcAddress(HWND logWindow, HPnxSv server, uint32_t* address, uint32_t* mask, uint32_t* segment) {
    uint32_t ipv4;
    HWND serverWindow;
    {
        LibraryLock lock;
        if (!server || !server->record || !server->record->info) return 0;
        ipv4 = server->record->info->ipAddress;
        serverWindow = server->serverWindow;
    }
    PcAddress pc = ComputePcAddress(ipv4);
    bool changed;
    {
        LibraryLock lock;
        if (!server->record) return 0;
        changed = StorePcAddressLocked(server->record, pc);
    }
    if (changed) {
        LogLine(serverWindow, "  *** Change PC Address(API) !! ***");
        LogPcAddress(serverWindow, pc);
    }
    if (logWindow) {
        LogLine(logWindow, "PnxGetPcAddress()");
        LogPcAddress(logWindow, pc);
    }
    if (address) *address = pc.address;
    if (mask) *mask = pc.mask;
    if (segment) *segment = pc.segment;
    return 1;
}
