#include "stage_two.h"

#include "command_line.h"
#include "local_users.h"
#include "path_helpers.h"
#include "script_text.h"
#include "setup_log.h"

#include <win_handles.h>

#include <sddl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

constexpr char kDefaultClassName[] = "ZK UNINSTALLER";
constexpr DWORD kDeleteRetryMs = 100;
constexpr DWORD kDeleteLimitMs = 60000;
constexpr DWORD kFolderPauseMs = 100;
constexpr size_t kMaxMutexChars = 127;
constexpr int kFolderAttempts = 16;
// Protected: nothing inherited from TEMP; the system and administrators have full access.
constexpr char kOwnFolderAccess[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

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

std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Stage one's program as the list names it, when it is this uninstaller of the recorded
// install: the same file name as this program, listed among the installed files and inside
// the install folder. Anything else in EXECFILE is refused (empty).
std::string StageOneProgram(const UninstallContext& c) {
    std::string program = ReadIniValue(c.listIni, SectionName(c, kSecUninstall), "EXECFILE", 259);
    if (program.empty()) return program;
    std::string folder = ReadIniValue(c.listIni, SectionName(c, kSecUninstall), "PATH", 259);
    bool listed = false;
    for (const std::string& file : ReadIniList(c.listIni, SectionName(c, kSecFile), "FILE_%03d", MAX_PATH)) {
        if (_stricmp(file.c_str(), program.c_str()) == 0) listed = true;
    }
    if (listed && !folder.empty() && IsInsideFolder(program, folder) &&
        _stricmp(FileNameOf(program).c_str(), FileNameOf(c.programPath).c_str()) == 0) {
        return program;
    }
    LogPrintf("  Refused EXECFILE %s", program.c_str());
    return std::string();
}

void DeleteStageOneProgram(const UninstallContext& c) {
    std::string program = StageOneProgram(c);
    if (program.empty()) return;
    for (DWORD waited = 0; !DeleteFileA(program.c_str()) && GetLastError() == ERROR_ACCESS_DENIED &&
                           waited < kDeleteLimitMs;
         waited += kDeleteRetryMs) {
        Sleep(kDeleteRetryMs);
    }
    Sleep(kDeleteRetryMs);
    LogPrintf("  Delete %s", program.c_str());
}

constexpr char kOwnFolderPrefix[] = "Rmv";
constexpr size_t kOwnFolderDigits = 8;

bool IsOwnFolderName(const std::string& name) {
    if (name.size() != strlen(kOwnFolderPrefix) + kOwnFolderDigits) return false;
    if (name.compare(0, strlen(kOwnFolderPrefix), kOwnFolderPrefix) != 0) return false;
    return name.find_first_not_of("0123456789ABCDEF", strlen(kOwnFolderPrefix)) == std::string::npos;
}

// A folder of its own below parent that only the system and administrators may write: the
// elevated second stage runs from it, so no program of the user may change or add files there
// (a DLL beside the program included). A name that exists already is passed over, never reused.
std::string MakeOwnFolder(const std::string& parent) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kOwnFolderAccess, SDDL_REVISION_1, &descriptor, nullptr)) {
        return std::string();
    }
    qz::LocalBlock owned(descriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    DWORD seed = GetCurrentProcessId() ^ GetTickCount();
    for (int attempt = 0; attempt < kFolderAttempts; ++attempt) {
        char name[32];
        snprintf(name, sizeof name, "%s%08lX", kOwnFolderPrefix,
                 static_cast<unsigned long>(seed + static_cast<DWORD>(attempt) * 7919));
        std::string folder = JoinPath(parent, name);
        if (folder.size() >= MAX_PATH - 16) return std::string();
        if (CreateDirectoryA(folder.c_str(), &attributes)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return std::string();
    }
    return std::string();
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
    if (c->osCode >= 4) {
        MoveFileExA(c->programPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        // The folder that stage one made for this copy goes with it (then empty).
        if (IsOwnFolderName(FileNameOf(c->baseFolder))) MoveFileExA(c->baseFolder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    } else {
        DeleteSelfByCommand();
    }
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

bool IsInsideFolder(const std::string& path, const std::string& folder) {
    std::string base = folder;
    while (!base.empty() && base.back() == '\\') base.pop_back();
    if (base.size() < 3 || base[1] != ':' || path.size() <= base.size() + 1) return false;
    if (_strnicmp(path.c_str(), base.c_str(), base.size()) != 0 || path[base.size()] != '\\') return false;
    std::string rest = path.substr(base.size() + 1);
    if (rest.find_first_of("/:") != std::string::npos) return false;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        std::string part = rest.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

int PrepareStageTwo(UninstallContext* c) {
    LogPrintf("*** Temp Folder ***");
    std::string folder = MakeOwnFolder(StageTwoFolder());
    if (folder.empty()) {
        DWORD error = GetLastError();
        LogPrintf("  Temp Folder Error(0x%08lx)", error);
        SetLastError(error);
        return 0;
    }
    snprintf(c->stageTwoFolder, sizeof c->stageTwoFolder, "%s", folder.c_str());
    LogPrintf("  %s", c->stageTwoFolder);
    WritePrivateProfileStringA(SectionName(*c, kSecUninstall), "EXECFILE", c->programPath, c->listIni);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, c->listIni);
    for (const char* source : {c->listIni, c->uninstallerIni, c->programPath}) {
        std::string copy = JoinPath(folder, FileNameOf(source));
        if (!CopyFileA(source, copy.c_str(), TRUE)) {
            DWORD error = GetLastError();
            LogPrintf("  Copy Error(0x%08lx): %s", error, source);
            DiscardStageTwo(c);
            SetLastError(error);
            return 0;
        }
    }
    return 1;
}

void DiscardStageTwo(UninstallContext* c) {
    if (!c->stageTwoFolder[0]) return;
    for (const char* source : {c->listIni, c->uninstallerIni, c->programPath}) {
        std::string copy = JoinPath(c->stageTwoFolder, FileNameOf(source));
        SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(copy.c_str());
    }
    RemoveDirectoryA(c->stageTwoFolder);
    c->stageTwoFolder[0] = '\0';
}

int RelaunchFromTemp(HWND window, UninstallContext* c) {
    LogPrintf("*** Temp Information ***");
    if (!c->stageTwoFolder[0]) return 0;
    std::string copy = JoinPath(c->stageTwoFolder, FileNameOf(c->programPath));
    std::string arguments = StageTwoArguments(*c);
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.hwnd = window;
    info.lpVerb = "open";
    info.lpFile = copy.c_str();
    info.lpParameters = arguments.c_str();
    info.lpDirectory = c->stageTwoFolder;
    info.nShow = SW_SHOWNOACTIVATE;
    if (!ShellExecuteExA(&info)) {
        // The install folder's INIs stay: a later try still finds what is left to remove.
        LogPrintf("  Start Error(0x%08lx): %s %s", GetLastError(), copy.c_str(), arguments.c_str());
        DiscardStageTwo(c);
        return 0;
    }
    for (const char* ini : {c->listIni, c->uninstallerIni}) {
        SetFileAttributesA(ini, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(ini);
    }
    LogPrintf("  %s", c->listIni);
    LogPrintf("  %s", c->uninstallerIni);
    LogPrintf("  %s %s", copy.c_str(), arguments.c_str());
    return 1;
}
