#include "old_uninstaller.h"

#include "application_records.h"
#include "prechecks.h"
#include "setup_log.h"
#include "uninstall_records.h"

#include <shellapi.h>

#include <cctype>
#include <cstdio>

namespace {

constexpr char kUninstallerName[] = "Remvane.exe";

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool ReadOldUninstallString(std::string& out) {
    std::string key = std::string(kUninstallKey) + "\\" + kOldProductKey;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    char text[MAX_PATH * 2] = "";
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    LONG read = RegQueryValueExA(handle, "UninstallString", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(handle);
    if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    text[size < sizeof text ? size : sizeof text - 1] = '\0';
    out = text;
    return true;
}

bool OldProductInstalled() {
    std::string key = std::string(kUninstallKey) + "\\" + kOldProductKey;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

void RunAndWait(HWND frame, SetupContext* c, const std::string& program) {
    std::string folder = program.substr(0, program.find_last_of('\\'));
    const char* parameters = LogFlags ? "-dlogout -s -g" : "-s -g";
    ShowWindow(frame, SW_HIDE);
    ShowWindow(g_mainWindow, SW_HIDE);
    LogPrintf("  Uninstaller : %s %s", program.c_str(), "-s -g");
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = program.c_str();
    info.lpParameters = parameters;
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNOACTIVATE;
    if (ShellExecuteExA(&info)) {
        if (info.hProcess) {
            WaitForSingleObject(info.hProcess, INFINITE);
            CloseHandle(info.hProcess);
        }
    } else {
        LogPrintf("  --> Error: 0x%08lx", GetLastError());
    }
    if (c->background) ShowWindow(g_mainWindow, SW_SHOW);
    if (!IsSilent(*c)) ShowWindow(frame, SW_SHOW);
}

}  // namespace

std::string UninstallProgramPath(const std::string& uninstallString) {
    std::string text = Trim(uninstallString);
    if (!text.empty() && text[0] == '"') {
        size_t close = text.find('"', 1);
        return text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    std::string lower = text;
    for (char& ch : lower) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    for (size_t at = lower.find(".exe"); at != std::string::npos; at = lower.find(".exe", at + 1)) {
        size_t end = at + 4;
        if (end == text.size() || text[end] == ' ' || text[end] == '\t') return text.substr(0, end);
    }
    return text;
}

void RunOldUninstaller(HWND frame, SetupContext* c) {
    if (!c->applications || c->applicationCount == 0) return;
    const ApplicationRecord& first = c->applications[0];
    char folder[MAX_PATH] = "";
    if (!GetInstalledFilePath(kUninstallerName, first.name, first.osWord, nullptr, c->copyFileIni, folder,
                              kSourceForm)) {
        return;
    }
    std::string uninstallString;
    if (!ReadOldUninstallString(uninstallString)) return;
    std::string source = JoinFolder(folder, kUninstallerName);
    std::string target = UninstallProgramPath(uninstallString);
    if (target.empty()) return;
    LogPrintf("  Copy File: %s", source.c_str());
    LogPrintf("    --> %s", target.c_str());
    CopyFileA(source.c_str(), target.c_str(), FALSE);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    char program[MAX_PATH] = "";
    if (reinterpret_cast<INT_PTR>(FindExecutableA(target.c_str(), nullptr, program)) <= 32) return;
    RunAndWait(frame, c, target);
}

int CheckApplication2(HWND frame, SetupContext* c) {
    LogPrintf("*** Application II ***");
    if (!OldProductInstalled()) return 1;
    if (PrecheckQuestion(frame, c, "MESSAGE_40", kOldProductKey, MB_ICONQUESTION) != IDYES) {
        LogPrintf("[MessageBox] : MESSAGE_40");
        return 0;
    }
    RunOldUninstaller(frame, c);
    return 1;
}
