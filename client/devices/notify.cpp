#include "notify.h"
#include "device_entry.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "lib_lock.h"
#include "lib_state.h"
#include "log.h"
#include "server_devices.h"
#include "text_util.h"

namespace {
struct NamedValue {
    uint16_t value;
    const char* text;
};

constexpr NamedValue kKindNames[] = {{PNXET_NEW, "PNXET_NEW"},
                                     {PNXET_DELETE, "PNXET_DELETE"},
                                     {PNXET_CHANGE, "PNXET_CHANGE"},
                                     {PNXET_CONNECT, "PNXET_CONNECT"},
                                     {PNXET_DISCONNECT, "PNXET_DISCONNECT"}};
constexpr NamedValue kServerChangeNames[] = {{kServerChangeBase, "Change a Server Base."},
                                             {kServerChangeFunction, "Change a Server Function."},
                                             {kServerChangeStatus, "Change a Server Status."},
                                             {kServerChangeAnalysed, "Analysis was completed."}};
constexpr NamedValue kDeviceChangeNames[] = {{kDeviceChangePcName, "Get PC Name."},
                                             {kDeviceChangeFunction, "Change a Device Function."},
                                             {kDeviceChangeStatus, "Change a Device Status."}};
constexpr NamedValue kReasonNames[] = {{1, "By Button."},        {2, "By Application."}, {3, "By Auto Printer."},
                                       {4, "By Auto Connect."}, {5, "By ZKA."}};
constexpr NamedValue kServerStatusNames[] = {
    {0x1, "Over current."}, {0x2, "No Device."}, {0x4, "Network Error."}, {0x8, "Get Status."}};
constexpr NamedValue kServerFunctionNames[] = {
    {0x1, "Encryption."}, {0x2, "Wireless."}, {0x4, "ZKA."}, {0x8, "Access Point."}};
constexpr NamedValue kDeviceStatusNames[] = {{0, "Get Status."}, {1, "Free."},          {2, "Connect."},
                                             {3, "Other Connect."}, {4, "No Device."}, {5, "Error."}};
constexpr NamedValue kDeviceStatusExNames[] = {{0x1, "Encryption."}, {0x2, "Wrong Disconnect."}};
constexpr NamedValue kDeviceFunctionNames[] = {{0x1, "Isoep."}, {0x2, "Permisson."}, {0x4, "Encryption."}};
constexpr NamedValue kReserveNames[] = {
    {0, "Nothing."}, {1, "Device will connect in Free."}, {2, "Device will connect by Auto Print."}};

std::string UnknownText(uint16_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x.", value);
    return text;
}

template <size_t N>
std::string ValueText(const NamedValue (&names)[N], uint16_t value) {
    for (const NamedValue& name : names) {
        if (name.value == value) return name.text;
    }
    return UnknownText(value);
}

// A word of single-bit values: the text of each bit that is set, then the unknown rest.
template <size_t N>
std::string BitsText(const NamedValue (&names)[N], uint16_t word) {
    if (word == 0) return "Nothing.";
    std::string text;
    uint16_t rest = word;
    for (const NamedValue& name : names) {
        if (!(word & name.value)) continue;
        if (!text.empty()) text += ' ';
        text += name.text;
        rest = static_cast<uint16_t>(rest & ~name.value);
    }
    if (rest) {
        if (!text.empty()) text += ' ';
        text += UnknownText(rest);
    }
    return text;
}

std::string ServerEventString(uint16_t kind, uint16_t flags) {
    switch (kind) {
    case PNXET_NEW:
        return "Find New Server!!";
    case PNXET_DELETE:
        return "Find Delete Server.";
    case PNXET_CHANGE:
        return flags ? BitsText(kServerChangeNames, flags) : UnknownText(flags);
    default:
        return UnknownText(kind);
    }
}

std::string DeviceEventString(uint16_t kind, uint16_t flags) {
    switch (kind) {
    case PNXET_NEW:
        return "Find New Device!!";
    case PNXET_DELETE:
        return "Find Delete Device.";
    case PNXET_CHANGE:
        return flags ? BitsText(kDeviceChangeNames, flags) : UnknownText(flags);
    case PNXET_CONNECT:
    case PNXET_DISCONNECT:
        return ValueText(kReasonNames, flags);
    default:
        return UnknownText(kind);
    }
}

HWND ClientWindow() {
    LibraryLock lock;
    return g_lib.clientWindow;
}

void LogDeviceRecord(HWND logWindow, const DeviceChangeRecord& record) {
    LogLine(logWindow, "  %s", record.message);
    DeviceNotifyInfo info;
    if (ReadDeviceNotifyInfo(record.device, &info)) {
        LogLine(logWindow, "    %s", info.name);
        LogLine(logWindow, "      Location : %s", info.location);
        LogLine(logWindow, "      Status   : %s --> %s", ValueText(kDeviceStatusNames, info.statusPrevious).c_str(),
                ValueText(kDeviceStatusNames, info.status).c_str());
        LogLine(logWindow, "      StatusEx : %s --> %s", BitsText(kDeviceStatusExNames, info.statusExPrevious).c_str(),
                BitsText(kDeviceStatusExNames, info.statusEx).c_str());
        LogLine(logWindow, "      Function : %s --> %s", BitsText(kDeviceFunctionNames, info.functionPrevious).c_str(),
                BitsText(kDeviceFunctionNames, info.function).c_str());
        LogLine(logWindow, "      Reserve  : %s", ValueText(kReserveNames, info.reserve).c_str());
        if (info.comPort > 0) LogLine(logWindow, "      bComPort : COM%d", info.comPort);
    }
    if (record.data[0]) LogLine(logWindow, "      Data     : %s", record.data);
}
}  // namespace

bool SendClientNotification(UINT message, uint16_t kind, uint16_t flags, LPARAM lParam) {
    if (kind == 0) return false;
    HWND client = ClientWindow();
    if (!client || !IsWindow(client)) return false;
    // The client may keep the address only for the call; a fresh record per message keeps
    // nested notifications (sent from the client's own handler) apart.
    NotifyEvent event = {kind, flags};
    SendMessageA(client, message, reinterpret_cast<WPARAM>(&event), lParam);
    return true;
}

int NotifyServer(HWND logWindow, ServerEntry* entry, uint16_t kind, uint16_t flags) {
    ServerInfo info = {};
    {
        LibraryLock lock;
        if (!entry || !entry->record) return 0;
        if (entry->record->info) info = *entry->record->info;
    }
    if (LogFlags()) {
        LogLine(logWindow, "  *** (Change Server2) ***");
        LogLine(logWindow, "    IP Address : %s", Ipv4Text(info.ipAddress).c_str());
        LogLine(logWindow, "    Function   : %s --> %s", BitsText(kServerFunctionNames, info.functionWordPrevious).c_str(),
                BitsText(kServerFunctionNames, info.functionWord).c_str());
        LogLine(logWindow, "    Status     : %s --> %s", BitsText(kServerStatusNames, info.statusWordPrevious).c_str(),
                BitsText(kServerStatusNames, info.statusWord).c_str());
    }
    if (kind != 0) {
        LogLine(logWindow, ">> SendMessage(PNXN_SERVER, %s : %s) <<", ValueText(kKindNames, kind).c_str(),
                ServerEventString(kind, flags).c_str());
        SendClientNotification(PNXN_SERVER, kind, flags, reinterpret_cast<LPARAM>(entry));
    }
    return 1;
}

int FillChangeRecord(DeviceChangeRecord* record, HPnxDv device, uint16_t kind, uint16_t flags, const char* message,
                     const char* data) {
    DeviceNotifyInfo info;
    if (!record || !ReadDeviceNotifyInfo(device, &info)) return 0;
    record->device = device;
    record->kind = kind;
    record->flags = flags;
    CopyCut(TextOrEmpty(message), record->message);
    CopyCut(TextOrEmpty(data), record->data);
    return 1;
}

void NotifyDevices(HWND logWindow, const DeviceChangeRecord* records, size_t count) {
    if (!records) return;
    // The client's handler may delete devices of the batch while it is told of an earlier
    // one: the batch holds its entries, and a deleted one is passed over.
    {
        LibraryLock lock;
        for (size_t i = 0; i < count; ++i) HoldDeviceEntryLocked(records[i].device);
    }
    for (size_t i = 0; i < count; ++i) {
        const DeviceChangeRecord& record = records[i];
        {
            LibraryLock lock;
            if (record.device && record.device->removed) continue;
        }
        LogDeviceRecord(logWindow, record);
        if (record.kind == 0) continue;
        LogLine(logWindow, ">> SendMessage(PNXN_DEVICE, %s : %s) <<", ValueText(kKindNames, record.kind).c_str(),
                DeviceEventString(record.kind, record.flags).c_str());
        SendClientNotification(PNXN_DEVICE, record.kind, record.flags, reinterpret_cast<LPARAM>(record.device));
    }
    LibraryLock lock;
    for (size_t i = 0; i < count; ++i) DropDeviceEntryLocked(records[i].device);
}

bool NotifyDeviceList(HWND logWindow, uint16_t kind, uint16_t reason, std::vector<AutoDeviceItem>& items) {
    if (items.empty() || kind == 0) return false;
    AutoDeviceList list = {static_cast<uint32_t>(items.size()), items.data()};
    LogLine(logWindow, ">> SendMessage(PNXN_DEVICE, %s : %s) <<", ValueText(kKindNames, kind).c_str(),
            DeviceEventString(kind, reason).c_str());
    return SendClientNotification(PNXN_DEVICE, kind, reason, reinterpret_cast<LPARAM>(&list));
}

bool EventKindText(uint16_t kind, char* out, size_t capacity) {
    return CopyIfFits(ValueText(kKindNames, kind), out, capacity);
}
bool ServerEventText(uint16_t kind, uint16_t flags, char* out, size_t capacity) {
    return CopyIfFits(ServerEventString(kind, flags), out, capacity);
}
bool DeviceEventText(uint16_t kind, uint16_t flags, char* out, size_t capacity) {
    return CopyIfFits(DeviceEventString(kind, flags), out, capacity);
}
bool ServerStatusText(uint16_t status, char* out, size_t capacity) {
    return CopyIfFits(BitsText(kServerStatusNames, status), out, capacity);
}
bool ServerFunctionText(uint16_t function, char* out, size_t capacity) {
    return CopyIfFits(BitsText(kServerFunctionNames, function), out, capacity);
}
bool DeviceStatusText(uint16_t status, char* out, size_t capacity) {
    return CopyIfFits(ValueText(kDeviceStatusNames, status), out, capacity);
}
bool DeviceStatusExText(uint16_t statusEx, char* out, size_t capacity) {
    return CopyIfFits(BitsText(kDeviceStatusExNames, statusEx), out, capacity);
}
bool DeviceFunctionText(uint16_t function, char* out, size_t capacity) {
    return CopyIfFits(BitsText(kDeviceFunctionNames, function), out, capacity);
}
bool ReserveText(uint16_t reserve, char* out, size_t capacity) {
    return CopyIfFits(ValueText(kReserveNames, reserve), out, capacity);
}
