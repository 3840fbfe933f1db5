#include "storage_items.h"

#include <shlwapi.h>

#include <cwchar>
#include <vector>

#include "app.h"
#include "ini_text.h"
#include "list_view.h"
#include "../../client/nas_info.h"
#include "../../client/server_entry.h"
#include "pnx_api.h"
#include "safe_format.h"
#include "shell_launch.h"
#include "tree_view.h"
#include "view_rules.h"

namespace {

constexpr DWORD kExplorePauseMs = 200;
constexpr uint16_t kStateMounted = 7;

std::wstring ShareAddress(HPnxDv handle, const StorageFacts& facts) {
    HPnxSv server = g_pnx.PnxGetHPnxSv(g_app.service, handle);
    ServerInfo info{};
    if (!server || g_pnx.PnxGetServerInfo(g_app.service, server, &info) != 1) return {};
    const auto* ip = reinterpret_cast<const uint8_t*>(&info.ipAddress);
    wchar_t path[400];
    std::swprintf(path, 400, L"\\\\%d.%d.%d.%d\\%ls", ip[0], ip[1], ip[2], ip[3], facts.shareName.c_str());
    return path;
}

void OpenShare(HWND window, HPnxDv handle, const StorageFacts& facts) {
    std::wstring path = ShareAddress(handle, facts);
    if (path.empty()) return;
    ShellLaunch(window, L"explore", path.c_str());  // a share that does not open is not reported
}

// Runs one batch of `code` over `handles` with the main dialog as parent; nothing for none.
BOOL RunStorageBatch(HWND window, UINT code, const std::vector<HPnxDv>& handles) {
    if (handles.empty()) return FALSE;
    DeviceOperationList list;
    if (!AllocateOperations(list, static_cast<int>(handles.size()))) return FALSE;
    for (size_t i = 0; i < handles.size(); ++i) {
        list.operations[i].device = reinterpret_cast<uint64_t>(handles[i]);
        list.operations[i].code = code;
        list.operations[i].action = kActionButton;
    }
    list.batchKind = kBatchPlain;
    RunDeviceOperations(window, nullptr, list);
    return TRUE;
}

std::vector<StorageCandidate> SelectedStorage(HWND list) {
    std::vector<StorageCandidate> out;
    for (ListRowRecord* record : ListGetSelectedRecords(list)) {
        auto handle = reinterpret_cast<HPnxDv>(record->handle);
        StorageCandidate candidate{handle, {}};
        if (IsStorageDevice(handle) && ReadStorageFacts(handle, &candidate.facts)) out.push_back(candidate);
    }
    return out;
}

// The storage entries of the server of the tree's selected item, in enumeration order. The
// count is taken once: messages pumped later may change the library's list, so the walk never
// goes beyond it.
std::vector<StorageCandidate> ServerStorage(HWND tree) {
    std::vector<StorageCandidate> out;
    HPnxSv server = TreeSelectedServer(tree);
    if (!server) return out;
    for (uint32_t index = 0;; ++index) {
        HPnxDv entry = nullptr;
        if (g_pnx.PnxEnumNasDevices(g_app.service, server, index, &entry) != 1 || !entry) break;
        StorageCandidate candidate{entry, {}};
        if (ReadStorageFacts(entry, &candidate.facts)) out.push_back(candidate);
    }
    return out;
}

}  // namespace

bool IsStorageDevice(HPnxDv handle) {
    if (!handle || !g_pnx.module) return false;
    return (g_pnx.PnxGetDeviceType(g_app.service, handle) & 0xFFFF) != 0;
}

bool ReadStorageFacts(HPnxDv handle, StorageFacts* facts) {
    if (!handle || !g_pnx.module) return false;
    NasInfo info{};
    g_pnx.PnxInitNasInfo(g_app.service, &info);
    const bool ok = g_pnx.PnxGetNasInfo(g_app.service, handle, &info) == 1;
    if (ok) {
        info.name[31] = L'\0';
        facts->storageName = info.name;
        info.text[260] = L'\0';
        facts->text = info.text;
        facts->label = info.label ? info.label : L"";
        facts->shareName = info.shareName ? info.shareName : L"";
        facts->capacityMiB = info.value1;
        facts->usedMiB = info.value2;
        facts->mounted = info.mounted;
        facts->state = info.state;
    }
    g_pnx.PnxFreeNasInfo(g_app.service, &info);
    return ok;
}

BOOL FormatStorageSize(HPnxDv handle, wchar_t* text, size_t textChars) {
    if (!handle || !text || textChars == 0 || !IsStorageDevice(handle)) return FALSE;
    StorageFacts facts;
    if (!ReadStorageFacts(handle, &facts) || facts.state != kStateMounted) return TRUE;
    if (!facts.mounted) {
        text[0] = L'\0';
        return TRUE;
    }
    const std::wstring format = ReadIniValue(g_app.iniPath, L"MAIN", L"MOUNT", 511);
    const std::wstring sized = StorageSizeText(format.c_str(), facts.capacityMiB, facts.usedMiB);
    wcsncpy(text, sized.c_str(), textChars - 1);
    text[textChars - 1] = L'\0';
    return TRUE;
}

BOOL ExploreStorageShare(HWND window, HPnxDv handle) {
    StorageFacts facts;
    if (!IsStorageDevice(handle) || !ReadStorageFacts(handle, &facts) || facts.state != kStateMounted) return FALSE;
    OpenShare(window, handle, facts);
    return TRUE;
}

BOOL ExploreSelectedStorage(HWND window, HWND list) {
    const std::vector<StorageCandidate> entries = SelectedStorage(list);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i) Sleep(kExplorePauseMs);
        OpenShare(window, entries[i].handle, entries[i].facts);
    }
    return entries.empty() ? FALSE : TRUE;
}

BOOL ExploreAllStorage(HWND window, HWND tree) {
    BOOL any = FALSE;
    for (const StorageCandidate& entry : ServerStorage(tree)) {
        if (!entry.facts.mounted) continue;
        OpenShare(window, entry.handle, entry.facts);
        Sleep(kExplorePauseMs);
        any = TRUE;
    }
    return any;
}

BOOL MountStorage(HWND window, HPnxDv handle) {
    if (!IsStorageDevice(handle)) return FALSE;
    return RunStorageBatch(window, DEVOP_NAS_MOUNT, {handle});
}

BOOL MountSelectedStorage(HWND window, HWND list) {
    std::vector<HPnxDv> handles;
    for (const StorageCandidate& entry : SelectedStorage(list)) handles.push_back(entry.handle);
    return RunStorageBatch(window, DEVOP_NAS_MOUNT, handles);
}

BOOL MountAllStorage(HWND window, HWND tree) {
    std::vector<HPnxDv> handles;
    for (const StorageCandidate& entry : ServerStorage(tree)) {
        if (entry.facts.mounted) handles.push_back(entry.handle);
    }
    return RunStorageBatch(window, DEVOP_NAS_MOUNT, handles);
}

BOOL RemoveStorage(HWND window, HPnxDv handle) {
    if (!IsStorageDevice(handle)) return FALSE;
    return RunStorageBatch(window, DEVOP_NAS_REMOVE, {handle});
}

BOOL RemoveSelectedStorage(HWND window, HWND list) {
    return RunStorageBatch(window, DEVOP_NAS_REMOVE, PickRemovals(SelectedStorage(list), true, false));
}

BOOL RemoveAllStorage(HWND window, HWND tree) {
    return RunStorageBatch(window, DEVOP_NAS_REMOVE, PickRemovals(ServerStorage(tree), false, true));
}
