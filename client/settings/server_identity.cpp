#include "server_identity.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "settings_location.h"
#include "text_util.h"

namespace {
constexpr const char* kDeviceKey = "Device";

bool WriteIni(const qz::SettingsLocation& store, const char* section, const ServerInfo& info) {
    const auto* ip = reinterpret_cast<const uint8_t*>(&info.ipAddress);
    const uint8_t* mac = info.hardwareAddress;
    char address[16];
    char ethernet[16];
    char level[8];
    std::snprintf(address, sizeof address, "%02x%02x%02x%02x", ip[0], ip[1], ip[2], ip[3]);
    std::snprintf(ethernet, sizeof ethernet, "%02x%02x%02x%02x%02x%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    std::snprintf(level, sizeof level, "%04x", info.rwpLevel);
    bool ok = store.WriteText(section, "IPADDRESS", address);
    ok &= store.WriteText(section, "ETHERNET", ethernet);
    ok &= store.WriteText(section, "HOSTNAME", std::string(FieldText(info.hostName)).c_str());
    ok &= store.WriteText(section, "SERVERNAME", std::string(FieldText(info.modelName)).c_str());
    ok &= store.WriteText(section, "FIRMVERSION", std::string(FieldText(info.firmwareVersion)).c_str());
    ok &= store.WriteText(section, "FIRMLEVEL", level);
    store.Flush();
    return ok;
}

bool WriteRegistry(const qz::SettingsLocation& store, const char* section, const ServerInfo& info) {
    uint16_t level = info.rwpLevel;
    bool ok = store.WriteNumber(section, "IpAddress", ntohl(info.ipAddress));  // first octet in the high byte
    ok &= store.WriteValue(section, "Ethernet", REG_BINARY, info.hardwareAddress, sizeof info.hardwareAddress);
    ok &= store.WriteText(section, "HostName", std::string(FieldText(info.hostName)).c_str());
    ok &= store.WriteText(section, "ServerName", std::string(FieldText(info.modelName)).c_str());
    ok &= store.WriteText(section, "FirmVersion", std::string(FieldText(info.firmwareVersion)).c_str());
    ok &= store.WriteValue(section, "FirmLevel", REG_BINARY, &level, sizeof level);
    return ok;
}
}  // namespace

bool WriteServerIdentity(const char* location, const char* name, const ServerInfo& info) {
    if (!location || !*location || !name || !*name) return false;
    qz::SettingsLocation store = qz::SettingsLocation::Parse(location);
    if (store.ini()) return WriteIni(store, name, info);
    return WriteRegistry(store, (std::string(kDeviceKey) + "\\" + name).c_str(), info);
}
