// The registry-held ports of the suite's printer port monitor, saved by print mode while the
// monitor is replaced and written back afterwards, with one new port for a device server.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Print mode 0, and ports without "PrintMode" (mode 95).
struct LprPortSettings {
    char keyName[260];
    char hostName[65];
    uint32_t nonRfcPorts;
    uint32_t nonSpool;
    char portName[33];
    uint32_t portNum;
    uint32_t printMode;
    uint32_t timeout;
    uint32_t nonByteCount;
    uint8_t ethernet[6];
    uint32_t ethernetLength;
};
static_assert(sizeof(LprPortSettings) == 400);

struct IppPortSettings {
    char keyName[260];
    uint32_t base64;
    uint32_t chunked;
    uint32_t jobSheets;
    char language[17];
    uint32_t maxChunk;
    uint32_t nonSpool;
    uint8_t password[67];
    uint32_t passwordLength;
    uint32_t printMode;
    char proxyName[257];
    uint32_t proxyNum;
    uint32_t timeout;
    char url[1025];
    uint32_t useProxy;
    char userName[65];
};
static_assert(sizeof(IppPortSettings) == 1744);

struct RawPortSettings {
    char keyName[260];
    char hostName[65];
    uint32_t nonSpool;
    uint32_t portNum;
    uint32_t printMode;
    uint32_t timeout;
};
static_assert(sizeof(RawPortSettings) == 344);

// One application's port monitor: what is known of it and what was saved of its ports.
struct MonitorRecord {
    char name[128];
    char dllName[64];
    char environment[64];
    char keyPath[260];  // below HKEY_LOCAL_MACHINE
    uint32_t wasInstalled;
    uint32_t busy;
    uint32_t installedNow;
    std::vector<std::string> savedPrinters;  // printer names, each put back on its old port later
    std::vector<std::string> savedPrinterPorts;
    std::vector<std::string> portNames;
    std::vector<LprPortSettings> lpr;
    std::vector<IppPortSettings> ipp;
    std::vector<RawPortSettings> raw;
};

// The device server named on the setup command line (-I host address, -E hardware address),
// for which one new port is made.
struct NewPortRequest {
    char hostAddress[33];
    char hardwareAddress[13];  // 12 hexadecimal digits
    char newPortName[260];
    bool create;
    uint8_t hardwareBytes[6];
};

constexpr uint32_t kPortModeLpr = 0;
constexpr uint32_t kPortModeIpp = 1;
constexpr uint32_t kPortModeRaw = 2;
constexpr uint32_t kPortModeMissing = 95;

int RegGetDword(HKEY key, const char* name, DWORD* value);
int RegGetString(HKEY key, const char* name, char* buffer, size_t size);
int RegGetBinary(HKEY key, const char* name, BYTE* buffer, size_t size, uint32_t* length);
int RegSetDword(HKEY key, const char* name, DWORD value);
int RegSetString(HKEY key, const char* name, const char* text);
int RegSetBinary(HKEY key, const char* name, const BYTE* data, DWORD length);

// Reads every port of the monitor into the record.
void GetPortName(HWND window, MonitorRecord* monitor);
void ReadMonitorPorts(HKEY portsKey, MonitorRecord* monitor);
// Moves printers off the saved ports and deletes the ports; 1 when every port went.
int DeleteMonitorPorts(NewPortRequest* context, MonitorRecord* monitor);
void MakeUniquePortName(HWND window, NewPortRequest* context, MonitorRecord* monitor);
void CreateMonitorPorts(HWND window, NewPortRequest* context, MonitorRecord* monitor);
void AddMonitorPort(HKEY portsKey, NewPortRequest* context, MonitorRecord* monitor);
// Exactly 12 hexadecimal digits into 6 bytes; 0 for anything else.
int HexToBytes(const char* text, uint8_t (&bytes)[6]);
int MakeMonitorName(char* text);
std::string MonitorKeyPath(const char* monitorName);
// True for the key of one named monitor directly below the spooler's Monitors key: the only
// kind of key the monitor steps may write or delete.
bool IsMonitorKeyPath(const char* keyPath);
