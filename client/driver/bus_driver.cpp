#include "bus_driver.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "lib_state.h"
#include "lib_stop.h"
#include "log.h"
#include "text_util.h"
#include "win_handles.h"

namespace {

// Guards g_driverPath and g_driverHandle. Calls run under the shared lock, so that closing
// (exclusive) never pulls the handle from under a call in flight; the lock is never held
// across a sleep.
std::shared_mutex g_driverMutex;
bool g_driverPathSet = false;   // OpenBusDriver ran; until then the default name is used
std::string g_driverPath;       // "\\.\<name>" of the last OpenBusDriver; empty = unusable name
qz::FileHandle g_driverHandle;  // the open driver, or invalid

std::string PathForName(const char* name) {
    if (!name || !*name) name = kDefaultDriverName;
    char path[64];
    int n = std::snprintf(path, sizeof path, "\\\\.\\%s", name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof path) return {};
    return path;
}

HANDLE OpenPath(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

// Makes sure the handle is open; true when it is.
bool EnsureDriverOpen() {
    {
        std::shared_lock lock(g_driverMutex);
        if (g_driverHandle.valid()) return true;
    }
    std::unique_lock lock(g_driverMutex);
    if (g_driverHandle.valid()) return true;
    std::string path = g_driverPathSet ? g_driverPath : PathForName(nullptr);
    if (path.empty()) return false;
    g_driverHandle.reset(OpenPath(path));
    return g_driverHandle.valid();
}

struct DriverReply {
    bool opened = false;  // the driver could be opened
    bool ok = false;      // DeviceIoControl succeeded
    DWORD bytes = 0;      // the byte count the driver gave back, as it said it
    DWORD error = 0;      // GetLastError after a failed call
};

DriverReply DriverControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
    DriverReply reply;
    if (!EnsureDriverOpen()) return reply;
    std::shared_lock lock(g_driverMutex);
    if (!g_driverHandle.valid()) return reply;  // closed between the open and this call
    reply.opened = true;
    reply.ok = DeviceIoControl(g_driverHandle.get(), code, const_cast<void*>(in), inSize, out, outSize, &reply.bytes,
                               nullptr) != FALSE;
    if (!reply.ok) reply.error = GetLastError();
    return reply;
}

// The part of an output buffer the driver really filled: never more than was handed over.
qz::ByteReader ReplyReader(const void* out, DWORD outSize, const DriverReply& reply) {
    return qz::ByteReader(out, reply.bytes <= outSize ? reply.bytes : 0);
}

void SleepWhenUnavailable(const DriverReply& reply) {
    if (!reply.opened) SleepOrStop(g_driverUnavailableSleepMs);
}

// A control call that sends a port request with an optional tail and reads nothing back but
// the 4-byte answer it must have room for.
int PortCommand(DWORD code, const void* request, DWORD size) {
    DriverPortState answer = {};
    DriverReply reply = DriverControl(code, request, size, &answer, sizeof answer);
    SleepWhenUnavailable(reply);
    return reply.ok ? 1 : 0;
}

int SetValue(DWORD code, uint32_t value) {
    DriverReply reply = DriverControl(code, &value, sizeof value, nullptr, 0);
    return reply.ok ? 1 : 0;
}

int GetValue(DWORD code, uint32_t* value) {
    if (!value) return 0;
    uint8_t out[4] = {};
    DriverReply reply = DriverControl(code, nullptr, 0, out, sizeof out);
    if (!reply.ok) return 0;
    qz::ByteReader reader = ReplyReader(out, sizeof out, reply);
    uint32_t read = reader.u32le();
    if (!reader.ok()) return 0;
    *value = read;
    return 1;
}

struct StateRead {
    DriverReply reply;
    uint16_t state = 0;
    bool ok = false;  // the call succeeded and returned a state
};

StateRead ReadPortState(DWORD code, const void* request, DWORD size) {
    StateRead read;
    uint8_t out[sizeof(DriverPortState)] = {};
    read.reply = DriverControl(code, request, size, out, sizeof out);
    qz::ByteReader reader = ReplyReader(out, sizeof out, read.reply);
    read.state = reader.u16le();
    read.ok = read.reply.ok && reader.ok();
    if (!reader.ok()) read.state = 0;
    return read;
}

}  // namespace

bool OpenBusDriver(const char* name) {
    std::unique_lock lock(g_driverMutex);
    // A name that does not fit leaves no path: nothing else is opened in its place.
    g_driverPathSet = true;
    g_driverPath = PathForName(name);
    g_driverHandle.reset();
    if (g_driverPath.empty()) return false;
    g_driverHandle.reset(OpenPath(g_driverPath));
    return g_driverHandle.valid();
}

void CloseBusDriver() {
    std::unique_lock lock(g_driverMutex);
    g_driverHandle.reset();
}

bool MakePortRequest(uint32_t address, const char* location, DriverPortRequest* out) {
    if (!location || !out) return false;
    size_t length = strnlen(location, ZKUPTP_LOCATION_SIZE);
    if (length >= ZKUPTP_LOCATION_SIZE) return false;
    std::memset(out, 0, sizeof *out);
    out->address = address;
    std::memcpy(out->location, location, length);
    return true;
}

bool ReadDriverConnection() {
    if (!EnsureDriverOpen()) return false;
    std::shared_lock lock(g_driverMutex);
    if (!g_driverHandle.valid()) return false;
    uint8_t byte = 0;
    DWORD read = 0;
    if (!ReadFile(g_driverHandle.get(), &byte, 1, &read, nullptr)) return false;
    return read == 1 && byte == 1;
}

int WaitDriverState(HWND logWindow, uint32_t address, const char* location, uint16_t wanted,
                    uint32_t* stuckAtFree) {
    DriverPortRequest request;
    if (!MakePortRequest(address, location, &request)) return 0;
    // Nothing to wait for without a driver: the caller must not take this as success.
    if (!EnsureDriverOpen()) return 0;

    LogLine(logWindow, "### DeviceIoControl() Start ###");
    LogLine(logWindow, "  IP Address: %s, Location: %s", Ipv4Text(address).c_str(), location);
    ULONGLONG start = GetTickCount64();
    int result = 0;
    for (;;) {
        StateRead read = ReadPortState(ZKUPTP_IOCTL_WAIT_STATE, &request, sizeof request);
        LogLine(logWindow, "  DeviceIoControl(%d) Status: 0x%08x, ReadSize: 0x%08x, LastError: 0x%08x",
                read.reply.ok ? 1 : 0, static_cast<unsigned>(read.state), static_cast<unsigned>(read.reply.bytes),
                static_cast<unsigned>(read.reply.error));
        if (!read.ok) break;
        if (read.state == wanted) {
            result = 1;
            break;
        }
        if (GetTickCount64() - start >= kDriverStateTimeoutMs) {
            if (wanted == ZKUPTP_STATE_ATTACHED && read.state == ZKUPTP_STATE_FREE) {
                LogLine(logWindow, "  The state of ZKUPTP Driver does not change.");
                if (stuckAtFree) *stuckAtFree = 1;
            }
            LogLine(logWindow, "  Time Out...");
            result = 1;
            break;
        }
        // The library going away ends the wait as a failure: nobody waits for the port now.
        if (SleepOrStop(kDriverStatePollMs)) break;
        LogLine(logWindow, "  DeviceIoControl()...");
    }
    LogLine(logWindow, "### DeviceIoControl() End ###");
    return result;
}

int LookupPortByDeviceId(const char* deviceId, DriverPortRequest* out) {
    if (!deviceId || !out) return 0;
    // Room for the longest id the driver takes plus its terminator; a longer id would be cut
    // into some other device's id.
    wchar_t wide[ZKUPTP_MAX_DEVICE_ID + 1] = {};
    int chars = MultiByteToWideChar(CP_OEMCP, 0, deviceId, -1, wide, ZKUPTP_MAX_DEVICE_ID + 1);
    if (chars <= 0) return 0;
    uint8_t answer[sizeof(DriverPortRequest)] = {};
    DriverReply reply = DriverControl(ZKUPTP_IOCTL_LOOKUP_DEVICE_ID, wide, static_cast<DWORD>(chars * sizeof(wchar_t)),
                                      answer, sizeof answer);
    if (!reply.ok) return 0;
    qz::ByteReader reader = ReplyReader(answer, sizeof answer, reply);
    DriverPortRequest port = {};
    port.address = reader.u32le();
    reader.bytes(port.location, sizeof port.location);
    if (!reader.ok()) return 0;
    port.location[sizeof port.location - 1] = '\0';
    *out = port;
    return 1;
}

int QueryPortStatus(uint32_t address, const char* location, PortStatus* status, bool longForm) {
    DriverPortRequest request;
    if (!status || !MakePortRequest(address, location, &request)) return 0;
    uint8_t out[sizeof(DriverPortStatus)] = {};
    DWORD outSize = longForm ? sizeof(DriverPortStatus) : sizeof(DriverPortState);
    DriverReply reply = DriverControl(ZKUPTP_IOCTL_PORT_STATUS, &request, sizeof request, out, outSize);
    if (!reply.ok) return 0;
    qz::ByteReader reader = ReplyReader(out, outSize, reply);
    PortStatus read = {};
    read.state = reader.u16le();
    if (longForm) {
        reader.seek(offsetof(DriverPortStatus, comPort));
        read.comPort = reader.u8();
        reader.seek(offsetof(DriverPortStatus, value));
        read.value = reader.u32le();
    }
    if (!reader.ok()) return 0;
    *status = read;
    return 1;
}

int ForceReleasePort(uint32_t address, const char* location) {
    DriverPortRequest request;
    if (!MakePortRequest(address, location, &request)) return 0;
    return PortCommand(ZKUPTP_IOCTL_FORCE_RELEASE, &request, sizeof request);
}

bool GetPortDeviceId(uint32_t address, const char* location, std::wstring* id, bool* callFailed) {
    if (callFailed) *callFailed = false;
    if (!id) return false;
    id->clear();
    DriverPortRequest request;
    if (!MakePortRequest(address, location, &request)) return false;

    // First call: no buffer, the driver says how long the id is.
    DriverReply size = DriverControl(ZKUPTP_IOCTL_PORT_DEVICE_ID, &request, sizeof request, nullptr, 0);
    SleepWhenUnavailable(size);
    if (!size.ok && size.error != ERROR_MORE_DATA) {
        if (callFailed) *callFailed = true;
        return false;
    }
    uint32_t n = size.bytes;
    if (n == 0 || n > kMaxBusDeviceIdChars) return false;

    // The driver may fill every byte it is given; one more character than it is offered keeps
    // the text terminated whatever it writes.
    DWORD offered = n * 2 + 2;
    std::vector<wchar_t> buffer(n + 2, L'\0');
    DriverReply text = DriverControl(ZKUPTP_IOCTL_PORT_DEVICE_ID, &request, sizeof request, buffer.data(), offered);
    if (!text.ok || text.bytes > offered || text.bytes % 2 != 0) return false;
    // A text longer than the driver announced is not the id it sized: take neither.
    size_t length = wcsnlen(buffer.data(), text.bytes / 2);
    if (length == 0 || length > n) return false;
    id->assign(buffer.data(), length);
    return true;
}

int SetPortComPort(uint32_t address, const char* location, uint8_t comPort) {
    DriverComPortRequest request = {};
    if (!MakePortRequest(address, location, &request.port)) return 0;
    request.comPort = comPort;
    return PortCommand(ZKUPTP_IOCTL_SET_COM_PORT, &request, sizeof request);
}

int QueryPortBlackout(uint32_t address, const char* location, uint16_t limit, uint16_t* over,
                      uint16_t* value) {
    DriverBlackoutRequest request = {};
    if (address == 0 || !MakePortRequest(address, location, &request.port)) return 0;
    request.limit = limit;
    request.kind = ZKUPTP_BLACKOUT_KIND;
    StateRead read = ReadPortState(ZKUPTP_IOCTL_PORT_BLACKOUT, &request, sizeof request);
    SleepWhenUnavailable(read.reply);
    if (!read.ok) return 0;
    if (value) *value = read.state;
    if (over) *over = (read.state != 0 && read.state > limit) ? 1 : 0;
    return 1;
}

int SetOwnershipInterface(uint32_t value) { return SetValue(ZKUPTP_IOCTL_SET_OWNERSHIP_IF, value); }
int GetOwnershipInterface(uint32_t* value) { return GetValue(ZKUPTP_IOCTL_GET_OWNERSHIP_IF, value); }
int SetOwnershipReleaseTime(uint32_t value) { return SetValue(ZKUPTP_IOCTL_SET_OWNERSHIP_RELEASE, value); }
int GetOwnershipReleaseTime(uint32_t* value) { return GetValue(ZKUPTP_IOCTL_GET_OWNERSHIP_RELEASE, value); }

int SetHidFilter(uint16_t mode, const uint16_t* values) {
    if (mode == 0 || !values) return 0;
    DriverHidFilterRequest request = {};
    request.size = ZKUPTP_HID_FILTER_SIZE;
    request.mode = mode;
    request.values[0] = values[0];
    request.values[1] = values[1];
    DriverReply reply = DriverControl(ZKUPTP_IOCTL_SET_HID_FILTER, &request, sizeof request, nullptr, 0);
    SleepWhenUnavailable(reply);
    return reply.ok ? 1 : 0;
}
