#include "firewall_removal.h"

#include "driver_use_count.h"
#include "os_info.h"
#include "script_text.h"
#include "setup_helper_library.h"
#include "setup_log.h"

#include <cstdlib>

namespace {

using NameFn = BOOL(WINAPI*)(const char*);
using RemovePortFn = BOOL(WINAPI*)(int, int);
constexpr size_t kListChars = 1023;
constexpr int kUdp = 1;
constexpr int kOtherProtocol = 0;

bool FirewallApplies(const UninstallContext& c) {
    if (c.osCode <= 5) return false;
    if (c.osCode <= 7) return (c.osFlags & (kOsFlagSecurityLevel | kOsFlag64Bit)) != 0;
    return true;
}

void Report(BOOL ok) {
    if (!ok) LogPrintf("    --> False.");
}

bool KeepsPort(int port) { return port == kSearchPort && !BusDriverRemovable; }

}  // namespace

int RemoveFirewallEntries(HWND /*page*/, UninstallContext* c) {
    if (!FirewallApplies(*c)) return 0;
    const char* icf = SectionName(*c, kSecIcf);
    bool any = false;
    for (const char* key : {"DELFILE_000", "DELPORT_000", "DELFILE2_000", "DELPORT2_000"}) {
        any = any || !ReadIniValue(c->listIni, icf, key, kListChars).empty();
    }
    if (!any) return 0;
    SetupHelperLibrary library(c->baseFolder, c->osCode);
    if (!library.loaded()) return 0;
    auto removeApp = library.Find<NameFn>("WindowsFirewallRemoveApp");
    auto removePort = library.Find<RemovePortFn>("WindowsFirewallRemovePort");
    auto removePolicy = library.Find<NameFn>("WindowsFirewallRemovePolicy");
    bool newRules = c->osCode > 7;
    if (!removeApp || !removePort || (newRules && !removePolicy)) return 1;
    LogPrintf("*** Firewall Information ***");
    if (newRules) {
        for (const std::string& entry : ReadIniList(c->listIni, icf, "DELFILE2_%03d", kListChars)) {
            std::string name = FieldOf(entry, 0);
            LogPrintf("  DeleteApp2 : %s", name.c_str());
            Report(removePolicy(name.c_str()));
        }
        for (const std::string& entry : ReadIniList(c->listIni, icf, "DELPORT2_%03d", kListChars)) {
            if (KeepsPort(atoi(FieldOf(entry, 1).c_str()))) continue;
            std::string name = FieldOf(entry, 0);
            LogPrintf("  DeletePort2 : %s", name.c_str());
            Report(removePolicy(name.c_str()));
        }
    }
    for (const std::string& path : ReadIniList(c->listIni, icf, "DELFILE_%03d", kListChars)) {
        LogPrintf("  DeleteApp : %s", path.c_str());
        Report(removeApp(path.c_str()));
    }
    for (const std::string& entry : ReadIniList(c->listIni, icf, "DELPORT_%03d", kListChars)) {
        int port = atoi(FieldOf(entry, 0).c_str());
        int protocol = _stricmp(FieldOf(entry, 1).c_str(), "UDP") == 0 ? kUdp : kOtherProtocol;
        if (KeepsPort(port)) continue;
        LogPrintf("  DeletePort : %x, Protocol : %d", port, protocol);
        Report(removePort(protocol, port));
    }
    return 1;
}
