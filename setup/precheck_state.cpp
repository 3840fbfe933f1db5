#include "precheck_state.h"

#include "ini_text.h"
#include "monitor_steps.h"
#include "prechecks.h"
#include "script_text.h"
#include "setup_log.h"

#include <cstdio>

namespace {

constexpr int kMaxApplications = 100;
constexpr char kBusDriverKey[] = "Software\\Zkuptp Driver";
constexpr char kOtherBusDriverKey[] = "Software\\Zuzazuv Driver";
constexpr char kSerialProduct[] = "ZK Tessora for Serial Device Server";

std::string AppValue(const SetupContext* c, int n) {
    return ReadIniValue(c->copyFileIni, "APPLIINFO", IniListKey("APP_%02d", n).c_str());
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

int CheckOldMonitorProduct(HWND frame, SetupContext* c) {
    char key[32] = "";
    char name[64] = "";
    if (CheckOldPrintMonitor(key, sizeof key, name, sizeof name, c->copyFileIni) != 2) return 1;
    if (PrecheckQuestion(frame, c, key, name, MB_ICONQUESTION) == IDYES) return 1;
    LogPrintf("[MessageBox] : MESSAGE_08(%s)", name);
    return 0;
}

int CheckPreCheckMode(HWND frame, SetupContext* c) {
    for (int n = 0; n < kMaxApplications; ++n) {
        std::string app = AppValue(c, n);
        if (app.empty()) break;
        std::string mode = ReadIniValue(c->copyFileIni, app + "_INFO", "PRECHECK", 31);
        bool stop = _stricmp(mode.c_str(), "STOP") == 0;
        if (!stop && _stricmp(mode.c_str(), "CONTINUE") != 0) continue;
        std::string key = ProductUninstallKey(c, app);
        if (key.empty() || !KeyExists(HKEY_LOCAL_MACHINE, key)) continue;
        std::string name = ReadIniValue(c->messageIni, "LIST", IniListKey("LIST_%02d", n), 127);
        if (name.empty()) name = "Application";
        if (stop) {
            PrecheckMessage(frame, c, "MESSAGE_12", name.c_str(), 0);
            LogPrintf("  Please try to uninstall %s.", name.c_str());
            return 0;
        }
        if (PrecheckQuestion(frame, c, "MESSAGE_08", name.c_str(), MB_ICONQUESTION) != IDYES) {
            LogPrintf("  I will not continue with the installation of %s.", name.c_str());
            return 0;
        }
    }
    return 1;
}

unsigned SetupDriverBits(const SetupContext* c) {
    unsigned bits = 0;
    for (int n = 0; n < kMaxApplications; ++n) {
        std::string app = FieldOf(AppValue(c, n), 0);
        if (app.empty()) break;
        if (ReadIniValue(c->copyFileIni, app + "_UNINSTLOG", "REGISTKEY").empty()) continue;
        std::string component = app + "_COMPONENT";
        if (ReadIniValue(c->copyFileIni, component, "INIFILE").empty()) continue;
        for (int d = 0; d < kMaxApplications; ++d) {
            std::string entry = ReadIniValue(c->copyFileIni, component, IniListKey("DRIVER_%02d", d));
            if (entry.empty()) break;
            std::string driver = FieldOf(entry, 1);
            if (_stricmp(driver.c_str(), "Zkuptp Driver") == 0) bits |= kDriverZkuptp;
            else if (_stricmp(driver.c_str(), "Zuzazuv Driver") == 0) bits |= kDriverZuzazuv;
            else if (_stricmp(driver.c_str(), "Zkspe Driver") == 0) bits |= kDriverZkspe;
        }
    }
    return bits;
}

unsigned PcDriverBits(std::string& lastSubKey) {
    unsigned bits = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBusDriverKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        static const struct { const char* value; unsigned bit; } kValues[] = {
            {"Zkuptp Driver", kDriverZkuptp}, {"Zkspe Driver", kDriverZkspe},
            {"Child Driver", kDriverZkspe}, {"Zkhidflt Driver", kDriverZkhidflt}};
        for (const auto& v : kValues) {
            if (RegQueryValueExA(key, v.value, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) bits |= v.bit;
        }
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD size = sizeof name;
            if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            bits |= kDriverZkuptp;
            if (_stricmp(name, kSerialProduct) == 0) bits |= kDriverZkspe;
            if (_stricmp(name, "Tavrin Manager") == 0) bits |= kDriverZkhidflt;
            lastSubKey = name;
        }
        RegCloseKey(key);
    }
    if (KeyExists(HKEY_LOCAL_MACHINE, kOtherBusDriverKey)) bits |= kDriverZuzazuv;
    return bits;
}

void LogDriverBits(const char* label, unsigned bits, bool pcSide) {
    std::string text;
    if (bits & kDriverZkuptp) text += " ZKUPTP Driver.";
    if (bits & kDriverZkspe) text += " ZKSPE Driver.";
    if (pcSide && (bits & kDriverZkhidflt)) text += " ZKHIDFLT Driver.";
    if (bits & kDriverZuzazuv) text += " ZUZAZUV Driver.";
    if (text.empty()) text = " Nothing.";
    LogPrintf("  %s:%s", label, text.c_str());
}

int CheckInstalledDrivers(HWND frame, SetupContext* c) {
    unsigned setupBits = SetupDriverBits(c);
    std::string lastSubKey;
    unsigned pcBits = PcDriverBits(lastSubKey);
    LogDriverBits("Installer", setupBits, false);
    LogDriverBits("PC       ", pcBits, true);
    std::string name;
    if (!DriversConflict(setupBits, pcBits, lastSubKey.c_str(), name)) return 1;
    if (IsSilent(*c)) return 0;
    PrecheckMessage(frame, c, "MESSAGE_38", name.c_str(), 0);
    LogPrintf("  Connect. ([MessageBox] : MESSAGE_38)");
    return 0;
}

}  // namespace

bool DriversConflict(unsigned setupBits, unsigned pcBits, const char* lastSubKey, std::string& name) {
    unsigned both = kDriverZkuptp | kDriverZkspe;
    if (setupBits == kDriverZkuptp && (pcBits & both) == both) {
        name = lastSubKey ? lastSubKey : "";
        return true;
    }
    if ((setupBits & both) == both && pcBits == kDriverZuzazuv) {
        name = kSerialProduct;
        return true;
    }
    return false;
}

int CheckInstalledState(HWND frame, SetupContext* c) {
    if (!CheckOldMonitorProduct(frame, c)) return 0;
    if (!CheckPreCheckMode(frame, c)) return 0;
    return CheckInstalledDrivers(frame, c);
}
