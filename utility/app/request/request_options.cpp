// "RequestOption" (2 bytes) and "RequestTimer" (seconds) under the device's settings key.
#include "request_options.h"

#include "app.h"
#include "pnx_api.h"
#include "registry_util.h"

namespace {

bool DeviceKey(HPnxDv device, HKEY* root, wchar_t* subKey) {
    char path[MAX_PATH] = {};
    if (!device || !g_pnx.PnxGetUsbDevicePath || !g_pnx.PnxGetUsbDevicePath(g_app.service, device, root, path)) {
        return false;
    }
    path[MAX_PATH - 1] = '\0';
    return MultiByteToWideChar(CP_ACP, 0, path, -1, subKey, MAX_PATH) > 0 && *root != nullptr;
}

}  // namespace

BOOL LoadRequestOptions(HPnxDv device, RequestOptions* options) {
    if (!device || !options) return FALSE;
    *options = RequestOptions{};
    HKEY root = nullptr;
    wchar_t subKey[MAX_PATH] = {};
    if (!DeviceKey(device, &root, subKey)) return FALSE;
    DWORD seconds = 0;
    DWORD size = sizeof seconds;
    DWORD type = 0;
    if (!ReadRegistryValue(root, subKey, L"RequestTimer", &seconds, &size, &type) || type != REG_DWORD ||
        size != sizeof seconds || seconds == 0) {
        return TRUE;
    }
    uint16_t flags = 0;
    size = sizeof flags;
    if (ReadRegistryValue(root, subKey, L"RequestOption", &flags, &size, &type) && size == sizeof flags) {
        options->flags = flags;
    }
    options->seconds = seconds;
    return TRUE;
}

BOOL SaveRequestOptions(HPnxDv device, const RequestOptions* options) {
    if (!device || !options) return FALSE;
    HKEY root = nullptr;
    wchar_t subKey[MAX_PATH] = {};
    if (!DeviceKey(device, &root, subKey)) return FALSE;
    const uint16_t flags = options->flags;
    const DWORD seconds = options->seconds;
    return WriteRegistryValue(root, subKey, L"RequestOption", &flags, sizeof flags, REG_BINARY) &&
           WriteRegistryValue(root, subKey, L"RequestTimer", &seconds, sizeof seconds, REG_DWORD);
}
