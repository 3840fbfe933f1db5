#include "storage_list.h"
#include "child_windows.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <new>

#include "connect_queue.h"
#include "device_entry.h"
#include "lib_lock.h"
#include "list_rows.h"
#include "listview_util.h"
#include "live_session.h"
#include "log.h"
#include "messages.h"
#include "nas_info.h"
#include "notify.h"
#include "pnxscapi.h"
#include "server_devices.h"
#include "server_entry.h"
#include "server_session.h"
#include "storage_list_parse.h"

namespace {

constexpr uint16_t kNasChangeReason = 4;
constexpr int kStatusUpdateNoDevice = 1;
constexpr int kStatusUpdateDevices = 2;

std::wstring g_defaultNasName;  // library lock

enum class NasMissing { TimeOut, ZeroDevice, NoDevice };

const char* MissingText(NasMissing mode) {
    switch (mode) {
    case NasMissing::TimeOut: return "*** (Time Out) ***";
    case NasMissing::ZeroDevice: return "*** (Zero Device) ***";
    default: return "*** (No Device) ***";
    }
}

HWND NasList(HWND serverWindow) {
    return serverWindow && IsWindow(serverWindow) ? ChildWindow(serverWindow, kIdNasList) : nullptr;
}

struct NasNotice {
    DeviceEntry* entry;
    uint16_t kind;
    const char* text;
};

// Tells the client of each notice; the batch holds its entries, and one deleted meanwhile by a
// handler is passed over.
void SendNotices(HWND serverWindow, const std::vector<NasNotice>& notices) {
    {
        LibraryLock lock;
        for (const NasNotice& n : notices) HoldDeviceEntryLocked(n.entry);
    }
    for (const NasNotice& n : notices) {
        std::wstring share;
        {
            LibraryLock lock;
            if (n.entry->removed) continue;
            if (n.entry->storage && n.entry->storage->shareName) share = n.entry->storage->shareName;
        }
        LogLine(serverWindow, "%s %ls", n.text, share.c_str());
        LogLine(serverWindow, ">> SendMessage(PNXN_NAS, %d : %d) <<", n.kind, kNasChangeReason);
        SendClientNotification(PNXN_NAS, n.kind, kNasChangeReason, reinterpret_cast<LPARAM>(n.entry));
    }
    LibraryLock lock;
    for (const NasNotice& n : notices) DropDeviceEntryLocked(n.entry);
}

int RowOfLocked(HWND list, const DeviceEntry* entry) { return ListRowOfLocked(list, reinterpret_cast<LPARAM>(entry)); }

void SetRowImage(HWND list, int row, int image) {
    if (row >= 0) ListView_SetItemState(list, row, INDEXTOSTATEIMAGEMASK(image), LVIS_STATEIMAGEMASK);
}

int RowImage(HWND list, int row) {
    return static_cast<int>((ListView_GetItemState(list, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12);
}

// Deletes the entry's row; the entry goes when no request holds it.
void DeleteStorageRowLocked(HWND serverWindow, DeviceEntry* entry) {
    HWND list = NasList(serverWindow);
    int row = list ? RowOfLocked(list, entry) : -1;
    if (row < 0) return;
    ListView_DeleteItem(list, row);
    entry->removed = true;
    HoldDeviceEntryLocked(entry);
    DropQueuedRequestsLocked(entry);
    DropDeviceEntryLocked(entry);
}

// Fills the entry's record from a share; the label falls back to the default name.
bool FillFromShare(NasInfo* info, const StorageShare& share) {
    std::wstring name = WidenAnsi(share.storageName, 31), text = WidenAnsi(share.storageText, 260);
    wcsncpy(info->name, name.c_str(), 31);
    info->name[31] = L'\0';
    wcsncpy(info->text, text.c_str(), 260);
    info->text[260] = L'\0';
    info->vid = share.vid;
    info->pid = share.pid;
    std::wstring label = share.label.empty() ? g_defaultNasName : WidenUtf8(share.label);
    return SetNasString(&info->label, label.c_str()) && SetNasString(&info->shareName, WidenUtf8(share.shareName).c_str());
}

DeviceEntry* AddStorageEntryLocked(HWND serverWindow, const StorageShare& share) {
    HWND list = NasList(serverWindow);
    if (!list) return nullptr;
    auto* entry = new (std::nothrow) DeviceEntry{};
    auto* info = new (std::nothrow) NasInfo{};
    if (!entry || !info || !FillFromShare(info, share)) {
        if (info) FreeNasStrings(info);
        delete info;
        delete entry;
        return nullptr;
    }
    info->value1 = share.value1;
    info->value2 = share.value2;
    info->mounted = (share.flags & kShareMounted) ? 1 : 0;
    info->state = share.State();
    info->shareFlag = (share.flags & kShareFlag) ? 1 : 0;
    entry->serverWindow = serverWindow;
    entry->storage = info;
    RememberLiveEntry(entry);
    char text[32];
    snprintf(text, sizeof text, "VID:%04x, PID:%04x", share.vid, share.pid);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = text;
    item.lParam = reinterpret_cast<LPARAM>(entry);
    int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) {
        DestroyDeviceEntry(entry);
        return nullptr;
    }
    SetRowImage(list, row, 2);
    return entry;
}

// The share's values over a known entry; true when anything the client sees changed.
bool UpdateFromShareLocked(NasInfo* info, const StorageShare& share) {
    std::wstring label = share.label.empty() ? g_defaultNasName : WidenUtf8(share.label);
    std::wstring shareName = WidenUtf8(share.shareName);
    uint32_t mounted = (share.flags & kShareMounted) ? 1 : 0, flag = (share.flags & kShareFlag) ? 1 : 0;
    bool labelDiffers = !info->label || label != info->label;
    bool differs = labelDiffers || info->state != share.State() || info->shareFlag != flag || info->mounted != mounted ||
                   info->value2 != share.value2 || info->value1 != share.value1 ||
                   !info->shareName || shareName != info->shareName;
    if (!differs) return false;
    if (labelDiffers) SetNasString(&info->label, label.c_str());
    info->value1 = share.value1;
    info->value2 = share.value2;
    info->previousState = info->state;
    info->state = share.State();
    info->mounted = mounted;
    info->shareFlag = flag;
    return true;
}

void MarkMissing(HWND serverWindow, NasMissing mode, uint16_t state) {
    ServerEntry* server = ServerEntryOfWindow(serverWindow);
    std::vector<NasNotice> changes, deletions;
    std::vector<DeviceEntry*> takingPart;
    {
        LibraryLock lock;
        HWND list = NasList(serverWindow);
        if (!list) return;
        int count = ListView_GetItemCount(list);
        for (int row = 0; row < count; ++row) {
            auto* entry = static_cast<DeviceEntry*>(ListViewItemData(list, row));
            if (!entry || !entry->storage) continue;
            if (mode == NasMissing::NoDevice && RowImage(list, row) != 1) continue;
            takingPart.push_back(entry);
            NasInfo* info = entry->storage;
            uint16_t old = info->state;
            info->previousState = old;
            info->state = state;
            if ((old == kNasStateNoDevice || old == kNasStateError) && old == state) continue;
            changes.push_back({entry, PNXET_CHANGE, MissingText(mode)});
        }
    }
    SendNotices(serverWindow, changes);
    if (!server || !SessionAlive(serverWindow, server)) return;
    {
        LibraryLock lock;
        if (!server->record) return;
        bool marks = server->record->deviceDeleteMark, remove = server->record->removeMissing;
        for (DeviceEntry* entry : StorageEntriesLocked(serverWindow)) {
            bool part = std::find(takingPart.begin(), takingPart.end(), entry) != takingPart.end();
            if ((marks && entry->deleteMark) || (remove && part)) deletions.push_back({entry, PNXET_DELETE, MissingText(mode)});
        }
    }
    if (deletions.empty()) return;
    SendNotices(serverWindow, deletions);
    LibraryLock lock;
    for (const NasNotice& n : deletions) DeleteStorageRowLocked(serverWindow, n.entry);
}

// Each entry is either deleted (doomed(info): notice deleteText) or asked again (askText); the
// deletions come after every notice has gone out.
template <typename Doomed>
void RefreshEach(HWND serverWindow, Doomed doomedIf, const char* deleteText, const char* askText) {
    std::vector<NasNotice> notices;
    std::vector<DeviceEntry*> doomed;
    {
        LibraryLock lock;
        for (DeviceEntry* entry : StorageEntriesLocked(serverWindow)) {
            NasInfo* info = entry->storage;
            info->previousState = info->state;
            if (doomedIf(*info)) {
                notices.push_back({entry, PNXET_DELETE, deleteText});
                doomed.push_back(entry);
            } else {
                info->state = kNasStateAsking;
                notices.push_back({entry, PNXET_CHANGE, askText});
            }
        }
    }
    SendNotices(serverWindow, notices);
    LibraryLock lock;
    for (DeviceEntry* entry : doomed) DeleteStorageRowLocked(serverWindow, entry);
}

// Every entry gets the same notice, and with destroy is deleted.
void RefreshAll(HWND serverWindow, const char* text, bool destroy) {
    RefreshEach(serverWindow, [destroy](const NasInfo&) { return destroy; }, text, text);
}

}  // namespace

// From the library's record of the rows: any thread may ask, with the lock held.
std::vector<DeviceEntry*> StorageEntriesLocked(HWND serverWindow) {
    std::vector<DeviceEntry*> entries;
    HWND list = NasList(serverWindow);
    if (!list) return entries;
    for (LPARAM data : ListRowsLocked(list)) {
        auto* entry = reinterpret_cast<DeviceEntry*>(data);
        if (entry && entry->storage) entries.push_back(entry);
    }
    return entries;
}

bool StorageListedLocked(HWND serverWindow, const DeviceEntry* entry) {
    HWND list = NasList(serverWindow);
    return list && entry && RowOfLocked(list, entry) >= 0;
}

bool ShareMatches(const NasInfo& info, const StorageShare& share) {
    std::wstring name = WidenAnsi(share.storageName, 31), shareName = WidenUtf8(share.shareName);
    return _wcsicmp(info.name, name.c_str()) == 0 && _wcsicmp(info.shareName ? info.shareName : L"", shareName.c_str()) == 0;
}

void SetDefaultNasName(const wchar_t* name) {
    LibraryLock lock;
    g_defaultNasName = name ? name : L"";
}

std::wstring DefaultNasName() {
    LibraryLock lock;
    return g_defaultNasName;
}

void UpdateNasList(HWND serverWindow, const uint8_t* data, size_t length) {
    ServerEntry* server = ServerEntryOfWindow(serverWindow);
    if (!server || !data) return;
    if (length == 1 && data[0] != 0) return;  // a count without its storages
    std::vector<StorageShare> shares = ParseStorageList(data, length);
    {
        LibraryLock lock;
        HWND list = NasList(serverWindow);
        int count = list ? ListView_GetItemCount(list) : 0;
        for (int row = 0; row < count; ++row) SetRowImage(list, row, 1);
    }
    bool anyUp = false;
    for (const StorageShare& s : shares) anyUp |= s.State() != kNasStateNotMounted;
    if (shares.empty() || !anyUp) MarkMissing(serverWindow, NasMissing::ZeroDevice, kNasStateNoDevice);
    if (!SessionAlive(serverWindow, server)) return;
    ApplyServerStatusUpdate(serverWindow, DeviceCount(server) > 0 || anyUp ? kStatusUpdateDevices : kStatusUpdateNoDevice, true);
    if (shares.empty() || !SessionAlive(serverWindow, server)) return;

    std::vector<NasNotice> changes;
    {
        LibraryLock lock;
        HWND list = NasList(serverWindow);
        int count = list ? ListView_GetItemCount(list) : 0;
        for (int row = 0; row < count; ++row) {
            auto* entry = static_cast<DeviceEntry*>(ListViewItemData(list, row));
            if (!entry || !entry->storage) continue;
            for (const StorageShare& share : shares) {
                if (!ShareMatches(*entry->storage, share)) continue;
                if (UpdateFromShareLocked(entry->storage, share)) changes.push_back({entry, PNXET_CHANGE, "*** (Change NAS) ***"});
                SetRowImage(list, row, 2);
                break;
            }
        }
    }
    SendNotices(serverWindow, changes);
    if (!SessionAlive(serverWindow, server)) return;
    MarkMissing(serverWindow, NasMissing::NoDevice, kNasStateNoDevice);
    if (!SessionAlive(serverWindow, server)) return;

    std::vector<NasNotice> added;
    {
        LibraryLock lock;
        for (const StorageShare& share : shares) {
            if (share.State() == kNasStateNotMounted) continue;
            bool known = false;
            for (DeviceEntry* entry : StorageEntriesLocked(serverWindow)) known |= ShareMatches(*entry->storage, share);
            if (known) continue;
            if (DeviceEntry* entry = AddStorageEntryLocked(serverWindow, share)) added.push_back({entry, PNXET_NEW, "*** (New NAS) ***"});
        }
    }
    SendNotices(serverWindow, added);
}

void HandleStorageListReply(HWND serverWindow, UINT, const uint8_t* data, size_t length) {
    UpdateNasList(serverWindow, data, length);
}

void RenewServerStorage(HWND serverWindow) { RefreshAll(serverWindow, "*** (Renew) ***", false); }

void MarkServerStorageError(HWND serverWindow, int errorKind) {
    MarkMissing(serverWindow, NasMissing::TimeOut, static_cast<uint16_t>(errorKind));
}

void ClearServerStorage(HWND serverWindow) { MarkMissing(serverWindow, NasMissing::ZeroDevice, kNasStateNoDevice); }

void DestroyServerStorage(HWND serverWindow) { RefreshAll(serverWindow, "*** (Destroy) ***", true); }

void RefreshServerStorageForSearch(HWND serverWindow) {
    RefreshEach(serverWindow, [](const NasInfo& info) { return info.state == kNasStateNoDevice; },
                "*** (SearchPacket - Error) ***", "*** (SearchPacket - GetStatus) ***");
}

int StorageGetInfo(HPnxDv entry, NasInfo* info) {
    if (!entry) return 0;
    LibraryLock lock;
    if (entry->removed || !entry->storage) return 0;
    if (!info) return 1;
    FreeNasStrings(info);
    return CopyNasInfo(info, *entry->storage) ? 1 : 0;
}

int IsStorageEntry(HPnxDv entry) {
    if (!entry) return 0;
    LibraryLock lock;
    return entry->storage ? 1 : 0;
}

int StorageEnum(HPnxSv server, uint32_t index, HPnxDv* entry) {
    if (!server || !entry) return 0;
    LibraryLock lock;
    if (!server->record) return 0;
    std::vector<DeviceEntry*> entries = StorageEntriesLocked(server->serverWindow);
    if (index >= entries.size()) return 0;
    *entry = entries[index];
    return 1;
}
