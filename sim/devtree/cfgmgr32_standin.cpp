// A stand-in for the Configuration Manager calls the suite makes, for test runs under Wine
// (whose own are mostly stubs). Built as cfgmgr32.dll into the test programs' folder and loaded
// instead of Wine's (WINEDLLOVERRIDES "cfgmgr32=n,b"). It reads the device tree that the bus
// driver's bridge writes into the registry (devtree_registry.h) and answers with Windows'
// signatures and CR_ codes. Device handles are numbers of this process: 1 is the root. A node
// that is not present (its device unplugged) is found only with CM_LOCATE_DEVNODE_PHANTOM and
// answers only for its properties and keys, as on Windows.
#include <windows.h>
#include <cfgmgr32.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "devtree_registry.h"
#include "win_handles.h"

namespace {

using devtree::EnumKeyPath;

constexpr DEVINST kRoot = 1;
constexpr char kRootId[] = "HTREE\\ROOT\\0";
constexpr ULONG kRootStatus = DN_DRIVER_LOADED | DN_STARTED;
constexpr ULONG kProblemHeldForEject = 0x2F;

// Instance ids compare without regard to case.
std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// Instance ids by handle; a handle stays valid for the process's life.
class Handles {
public:
    DEVINST Of(const std::string& id) {
        std::lock_guard<std::mutex> hold(lock_);  // guards ids_ and byId_
        std::string key = Upper(id);
        auto it = byId_.find(key);
        if (it != byId_.end()) return it->second;
        ids_.push_back(id);
        DEVINST handle = static_cast<DEVINST>(ids_.size()) + kRoot;
        byId_.emplace(key, handle);
        return handle;
    }
    bool IdOf(DEVINST handle, std::string* id) {
        if (handle == kRoot) return *id = kRootId, true;
        std::lock_guard<std::mutex> hold(lock_);
        if (handle <= kRoot || handle - kRoot > ids_.size()) return false;
        *id = ids_[handle - kRoot - 1];
        return true;
    }

private:
    std::mutex lock_;
    std::vector<std::string> ids_;
    std::map<std::string, DEVINST> byId_;
};

Handles& AllHandles() {
    static Handles handles;
    return handles;
}

// Which nodes a lookup accepts: only present ones, or also those left by an unplugged device.
enum class Nodes { Present, Stored };

qz::RegKey OpenNode(const std::string& id, Nodes which = Nodes::Present, REGSAM access = KEY_READ) {
    qz::RegKey key;
    if (id.empty() || id.size() >= MAX_DEVICE_ID_LEN ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, EnumKeyPath(id).c_str(), 0, access, key.put()) != ERROR_SUCCESS ||
        (which == Nodes::Present && devtree::IsPhantom(key.get())))
        key.reset();
    return key;
}

// The node of a handle: CR_INVALID_DEVNODE for a handle never given out, CR_NO_SUCH_DEVNODE
// for a node that has gone (or, where a present one is needed, is no longer present).
CONFIGRET NodeOf(DEVINST handle, std::string* id, qz::RegKey* key = nullptr, Nodes which = Nodes::Present,
                 REGSAM access = KEY_READ) {
    if (!AllHandles().IdOf(handle, id)) return CR_INVALID_DEVNODE;
    if (handle == kRoot) return CR_SUCCESS;
    qz::RegKey opened = OpenNode(*id, which, access);
    if (!opened) return CR_NO_SUCH_DEVNODE;
    if (key) *key = std::move(opened);
    return CR_SUCCESS;
}

// Nodes at the top of the stand-in's tree: Enum\A\B\C keys whose parent value is empty.
std::vector<std::string> RootChildren() {
    std::vector<std::string> out;
    qz::RegKey enumKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, devtree::kEnumPath, 0, KEY_READ, enumKey.put()) != ERROR_SUCCESS) return out;
    auto subkeys = [](HKEY key) {
        std::vector<std::string> names;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.emplace_back(name, length);
        }
        return names;
    };
    for (const std::string& a : subkeys(enumKey.get())) {
        qz::RegKey ka;
        if (RegOpenKeyExA(enumKey.get(), a.c_str(), 0, KEY_READ, ka.put()) != ERROR_SUCCESS) continue;
        for (const std::string& b : subkeys(ka.get())) {
            qz::RegKey kb;
            if (RegOpenKeyExA(ka.get(), b.c_str(), 0, KEY_READ, kb.put()) != ERROR_SUCCESS) continue;
            for (const std::string& c : subkeys(kb.get())) {
                qz::RegKey kc;
                std::string parent;
                if (RegOpenKeyExA(kb.get(), c.c_str(), 0, KEY_READ, kc.put()) == ERROR_SUCCESS &&
                    !devtree::IsPhantom(kc.get()) && devtree::ReadString(kc.get(), devtree::kParent, &parent) &&
                    parent.empty())
                    out.push_back(a + "\\" + b + "\\" + c);
            }
        }
    }
    return out;
}

// The present children of a node, in order.
std::vector<std::string> ChildrenOf(DEVINST handle, HKEY key) {
    if (handle == kRoot) return RootChildren();
    std::vector<std::string> out;
    for (const std::string& child : devtree::ReadMultiString(key, devtree::kChildren))
        if (OpenNode(child)) out.push_back(child);
    return out;
}

std::string ParentOf(HKEY key) {
    std::string parent;
    devtree::ReadString(key, devtree::kParent, &parent);
    return parent;
}

// The registry value of a CM_DRP_ property; null for one the stand-in does not keep.
const char* PropertyValue(ULONG property) {
    switch (property) {
        case CM_DRP_DEVICEDESC: return "DeviceDesc";
        case CM_DRP_HARDWAREID: return devtree::kHardwareId;
        case CM_DRP_COMPATIBLEIDS: return "CompatibleIDs";
        case CM_DRP_SERVICE: return devtree::kService;
        case CM_DRP_CLASS: return "Class";
        case CM_DRP_CLASSGUID: return "ClassGUID";
        case CM_DRP_DRIVER: return devtree::kDriver;
        case CM_DRP_MFG: return "Mfg";
        case CM_DRP_FRIENDLYNAME: return "FriendlyName";
        case CM_DRP_UPPERFILTERS: return devtree::kUpperFilters;
        case CM_DRP_LOWERFILTERS: return "LowerFilters";
        default: return nullptr;
    }
}

CONFIGRET CopyOut(const void* data, ULONG size, DWORD type, PULONG pulRegDataType, PVOID buffer, PULONG pulLength) {
    if (pulRegDataType) *pulRegDataType = type;
    ULONG room = *pulLength;
    *pulLength = size;
    if (!buffer || room < size) return CR_BUFFER_SMALL;
    std::memcpy(buffer, data, size);
    return CR_SUCCESS;
}

}  // namespace

extern "C" {

CONFIGRET WINAPI CM_Locate_DevNodeA(PDEVINST pdnDevInst, DEVINSTID_A pDeviceID, ULONG ulFlags) {
    if (!pdnDevInst) return CR_INVALID_POINTER;
    *pdnDevInst = 0;
    if (ulFlags & ~CM_LOCATE_DEVNODE_BITS) return CR_INVALID_FLAG;
    if (!pDeviceID || !*pDeviceID || Upper(pDeviceID) == kRootId) return *pdnDevInst = kRoot, CR_SUCCESS;
    std::string id(pDeviceID, strnlen(pDeviceID, MAX_DEVICE_ID_LEN));
    if (id.size() >= MAX_DEVICE_ID_LEN) return CR_INVALID_DEVICE_ID;
    // Without CM_LOCATE_DEVNODE_PHANTOM only a present node is found.
    if (!OpenNode(id, (ulFlags & CM_LOCATE_DEVNODE_PHANTOM) ? Nodes::Stored : Nodes::Present))
        return CR_NO_SUCH_DEVNODE;
    *pdnDevInst = AllHandles().Of(id);
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Parent(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags) {
    if (!pdnDevInst) return CR_INVALID_POINTER;
    *pdnDevInst = 0;
    if (ulFlags) return CR_INVALID_FLAG;
    std::string id;
    qz::RegKey key;
    if (CONFIGRET cr = NodeOf(dnDevInst, &id, &key); cr != CR_SUCCESS) return cr;
    if (dnDevInst == kRoot) return CR_NO_SUCH_DEVNODE;
    std::string parent = ParentOf(key.get());
    if (parent.empty()) return *pdnDevInst = kRoot, CR_SUCCESS;
    if (!OpenNode(parent)) return CR_NO_SUCH_DEVNODE;
    *pdnDevInst = AllHandles().Of(parent);
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Child(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags) {
    if (!pdnDevInst) return CR_INVALID_POINTER;
    *pdnDevInst = 0;
    if (ulFlags) return CR_INVALID_FLAG;
    std::string id;
    qz::RegKey key;
    if (CONFIGRET cr = NodeOf(dnDevInst, &id, &key); cr != CR_SUCCESS) return cr;
    std::vector<std::string> children = ChildrenOf(dnDevInst, key.get());
    if (children.empty()) return CR_NO_SUCH_DEVNODE;
    *pdnDevInst = AllHandles().Of(children[0]);
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Sibling(PDEVINST pdnDevInst, DEVINST DevInst, ULONG ulFlags) {
    if (!pdnDevInst) return CR_INVALID_POINTER;
    *pdnDevInst = 0;
    if (ulFlags) return CR_INVALID_FLAG;
    std::string id;
    qz::RegKey key;
    if (CONFIGRET cr = NodeOf(DevInst, &id, &key); cr != CR_SUCCESS) return cr;
    if (DevInst == kRoot) return CR_NO_SUCH_DEVNODE;
    std::string parentId = ParentOf(key.get());
    std::vector<std::string> siblings;
    if (parentId.empty()) {
        siblings = RootChildren();
    } else if (qz::RegKey parent = OpenNode(parentId)) {
        siblings = ChildrenOf(0, parent.get());
    }
    std::string self = Upper(id);
    for (size_t i = 0; i + 1 < siblings.size(); ++i)
        if (Upper(siblings[i]) == self) return *pdnDevInst = AllHandles().Of(siblings[i + 1]), CR_SUCCESS;
    return CR_NO_SUCH_DEVNODE;
}

CONFIGRET WINAPI CM_Get_Device_ID_Size(PULONG pulLen, DEVINST dnDevInst, ULONG ulFlags) {
    if (!pulLen) return CR_INVALID_POINTER;
    *pulLen = 0;
    if (ulFlags) return CR_INVALID_FLAG;
    std::string id;
    if (!AllHandles().IdOf(dnDevInst, &id)) return CR_INVALID_DEVNODE;
    *pulLen = static_cast<ULONG>(id.size());
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Device_IDA(DEVINST dnDevInst, PCHAR Buffer, ULONG BufferLen, ULONG ulFlags) {
    if (!Buffer) return CR_INVALID_POINTER;
    if (ulFlags) return CR_INVALID_FLAG;
    std::string id;
    if (!AllHandles().IdOf(dnDevInst, &id)) return CR_INVALID_DEVNODE;
    if (BufferLen == 0) return CR_BUFFER_SMALL;
    // As much as fits; without room for the terminator the id is cut and CR_BUFFER_SMALL given.
    size_t copied = id.size() < BufferLen ? id.size() : BufferLen;
    std::memcpy(Buffer, id.data(), copied);
    if (copied < BufferLen) Buffer[copied] = '\0';
    return id.size() < BufferLen ? CR_SUCCESS : CR_BUFFER_SMALL;
}

CONFIGRET WINAPI CM_Get_DevNode_Status(PULONG pulStatus, PULONG pulProblemNumber, DEVINST dnDevInst, ULONG ulFlags) {
    if (!pulStatus || !pulProblemNumber) return CR_INVALID_POINTER;
    *pulStatus = *pulProblemNumber = 0;
    if (ulFlags) return CR_INVALID_FLAG;
    std::string id;
    qz::RegKey key;
    if (CONFIGRET cr = NodeOf(dnDevInst, &id, &key); cr != CR_SUCCESS) return cr;
    if (dnDevInst == kRoot) return *pulStatus = kRootStatus, CR_SUCCESS;
    DWORD status = devtree::kDefaultStatus, problem = 0;
    devtree::ReadDword(key.get(), devtree::kStatus, &status);
    devtree::ReadDword(key.get(), devtree::kProblem, &problem);
    *pulStatus = status;
    *pulProblemNumber = problem;
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_DevNode_Registry_PropertyA(DEVINST dnDevInst, ULONG ulProperty, PULONG pulRegDataType,
                                                   PVOID Buffer, PULONG pulLength, ULONG ulFlags) {
    if (!pulLength) return CR_INVALID_POINTER;
    if (ulFlags) return CR_INVALID_FLAG;
    if (ulProperty < CM_DRP_MIN || ulProperty > CM_DRP_MAX) return CR_INVALID_PROPERTY;
    std::string id;
    qz::RegKey key;
    if (CONFIGRET cr = NodeOf(dnDevInst, &id, &key, Nodes::Stored); cr != CR_SUCCESS) return cr;
    if (ulProperty == CM_DRP_ENUMERATOR_NAME) {
        std::string enumerator = id.substr(0, id.find('\\'));
        return CopyOut(enumerator.c_str(), static_cast<ULONG>(enumerator.size() + 1), REG_SZ, pulRegDataType, Buffer,
                       pulLength);
    }
    const char* value = PropertyValue(ulProperty);
    std::vector<char> data;
    DWORD type = 0;
    if (dnDevInst == kRoot || !value || !devtree::ReadRaw(key.get(), value, &data, &type)) {
        *pulLength = 0;
        return CR_NO_SUCH_VALUE;
    }
    return CopyOut(data.data(), static_cast<ULONG>(data.size()), type, pulRegDataType, Buffer, pulLength);
}

CONFIGRET WINAPI CM_Open_DevNode_Key(DEVINST dnDevNode, REGSAM samDesired, ULONG ulHardwareProfile,
                                     REGDISPOSITION Disposition, PHKEY phkDevice, ULONG ulFlags) {
    if (!phkDevice) return CR_INVALID_POINTER;
    *phkDevice = nullptr;
    if ((ulFlags & ~CM_REGISTRY_BITS) || (ulFlags & (CM_REGISTRY_USER | CM_REGISTRY_CONFIG))) return CR_INVALID_FLAG;
    if (Disposition & ~RegDisposition_Bits) return CR_INVALID_DATA;
    if (ulHardwareProfile) return CR_INVALID_DATA;
    std::string id;
    qz::RegKey key;
    if (CONFIGRET cr = NodeOf(dnDevNode, &id, &key, Nodes::Stored); cr != CR_SUCCESS) return cr;
    if (dnDevNode == kRoot) return CR_NO_SUCH_REGISTRY_KEY;
    std::string path;
    if (ulFlags & CM_REGISTRY_SOFTWARE) {
        std::string driver;
        if (!devtree::ReadString(key.get(), devtree::kDriver, &driver) || driver.empty())
            return CR_NO_SUCH_REGISTRY_KEY;
        path = std::string(devtree::kClassPath) + "\\" + driver;
    } else {
        path = EnumKeyPath(id) + "\\" + devtree::kHardwareSubkey;
    }
    LONG rc = Disposition == RegDisposition_OpenExisting
                  ? RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, samDesired, phkDevice)
                  : RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, samDesired, nullptr, phkDevice,
                                    nullptr);
    if (rc == ERROR_SUCCESS) return CR_SUCCESS;
    *phkDevice = nullptr;
    return rc == ERROR_ACCESS_DENIED ? CR_ACCESS_DENIED : CR_NO_SUCH_REGISTRY_KEY;
}

CONFIGRET WINAPI CM_Request_Device_EjectA(DEVINST dnDevInst, PPNP_VETO_TYPE pVetoType, LPSTR pszVetoName,
                                          ULONG ulNameLength, ULONG ulFlags) {
    if (pVetoType) *pVetoType = PNP_VetoTypeUnknown;
    if (pszVetoName && ulNameLength) pszVetoName[0] = '\0';
    if (ulFlags) return CR_INVALID_FLAG;
    std::string id;
    qz::RegKey key;
    if (CONFIGRET cr = NodeOf(dnDevInst, &id, &key, Nodes::Present, KEY_ALL_ACCESS); cr != CR_SUCCESS) return cr;
    if (dnDevInst == kRoot) return CR_INVALID_DEVNODE;
    DWORD ejects = 0, vetoes = 0, status = devtree::kDefaultStatus;
    devtree::ReadDword(key.get(), devtree::kEjects, &ejects);
    devtree::WriteDword(key.get(), devtree::kEjects, ejects + 1);
    devtree::ReadDword(key.get(), devtree::kVetoes, &vetoes);
    devtree::ReadDword(key.get(), devtree::kStatus, &status);
    PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
    if (vetoes) {
        devtree::WriteDword(key.get(), devtree::kVetoes, vetoes - 1);
        veto = PNP_VetoDevice;
    } else if (!(status & DN_REMOVABLE)) {
        veto = PNP_VetoIllegalDeviceRequest;
    }
    if (veto != PNP_VetoTypeUnknown) {
        if (pVetoType) *pVetoType = veto;
        if (pszVetoName && ulNameLength) {
            size_t n = id.size() < ulNameLength - 1 ? id.size() : ulNameLength - 1;
            std::memcpy(pszVetoName, id.data(), n);
            pszVetoName[n] = '\0';
        }
        return CR_REMOVE_VETOED;
    }
    // Ejected: the node stays, stopped and held for its removal, until its port goes away.
    devtree::WriteDword(key.get(), devtree::kStatus, (status | DN_HAS_PROBLEM) & ~static_cast<DWORD>(DN_STARTED));
    devtree::WriteDword(key.get(), devtree::kProblem, kProblemHeldForEject);
    return CR_SUCCESS;
}

}  // extern "C"
