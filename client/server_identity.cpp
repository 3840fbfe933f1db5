#include "server_identity.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "settings_location.h"

namespace {
constexpr const char* kDeviceKey = "Device";

template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N - 1));
}

bool WriteIni(const char* path, const char* section, const ServerInfo& info) {
    const auto* ip = reinterpret_cast<const uint8_t*>(&info.ipAddress);
    const uint8_t* mac = info.hardwareAddress;
    char address[16];
    char ethernet[16];
    char level[8];
    std::snprintf(address, sizeof address, "%02x%02x%02x%02x", ip[0], ip[1], ip[2], ip[3]);
    std::snprintf(ethernet, sizeof ethernet, "%02x%02x%02x%02x%02x%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    std::snprintf(level, sizeof level, "%04x", info.rwpLevel);
    bool ok = WritePrivateProfileStringA(section, "IPADDRESS", address, path) != FALSE;
    ok &= WritePrivateProfileStringA(section, "ETHERNET", ethernet, path) != FALSE;
    ok &= WritePrivateProfileStringA(section, "HOSTNAME", FieldText(info.hostName).c_str(), path) != FALSE;
    ok &= WritePrivateProfileStringA(section, "SERVERNAME", FieldText(info.modelName).c_str(), path) != FALSE;
    ok &= WritePrivateProfileStringA(section, "FIRMVERSION", FieldText(info.firmwareVersion).c_str(), path) != FALSE;
    ok &= WritePrivateProfileStringA(section, "FIRMLEVEL", level, path) != FALSE;
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);  // flush
    return ok;
}

bool WriteText(HKEY root, const std::string& key, const char* name, const std::string& text) {
    return RegWriteValue(root, key.c_str(), name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool WriteRegistry(HKEY root, const std::string& key, const ServerInfo& info) {
    DWORD address = ntohl(info.ipAddress);  // first octet in the high byte
    uint16_t level = info.rwpLevel;
    bool ok = RegWriteValue(root, key.c_str(), "IpAddress", REG_DWORD, &address, sizeof address);
    ok &= RegWriteValue(root, key.c_str(), "Ethernet", REG_BINARY, info.hardwareAddress, sizeof info.hardwareAddress);
    ok &= WriteText(root, key, "HostName", FieldText(info.hostName));
    ok &= WriteText(root, key, "ServerName", FieldText(info.modelName));
    ok &= WriteText(root, key, "FirmVersion", FieldText(info.firmwareVersion));
    ok &= RegWriteValue(root, key.c_str(), "FirmLevel", REG_BINARY, &level, sizeof level);
    return ok;
}
}  // namespace

bool WriteServerIdentity(const char* location, const char* name, const ServerInfo& info) {
    if (!location || !*location || !name || !*name) return false;
    char keyPath[261] = {};
    HKEY root = ParseSettingsLocation(location, keyPath, sizeof keyPath);
    if (!root) return WriteIni(location, name, info);
    std::string key = std::string(keyPath) + "\\" + kDeviceKey + "\\" + name;
    return WriteRegistry(root, key, info);
}
