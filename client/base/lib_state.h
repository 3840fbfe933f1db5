// The library's process-wide state: one instance per process, owned by the library.
// Each field names what guards it. "GUI thread" means the thread that registered the client
// window and owns the library's hidden windows; fields so marked are only touched there.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "pnxscapi.h"
#include "win_handles.h"

constexpr const char* kDefaultDriverName = "zkuptp";
constexpr const char* kLibraryVersionText = "2.5.0";

// Service property defaults.
constexpr uint8_t kDefaultCommunicateMode = 1;
constexpr uint32_t kDefaultTimer = 10000;
constexpr uint8_t kDefaultUseBroadAddress = 0;

// One local adapter address; both in network byte order.
struct LocalAddress {
    uint32_t address;
    uint32_t mask;
};

struct LibState {
    HINSTANCE instance = nullptr;        // set at load, read-only afterwards
    bool initialized = false;            // library lock: the one-time initialisation has run

    HWND clientWindow = nullptr;         // library lock: receives the PNXN_ notifications
    HWND serviceWindow = nullptr;        // library lock: the service handle while registered
    char driverName[32] = {};            // GUI thread: bus driver name; empty until registration
    char location[261] = {};             // GUI thread: settings location; empty = no store
    uint32_t options = 0;                // GUI thread: RegisterConfig options word
    ServiceProperties properties = {};   // library lock: the service settings

    qz::GdiObject listFont;              // GUI thread: font of the service window's children (an HFONT)

    bool autoSearchTimerRunning = false; // GUI thread: timer 4 is set
    bool autoSearchOn = false;           // GUI thread: auto search is on
    bool searchRunning = false;          // GUI thread: a search cycle runs (no re-entry)
    bool renewAllRunning = false;        // GUI thread: the renew-all sequence runs
    bool serviceStarted = false;         // library lock: PnxStartService/ResumeService ran
    HWND requesterWindow = nullptr;      // library lock: requester of the running connect queue
    bool sessionNotifications = false;   // GUI thread: registered for session notifications

    uint32_t specialNotification = 0;    // written once by the caller, read by sessions

    std::vector<LocalAddress> localAddresses;  // library lock: the PC's adapter addresses
};

extern LibState g_lib;

// Restores the defaults the library has right after load (driver name, properties); used by
// registration and by tests.
void ResetServiceProperties();
void ResetLibStateForTests();
