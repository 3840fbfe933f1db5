#include "address_library.h"

#include "win_handles.h"

namespace {
qz::Module g_addressLibrary;                          // library lock (one-time init)
GetAdaptersAddressesFn g_getAdaptersAddresses = nullptr;
}  // namespace

bool LoadAddressLibrary() {
    if (!g_addressLibrary) g_addressLibrary.reset(LoadLibraryA("Iphlpapi.dll"));
    if (!g_addressLibrary) return false;
    g_getAdaptersAddresses = reinterpret_cast<GetAdaptersAddressesFn>(
        reinterpret_cast<void*>(GetProcAddress(g_addressLibrary.get(), "GetAdaptersAddresses")));
    return g_getAdaptersAddresses != nullptr;
}

void FreeAddressLibrary() {
    g_getAdaptersAddresses = nullptr;
    g_addressLibrary.reset();
}

GetAdaptersAddressesFn AdaptersAddressesFunction() { return g_getAdaptersAddresses; }
