#include "setup_log.h"

#include "os_info.h"
#include "path_helpers.h"

#include <win_handles.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

uint16_t LogFlags = 0;

namespace {

// Guards the paths, the folder flag and the appends. Every line is one open-append-close,
// made under this lock so that the GUI thread and the worker never share a write position.
std::mutex g_logLock;
char g_stepLogPath[MAX_PATH] = "";
char g_fileLogPath[MAX_PATH] = "";
DWORD g_folderAttribute = FILE_ATTRIBUTE_NORMAL;
bool g_foldersMade = false;

// The root of the Windows drive, such as "C:\".
std::string WindowsDriveRoot() {
    char windows[MAX_PATH] = "";
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows) return "C:\\";
    const char* slash = std::strchr(windows, '\\');
    return slash ? std::string(windows, static_cast<size_t>(slash + 1 - windows)) : std::string(windows) + "\\";
}

void CopyPath(char (&dest)[MAX_PATH], const std::string& text) {
    lstrcpynA(dest, text.c_str(), MAX_PATH);
}

bool IsAbsolutePath(const char* path) {
    bool drive = ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' && path[2] == '\\';
    return drive || (path[0] == '\\' && path[1] == '\\');
}

// Appends one line to a log file; opened with append access only, so that a write from
// another process (a component program logging to the same file) also lands at the end.
int AppendLine(char (&path)[MAX_PATH], const char* defaultName, const std::string& line) {
    std::lock_guard<std::mutex> guard(g_logLock);
    if (!path[0]) CopyPath(path, WindowsDriveRoot() + defaultName);
    if (!g_foldersMade) {
        CreateLogFolders(path);
        g_foldersMade = true;
    }
    qz::FileHandle file(CreateFileA(path, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    DWORD written = 0;
    return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ? 1 : 0;
}

std::string FormatLine(const char* format, va_list args) {
    char buffer[1024];
    int n = std::vsnprintf(buffer, sizeof buffer, format ? format : "", args);
    if (n < 0) buffer[0] = 0;
    return buffer;
}

}  // namespace

void ParseDebugOption(const char* token) {
    if (!token || std::strlen(token) <= 2) return;
    if (token[0] != '-' || (token[1] | 0x20) != 'd') return;
    if (std::strstr(token, "out")) LogFlags = kLogDebugger;
    if (std::strstr(token, "log")) LogFlags |= kLogStepFile;
    if (std::strstr(token, "qa")) LogFlags |= kLogFileOps;
}

void SetLogFile(const char* value) {
    if (!value) return;
    std::string text(value);
    size_t semi = text.find(';');
    std::string first = text.substr(0, semi);
    if (first.empty()) return;
    std::lock_guard<std::mutex> guard(g_logLock);
    if (semi != std::string::npos) {
        std::string second = text.substr(semi + 1);
        second = second.substr(0, second.find(';'));
        if (lstrcmpiA(second.c_str(), "HIDE") == 0) g_folderAttribute = FILE_ATTRIBUTE_HIDDEN;
    }
    char expanded[MAX_PATH] = "";
    DWORD n = ExpandEnvironmentStringsA(first.c_str(), expanded, sizeof expanded);
    if (n == 0 || n > sizeof expanded) lstrcpynA(expanded, first.c_str(), sizeof expanded);
    if (lstrcmpiA(expanded, first.c_str()) != 0 || IsAbsolutePath(expanded)) {
        // An expanded or absolute path is the log file itself; only a relative one is placed
        // at the root of the Windows drive.
        lstrcpynA(g_stepLogPath, expanded, MAX_PATH);
    } else {
        CopyPath(g_stepLogPath, WindowsDriveRoot());
        AppendPath(g_stepLogPath, MAX_PATH, first.c_str());
    }
    std::string folder(g_stepLogPath);
    size_t slash = folder.find_last_of('\\');
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    CopyPath(g_fileLogPath, folder + "Filelog.txt");
}

int WriteSetupLog(const char* text) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d %02d:%02d:%02d  ", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return AppendLine(g_stepLogPath, "Setup.txt", std::string(stamp) + (text ? text : "") + "\r\n");
}

int WriteFileLog(const char* text) {
    return AppendLine(g_fileLogPath, "Filelog.txt", std::string(text ? text : "") + "\r\n");
}

int LogPrintf(const char* format, ...) {
    if (LogFlags == 0) return 0;
    va_list args;
    va_start(args, format);
    std::string line = FormatLine(format, args);
    va_end(args);
    if (LogFlags & kLogStepFile) WriteSetupLog(line.c_str());
    if (LogFlags & kLogDebugger) OutputDebugStringA(line.c_str());
    return 1;
}

int FileLogPrintf(const char* format, ...) {
    if (LogFlags == 0) return 0;
    va_list args;
    va_start(args, format);
    std::string line = FormatLine(format, args);
    va_end(args);
    if (LogFlags & kLogFileOps) WriteFileLog(line.c_str());
    return 1;
}

// Creates every folder of a file path, then gives the last one the folder attribute.
void CreateLogFolders(const char* path) {
    if (!path || !*path) return;
    char drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(path, drive, dir, name, ext);
    std::string folder = std::string(drive) + dir;
    if (folder.empty()) return;
    CreateFolderPath(nullptr, folder.c_str(), nullptr, nullptr);
    SetFileAttributesA(folder.c_str(), g_folderAttribute);
}

const char* StepLogPath() { return g_stepLogPath; }
const char* FileLogPath() { return g_fileLogPath; }

void ResetLogSettings() {
    std::lock_guard<std::mutex> guard(g_logLock);
    LogFlags = 0;
    g_stepLogPath[0] = g_fileLogPath[0] = 0;
    g_folderAttribute = FILE_ATTRIBUTE_NORMAL;
    g_foldersMade = false;
}

void LogProgramStart(const char* headline, const char* version, const char* workFolder, const char* commandLine) {
    if (!LogFlags) return;
    char description[260] = "";
    GetOsDescription(description, sizeof description);
    char windows[MAX_PATH] = "";
    GetWindowsFolder(windows, sizeof windows);
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, sizeof system);
    LogPrintf("--------------------------------------------------");
    LogPrintf("%s%s", headline, version);
    LogPrintf("--------------------------------------------------");
    LogPrintf("*** OS Information ***");
    LogPrintf("  OS             : %s", description);
    LogPrintf("  Work Folder    : %s", workFolder);
    LogPrintf("  Windows Folder : %s", windows);
    LogPrintf("  System Folder  : %s", system);
    LogPrintf("  CommandLine    : %s", commandLine);
}
