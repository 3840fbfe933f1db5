#include "server_list.h"
#include "child_windows.h"

#include <commctrl.h>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "detected_servers.h"
#include "lib_lock.h"
#include "list_rows.h"
#include "lib_state.h"
#include "listview_util.h"
#include "log.h"
#include "messages.h"
#include "notify.h"
#include "row_index.h"
#include "search_filter.h"
#include "server_session.h"
#include "text_util.h"
#include "win_handles.h"

HWND ServerListControl(HWND service) {
    if (!service || !IsWindow(service)) return nullptr;
    return ChildWindow(service, kIdServerList);
}

ServerEntry* NewServerEntry(HWND service) {
    std::unique_ptr<ServerEntry> entry(new (std::nothrow) ServerEntry);
    std::unique_ptr<ServerRecord> record(new (std::nothrow) ServerRecord);
    qz::HeapBlock info(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ServerInfo)));
    if (!entry || !record || !info) return nullptr;
    record->info = static_cast<ServerInfo*>(info.release());
    entry->owner = service;
    entry->record = record.release();
    return entry.release();
}

void FreeServerEntry(ServerEntry* entry) {
    std::unique_ptr<ServerEntry> owned(entry);
    if (!owned) return;
    std::unique_ptr<ServerRecord> record(owned->record);
    if (record) qz::HeapBlock(record->info).reset();
}

// From the library's record of the rows: any thread may ask. The order is the order the
// servers were added in, not the list's sorted one.
std::vector<ServerEntry*> ServerEntries(HWND service) {
    std::vector<ServerEntry*> entries;
    HWND list = ServerListControl(service);
    if (!list) return entries;
    LibraryLock lock;
    for (LPARAM data : ListRowsLocked(list)) {
        if (auto* entry = reinterpret_cast<ServerEntry*>(data)) entries.push_back(entry);
    }
    return entries;
}

static int RowOfEntry(HWND list, const ServerEntry* entry) {
    return RowOfItemData(list, reinterpret_cast<LPARAM>(entry));
}

// Any thread may ask, with or without the lock: the library's record of the rows answers.
bool ServerEntryListed(HWND service, const ServerEntry* entry) {
    HWND list = ServerListControl(service);
    if (!list || !entry) return false;
    LibraryLock lock;
    return ListRowOfLocked(list, reinterpret_cast<LPARAM>(entry)) >= 0;
}

void SendToServerWindows(HWND service, UINT message, WPARAM wParam, LPARAM lParam) {
    std::vector<HWND> windows;
    for (ServerEntry* entry : ServerEntries(service)) {
        LibraryLock lock;
        if (entry->serverWindow) windows.push_back(entry->serverWindow);
    }
    for (HWND window : windows) {
        if (IsWindow(window)) SendMessageA(window, message, wParam, lParam);
    }
}

void DestroyServerWindow(HWND service, ServerEntry* entry) {
    if (!entry) return;
    {
        // A window already being destroyed finishes that itself; destroying it again from a
        // notification it sends on the way would run its destruction twice.
        LibraryLock lock;
        if (entry->record && entry->record->closing) return;
    }
    if (entry->serverWindow && IsWindow(entry->serverWindow)) {
        DestroyWindow(entry->serverWindow);
        return;
    }
    RemoveServerRow(service, entry);
}

void RemoveServerRow(HWND service, ServerEntry* entry) {
    HWND list = ServerListControl(service);
    if (!list || !entry) return;
    int row = RowOfEntry(list, entry);
    if (row >= 0) ListView_DeleteItem(list, row);
}

namespace {
// CommunicateMode bit: replies without an IPv4 address are taken too.
constexpr uint8_t kCommunicateAcceptNoAddress = 0x4;

// Server list columns.
constexpr int kColumnHardware = 0;
constexpr int kColumnIpv4 = 1;
constexpr int kColumnHost = 2;
constexpr int kColumnVersion = 3;

// Copies a text into a fixed field, cut to fit and always terminated.
std::string ServerIpv4Text(const ServerEntry* entry) {
    return entry && entry->record && entry->record->info ? Ipv4Text(entry->record->info->ipAddress) : std::string();
}
std::string ServerHardwareText(const ServerEntry* entry) {
    return entry && entry->record && entry->record->info ? HardwareAddressText(entry->record->info->hardwareAddress)
                                                         : std::string();
}

// Rows are ordered by the IPv4 text, then by the hardware-address text. Two servers that show
// the same IPv4 text cannot both be right: both are looked at again.
int CALLBACK CompareServerRows(LPARAM first, LPARAM second, LPARAM) {
    auto* a = reinterpret_cast<ServerEntry*>(first);
    auto* b = reinterpret_cast<ServerEntry*>(second);
    std::string ipA = ServerIpv4Text(a);
    std::string ipB = ServerIpv4Text(b);
    if (_stricmp(ipA.c_str(), ipB.c_str()) == 0 && a != b) {
        for (ServerEntry* entry : {a, b}) {
            if (entry && entry->record) entry->record->reexamine = true;
            LogLine(entry ? entry->serverWindow : nullptr, "  *** IP Address Reexamines. ***");
        }
    }
    int order = std::strcmp(ipA.c_str(), ipB.c_str());
    if (order == 0) order = std::strcmp(ServerHardwareText(a).c_str(), ServerHardwareText(b).c_str());
    return order;
}

// Adds the entry's row and sorts the list. False when the row could not be added (the entry
// is then still the caller's).
bool InsertServerRowLocked(HWND list, ServerEntry* entry, const ReplyServer& server) {
    std::string hardware = HardwareAddressText(server.info.hardwareAddress);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<char*>(hardware.c_str());
    item.lParam = reinterpret_cast<LPARAM>(entry);
    int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) return false;
    RowIndexAdd(list, hardware.c_str(), reinterpret_cast<LPARAM>(entry));
    ListViewSetText(list, row, kColumnIpv4, Ipv4Text(server.info.ipAddress).c_str());
    ListViewSetText(list, row, kColumnHost, server.info.hostName);
    ListViewSetText(list, row, kColumnVersion, server.rwpVersionText);
    SendMessageA(list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareServerRows));
    return true;
}

void StoreReplyServer(ServerRecord* record, const ReplyServer& server, uint16_t sourcePort) {
    *record->info = server.info;
    record->versionMajor = server.version.major;
    record->versionMinor = server.version.minor;
    record->versionBuild = server.version.build;
    CopyCut(FieldText(server.rwpVersionText), record->rwpVersionText);
    record->storage = server.storage;
    if (sourcePort) record->rwpPort = sourcePort;
}

int AddNewServer(HWND service, ReplyServer& server, uint16_t sourcePort) {
    std::string hardware = HardwareAddressText(server.info.hardwareAddress);
    LogLine(service, "  (New) %s - %s - %s", hardware.c_str(), server.info.hostName,
            Ipv4Text(server.info.ipAddress).c_str());
    server.info.statusWord |= kServerStatusNoDevice;
    HWND list = ServerListControl(service);
    ServerEntry* entry = list ? NewServerEntry(service) : nullptr;
    if (!entry) return 0;
    {
        LibraryLock lock;
        StoreReplyServer(entry->record, server, sourcePort);
        if (!InsertServerRowLocked(list, entry, server)) {
            FreeServerEntry(entry);
            return 0;
        }
    }
    HWND window = CreateServerWindow(service, hardware.c_str(), entry);
    if (!window) {
        // Without its window the server could never be reported deleted: drop it now.
        RemoveServerRow(service, entry);
        return 0;
    }
    NotifyServer(service, entry, PNXET_NEW, 0);
    PostMessageA(window, PNXM_ANALYSIS_START, 0, 0);
    return 1;
}

void UpdateRowTexts(HWND logWindow, HWND service, ServerEntry* entry, const ServerInfo& before, const ServerInfo& after) {
    HWND list = ServerListControl(service);
    int row = list ? RowOfEntry(list, entry) : -1;
    if (before.ipAddress != after.ipAddress) {
        std::string was = Ipv4Text(before.ipAddress);
        std::string now = Ipv4Text(after.ipAddress);
        ListViewSetText(list, row, kColumnIpv4, now.c_str());
        LogLine(logWindow, ">> IP Address Change !! %s --> %s <<", was.c_str(), now.c_str());
    }
    if (_stricmp(before.hostName, after.hostName) != 0) {
        ListViewSetText(list, row, kColumnHost, after.hostName);
        LogLine(logWindow, ">> Host Name Change !! %s --> %s <<", before.hostName, after.hostName);
    }
    if (_stricmp(before.modelName, after.modelName) != 0) {
        LogLine(logWindow, ">> Model Name Change !! %s --> %s <<", before.modelName, after.modelName);
    }
}

// Refreshes a known server from a reply. 1 when taken (changed or not), 0 when the server's
// record is gone.
int RefreshServer(HWND logWindow, ServerEntry* entry, ReplyServer& server, uint16_t sourcePort) {
    ServerInfo before;
    bool storageBefore;
    HWND serverWindow;
    HWND owner;
    {
        LibraryLock lock;
        if (!entry->record || !entry->record->info) return 0;
        owner = entry->owner;
        before = *entry->record->info;
        storageBefore = entry->record->storage;
        serverWindow = entry->serverWindow;
        if (sourcePort) entry->record->rwpPort = sourcePort;
    }
    ServerInfo& after = server.info;
    after.statusWord = static_cast<uint16_t>((after.statusWord & ~(kServerStatusNoDevice | kServerStatusNetworkError)) |
                                             (before.statusWord & kServerStatusNoDevice));
    if ((storageBefore != server.storage || (before.statusWord & kServerStatusNetworkError)) && !server.storage) {
        if (TheServerStorageHooks().reread) TheServerStorageHooks().reread(entry);
    }
    if (!ServerInfoDiffers(before, after)) {
        LogLine(logWindow, "  *** (Same Server) ***");
        return 1;
    }
    after.functionWordPrevious = before.functionWord;
    after.statusWordPrevious = before.statusWord;
    after.optionWordPrevious = before.optionWord;
    uint16_t flags = ServerChangeFlags(before, after);
    {
        LibraryLock lock;
        if (!entry->record || !entry->record->info) return 0;
        StoreReplyServer(entry->record, server, sourcePort);
    }
    UpdateRowTexts(logWindow, owner, entry, before, after);
    NotifyServer(logWindow, entry, PNXET_CHANGE, flags);
    // The client's handler may have ended the server or the service.
    if (!ServerEntryListed(owner, entry)) return 0;
    if (before.ipAddress != after.ipAddress && serverWindow && IsWindow(serverWindow)) {
        SendMessageA(serverWindow, PNXM_SESSION_TIMERS, 0, 0);
        {
            LibraryLock lock;
            if (entry->record) entry->record->analysisState = kStateAddressChanged;
        }
        RestartServerAnalysis(serverWindow);
    }
    return 1;
}

// A probe reply for one server: taken only when it comes from that server.
int RefreshGivenServer(HWND window, ServerEntry* server, ReplyServer& reply, uint16_t sourcePort) {
    uint8_t known[6];
    {
        LibraryLock lock;
        if (!server->record || !server->record->info) return 0;
        std::memcpy(known, server->record->info->hardwareAddress, sizeof known);
    }
    if (std::memcmp(known, reply.info.hardwareAddress, sizeof known) != 0) {
        LogLine(window, "  *** Not Same Ethernet Address! ***");
        LogLine(window, "     Old : %s", HardwareAddressText(known).c_str());
        LogLine(window, "     New : %s", HardwareAddressText(reply.info.hardwareAddress).c_str());
        return 0;
    }
    return RefreshServer(window, server, reply, sourcePort);
}

uint8_t CommunicateMode() {
    LibraryLock lock;
    return g_lib.properties.communicateMode;
}

// Steps 4-6: filter set A, the detected-server list, filter set B.
bool PassesFilters(HWND service, const SearchReply& reply, uint32_t ipv4) {
    std::string ipText = Ipv4Text(ipv4);
    std::string hardware = HardwareAddressText(reply.hardwareAddress);
    if (!SearchFilterAccepts(kFilterSetA, ipText.c_str(), hardware.c_str(), reply.model)) return false;
    if (!DetectedServerKnown(service, hardware.c_str())) {
        DetectedServer detected = {};
        detected.ipAddress = ipv4;
        std::memcpy(detected.hardwareAddress, reply.hardwareAddress, sizeof detected.hardwareAddress);
        CopyCut(FieldText(reply.hostName), detected.hostName);
        CopyCut(FieldText(reply.model), detected.modelName);
        AddDetectedServer(service, detected);
    }
    return SearchFilterAccepts(kFilterSetB, ipText.c_str(), hardware.c_str(), reply.model);
}
}  // namespace

void ServerFromParsedReply(const SearchReply& reply, ReplyServer* server) {
    *server = ReplyServer{};
    ServerInfo& info = server->info;
    std::memcpy(&info.ipAddress, reply.ipv4, sizeof info.ipAddress);
    std::memcpy(info.hardwareAddress, reply.hardwareAddress, sizeof info.hardwareAddress);
    CopyCut(FieldText(reply.hostName), info.hostName);
    CopyCut(FieldText(reply.model), info.modelName);
    CopyCut(FieldText(reply.firmware), info.firmwareVersion);
    info.rwpLevel = RwpLevel(reply.version);
    ModelTableWords(reply.model, reply.functionFlags, &info.functionWord, &info.statusWord);
    if (reply.flags & kReplyFlagFunction10) info.functionWord |= kServerFunctionFlag10;
    if (reply.flags & kReplyFlagOption) info.optionWord |= kServerOptionFlag100;
    uint32_t extraLength = reply.extraLength < sizeof info.extraData ? reply.extraLength : sizeof info.extraData;
    std::memcpy(info.extraData, reply.extra, extraLength);
    info.extraDataLength = extraLength;
    info.extraDataKind = reply.extraKind;
    server->version = reply.version;
    CopyCut(FieldText(reply.versionText), server->rwpVersionText);
    server->storage = reply.storage;
}

bool ServerInfoDiffers(const ServerInfo& a, const ServerInfo& b) {
    if (a.extraDataKind != b.extraDataKind || a.extraDataLength != b.extraDataLength) return true;
    if (a.ipAddress != b.ipAddress) return true;
    if (_strnicmp(a.hostName, b.hostName, sizeof a.hostName) != 0) return true;
    if (_strnicmp(a.modelName, b.modelName, sizeof a.modelName) != 0) return true;
    if (_strnicmp(a.firmwareVersion, b.firmwareVersion, sizeof a.firmwareVersion) != 0) return true;
    if (a.statusWord != b.statusWord || a.functionWord != b.functionWord) return true;
    if (a.rwpLevel != b.rwpLevel || a.optionWord != b.optionWord) return true;
    size_t length = a.extraDataLength < sizeof a.extraData ? a.extraDataLength : sizeof a.extraData;
    return length != 0 && std::memcmp(a.extraData, b.extraData, length) != 0;
}

uint16_t ServerChangeFlags(const ServerInfo& before, const ServerInfo& after) {
    uint16_t flags = 0;
    size_t length = before.extraDataLength < sizeof before.extraData ? before.extraDataLength : sizeof before.extraData;
    bool extraChanged = before.extraDataKind != after.extraDataKind || before.extraDataLength != after.extraDataLength ||
                        std::memcmp(before.extraData, after.extraData, length) != 0;
    if (extraChanged || before.ipAddress != after.ipAddress ||
        _strnicmp(before.hostName, after.hostName, sizeof before.hostName) != 0 ||
        _strnicmp(before.modelName, after.modelName, sizeof before.modelName) != 0) {
        flags |= kServerChangeBase;
    }
    if (before.functionWord != after.functionWord) flags |= kServerChangeFunction;
    if (before.statusWord != after.statusWord || before.optionWord != after.optionWord) flags |= kServerChangeStatus;
    return flags;
}

ServerEntry* FindServerByHardwareText(HWND service, const char* text) {
    // The hardware text is the row's first column, set when the row goes in and never changed.
    return reinterpret_cast<ServerEntry*>(FindRowByKey(ServerListControl(service), kColumnHardware, text));
}

void NotifyAnalysisFinished(HWND serverWindow) {
    if (ServerEntry* entry = ServerEntryOfWindow(serverWindow)) {
        NotifyServer(serverWindow, entry, PNXET_CHANGE, kServerChangeAnalysed);
    }
}

int ServerFromReply(HWND window, const uint8_t* reply, size_t length, ServerEntry* server) {
    return ServerFromReplyAt(window, reply, length, server, 0);
}

int ServerFromReplyAt(HWND window, const uint8_t* reply, size_t length, ServerEntry* server, uint16_t sourcePort) {
    SearchReply parsed;
    if (!ParseSearchReply(reply, length, &parsed) || parsed.type != kSearchReplyType) return 0;
    uint32_t ipv4;
    std::memcpy(&ipv4, parsed.ipv4, sizeof ipv4);
    if (ipv4 == 0 && !(CommunicateMode() & kCommunicateAcceptNoAddress)) return 0;
    if (!parsed.versionValid || !ReplyVersionAccepted(parsed.version)) return 0;
    HWND service = server ? server->owner : window;
    if (!PassesFilters(service, parsed, ipv4)) return 0;

    ReplyServer next;
    ServerFromParsedReply(parsed, &next);
    if (server) return RefreshGivenServer(window, server, next, sourcePort);

    std::string hardware = HardwareAddressText(parsed.hardwareAddress);
    ServerEntry* known = FindServerByHardwareText(service, hardware.c_str());
    if (!known) return AddNewServer(service, next, sourcePort);
    int taken = RefreshServer(known->serverWindow ? known->serverWindow : service, known, next, sourcePort);
    if (!ServerEntryListed(service, known)) return taken;
    LibraryLock lock;
    if (taken && known->record) known->record->notSeen = false;
    return taken;
}
