// Exit codes of the setup program and the uninstaller, for the scripts that run them silently.
// Beside these: setup 0 installed, 1 installed with a restart due; uninstaller 0 removed (its
// second stage started), 1 second stage done, 2 removed with a restart due under -t.
#pragma once

#include <cstdint>

enum ExitFailure : uint32_t {
    kExitNoScript = 10,        // script files or uninstall information missing or unreadable
    kExitNoWindow = 11,        // the windows of the program could not be made
    kExitAlreadyRunning = 12,  // another instance runs
    kExitCheckFailed = 13,     // a check before the work stopped it (rights, running programs, versions)
    kExitStepFailed = 14,      // an install or removal step failed
    kExitCancelled = 15,       // the user ended the wizard before the work was done
    kExitStageTwoFailed = 16,  // uninstaller: the second stage could not be prepared or started
};

// Keeps the first failure of a run: the later ones follow from it.
inline void RecordFailure(uint32_t* failure, uint32_t code) {
    if (!*failure) *failure = code;
}
