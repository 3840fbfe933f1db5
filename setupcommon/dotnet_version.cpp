#include "dotnet_version.h"

#include "registry_value.h"

#include <string>

namespace {

const char kBase[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\";
const char kActiveSetup[] = "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\";

bool ReadDword(const std::string& key, const char* name, DWORD& value) {
    DWORD size = sizeof value;
    DWORD type = 0;
    return ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), name, &value, &size, &type) && type == REG_DWORD &&
           size == sizeof value;
}

// The last character of the "Version" string of an Active Setup component, as a digit.
bool ActiveSetupServicePack(const char* component, uint32_t& servicePack) {
    char text[128] = "";
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    std::string key = std::string(kActiveSetup) + component;
    if (!ReadRegistryValue(HKEY_LOCAL_MACHINE, key.c_str(), "Version", text, &size, &type) || type != REG_SZ) {
        return false;
    }
    text[size < sizeof text ? size : sizeof text - 1] = 0;
    std::string value(text);
    if (value.empty()) return false;
    char last = value.back();
    servicePack = (last >= '0' && last <= '9') ? static_cast<uint32_t>(last - '0') : 0;
    return true;
}

void ReadInstalled(DotNetRelease& entry, const std::string& key) {
    DWORD install = 0, sp = 0;
    entry.installed = ReadDword(key, "Install", install) && install == 1 ? 1 : 0;
    entry.servicePack = ReadDword(key, "SP", sp) ? sp : 0;
}

}  // namespace

DotNetRelease* GetDotNetVersion(int* count) {
    if (!count) return nullptr;
    auto* list = static_cast<DotNetRelease*>(LocalAlloc(LPTR, sizeof(DotNetRelease) * kDotNetReleaseCount));
    if (!list) return nullptr;
    static const struct { uint16_t major, minor; const char* key; } kRows[] = {
        {1, 0, "Full\\v1.0.3705\\1041\\Microsoft .NET Framework Full v1.0.3705 (1041)"},
        {1, 1, "NDP\\v1.1.4322"}, {2, 0, "NDP\\v2.0.50727"}, {3, 0, "NDP\\v3.0"}, {3, 5, "NDP\\v3.5"},
        {4, 0, "NDP\\v4\\Full"},  {4, 5, "NDP\\v4\\Full"}};
    for (int i = 0; i < kDotNetReleaseCount; ++i) {
        list[i].major = kRows[i].major;
        list[i].minor = kRows[i].minor;
    }
    const std::string base(kBase);
    for (int i = 1; i <= 4; ++i) ReadInstalled(list[i], base + kRows[i].key);

    DWORD install = 0;
    ReadInstalled(list[0], base + kRows[0].key);
    list[0].servicePack = 0;
    ActiveSetupServicePack("{78705f0d-e8db-4b2d-8193-982bdda15ecd}", list[0].servicePack);
    ActiveSetupServicePack("{FDC11A6F-17D1-48f9-9EA3-9051954BAA24}", list[0].servicePack);

    std::string full = base + "NDP\\v4\\Full";
    ReadInstalled(list[5], ReadDword(full, "Install", install) ? full : base + "NDP\\v4\\Client");

    DWORD release = 0;
    if (ReadDword(full, "Release", release) && release > 1) {
        list[6].installed = 1;
        list[6].third = (release == 378675 || release == 378758) ? 1 : release == 379893 ? 2 : 0;
    }
    *count = kDotNetReleaseCount;
    return list;
}
