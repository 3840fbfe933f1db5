#include "connect_hooks.h"

namespace {
ConnectHooks g_hooks;
}  // namespace

void SetConnectHooks(const ConnectHooks& hooks) {
    g_hooks = hooks;
}

void RunStorageRequestHook(const ConnectRequest& request) {
    if (g_hooks.runStorageRequest) g_hooks.runStorageRequest(request);
}

bool AutoPrinterHasJobsHook(DeviceEntry* device) {
    return g_hooks.autoPrinterHasJobs && g_hooks.autoPrinterHasJobs(device);
}

void ReleaseAutoPrinterWaitHook(DeviceEntry* device) {
    if (g_hooks.releaseAutoPrinterWait) g_hooks.releaseAutoPrinterWait(device);
}
