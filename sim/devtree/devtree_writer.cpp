#include "devtree_writer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "devtree_registry.h"
#include "win_handles.h"

namespace devtree {
namespace {

constexpr char kUsbClass[] = "{36fc9e60-c465-11cf-8056-444553540000}";
constexpr char kPrinterClass[] = "{4d36e979-e325-11ce-bfc1-08002be10318}";
constexpr char kDiskClass[] = "{4d36e967-e325-11ce-bfc1-08002be10318}";
constexpr char kHidClass[] = "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}";
constexpr char kImageClass[] = "{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
constexpr char kDot4Class[] = "{48721b56-6795-11d2-b1a8-0080c72e74a2}";
constexpr int kPrinterClassCode = 7, kStorageClassCode = 8, kHidClassCode = 3;
constexpr int kMaxPorts = 999, kMaxDriverKeys = 10000;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool PercentDecode(const std::string& text, std::string* out) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            *out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        int hi = HexDigit(text[i + 1]), lo = HexDigit(text[i + 2]);
        if (hi < 0 || lo < 0) return false;
        *out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

// Upper-case letters and digits of a name, as Windows forms model parts of ids.
std::string ModelPart(const std::string& name) {
    std::string out;
    for (char c : name)
        if (std::isalnum(static_cast<unsigned char>(c)) && out.size() < 24)
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out.empty() ? "DEVICE" : out;
}

std::string Hash(const std::string& text) {
    uint32_t h = 2166136261u;
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    char out[16];
    std::snprintf(out, sizeof out, "%x", h);
    return out;
}

// "VID_xxxx&PID_yyyy" of a bus id "USB\VID_xxxx&PID_yyyy\serial".
std::string VidPid(const std::string& busId) {
    size_t first = busId.find('\\');
    size_t second = first == std::string::npos ? first : busId.find('\\', first + 1);
    if (second == std::string::npos) return "VID_0000&PID_0000";
    return busId.substr(first + 1, second - first - 1);
}

struct Builder {
    const std::string& busId;
    const Profile& profile;
    std::vector<NodeSpec> nodes;
    std::string model = ModelPart(profile.desc);
    std::string hash = Hash(busId);

    std::string Instance(int level, size_t index) const {
        return std::to_string(level) + "&" + hash + "&0&" + std::to_string(index);
    }
    void Add(std::string id, const std::string& parent, std::string service, std::vector<std::string> hardwareIds,
             const char* guid, std::string desc, std::string portPrefix = "") {
        nodes.push_back({std::move(id), parent, std::move(service), std::move(hardwareIds), guid, std::move(desc),
                         std::move(portPrefix)});
    }
    // The function of one printer interface below `parent` (whose service is usbprint or dot4).
    void Printer(const std::string& parent, bool dot4, size_t index) {
        if (!dot4) {
            Add("USBPRINT\\" + model + "\\" + Instance(7, index), parent, "", {"USBPRINT\\" + model}, kPrinterClass,
                profile.desc, "USB");
            return;
        }
        std::string middle = "DOT4\\" + model + "\\" + Instance(8, index);
        Add(middle, parent, "Dot4Prt", {"DOT4\\" + model}, kDot4Class, "IEEE-1284.4 Printer");
        Add("DOT4PRT\\" + model + "\\" + Instance(9, index), middle, "", {"DOT4PRT\\" + model}, kPrinterClass,
            profile.desc, "DOT4_");
    }
    void Storage(const std::string& parent, size_t index) {
        std::string id = "USBSTOR\\Disk&Ven_QZ&Prod_" + model + "&Rev_1.00";
        Add(id + "\\" + Instance(8, index), parent, "disk", {id, "USBSTOR\\Disk"}, kDiskClass, "Disk drive");
    }
    // A function node (the bus node itself, or one child of a composite device) of a class.
    void Function(const std::string& id, const std::string& parent, int cls, size_t index,
                  std::vector<std::string> hardwareIds) {
        if (cls == kPrinterClassCode) {
            bool dot4 = profile.dot4 || profile.kind == "dot4";
            Add(id, parent, dot4 ? "dot4" : "usbprint", hardwareIds, dot4 ? kDot4Class : kUsbClass,
                dot4 ? "IEEE-1284.4 Compatible Printer" : "USB Printing Support");
            Printer(id, dot4, index);
        } else if (cls == kStorageClassCode) {
            Add(id, parent, "USBSTOR", hardwareIds, kUsbClass, "USB Mass Storage Device");
            Storage(id, index);
        } else if (cls == kHidClassCode) {
            Add(id, parent, "HidUsb", hardwareIds, kHidClass, "USB Input Device");
        } else {
            Add(id, parent, "usbscan", hardwareIds, kImageClass, "USB Scanner");
        }
    }
};

int ClassOfKind(const std::string& kind) {
    if (kind == "printer" || kind == "dot4") return kPrinterClassCode;
    if (kind == "storage") return kStorageClassCode;
    if (kind == "hid") return kHidClassCode;
    return 0;
}

// Creates HKLM\<parent>\<name><n> for the first n whose key did not exist yet: the name is
// then this caller's (key creation is atomic, so bridges running side by side never share).
bool ClaimKey(const std::string& parent, const std::string& name, int first, int last, const char* format,
              std::string* claimed) {
    for (int n = first; n <= last; ++n) {
        char number[16];
        std::snprintf(number, sizeof number, format, n);
        std::string candidate = name + number;
        qz::RegKey key;
        DWORD disposition = 0;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (parent + "\\" + candidate).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, key.put(), &disposition) != ERROR_SUCCESS)
            return false;
        if (disposition == REG_CREATED_NEW_KEY) {
            *claimed = candidate;
            return true;
        }
    }
    return false;
}

qz::RegKey OpenNode(const std::string& id, REGSAM access) {
    qz::RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EnumKeyPath(id).c_str(), 0, access, key.put()) != ERROR_SUCCESS)
        key.reset();
    return key;
}

bool KeyExists(const std::string& path) {
    qz::RegKey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::vector<std::string> ChildrenOf(const std::vector<NodeSpec>& nodes, const std::string& id) {
    std::vector<std::string> out;
    for (const NodeSpec& n : nodes)
        if (n.parent == id) out.push_back(n.id);
    return out;
}

}  // namespace

bool ParseProfile(const std::vector<std::string>& words, Profile* profile, std::string* error) {
    for (const std::string& word : words) {
        size_t eq = word.find('=');
        std::string name = word.substr(0, eq), value = eq == std::string::npos ? "" : word.substr(eq + 1);
        if (name == "pnp") {
            static const char* const kKinds[] = {"printer", "dot4", "storage", "hid", "scan", "composite"};
            bool known = false;
            for (const char* k : kKinds) known = known || value == k;
            if (!known) return *error = "unknown profile " + value, false;
            profile->kind = value;
        } else if (name == "classes") {
            profile->classes.clear();
            for (size_t start = 0; start <= value.size();) {
                size_t end = value.find(',', start);
                if (end == std::string::npos) end = value.size();
                std::string item = value.substr(start, end - start);
                char* stop = nullptr;
                long cls = std::strtol(item.c_str(), &stop, 10);
                if (item.empty() || *stop || cls < 0 || cls > 255) return *error = "bad classes", false;
                profile->classes.push_back(static_cast<int>(cls));
                start = end + 1;
            }
        } else if (name == "dot4") {
            profile->dot4 = value == "1";
        } else if (name == "desc") {
            if (!PercentDecode(value, &profile->desc)) return *error = "bad desc", false;
        } else {
            return *error = "unknown word " + word, false;
        }
    }
    if (profile->kind == "composite" && profile->classes.size() < 2)
        return *error = "a composite device has classes=A,B,...", false;
    return true;
}

std::vector<NodeSpec> BuildNodes(const std::string& busId, const Profile& profile) {
    Builder b{busId, profile, {}};
    std::string usbIds = "USB\\" + VidPid(busId);
    std::vector<std::string> busHardwareIds = {usbIds + "&REV_0100", usbIds};
    if (profile.kind == "composite") {
        b.Add(busId, "", "usbccgp", busHardwareIds, kUsbClass, "USB Composite Device");
        for (size_t i = 0; i < profile.classes.size(); ++i) {
            char mi[8];
            std::snprintf(mi, sizeof mi, "&MI_%02u", static_cast<unsigned>(i));
            b.Function(usbIds + mi + "\\" + b.Instance(7, i), busId, profile.classes[i], i, {usbIds + mi});
        }
    } else if (!profile.kind.empty()) {
        b.Function(busId, "", ClassOfKind(profile.kind), 0, busHardwareIds);
    }
    return b.nodes;
}

bool TreeWriter::WriteNode(const NodeSpec& node, const std::vector<std::string>& children) {
    qz::RegKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, EnumKeyPath(node.id).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.put(), &disposition) != ERROR_SUCCESS)
        return false;
    // A node that stayed from an earlier plug keeps its driver key and port, as on Windows, and
    // starts afresh: present, without problem, script or ejects.
    bool earlier = disposition == REG_OPENED_EXISTING_KEY;
    for (const char* name : {kNotPresent, kStatus, kProblem, kVetoes, kEjects})
        if (earlier) RegDeleteValueA(key.get(), name);
    std::string driver;
    std::string classPath = std::string(kClassPath) + "\\" + node.classGuid;
    qz::RegKey driverKey;
    if (!earlier || !ReadString(key.get(), kDriver, &driver) || driver.empty() ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kClassPath) + "\\" + driver).c_str(), 0, KEY_ALL_ACCESS,
                      driverKey.put()) != ERROR_SUCCESS) {
        if (!ClaimKey(classPath, "", 0, kMaxDriverKeys - 1, "%04d", &driver)) return false;
        driver = node.classGuid + "\\" + driver;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kClassPath) + "\\" + driver).c_str(), 0, KEY_ALL_ACCESS,
                          driverKey.put()) != ERROR_SUCCESS)
            return false;
    }
    if (!WriteString(driverKey.get(), kDriverDesc, node.driverDesc)) return false;
    bool ok = WriteString(key.get(), kService, node.service) && WriteString(key.get(), kClassGuid, node.classGuid) &&
              WriteMultiString(key.get(), kHardwareId, node.hardwareIds) && WriteString(key.get(), kDriver, driver) &&
              WriteString(key.get(), kParent, node.parent) && WriteMultiString(key.get(), kChildren, children);
    qz::RegKey parameters;
    if (ok && RegCreateKeyExA(key.get(), kHardwareSubkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, parameters.put(),
                              nullptr) != ERROR_SUCCESS)
        return false;
    std::string port;
    bool portKept = earlier && ReadString(parameters.get(), kPortName, &port) && !port.empty() &&
                    port.rfind(node.portPrefix, 0) == 0 && KeyExists(std::string(kPortsPath) + "\\" + port);
    if (ok && !node.portPrefix.empty() && !portKept) {
        ok = ClaimKey(kPortsPath, node.portPrefix, 1, kMaxPorts, "%03d", &port) &&
             WriteString(parameters.get(), kPortName, port);
    }
    return ok;
}

bool TreeWriter::Write(const std::vector<NodeSpec>& nodes, bool all) {
    if (nodes.empty()) return true;
    // The nodes an earlier plug of this device left are used again only for the same tree.
    std::vector<std::string> earlier, now;
    CollectIds(nodes[0].id, &earlier);
    for (const NodeSpec& n : nodes) now.push_back(n.id);
    std::sort(earlier.begin(), earlier.end());
    std::sort(now.begin(), now.end());
    if (!earlier.empty() && earlier != now) RemoveTree(nodes[0].id);
    qz::RegKey buses;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kBusesPath) + "\\" + busName_).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, buses.put(), nullptr) != ERROR_SUCCESS ||
        !WriteString(buses.get(), nodes[0].id.c_str(), ""))
        return false;
    // The bus node names all its children at once; the stand-in lists only those present.
    if (!WriteNode(nodes[0], ChildrenOf(nodes, nodes[0].id))) return false;
    return !all || WriteChildren(nodes);
}

bool TreeWriter::WriteChildren(const std::vector<NodeSpec>& nodes) {
    if (nodes.empty() || !Present(nodes[0].id)) return false;
    for (size_t i = 1; i < nodes.size(); ++i)
        if (!WriteNode(nodes[i], ChildrenOf(nodes, nodes[i].id))) return false;
    return true;
}

void TreeWriter::CollectIds(const std::string& rootId, std::vector<std::string>* ids, int depth) const {
    qz::RegKey key = OpenNode(rootId, KEY_READ);
    if (!key || depth > 8) return;
    ids->push_back(rootId);
    for (const std::string& child : ReadMultiString(key.get(), kChildren))
        if (!child.empty()) CollectIds(child, ids, depth + 1);
}

void TreeWriter::Unplug(const std::string& rootId) {
    std::vector<std::string> ids;
    CollectIds(rootId, &ids);
    for (const std::string& id : ids)
        if (qz::RegKey key = OpenNode(id, KEY_ALL_ACCESS)) WriteDword(key.get(), kNotPresent, 1);
}

void TreeWriter::RemoveTree(const std::string& rootId) {
    if (qz::RegKey key = OpenNode(rootId, KEY_READ)) {
        for (const std::string& child : ReadMultiString(key.get(), kChildren))
            if (!child.empty()) RemoveTree(child);
        std::string driver, port;
        if (ReadString(key.get(), kDriver, &driver) && !driver.empty())
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kClassPath) + "\\" + driver).c_str());
        qz::RegKey parameters;
        if (RegOpenKeyExA(key.get(), kHardwareSubkey, 0, KEY_READ, parameters.put()) == ERROR_SUCCESS &&
            ReadString(parameters.get(), kPortName, &port) && !port.empty())
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kPortsPath) + "\\" + port).c_str());
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, EnumKeyPath(rootId).c_str());
    // The device's key (Enum\USB\VID_..&PID_..) goes with its last instance.
    size_t last = rootId.rfind('\\');
    if (last != std::string::npos) RegDeleteKeyA(HKEY_LOCAL_MACHINE, EnumKeyPath(rootId.substr(0, last)).c_str());
    qz::RegKey buses;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kBusesPath) + "\\" + busName_).c_str(), 0, KEY_ALL_ACCESS,
                      buses.put()) == ERROR_SUCCESS)
        RegDeleteValueA(buses.get(), rootId.c_str());
}

void TreeWriter::RemoveLeftovers() {
    qz::RegKey buses;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kBusesPath) + "\\" + busName_).c_str(), 0, KEY_READ,
                      buses.put()) != ERROR_SUCCESS)
        return;
    std::vector<std::string> roots;
    char name[MAX_DEVICE_ID_LEN * 2];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumValueA(buses.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        roots.emplace_back(name, length);
    }
    buses.reset();
    for (const std::string& root : roots) RemoveTree(root);
}

bool TreeWriter::Present(const std::string& id) const {
    qz::RegKey key = OpenNode(id, KEY_READ);
    return key && !IsPhantom(key.get());
}

bool TreeWriter::Apply(const std::string& id, const NodeScript& script) const {
    qz::RegKey key = OpenNode(id, KEY_ALL_ACCESS);
    if (!key) return false;
    DWORD status = kDefaultStatus;
    if (!script.removable) status &= ~static_cast<DWORD>(DN_REMOVABLE);
    if (script.problem) status = (status | DN_HAS_PROBLEM) & ~static_cast<DWORD>(DN_STARTED);
    return WriteDword(key.get(), kStatus, status) && WriteDword(key.get(), kProblem, script.problem) &&
           WriteDword(key.get(), kVetoes, script.vetoes);
}

std::string TreeWriter::Describe(const std::string& rootId) const {
    qz::RegKey key = OpenNode(rootId, KEY_READ);
    if (!key || IsPhantom(key.get())) return "";
    std::string service, parent, port, driver, desc;
    ReadString(key.get(), kService, &service);
    ReadString(key.get(), kParent, &parent);
    qz::RegKey parameters;
    if (RegOpenKeyExA(key.get(), kHardwareSubkey, 0, KEY_READ, parameters.put()) == ERROR_SUCCESS)
        ReadString(parameters.get(), kPortName, &port);
    qz::RegKey driverKey;
    if (ReadString(key.get(), kDriver, &driver) &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kClassPath) + "\\" + driver).c_str(), 0, KEY_READ,
                      driverKey.put()) == ERROR_SUCCESS)
        ReadString(driverKey.get(), kDriverDesc, &desc);
    std::string out = "\n" + rootId + " service=" + (service.empty() ? "-" : service) +
                      " parent=" + (parent.empty() ? "-" : parent) + " port=" + (port.empty() ? "-" : port) +
                      " desc=" + (desc.empty() ? "-" : desc);
    for (const std::string& child : ReadMultiString(key.get(), kChildren)) out += Describe(child);
    return out;
}

}  // namespace devtree
