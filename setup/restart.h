// Restarting Windows at the end of the setup. The restart goes through one small interface
// so that tests record it instead of ending the session they run in.
#pragma once

#include <windows.h>

class RestartPlatform {
public:
    virtual ~RestartPlatform() = default;
    // Enables the named privilege in the process token; true when done.
    virtual bool EnablePrivilege(const char* name) = 0;
    // Restarts Windows (no forcing); true when the request was accepted.
    virtual bool Restart() = 0;
};
RestartPlatform& Restarter();
void SetRestartPlatform(RestartPlatform* platform);  // null: the system

// `EnableShutdownPrivilege`: the named privilege of the process token.
int EnableShutdownPrivilege(const char* name);
// Enables "SeShutdownPrivilege" and asks for the restart; 1 when asked.
int RestartWindows();
