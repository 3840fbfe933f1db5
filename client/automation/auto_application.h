// Auto Application: one thread per device that counts the running programs the device's
// settings watch, starts them when the device is in use by this PC, reports their start and
// end, and asks for a disconnect when they have all ended.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct DeviceEntry;

// The device's Auto Application record, created and its thread started when missing.
bool StartAutoApplication(HWND serverWindow, DeviceEntry* device);
// Tells the thread to end (never waits); the thread releases the record and its hold on the
// entry when it has ended.
void StopAutoApplication(DeviceEntry* device);
void PauseAutoApplication(DeviceEntry* device);
void ResumeAutoApplication(DeviceEntry* device);

// The paths of a stored application list: strings one after another, each ending in a zero,
// an empty string ending the list; never read past `size` bytes.
std::vector<std::string> ApplicationPaths(const uint8_t* list, uint32_t size);

// The program a watched path stands for: itself for an ".exe", else the program associated
// with it (the path itself when there is none).
std::string ResolveApplication(const std::string& path);

// One round of the thread (exposed for tests): counts, reports, starts and asks.
struct AutoApplicationState {
    size_t lastSum = 0;
    bool started = false;
};
void AutoApplicationRound(HWND serverWindow, DeviceEntry* device, AutoApplicationState* state);

// PNXM_RUN_APPLICATION on the server window: starts one watched program (lParam the path, a
// copy the handler frees).
void RunAutoApplication(HWND serverWindow, LPARAM path);
