#include "connect_info.h"

#include "script_text.h"

namespace {

struct RootName {
    const char* name;
    HKEY root;
};
const RootName kRoots[] = {{"HLM", HKEY_LOCAL_MACHINE}, {"HCU", HKEY_CURRENT_USER}, {"HCR", HKEY_CLASSES_ROOT},
                           {"HU", HKEY_USERS},          {"HCC", HKEY_CURRENT_CONFIG}};

bool IsOn(const std::string& text) { return _stricmp(text.c_str(), "ON") == 0; }

}  // namespace

bool ParseConnectValue(const std::string& value, ConnectInfo* info) {
    std::vector<std::string> f = SplitFields(value);
    if (f.size() < 3 || f[1].empty() || f[2].empty()) return false;
    info->root = nullptr;
    for (const RootName& r : kRoots) {
        if (f[0] == r.name) info->root = r.root;
    }
    if (!info->root) return false;
    info->subKey = f[1];
    info->valueName = f[2];
    info->presetFirst = f.size() < 4 || f[3].empty() || IsOn(f[3]);
    info->pageOn = f.size() >= 5 && IsOn(f[4]);
    return true;
}

int ReadConnectInfo(const SetupContext& c, ConnectInfo* info) {
    for (uint32_t i = 0; i < c.applicationCount; ++i) {
        const ApplicationRecord& r = c.applications[i];
        if (r.checked != 1) continue;
        std::string value = ReadIniValue(c.copyFileIni, r.sections[kSecInfo], "CONNECT");
        if (value.empty()) continue;
        return ParseConnectValue(value, info) ? 1 : 0;
    }
    return 0;
}
