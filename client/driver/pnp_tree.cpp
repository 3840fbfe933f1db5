#include "pnp_tree.h"

#include "win_handles.h"

namespace {

constexpr const char* kEnumKey = "System\\CurrentControlSet\\Enum\\";

bool Locate(const std::string& instanceId, ULONG flags, DEVINST* node) {
    if (instanceId.empty() || instanceId.size() > kDeviceIdChars) return false;
    return CM_Locate_DevNodeA(node, const_cast<char*>(instanceId.c_str()), flags) == CR_SUCCESS;
}

std::string NodeId(DEVINST node) {
    char id[kDeviceIdChars + 1] = {};
    if (CM_Get_Device_IDA(node, id, kDeviceIdChars, 0) != CR_SUCCESS) return {};
    id[kDeviceIdChars] = '\0';
    return id;
}

bool ReadKeyText(HKEY key, const char* name, std::string* text) {
    char buffer[kDeviceIdChars + 1] = {};
    DWORD type = 0;
    DWORD size = kDeviceIdChars;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    buffer[size < kDeviceIdChars ? size : kDeviceIdChars] = '\0';
    *text = buffer;
    return true;
}

bool ReadNodeKeyText(DEVINST node, ULONG which, const char* name, std::string* text) {
    HKEY raw = nullptr;
    if (CM_Open_DevNode_Key(node, KEY_READ, 0, RegDisposition_OpenExisting, &raw, which) != CR_SUCCESS) return false;
    qz::RegKey key(raw);
    return ReadKeyText(key.get(), name, text);
}

bool FirstChild(const std::string& instanceId, DEVINST* child) {
    DEVINST node = 0;
    return LocateDeviceNode(instanceId, &node) && CM_Get_Child(child, node, 0) == CR_SUCCESS;
}

}  // namespace

bool LocateDeviceNode(const std::string& instanceId, DEVINST* node) {
    return Locate(instanceId, CM_LOCATE_DEVNODE_NORMAL, node);
}

bool LocateStoredDeviceNode(const std::string& instanceId, DEVINST* node) {
    return Locate(instanceId, CM_LOCATE_DEVNODE_PHANTOM, node);
}

bool GetDeviceProperty(const std::string& instanceId, ULONG property, std::string* text) {
    DEVINST node = 0;
    if (!LocateStoredDeviceNode(instanceId, &node)) return false;
    char buffer[1024] = {};
    ULONG type = 0;
    ULONG size = sizeof(buffer) - 2;
    // The Configuration Manager numbers its properties one above SetupAPI's.
    if (CM_Get_DevNode_Registry_PropertyA(node, property + 1, &type, buffer, &size, 0) != CR_SUCCESS) return false;
    buffer[size < sizeof(buffer) - 2 ? size : sizeof(buffer) - 2] = '\0';
    *text = buffer;  // the first string of a list
    if (text->size() > kDeviceIdChars) text->resize(kDeviceIdChars);
    return true;
}

bool GetPortNameAndDriverDesc(const std::string& instanceId, std::string* port, std::string* description) {
    DEVINST node = 0;
    if (!LocateStoredDeviceNode(instanceId, &node)) return false;
    return ReadNodeKeyText(node, CM_REGISTRY_HARDWARE, "PortName", port) &&
           ReadNodeKeyText(node, CM_REGISTRY_SOFTWARE, "DriverDesc", description);
}

bool GetDot4ChildPort(const std::string& instanceId, const std::string& service, std::string* printerId,
                      std::string* port, std::string* description) {
    DEVINST child = 0;
    if (!FirstChild(instanceId, &child)) return false;
    if (_stricmp(service.c_str(), "dot4") == 0) {
        DEVINST grandchild = 0;
        if (CM_Get_Child(&grandchild, child, 0) != CR_SUCCESS) return false;
        child = grandchild;
    }
    *printerId = NodeId(child);
    return !printerId->empty() && GetPortNameAndDriverDesc(*printerId, port, description);
}

std::vector<std::string> GetChildDeviceIds(const std::string& instanceId) {
    std::vector<std::string> ids;
    DEVINST child = 0;
    if (!FirstChild(instanceId, &child)) return ids;
    // A bounded walk: a tree that loops must not hang the caller.
    for (int i = 0; i < 64; ++i) {
        std::string id = NodeId(child);
        if (!id.empty()) ids.push_back(id);
        DEVINST next = 0;
        if (CM_Get_Sibling(&next, child, 0) != CR_SUCCESS) break;
        child = next;
    }
    return ids;
}

bool GetDeviceNodeStatus(const std::string& instanceId, ULONG* status, ULONG* problem) {
    DEVINST node = 0;
    if (!LocateDeviceNode(instanceId, &node)) return false;
    return CM_Get_DevNode_Status(status, problem, node, 0) == CR_SUCCESS;
}

bool EnumKeyExists(const std::string& instanceId) {
    if (instanceId.empty()) return false;
    std::string path = std::string(kEnumKey) + instanceId;
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
    qz::RegKey key(raw);
    return true;
}
