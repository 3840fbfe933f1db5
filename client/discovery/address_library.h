// The address library, loaded by name so that systems without it still load this library.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

using GetAdaptersAddressesFn = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);

// Loads "Iphlpapi.dll" and looks up GetAdaptersAddresses. True when both worked.
bool LoadAddressLibrary();
void FreeAddressLibrary();

// GetAdaptersAddresses of the loaded library, or null.
GetAdaptersAddressesFn AdaptersAddressesFunction();
