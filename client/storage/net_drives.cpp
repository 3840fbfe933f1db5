#include "net_drives.h"

#include <winnetwk.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwctype>
#include <vector>

namespace {

// Every resource of an enumeration scope, as (local name, remote name).
std::vector<std::pair<std::wstring, std::wstring>> Resources(DWORD scope) {
    std::vector<std::pair<std::wstring, std::wstring>> found;
    HANDLE handle = nullptr;
    if (WNetOpenEnumW(scope, RESOURCETYPE_DISK, 0, nullptr, &handle) != NO_ERROR) return found;
    std::vector<BYTE> buffer(16384);
    for (;;) {
        DWORD count = static_cast<DWORD>(-1), size = static_cast<DWORD>(buffer.size());
        DWORD rc = WNetEnumResourceW(handle, &count, buffer.data(), &size);
        if (rc != NO_ERROR) break;
        auto* items = reinterpret_cast<NETRESOURCEW*>(buffer.data());
        for (DWORD i = 0; i < count; ++i) {
            found.emplace_back(items[i].lpLocalName ? items[i].lpLocalName : L"",
                               items[i].lpRemoteName ? items[i].lpRemoteName : L"");
        }
    }
    WNetCloseEnum(handle);
    return found;
}

bool RemoteConnected(const std::wstring& remote) {
    for (const auto& r : Resources(RESOURCE_CONNECTED)) {
        if (_wcsicmp(r.second.c_str(), remote.c_str()) == 0) return true;
    }
    return false;
}

wchar_t MappedLetter(const std::wstring& remote) {
    for (wchar_t letter = L'Z'; letter >= L'C'; --letter) {
        wchar_t local[3] = {letter, L':', 0};
        wchar_t name[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (WNetGetConnectionW(local, name, &size) == NO_ERROR && _wcsicmp(name, remote.c_str()) == 0) return letter;
    }
    return 0;
}

bool LetterTaken(wchar_t letter) {
    if (GetLogicalDrives() & (1u << (letter - L'A'))) return true;
    for (const auto& r : Resources(RESOURCE_REMEMBERED)) {
        if (!r.first.empty() && std::towupper(r.first[0]) == letter) return true;
    }
    return false;
}

DWORD AddConnection(const std::wstring& remote, wchar_t letter) {
    wchar_t local[3] = {letter, L':', 0};
    NETRESOURCEW resource = {};
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpLocalName = local;
    resource.lpRemoteName = const_cast<wchar_t*>(remote.c_str());
    return WNetAddConnection2W(&resource, L"", L"", CONNECT_UPDATE_PROFILE | CONNECT_INTERACTIVE | CONNECT_PROMPT);
}

void DriveAdded(wchar_t letter) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Windows"), SMTO_ABORTIFHUNG,
                        1000, &ignored);
    wchar_t root[4] = {letter, L':', L'\\', 0};
    SHChangeNotify(SHCNE_DRIVEADD, SHCNF_PATHW, root, nullptr);
}

void Explore(wchar_t letter) {
    wchar_t root[4] = {letter, L':', L'\\', 0};
    ShellExecuteW(nullptr, L"explore", root, nullptr, nullptr, SW_SHOWNORMAL);
}

const NetDriveApi kWindows = {RemoteConnected, MappedLetter, LetterTaken, AddConnection, DriveAdded, Explore};
NetDriveApi g_netDrives = kWindows;

}  // namespace

NetDriveApi& NetDrives() { return g_netDrives; }
const NetDriveApi& WindowsNetDrives() { return kWindows; }

DWORD ConnectShare(const std::wstring& remote, wchar_t* letter) {
    const NetDriveApi& api = NetDrives();
    if (letter) *letter = 0;
    if (api.remoteConnected(remote) || api.mappedLetter(remote)) return ERROR_SUCCESS;
    for (wchar_t candidate = L'Z'; candidate >= L'C'; --candidate) {
        if (api.letterTaken(candidate)) continue;
        DWORD rc = api.addConnection(remote, candidate);
        if (rc == ERROR_ALREADY_ASSIGNED || rc == ERROR_DEVICE_ALREADY_REMEMBERED) continue;
        if (rc != NO_ERROR) return rc;
        if (letter) *letter = candidate;
        api.driveAdded(candidate);
        api.explore(candidate);
        return ERROR_SUCCESS;
    }
    return ERROR_NO_MORE_ITEMS;
}
