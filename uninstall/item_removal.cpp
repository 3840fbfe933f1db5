#include "item_removal.h"

#include "dialog_layout.h"
#include "resource.h"
#include "script_text.h"
#include "setup_log.h"
#include "stage_two.h"
#include "text_measure.h"

#include <win_handles.h>

#include <commctrl.h>

namespace {

constexpr DWORD kItemPauseMs = 50;
constexpr DWORD kFolderPauseMs = 100;
constexpr size_t kTextChars = 260;

struct RemovalTexts {
    HFONT font;
    std::string caption;
};

void ShowItem(HWND page, const UninstallContext& c, const RemovalTexts& t, const std::string& path) {
    if (!page) return;
    char text[1024] = "";
    GetIniText(c.uninstallerIni, "LABEL", "UNINSTALL_03", path.c_str(), text, sizeof text);
    char fitted[1024] = "";
    FitTextToWidth(page, IDC_STEP_LABEL, text, fitted, sizeof fitted, t.font);
    SetDlgItemTextA(page, IDC_STEP_LABEL, fitted);
    SendDlgItemMessageA(page, IDC_PROGRESS, PBM_STEPIT, 0, 0);
}

// Deletes one file; a missing file is no error, any other failure is shown.
void DeleteOne(HWND page, const UninstallContext& c, const RemovalTexts& t, const std::string& path,
               const char* errorLine) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path.c_str())) {
        DWORD error = GetLastError();
        LogPrintf(errorLine, static_cast<unsigned long>(error));
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            ShowLastErrorBox(page, c, error, t.caption.c_str(), MB_ICONWARNING);
        }
    }
    Sleep(kItemPauseMs);
}

template <typename Fn>
void ForEnabled(const UninstallContext& c, Fn fn) {
    for (uint32_t i = 0; c.entries && i < c.entryCount; ++i) {
        if (c.entries[i].enabled) fn(c.entries[i]);
    }
}

void DeleteShortcuts(HWND page, const UninstallContext& c, const RemovalTexts& t) {
    LogPrintf("*** Delete Shortcut Information ***");
    ForEnabled(c, [&](const UninstallSectionEntry& e) {
        for (const std::string& path : ReadIniList(c.listIni, e.sections[kSecShortcut], "SHORTCUT_%03d", MAX_PATH)) {
            ShowItem(page, c, t, path);
            LogPrintf("  Delete: %s", path.c_str());
            DeleteOne(page, c, t, path, "    --> Error : 0x%08lx");
        }
    });
}

bool LeftForStageTwo(const UninstallContext& c, const std::string& path) {
    for (const char* own : {c.programPath, c.listIni, c.uninstallerIni}) {
        if (_stricmp(own, path.c_str()) == 0) return true;
    }
    return false;
}

void DeleteSharedFiles(HWND page, const UninstallContext& c, const RemovalTexts& t) {
    LogPrintf("*** Delete Shared Files Information ***");
    std::string value = ReadIniValue(c.listIni, "SHARED", "SHAREDKEY", MAX_PATH);
    std::string company = FieldOf(value, 0);
    std::string product = FieldOf(value, 1);
    // Both parts must be there: an empty one would name a key of someone else.
    if (company.empty() || product.empty() || company.find('\\') != std::string::npos ||
        product.find('\\') != std::string::npos) {
        return;
    }
    std::string companyKey = "Software\\" + company;
    std::string productKey = companyKey + "\\" + product;
    if (RegDeleteKeyA(HKEY_LOCAL_MACHINE, productKey.c_str()) == ERROR_SUCCESS) {
        LogPrintf("  HKEY_LOCAL_MACHINE\\%s", productKey.c_str());
    }
    qz::RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, companyKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    DWORD subKeys = 1;
    RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    key.reset();
    // While another product of the company remains, the shared files stay.
    if (subKeys != 0) return;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, companyKey.c_str());
    LogPrintf("  Delete: HKEY_LOCAL_MACHINE\\%s", companyKey.c_str());
    for (const std::string& path : ReadIniList(c.listIni, "SHARED", "FILE_%03d", MAX_PATH)) {
        LogPrintf("  Delete: %s", path.c_str());
        DeleteOne(page, c, t, path, "    --> Error: 0x%08lx");
    }
}

void DeleteFiles(HWND page, const UninstallContext& c, const RemovalTexts& t) {
    LogPrintf("*** Delete Files Information ***");
    ForEnabled(c, [&](const UninstallSectionEntry& e) {
        for (const std::string& path : ReadIniList(c.listIni, e.sections[kSecFile], "FILE_%03d", MAX_PATH)) {
            ShowItem(page, c, t, path);
            if (LeftForStageTwo(c, path)) continue;
            LogPrintf("  Delete: %s", path.c_str());
            DeleteOne(page, c, t, path, "    --> Error: 0x%08lx");
        }
    });
    DeleteSharedFiles(page, c, t);
}

void DeleteUninstallKey(HWND page, const UninstallContext& c, const RemovalTexts& t) {
    LogPrintf("*** Delete Registry Information ***");
    ForEnabled(c, [&](const UninstallSectionEntry& e) {
        std::string name = ReadIniValue(c.listIni, e.sections[kSecUninstall], "REGISTKEY", MAX_PATH);
        if (name.empty() || name.find('\\') != std::string::npos) return;
        std::string path = std::string(kUninstallRegistryKey) + "\\" + name;
        qz::RegKey key;
        LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, key.put());
        if (error != ERROR_SUCCESS) {
            ShowLastErrorBox(page, c, static_cast<DWORD>(error), t.caption.c_str(), MB_ICONWARNING);
            return;
        }
        error = RegDeleteValueA(key.get(), "UninstallString");
        if (error != ERROR_SUCCESS) ShowLastErrorBox(page, c, static_cast<DWORD>(error), t.caption.c_str(), MB_ICONWARNING);
        key.reset();
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
        LogPrintf("  HKEY_LOCAL_MACHINE, %s", path.c_str());
    });
}

}  // namespace

void ShowLastErrorBox(HWND owner, const UninstallContext& c, DWORD error, const char* caption, UINT icon) {
    if (IsSilent(c)) return;
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0, nullptr);
    qz::LocalBlock owned(text);
    MessageBoxA(owner, text ? text : "", caption, MB_OK | icon | (RtlLayout ? MB_RTLREADING : 0));
}

int DeleteInstalledItems(HWND page, UninstallContext* c) {
    RemovalTexts t{};
    t.font = page ? reinterpret_cast<HFONT>(SendDlgItemMessageA(page, IDC_STEP_LABEL, WM_GETFONT, 0, 0)) : nullptr;
    t.caption = ReadIniValue(c->uninstallerIni, "ERROR", "TITLE", kTextChars - 1);
    DeleteShortcuts(page, *c, t);
    DeleteFiles(page, *c, t);
    LogPrintf("*** Delete Folder Information ***");
    RemoveRecordedFolders(*c, kFolderPauseMs);
    DeleteUninstallKey(page, *c, t);
    return 1;
}
