#include "port_trees.h"

#include <cstdlib>

namespace devtree {
namespace {

bool ParseValue(const std::string& text, DWORD* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    unsigned long parsed = std::strtoul(text.c_str(), &end, 0);
    if (*end) return false;
    *value = static_cast<DWORD>(parsed);
    return true;
}

}  // namespace

std::string PortTrees::Attached(const std::string& port, const std::string& busId,
                                const std::vector<std::string>& words) {
    Profile profile;
    std::string error;
    if (!ParseProfile(words, &profile, &error)) return error;
    if (profile.kind.empty()) return "";
    Port& p = ports_[port];
    // Another device in the port's place: the one before is unplugged.
    if (!p.nodes.empty() && p.nodes[0].id != busId) writer_.Unplug(p.nodes[0].id);
    p.nodes = BuildNodes(busId, profile);
    p.childrenDue = p.lateMs ? GetTickCount64() + p.lateMs : 0;
    if (!writer_.Write(p.nodes, p.lateMs == 0)) return "cannot write the device tree";
    if (Scripted(p) && !writer_.Apply(p.nodes[0].id, p.script)) return "cannot script the bus node";
    return "";
}

void PortTrees::Detached(const std::string& port) {
    auto it = ports_.find(port);
    if (it == ports_.end() || it->second.nodes.empty()) return;
    writer_.Unplug(it->second.nodes[0].id);
    it->second.nodes.clear();
    it->second.childrenDue = 0;
}

std::string PortTrees::Command(const std::string& port, const std::vector<std::string>& words) {
    if (words.empty()) return "ERR expected problem|vetoes|removable|late|clear|show";
    const std::string& what = words[0];
    Port& p = ports_[port];
    if (what == "show") {
        if (p.nodes.empty()) return "OK 0";
        std::string lines = writer_.Describe(p.nodes[0].id);
        size_t count = 0;
        for (char c : lines) count += c == '\n';
        return "OK " + std::to_string(count) + lines;
    }
    if (what == "clear") {
        p.script = NodeScript{};
        p.lateMs = 0;
    } else {
        DWORD value = 0;
        if (words.size() < 2 || !ParseValue(words[1], &value)) return "ERR expected a number";
        if (what == "problem") p.script.problem = value;
        else if (what == "vetoes") p.script.vetoes = value;
        else if (what == "removable") p.script.removable = value != 0;
        else if (what == "late") p.lateMs = value;
        else return "ERR unknown pnp setting";
    }
    if (!p.nodes.empty() && what != "late" && !writer_.Apply(p.nodes[0].id, p.script))
        return "ERR cannot script the bus node";
    return "OK";
}

DWORD PortTrees::MsUntilDue() const {
    DWORD least = INFINITE;
    ULONGLONG now = GetTickCount64();
    for (const auto& [name, p] : ports_) {
        if (!p.childrenDue) continue;
        DWORD left = p.childrenDue > now ? static_cast<DWORD>(p.childrenDue - now) : 0;
        if (left < least) least = left;
    }
    return least;
}

void PortTrees::RunDue() {
    ULONGLONG now = GetTickCount64();
    for (auto& [name, p] : ports_) {
        if (!p.childrenDue || p.childrenDue > now) continue;
        p.childrenDue = 0;
        writer_.WriteChildren(p.nodes);
    }
}

void PortTrees::RemoveAll() {
    for (auto& [name, p] : ports_)
        if (!p.nodes.empty()) writer_.RemoveTree(p.nodes[0].id);
    ports_.clear();
    writer_.RemoveLeftovers();
}

}  // namespace devtree
