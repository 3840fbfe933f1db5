#include "port_records.h"

#include "setup_log.h"
#include "spooler_platform.h"

#include <win_handles.h>

#include <cstring>
#include <set>

namespace {

constexpr char kMonitorsKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\";
constexpr DWORD kDefaultLprTimeout = 180000;
constexpr DWORD kFixedTimeout = 900000;
constexpr DWORD kServerPort = 19541;
constexpr DWORD kJapaneseServerPort = 9;
constexpr int kMaxNameTries = 29;

// The whole value, whatever its length; false when it is absent or of another type.
bool ReadValue(HKEY key, const char* name, DWORD wantedType, std::vector<BYTE>& data) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != wantedType) return false;
    data.assign(size, 0);
    if (size && RegQueryValueExA(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return false;
    data.resize(size);
    return true;
}

template <size_t N>
void ReadText(HKEY key, const char* name, char (&field)[N]) {
    RegGetString(key, name, field, N);
}

DWORD Dword(HKEY key, const char* name, DWORD fallback = 0) {
    DWORD value = 0;
    return RegGetDword(key, name, &value) ? value : fallback;
}

void ReadLpr(HKEY key, LprPortSettings& r) {
    ReadText(key, "HostName", r.hostName);
    r.nonRfcPorts = Dword(key, "NonRFCPorts");
    r.nonSpool = Dword(key, "NonSpool");
    ReadText(key, "PortName", r.portName);
    r.portNum = Dword(key, "PortNum");
    r.printMode = Dword(key, "PrintMode");
    r.timeout = Dword(key, "Timeout", kDefaultLprTimeout);
    r.nonByteCount = Dword(key, "NonByteCount");
    RegGetBinary(key, "Ethernet", r.ethernet, sizeof r.ethernet, &r.ethernetLength);
}

// A port without "PrintMode": its names, and fixed values for the rest.
void ReadDefault(HKEY key, LprPortSettings& r) {
    ReadText(key, "HostName", r.hostName);
    ReadText(key, "PortName", r.portName);
    r.timeout = kFixedTimeout;
    r.portNum = PRIMARYLANGID(GetSystemDefaultLangID()) == LANG_JAPANESE ? kJapaneseServerPort : kServerPort;
}

void ReadIpp(HKEY key, IppPortSettings& r) {
    r.base64 = Dword(key, "Base64");
    r.chunked = Dword(key, "Chunked");
    r.jobSheets = Dword(key, "JobSheets");
    ReadText(key, "Language", r.language);
    r.maxChunk = Dword(key, "MaxChunk");
    r.nonSpool = Dword(key, "NonSpool");
    RegGetBinary(key, "PassWord", r.password, sizeof r.password, &r.passwordLength);
    r.printMode = Dword(key, "PrintMode");
    ReadText(key, "ProxyName", r.proxyName);
    r.proxyNum = Dword(key, "ProxyNum");
    r.timeout = Dword(key, "Timeout");
    ReadText(key, "URL", r.url);
    r.useProxy = Dword(key, "UseProxy");
    ReadText(key, "UserName", r.userName);
}

void ReadRaw(HKEY key, RawPortSettings& r) {
    ReadText(key, "HostName", r.hostName);
    r.nonSpool = Dword(key, "NonSpool");
    r.portNum = Dword(key, "PortNum");
    r.printMode = Dword(key, "PrintMode");
    r.timeout = Dword(key, "Timeout");
}

void WriteLpr(HKEY key, const LprPortSettings& r) {
    RegSetString(key, "HostName", r.hostName);
    RegSetDword(key, "PortNum", r.portNum);
    RegSetDword(key, "PrintMode", r.printMode);
    RegSetDword(key, "Timeout", r.timeout);
    RegSetDword(key, "NonSpool", r.nonSpool);
    RegSetDword(key, "NonByteCount", r.nonByteCount);
    RegSetDword(key, "NonRFCPorts", r.nonRfcPorts);
    RegSetString(key, "PortName", r.portName);
    if (r.ethernetLength) RegSetBinary(key, "Ethernet", r.ethernet, r.ethernetLength);
}

void WriteIpp(HKEY key, const IppPortSettings& r) {
    RegSetDword(key, "Base64", r.base64);
    RegSetDword(key, "Chunked", r.chunked);
    RegSetDword(key, "JobSheets", r.jobSheets);
    RegSetString(key, "Language", r.language);
    RegSetDword(key, "MaxChunk", r.maxChunk);
    RegSetDword(key, "NonSpool", r.nonSpool);
    RegSetBinary(key, "PassWord", r.password, r.passwordLength);
    RegSetDword(key, "PrintMode", r.printMode);
    RegSetString(key, "ProxyName", r.proxyName);
    RegSetDword(key, "ProxyNum", r.proxyNum);
    RegSetDword(key, "Timeout", r.timeout);
    RegSetString(key, "URL", r.url);
    RegSetDword(key, "UseProxy", r.useProxy);
    RegSetString(key, "UserName", r.userName);
}

void WriteRaw(HKEY key, const RawPortSettings& r) {
    RegSetString(key, "HostName", r.hostName);
    RegSetDword(key, "NonSpool", r.nonSpool);
    RegSetDword(key, "PortNum", r.portNum);
    RegSetDword(key, "PrintMode", r.printMode);
    RegSetDword(key, "Timeout", r.timeout);
}

template <typename Record, typename Write>
void AddPorts(HKEY portsKey, const std::vector<Record>& records, Write write) {
    for (const Record& r : records) {
        qz::RegKey port;
        if (RegCreateKeyExA(portsKey, r.keyName, 0, nullptr, 0, KEY_WRITE, nullptr, port.put(), nullptr) !=
            ERROR_SUCCESS) {
            continue;
        }
        write(port.get(), r);
        LogPrintf("  Add Port: %s", r.keyName);
    }
}

// Every port name the monitor will have again: the spooler's and the saved ones.
bool NameTaken(const MonitorRecord* monitor, const std::string& name) {
    if (Spooler().PortExists(name.c_str())) return true;
    for (const std::string& saved : monitor->portNames) {
        if (lstrcmpiA(saved.c_str(), name.c_str()) == 0) return true;
    }
    return false;
}

}  // namespace

std::string MonitorKeyPath(const char* monitorName) {
    return std::string(kMonitorsKey) + (monitorName ? monitorName : "");
}

bool IsMonitorKeyPath(const char* keyPath) {
    size_t rootLength = sizeof kMonitorsKey - 1;
    if (!keyPath || std::strlen(keyPath) <= rootLength || _strnicmp(keyPath, kMonitorsKey, rootLength) != 0) {
        return false;
    }
    const char* name = keyPath + rootLength;
    return std::strchr(name, '\\') == nullptr && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
}

int RegGetDword(HKEY key, const char* name, DWORD* value) {
    if (value) *value = 0;
    std::vector<BYTE> data;
    if (!value || !ReadValue(key, name, REG_DWORD, data) || data.size() != sizeof(DWORD)) return 0;
    std::memcpy(value, data.data(), sizeof(DWORD));
    return 1;
}

int RegGetString(HKEY key, const char* name, char* buffer, size_t size) {
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    std::vector<BYTE> data;
    if (!ReadValue(key, name, REG_SZ, data)) return 0;
    // Cut to the field and always terminated; a value longer than the field keeps its start.
    size_t n = strnlen(reinterpret_cast<const char*>(data.data()), data.size());
    if (n > size - 1) n = size - 1;
    std::memcpy(buffer, data.data(), n);
    buffer[n] = 0;
    return 1;
}

int RegGetBinary(HKEY key, const char* name, BYTE* buffer, size_t size, uint32_t* length) {
    if (length) *length = 0;
    std::vector<BYTE> data;
    if (!buffer || !ReadValue(key, name, REG_BINARY, data)) return 0;
    size_t n = data.size() < size ? data.size() : size;
    std::memcpy(buffer, data.data(), n);
    if (length) *length = static_cast<uint32_t>(n);
    return static_cast<int>(n);
}

int RegSetDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
}

int RegSetString(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

int RegSetBinary(HKEY key, const char* name, const BYTE* data, DWORD length) {
    return RegSetValueExA(key, name, 0, REG_BINARY, data, length) == ERROR_SUCCESS;
}

void GetPortName(HWND /*window*/, MonitorRecord* monitor) {
    if (!monitor) return;
    monitor->portNames.clear();
    qz::RegKey ports;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(monitor->keyPath) + "\\Ports").c_str(), 0, KEY_READ,
                      ports.put()) != ERROR_SUCCESS) {
        return;
    }
    char name[260];
    for (DWORD i = 0;; ++i) {
        DWORD chars = sizeof name;
        if (RegEnumKeyExA(ports.get(), i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        monitor->portNames.emplace_back(name);
        LogPrintf("  GetPortName(%s)", name);
    }
    ReadMonitorPorts(ports.get(), monitor);
}

void ReadMonitorPorts(HKEY portsKey, MonitorRecord* monitor) {
    monitor->lpr.clear();
    monitor->ipp.clear();
    monitor->raw.clear();
    for (const std::string& name : monitor->portNames) {
        qz::RegKey port;
        if (RegOpenKeyExA(portsKey, name.c_str(), 0, KEY_READ, port.put()) != ERROR_SUCCESS) continue;
        DWORD mode = kPortModeMissing;
        if (!RegGetDword(port.get(), "PrintMode", &mode)) mode = kPortModeMissing;
        if (mode == kPortModeLpr || mode == kPortModeMissing) {
            LprPortSettings r{};
            lstrcpynA(r.keyName, name.c_str(), sizeof r.keyName);
            if (mode == kPortModeLpr) ReadLpr(port.get(), r);
            else ReadDefault(port.get(), r);
            monitor->lpr.push_back(r);
        } else if (mode == kPortModeIpp) {
            IppPortSettings r{};
            lstrcpynA(r.keyName, name.c_str(), sizeof r.keyName);
            ReadIpp(port.get(), r);
            monitor->ipp.push_back(r);
        } else if (mode == kPortModeRaw) {
            RawPortSettings r{};
            lstrcpynA(r.keyName, name.c_str(), sizeof r.keyName);
            ReadRaw(port.get(), r);
            monitor->raw.push_back(r);
        }
    }
}

int DeleteMonitorPorts(NewPortRequest* /*context*/, MonitorRecord* monitor) {
    if (!monitor) return 0;
    std::vector<std::string> saved;
    for (const auto& r : monitor->lpr) saved.emplace_back(r.keyName);
    for (const auto& r : monitor->ipp) saved.emplace_back(r.keyName);
    for (const auto& r : monitor->raw) saved.emplace_back(r.keyName);
    std::vector<PrinterOnPort> printers = Spooler().ListPrinters();
    int result = 1;
    for (const std::string& port : saved) {
        for (const PrinterOnPort& p : printers) {
            if (lstrcmpiA(p.port.c_str(), port.c_str()) != 0) continue;
            // A port still in use is never deleted.
            if (!Spooler().MovePrinter(p.printer.c_str(), "LPT1:") && !Spooler().MovePrinter(p.printer.c_str(), "FILE:")) {
                return 0;
            }
        }
        LogPrintf("  Delete Port: %s", port.c_str());
        if (!Spooler().RemovePort(port.c_str())) {
            LogPrintf("  --> NG (0x%08lx)", GetLastError());
            result = 0;
        }
    }
    return result;
}

int HexToBytes(const char* text, uint8_t (&bytes)[6]) {
    std::memset(bytes, 0, sizeof bytes);
    if (!text || std::strlen(text) != 12) return 0;
    uint8_t out[6];
    for (int i = 0; i < 12; ++i) {
        char c = text[i];
        int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (v < 0) return 0;
        if (i % 2 == 0) out[i / 2] = static_cast<uint8_t>(v << 4);
        else out[i / 2] |= static_cast<uint8_t>(v);
    }
    std::memcpy(bytes, out, sizeof out);
    return 1;
}

int MakeMonitorName(char* text) {
    if (!text || !*text) return 0;
    char* out = text;
    for (const char* in = text; *in; ++in) {
        if (*in != ':') *out++ = *in;
    }
    *out = 0;
    CharUpperA(text);
    return *text ? 1 : 0;
}

void MakeUniquePortName(HWND /*window*/, NewPortRequest* context, MonitorRecord* monitor) {
    if (!context || !monitor || !context->hostAddress[0]) return;
    std::string name = std::string(context->hostAddress) + ":lp";
    context->create = HexToBytes(context->hardwareAddress, context->hardwareBytes) == 1;
    context->newPortName[0] = 0;
    if (!context->create) {
        LogPrintf("  Hardware address not usable: %s", context->hardwareAddress);
        return;
    }
    if (monitor->wasInstalled) {
        for (LprPortSettings& r : monitor->lpr) {
            if (name == r.keyName && r.ethernetLength == 6 &&
                std::memcmp(r.ethernet, context->hardwareBytes, 6) == 0) {
                lstrcpynA(r.hostName, context->hostAddress, sizeof r.hostName);
                context->create = false;
                lstrcpynA(context->newPortName, name.c_str(), sizeof context->newPortName);
                return;
            }
        }
    }
    // Saved ports count as taken: their spooler copies were deleted, their keys come back.
    std::string candidate = name;
    for (int n = 1; NameTaken(monitor, candidate); ++n) {
        if (n > kMaxNameTries) {
            LogPrintf("  No free port name for %s", name.c_str());
            context->create = false;
            return;
        }
        candidate = name + "-" + std::to_string(n);
    }
    lstrcpynA(context->newPortName, candidate.c_str(), sizeof context->newPortName);
}

void CreateMonitorPorts(HWND window, NewPortRequest* context, MonitorRecord* monitor) {
    if (!monitor || !IsMonitorKeyPath(monitor->keyPath)) return;
    if (context && context->hardwareAddress[0] && _strnicmp(context->hardwareAddress, "000000000000", 12) != 0) {
        MakeUniquePortName(window, context, monitor);
        LogPrintf("  New PortName(%s), Create %d", context->newPortName, context->create ? 1 : 0);
    } else if (context) {
        context->create = false;
    }
    qz::RegKey ports;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(monitor->keyPath) + "\\Ports").c_str(), 0, nullptr, 0,
                        KEY_WRITE, nullptr, ports.put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    AddMonitorPort(ports.get(), context, monitor);
}

void AddMonitorPort(HKEY portsKey, NewPortRequest* context, MonitorRecord* monitor) {
    AddPorts(portsKey, monitor->lpr, WriteLpr);
    AddPorts(portsKey, monitor->ipp, WriteIpp);
    AddPorts(portsKey, monitor->raw, WriteRaw);
    if (!context || !context->create || !context->newPortName[0]) return;
    LprPortSettings fresh{};
    lstrcpynA(fresh.keyName, context->newPortName, sizeof fresh.keyName);
    lstrcpynA(fresh.hostName, context->hostAddress, sizeof fresh.hostName);
    lstrcpyA(fresh.portName, "lp");
    fresh.portNum = kServerPort;
    fresh.timeout = kFixedTimeout;
    std::memcpy(fresh.ethernet, context->hardwareBytes, 6);
    fresh.ethernetLength = 6;
    AddPorts(portsKey, std::vector<LprPortSettings>{fresh}, WriteLpr);
}
