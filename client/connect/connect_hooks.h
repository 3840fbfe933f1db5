// What the connect worker asks of the layers above it: the storage layer runs the storage
// requests, automation answers for Auto Printer. Those layers register their functions once
// at library start (LibraryAttach), before any request can be queued; without them a storage
// request does nothing and no device counts print jobs.
#pragma once

struct ConnectRequest;
struct DeviceEntry;

struct ConnectHooks {
    void (*runStorageRequest)(const ConnectRequest& request) = nullptr;
    bool (*autoPrinterHasJobs)(DeviceEntry* device) = nullptr;
    void (*releaseAutoPrinterWait)(DeviceEntry* device) = nullptr;
};

void SetConnectHooks(const ConnectHooks& hooks);

// The registered functions, or nothing (false) when none is registered.
void RunStorageRequestHook(const ConnectRequest& request);
bool AutoPrinterHasJobsHook(DeviceEntry* device);
void ReleaseAutoPrinterWaitHook(DeviceEntry* device);
