#include "application_records.h"
#include "ini_text.h"
#include "install_path.h"
#include "os_ini_key.h"
#include "page_common.h"
#include "path_helpers.h"
#include "registry_value.h"
#include "resource.h"
#include "setup_frame.h"
#include "setup_pages.h"
#include "text_measure.h"

#include "script_text.h"

#include <shlobj.h>

#include <cstdio>

// The Start menu page: the name of the Start-menu folder for the shortcuts, proposed from an
// earlier installation, with the existing program groups to pick from.
namespace {

const LayoutRow kMenuLayout[] = {
    {IDD_STARTMENU, nullptr, nullptr, kTopPageX, kTopPageY, kTopPageWidth, kTopPageHeight},
    {IDC_MENU_EXPLAIN, "LABEL", "MENU_00", 49, 22, 482, 30},
    {IDC_MENU_NAME_LABEL, "LABEL", "MENU_01", 49, 56, 482, 16},
    {IDC_MENU_NAME, "", nullptr, 49, 74, 482, 21},
    {IDC_MENU_LIST_LABEL, "LABEL", "MENU_02", 49, 102, 482, 16},
    {IDC_MENU_LIST, "", nullptr, 49, 120, 482, 106},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};
constexpr int kMaxMenuName = 64;
constexpr uint16_t kOsWithCommonFolders = 4;
constexpr uint16_t kOsWithEditLimit = 6;
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

enum Special { kCommonPrograms, kUserPrograms, kCommonStartup, kUserStartup, kCommonDesktop, kUserDesktop, kSpecialCount };
char g_special[kSpecialCount][MAX_PATH];
bool g_groupsListed = false;

void ReadSpecialFolders() {
    bool common = g_setup.osCode >= kOsWithCommonFolders;
    GetSpecialFolderPath(common ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS, g_special[kCommonPrograms]);
    GetSpecialFolderPath(common ? CSIDL_COMMON_STARTUP : CSIDL_STARTUP, g_special[kCommonStartup]);
    GetSpecialFolderPath(common ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOP, g_special[kCommonDesktop]);
    GetSpecialFolderPath(CSIDL_PROGRAMS, g_special[kUserPrograms]);
    GetSpecialFolderPath(CSIDL_STARTUP, g_special[kUserStartup]);
    GetSpecialFolderPath(CSIDL_DESKTOP, g_special[kUserDesktop]);
}

// [MENU] MENU_<os>_nn when [MENU] OS names the running Windows, else MENU_nn; with no [MENU]
// OS at all, [LABEL] fallbackKey.
std::string MenuText(int number, const char* fallbackKey) {
    if (ReadIniValue(g_setup.messageIni, "MENU", "OS").empty()) return MessageText("LABEL", fallbackKey, MAX_PATH - 1);
    char word[64] = "";
    GetOsIniKey(g_setup.messageIni, g_setup.osCode, g_setup.osFlags, "MENU", word, sizeof word);
    char key[96];
    if (word[0]) snprintf(key, sizeof key, "MENU_%s_%02d", word, number);
    else snprintf(key, sizeof key, "MENU_%02d", number);
    return MessageText("MENU", key, MAX_PATH - 1);
}

std::string UserMenuValue(const ApplicationRecord& r) {
    std::string key;
    if (g_setup.modeBits & kModeNoArpEntry) {
        key = ReadIniValue(g_setup.copyFileIni, r.sections[kSecUninstLog], "UNINSTALLPATH", MAX_PATH - 1);
        if (key.empty()) return {};
    } else {
        key = std::string(kUninstallKey) + "\\" +
              ReadIniValue(g_setup.copyFileIni, r.sections[kSecUninstLog], "REGISTKEY", MAX_PATH - 1);
    }
    char value[MAX_PATH] = "";
    DWORD bytes = sizeof value - 1;
    DWORD type = 0;
    if (!ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "UserMenu", value, &bytes, &type)) return {};
    value[sizeof value - 1] = '\0';
    return value;
}

// With several applications the stored value may end with one application's own shortcut
// folder; the name is what stands before it.
std::string CutShortcutFolder(const ApplicationRecord& r, const std::string& value) {
    for (const std::string& section : {std::string(r.name) + "_" + r.osWord, std::string(r.name) + "_COMMON"}) {
        for (int n = 0;; ++n) {
            std::string line = ReadIniValue(g_setup.messageIni, section, IniListKey("SHORTCUT_%03d", n));
            if (line.empty()) break;
            std::string sub = FieldOf(line, 1);
            if (!sub.empty() && sub[0] == '\\') sub.erase(0, 1);
            if (sub.empty() || sub.size() > value.size()) continue;
            if (_stricmp(value.c_str() + value.size() - sub.size(), sub.c_str()) == 0) {
                std::string name = value.substr(0, value.size() - sub.size());
                while (!name.empty() && name.back() == '\\') name.pop_back();
                return name;
            }
        }
    }
    return value;
}

void GetDefaultMenuFolder(std::string& name) {
    for (uint32_t i = 0; i < g_setup.applicationCount; ++i) {
        const ApplicationRecord& r = g_setup.applications[i];
        std::string value = UserMenuValue(r);
        if (value.empty()) continue;
        name = g_setup.applicationCount == 1 ? value : CutShortcutFolder(r, value);
        return;
    }
}

void ListProgramGroups(HWND page) {
    if (g_groupsListed) return;
    g_groupsListed = true;
    std::string pattern = JoinFolder(g_special[kCommonPrograms], "*.*");
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0) continue;
        SendDlgItemMessageA(page, IDC_MENU_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

// A taller explanation pushes the four controls below it down; the list gives up the room.
void FitExplanation(HWND page) {
    LayoutRow row{};
    FindControlLayout(kMenuLayout, IDC_MENU_EXPLAIN, &row);
    char text[1024] = "";
    GetDlgItemTextA(page, IDC_MENU_EXPLAIN, text, sizeof text);
    int grown = FitLabelToLayout(page, kMenuLayout, IDC_MENU_EXPLAIN, text) - row.height;
    if (grown <= 0) return;
    for (int id : {IDC_MENU_NAME_LABEL, IDC_MENU_NAME, IDC_MENU_LIST_LABEL, IDC_MENU_LIST}) {
        LayoutRow below{};
        FindControlLayout(kMenuLayout, static_cast<uint32_t>(id), &below);
        int height = id == IDC_MENU_LIST ? below.height - grown : below.height;
        MoveWindow(GetDlgItem(page, id), below.x, below.y + grown, below.width, height, TRUE);
    }
}

void SetMenuLabels() {
    std::string sub = MenuText(1, "MENU_04");
    for (uint32_t i = 0; i < g_setup.applicationCount; ++i) {
        ApplicationRecord& r = g_setup.applications[i];
        for (auto [out, base] : {std::pair{r.menuFolder, kCommonPrograms}, std::pair{r.userMenuFolder, kUserPrograms}}) {
            snprintf(out, MAX_PATH, "%s", g_special[base]);
            AppendPath(out, MAX_PATH, g_setup.menuGroup);
            if (!sub.empty()) AppendPath(out, MAX_PATH, sub.c_str());
        }
        snprintf(r.startupFolder, sizeof r.startupFolder, "%s", g_special[kCommonStartup]);
        snprintf(r.desktopFolder, sizeof r.desktopFolder, "%s", g_special[kCommonDesktop]);
        snprintf(r.userStartupFolder, sizeof r.userStartupFolder, "%s", g_special[kUserStartup]);
    }
}

void InitMenuPage(HWND page) {
    AttachPageText(page, "MENU_TITLE", "MENU_CONTENTS");
    LayoutPage(page, kMenuLayout, g_setup.messageIni);
    std::string name = MenuText(0, "MENU_03");
    FitExplanation(page);
    ReadSpecialFolders();
    GetDefaultMenuFolder(name);
    ListProgramGroups(page);
    SendDlgItemMessageA(page, IDC_MENU_NAME, EM_LIMITTEXT, kMaxMenuName, 0);
    SetDlgItemTextA(page, IDC_MENU_NAME, name.c_str());
    snprintf(g_setup.menuGroup, sizeof g_setup.menuGroup, "%s", name.c_str());
    SetMenuLabels();
}

INT_PTR LeaveMenuPage(HWND page) {
    char name[kMaxMenuName + 1] = "";
    GetDlgItemTextA(page, IDC_MENU_NAME, name, sizeof name);
    const char* problem = nullptr;
    if (!name[0]) {
        problem = "MESSAGE_05";
    } else {
        char full[MAX_PATH];
        snprintf(full, sizeof full, "%s", g_special[kCommonPrograms]);
        if (AppendPath(full, sizeof full, name) < 0 || !IsValidInstallPath(page, full)) problem = "MESSAGE_01";
    }
    if (problem) {
        ShowPageMessage(page, problem);
        SetFocus(GetDlgItem(page, IDC_MENU_NAME));
        return PageAnswer(page, 0);
    }
    snprintf(g_setup.menuGroup, sizeof g_setup.menuGroup, "%s", name);
    SetMenuLabels();
    return AcceptTo(page, FirstSwitchedOn(kPageCheck, kPageCheck, kPageInstall));
}

void OnCommand(HWND page, WPARAM wParam) {
    if (LOWORD(wParam) == IDC_MENU_NAME && HIWORD(wParam) == EN_UPDATE && g_setup.osCode >= kOsWithEditLimit) {
        char name[kMaxMenuName + 1];
        LimitDlgItemText(page, IDC_MENU_NAME, name, sizeof name);
    } else if (LOWORD(wParam) == IDC_MENU_LIST && HIWORD(wParam) == LBN_SELCHANGE) {
        HWND list = GetDlgItem(page, IDC_MENU_LIST);
        LRESULT at = SendMessageA(list, LB_GETCURSEL, 0, 0);
        char text[MAX_PATH] = "";
        if (at >= 0 && SendMessageA(list, LB_GETTEXTLEN, at, 0) < MAX_PATH) {
            SendMessageA(list, LB_GETTEXT, at, reinterpret_cast<LPARAM>(text));
            SetDlgItemTextA(page, IDC_MENU_NAME, text);
        }
    }
}

INT_PTR BackFromMenuPage(HWND page) {
    int back = FirstSwitchedOn(kPageFolder, kPageWelcome, -1);
    if (back < 0) return PageAnswer(page, 0);
    return AcceptTo(page, back);
}

}  // namespace

INT_PTR CALLBACK MenuPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitMenuPage(page); return PageAnswer(page, 1);
    case kWizardShown: return PageAnswer(page, 1);
    case kWizardNext: return LeaveMenuPage(page);
    case kWizardBack: return BackFromMenuPage(page);
    case WM_COMMAND: OnCommand(page, wParam); return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC: return WhiteBrush();
    case WM_DESTROY:
    case WM_ENDSESSION: FreePageData(page); return TRUE;
    default: return FALSE;
    }
}
