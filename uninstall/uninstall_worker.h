// The removal worker: its checks, the port monitor and status monitors, the components in
// their removal order, then the registry, firewall and file steps.
#pragma once

#include "uninstall_context.h"

constexpr UINT WM_INSTALL_START = 1130;
constexpr UINT WM_INSTALL_DONE = 1131;
constexpr UINT WM_INSTALL_FAILED = 1132;

struct UninstallThreadStart {
    HWND page;
    UninstallContext* context;
};

// Starts the worker for the page (16 KB stack, lowest priority); the thread handle or null.
HANDLE StartUninstallThread(HWND page, UninstallContext* context, UninstallThreadStart* start);
// The whole removal in order; 1 done, 0 failed. The worker thread posts the answer.
int RunUninstall(HWND page, UninstallContext* context);

int RunPreChecks(HWND page, UninstallContext* context);
int CheckBusDriverInUse(HWND page, UninstallContext* context);
int RemoveComponentsStep(HWND page, UninstallContext* context);
void DeleteStatusMonitorRunEntries(const UninstallContext& context, const char* section);
// Frees the port-monitor and component records of the section entry.
void FreeUninstallRecords(UninstallContext* context);
