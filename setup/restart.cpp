#include "restart.h"

#include "local_users.h"

namespace {

class SystemRestart : public RestartPlatform {
public:
    bool EnablePrivilege(const char* name) override { return SetTokenPrivilege(name, TRUE) != 0; }
    bool Restart() override {
        return ExitWindowsEx(EWX_REBOOT, SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_MINOR_INSTALLATION |
                                             SHTDN_REASON_FLAG_PLANNED) != FALSE;
    }
};

SystemRestart g_system;
RestartPlatform* g_platform = &g_system;

}  // namespace

RestartPlatform& Restarter() { return *g_platform; }
void SetRestartPlatform(RestartPlatform* platform) { g_platform = platform ? platform : &g_system; }

int EnableShutdownPrivilege(const char* name) { return Restarter().EnablePrivilege(name) ? 1 : 0; }

int RestartWindows() {
    EnableShutdownPrivilege("SeShutdownPrivilege");
    return Restarter().Restart() ? 1 : 0;
}
