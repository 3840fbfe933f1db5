// Where the stand-in device tree lives in the registry, shared by its writer (the bridge) and
// its reader (the stand-in cfgmgr32.dll).
//
// Each node is the key HKLM\System\CurrentControlSet\Enum\<instance id>, as Windows
// keeps it, with "Service", "HardwareID", "UpperFilters", "Driver", "ClassGUID" and the stand-in's own
// values: "QzParent" (parent id, empty = the root), "QzChildren" (child ids in order),
// "QzStatus" (DN_ flags; absent = started, removable), "QzProblem", "QzVetoes" (eject requests
// still to veto), "QzEjects" (eject requests so far). "Device Parameters" holds a printer's
// "PortName"; the node's driver key, Control\Class\<Driver>, holds "DriverDesc".
// A node whose device was unplugged stays, as on Windows, with "QzNotPresent" (DWORD 1): the
// stand-in finds it only by a phantom lookup and answers only for its properties and keys
// (Wine's own SetupAPI does not know the value and still lists it as present).
#pragma once

#include <windows.h>
#include <cfgmgr32.h>

#include <string>
#include <vector>

namespace devtree {

inline constexpr char kEnumPath[] = "System\\CurrentControlSet\\Enum";
inline constexpr char kClassPath[] = "System\\CurrentControlSet\\Control\\Class";
inline constexpr char kHardwareSubkey[] = "Device Parameters";
// The stand-in's own bookkeeping: printer ports in use, the root nodes each bus wrote.
inline constexpr char kPortsPath[] = "Software\\QzDeviceTree\\PrinterPorts";
inline constexpr char kBusesPath[] = "Software\\QzDeviceTree\\Buses";

inline constexpr char kService[] = "Service";
inline constexpr char kHardwareId[] = "HardwareID";
inline constexpr char kUpperFilters[] = "UpperFilters";
inline constexpr char kDriver[] = "Driver";
inline constexpr char kClassGuid[] = "ClassGUID";
inline constexpr char kPortName[] = "PortName";
inline constexpr char kDriverDesc[] = "DriverDesc";
inline constexpr char kParent[] = "QzParent";
inline constexpr char kChildren[] = "QzChildren";
inline constexpr char kStatus[] = "QzStatus";
inline constexpr char kProblem[] = "QzProblem";
inline constexpr char kVetoes[] = "QzVetoes";
inline constexpr char kEjects[] = "QzEjects";
inline constexpr char kNotPresent[] = "QzNotPresent";

inline constexpr ULONG kDefaultStatus = DN_DRIVER_LOADED | DN_STARTED | DN_DISABLEABLE | DN_REMOVABLE;
inline constexpr size_t kMaxValueBytes = 64 * 1024;  // larger values are treated as missing

inline std::string EnumKeyPath(const std::string& id) { return std::string(kEnumPath) + "\\" + id; }

// A value's raw bytes with its type; false when missing or unreasonably large.
inline bool ReadRaw(HKEY key, const char* name, std::vector<char>* data, DWORD* type = nullptr) {
    DWORD kind = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &kind, nullptr, &size) != ERROR_SUCCESS || size > kMaxValueBytes)
        return false;
    data->assign(size, '\0');
    if (size && RegQueryValueExA(key, name, nullptr, &kind, reinterpret_cast<BYTE*>(data->data()), &size) !=
                    ERROR_SUCCESS)
        return false;
    data->resize(size);
    if (type) *type = kind;
    return true;
}

// A REG_SZ (or the first string of a REG_MULTI_SZ), cut at its first zero.
inline bool ReadString(HKEY key, const char* name, std::string* out) {
    std::vector<char> data;
    if (!ReadRaw(key, name, &data)) return false;
    size_t end = 0;
    while (end < data.size() && data[end]) ++end;
    out->assign(data.data(), end);
    return true;
}

// The strings of a REG_MULTI_SZ, bounded by the bytes read (a missing final zero is tolerated).
inline std::vector<std::string> ReadMultiString(HKEY key, const char* name) {
    std::vector<char> data;
    std::vector<std::string> out;
    if (!ReadRaw(key, name, &data)) return out;
    size_t start = 0;
    for (size_t i = 0; i <= data.size(); ++i) {
        if (i == data.size() || data[i] == '\0') {
            if (i == start) break;  // the empty string that ends the list
            out.emplace_back(data.data() + start, i - start);
            start = i + 1;
        }
    }
    return out;
}

inline bool ReadDword(HKEY key, const char* name, DWORD* out) {
    DWORD kind = 0, value = 0, size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &kind, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        kind != REG_DWORD || size != sizeof value)
        return false;
    *out = value;
    return true;
}

// True for a node that is in the registry but not present.
inline bool IsPhantom(HKEY key) {
    return RegQueryValueExA(key, kNotPresent, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

inline bool WriteString(HKEY key, const char* name, const std::string& value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

inline bool WriteMultiString(HKEY key, const char* name, const std::vector<std::string>& values) {
    std::string data;
    for (const std::string& v : values) data += v + '\0';
    data += '\0';
    return RegSetValueExA(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

inline bool WriteDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
}

}  // namespace devtree
