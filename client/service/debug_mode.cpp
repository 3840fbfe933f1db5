// PnxDebugMode: turns the library log on and writes its header.
#include "debug_mode.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "driver_version.h"
#include "lib_state.h"
#include "log.h"
#include "os_info.h"
#include "pnxscapi.h"
#include "system_util.h"

namespace {
constexpr const char* kRule = "--------------------------------------------------";
static_assert(std::char_traits<char>::length(kRule) == 50);

uint16_t LogFlagsFromDebugFlags(uint16_t flags) {
    uint16_t logFlags = 0;
    if (flags & kDebugLogFile) logFlags |= kLogToFile;
    if (flags & kDebugDebugger) logFlags |= kLogToDebugger;
    return logFlags;
}

void LogHeader(HWND service) {
    char windowsFolder[MAX_PATH] = {};
    char systemFolder[MAX_PATH] = {};
    GetWindowsDirectoryA(windowsFolder, sizeof windowsFolder);
    GetSystemDirectoryA(systemFolder, sizeof systemFolder);
    uint32_t osFlags = 0;
    int servicePack = 0;
    int osCode = GetOsCode(&osFlags, &servicePack);
    char programFolder[MAX_PATH] = {};
    ProgramFolder(programFolder, sizeof programFolder);
    DriverVersionInfo driver = {};
    std::strcpy(driver.name, "Zkuptp");
    driver.size = sizeof driver;
    if (!QueryDriverVersion(&driver)) driver.major = driver.minor = driver.build = driver.revision = 0;

    LogLine(service, "%s", kRule);
    LogLine(service, "          Pnxscapi.dll (Ver %s)", kLibraryVersionText);
    LogLine(service, "%s", kRule);
    LogLine(service, "*** OS Information ***");
    LogLine(service, "  Windows Folder: %s", windowsFolder);
    LogLine(service, "  System Folder : %s", systemFolder);
    LogLine(service, "  OS Version    : %s", OsNameText(osCode, osFlags, servicePack).c_str());
    LogLine(service, "  OS ExVersion  : %s", OsFlagsText(osFlags).c_str());
    LogLine(service, "  File Path     : %s\\Pnxscapi.dll", programFolder);
    LogLine(service, "  Zkuptp Driver : %d.%d.%d.%d", driver.major, driver.minor, driver.build, driver.revision);
}
}  // namespace

int ApplyDebugMode(HWND service, const DebugModeInfo* info) {
    if (!service || !info) return 0;
    LogSettings settings = {};
    settings.flags = LogFlagsFromDebugFlags(info->flags);
    size_t folderLength = strnlen(info->folder, sizeof info->folder);
    if (folderLength < sizeof info->folder) std::memcpy(settings.folder, info->folder, folderLength);
    if (info->flags & kDebugShowWindow) ShowWindow(service, SW_SHOWNORMAL);
    LogSetup(service, &settings);
    if (info->flags != 0) LogHeader(service);
    return 1;
}
