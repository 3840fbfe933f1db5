// The device trees of the bridge's ports: written when a port is attached with a profile,
// scripted by the "pnp" commands, left not present when the port is detached (present again
// when the same device comes back), removed with all others when the bridge ends.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "devtree_writer.h"

namespace devtree {

class PortTrees {
public:
    explicit PortTrees(const std::string& busName) : writer_(busName) { writer_.RemoveLeftovers(); }
    ~PortTrees() { RemoveAll(); }
    PortTrees(const PortTrees&) = delete;
    PortTrees& operator=(const PortTrees&) = delete;

    // After the driver attached `port` ("IP LOC") with this bus id: writes the tree the
    // profile words describe (none without "pnp="). "" or the reason it failed.
    std::string Attached(const std::string& port, const std::string& busId, const std::vector<std::string>& words);
    void Detached(const std::string& port);
    // "problem N", "vetoes N", "removable 0|1", "late MS", "clear", "show": the answer.
    std::string Command(const std::string& port, const std::vector<std::string>& words);
    // Milliseconds until the next late children are due (INFINITE: none), and writing them.
    DWORD MsUntilDue() const;
    void RunDue();
    void RemoveAll();

private:
    struct Port {
        NodeScript script;
        DWORD lateMs = 0;
        std::vector<NodeSpec> nodes;  // the tree written (empty: none)
        ULONGLONG childrenDue = 0;    // 0: the children are written
    };
    bool Scripted(const Port& p) const { return p.script.problem || p.script.vetoes || !p.script.removable; }

    TreeWriter writer_;
    std::map<std::string, Port> ports_;
};

}  // namespace devtree
