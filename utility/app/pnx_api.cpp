#include "pnx_api.h"

#include "system_util.h"

PnxApi g_pnx;

BOOL LoadPnxApi() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFolder(path);
    if (!AppendPath(path, MAX_PATH, L"Pnxscapi.dll")) return FALSE;
    PnxApi api;
    api.module = LoadLibraryW(path);
    if (!api.module) return FALSE;
    bool complete = true;
#define ZOVU_PNX_BIND(ordinal, name)                                                                     \
    api.name = reinterpret_cast<decltype(&::name)>(                                             \
        reinterpret_cast<void*>(GetProcAddress(api.module, MAKEINTRESOURCEA(kOrd##name))));   \
    if (!api.name) complete = false;
    PNX_EXPORTS(ZOVU_PNX_BIND)
#undef ZOVU_PNX_BIND
    if (!complete) {
        FreeLibrary(api.module);
        return FALSE;
    }
    g_pnx = api;
    return TRUE;
}

void FreePnxApi() {
    if (g_pnx.module) FreeLibrary(g_pnx.module);
    g_pnx = PnxApi{};
}
