#include "stage_two.h"

#include "command_line.h"
#include "local_users.h"
#include "path_helpers.h"
#include "script_text.h"
#include "setup_log.h"

#include <win_handles.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

constexpr char kDefaultClassName[] = "ZK UNINSTALLER";
constexpr DWORD kDeleteRetryMs = 100;
constexpr DWORD kDeleteLimitMs = 60000;
constexpr DWORD kFolderPauseMs = 100;
constexpr size_t kMaxMutexChars = 127;

void LogRule() { LogPrintf("--------------------------------------------------"); }

void WaitForStageOne(const UninstallContext& c) {
    std::string name = ReadIniValue(c.uninstallerIni, "INFO", "CLASSNAME", kMaxMutexChars);
    if (name.empty()) name = kDefaultClassName;
    if (c.osCode >= 5) name = "Global\\" + name;
    qz::Handle mutex(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()));
    if (!mutex) return;
    // An abandoned mutex (stage one ended without releasing it) ends the wait as well.
    WaitForSingleObject(mutex.get(), INFINITE);
    ReleaseMutex(mutex.get());
}

void DeleteStageOneProgram(const UninstallContext& c) {
    std::string program = ReadIniValue(c.listIni, SectionName(c, kSecUninstall), "EXECFILE", 259);
    if (program.empty()) return;
    for (DWORD waited = 0; !DeleteFileA(program.c_str()) && GetLastError() == ERROR_ACCESS_DENIED &&
                           waited < kDeleteLimitMs;
         waited += kDeleteRetryMs) {
        Sleep(kDeleteRetryMs);
    }
    Sleep(kDeleteRetryMs);
    LogPrintf("  Delete %s", program.c_str());
}

void Restart() {
    SetTokenPrivilege(SE_SHUTDOWN_NAME, TRUE);
    ExitWindowsEx(EWX_REBOOT, 0);
    LogPrintf("    Reboot");
}

}  // namespace

int RemoveFolderTree(const char* folder) {
    if (folder && *folder && RemoveDirectoryA(folder)) LogPrintf("  %s", folder);
    return 1;
}

void RemoveRecordedFolders(const UninstallContext& c, DWORD pauseMs) {
    for (const char* format : {"PATH_%03d", "COMMON_%03d"}) {
        std::vector<std::string> folders = ReadIniList(c.listIni, SectionName(c, kSecPath), format, MAX_PATH);
        for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
            RemoveFolderTree(it->c_str());
            Sleep(pauseMs);
        }
    }
}

void DeleteSelfByCommand() {
    char program[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string command = std::string("command.com /c del ") + program;
    LogPrintf("  %s", command.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

int RunStageTwo(UninstallContext* c) {
    LogRule();
    LogPrintf("         Uninstaller -- > Uninstaller");
    LogRule();
    LogPrintf("*** Default Information ***");
    LogPrintf("  CommandLine      : %s", GetCommandLineA());
    LogPrintf("*** Uninstaller Information ***");
    LogPrintf("  Uninstall Start!!");
    WaitForStageOne(*c);
    DeleteStageOneProgram(*c);
    // With no folder recorded (the setup installed into folders that existed) only the folder
    // step is skipped: the INIs and this program still go, and a restart still happens.
    if (!ReadIniValue(c->listIni, SectionName(*c, kSecPath), "PATH_000", MAX_PATH).empty()) {
        RemoveRecordedFolders(*c, kFolderPauseMs);
    }
    for (const char* ini : {c->listIni, c->uninstallerIni}) {
        SetFileAttributesA(ini, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(ini);
        LogPrintf("  %s", ini);
    }
    if (c->osCode >= 4) MoveFileExA(c->programPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    else DeleteSelfByCommand();
    LogPrintf("  %s", c->programPath);
    if (c->reboot && !(c->uiFlags & kUiNoRestart)) Restart();
    LogPrintf("  Finish !!");
    return 1;
}

std::string StageTwoFolder() {
    char folder[MAX_PATH] = "";
    GetTempFolder(sizeof folder, folder);
    DWORD error = 0;
    if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES) CreateFolderPath(nullptr, folder, &error, nullptr);
    return folder;
}

void RelaunchFromTemp(HWND window, UninstallContext* c) {
    LogPrintf("*** Temp Information ***");
    std::string temp = StageTwoFolder();
    WritePrivateProfileStringA(SectionName(*c, kSecUninstall), "EXECFILE", c->programPath, c->listIni);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, c->listIni);
    auto nameOf = [](const char* path) {
        const char* slash = strrchr(path, '\\');
        return std::string(slash ? slash + 1 : path);
    };
    std::string copy = JoinPath(temp, nameOf(c->programPath));
    CopyFileA(c->listIni, JoinPath(temp, nameOf(c->listIni)).c_str(), FALSE);
    CopyFileA(c->uninstallerIni, JoinPath(temp, nameOf(c->uninstallerIni)).c_str(), FALSE);
    CopyFileA(c->programPath, copy.c_str(), FALSE);
    std::string arguments = StageTwoArguments(*c);
    ShellExecuteA(window, "open", copy.c_str(), arguments.c_str(), temp.c_str(), SW_SHOWNOACTIVATE);
    for (const char* ini : {c->listIni, c->uninstallerIni}) {
        SetFileAttributesA(ini, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(ini);
    }
    LogPrintf("  %s", c->listIni);
    LogPrintf("  %s", c->uninstallerIni);
    LogPrintf("  %s %s", copy.c_str(), arguments.c_str());
}
