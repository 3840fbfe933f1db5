// The bridge's side of the stand-in device tree: the nodes Windows would build below the
// virtual bus for one attached device, written into the registry (devtree_registry.h), left
// as not present when its port is detached and removed when the bridge ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace devtree {

// What the simulator says about the device with its first interface's attach:
// "pnp=printer|dot4|storage|hid|scan|composite [classes=7,8,3] [dot4=1] [desc=TEXT]"
// (TEXT percent-encoded).
struct Profile {
    std::string kind;
    std::vector<int> classes;  // composite: the class of each interface
    bool dot4 = false;         // composite: its printer functions are IEEE 1284.4 ones
    std::string desc;          // the printer driver's description
};

// Reads the profile words of an attach; false (with a reason) on an unknown word or value.
// A list without "pnp=" leaves the profile's kind empty: no nodes.
bool ParseProfile(const std::vector<std::string>& words, Profile* profile, std::string* error);

// One node to write. Printer nodes get a "Device Parameters\PortName" allocated with this
// prefix ("USB" -> "USB001", "DOT4_" -> "DOT4_001").
struct NodeSpec {
    std::string id;
    std::string parent;  // empty: the root
    std::string service;
    std::vector<std::string> hardwareIds;
    std::string classGuid;
    std::string driverDesc;
    std::string portPrefix;  // empty: not a printer
};

// The nodes of one device, parents before their children; the first is the bus node.
std::vector<NodeSpec> BuildNodes(const std::string& busId, const Profile& profile);

// How a test scripted the bus node of a port.
struct NodeScript {
    DWORD problem = 0;
    DWORD vetoes = 0;
    bool removable = true;
};

// Writes and removes the trees of one bus ("zkuptp" or "zkuptp_<tag>"); remembers the root
// ids it wrote in the registry so that a later bridge of the same bus removes what a killed
// one left.
class TreeWriter {
public:
    explicit TreeWriter(std::string busName) : busName_(std::move(busName)) {}

    // Removes every tree an earlier run of this bus left behind.
    void RemoveLeftovers();
    // Writes nodes[0] (the bus node) and, with all = true, the rest; false on a registry error.
    // Nodes of the same tree left by an earlier plug are present again with their driver keys
    // and ports; a different tree left under the bus id is removed first.
    bool Write(const std::vector<NodeSpec>& nodes, bool all);
    // Writes the nodes after the bus node, when it is present.
    bool WriteChildren(const std::vector<NodeSpec>& nodes);
    // The device was unplugged: its nodes stay, not present, as Windows keeps them.
    void Unplug(const std::string& rootId);
    // Removes the nodes with their driver keys and ports (the device is uninstalled).
    void RemoveTree(const std::string& rootId);
    bool Present(const std::string& id) const;
    bool Apply(const std::string& id, const NodeScript& script) const;
    // One line per node of the tree: "ID service=S parent=P port=PORT desc=DESC"
    // (the description last: it may hold blanks; "-" for an empty field).
    std::string Describe(const std::string& rootId) const;

private:
    bool WriteNode(const NodeSpec& node, const std::vector<std::string>& children);
    void CollectIds(const std::string& rootId, std::vector<std::string>* ids, int depth = 0) const;
    std::string busName_;
};

}  // namespace devtree
