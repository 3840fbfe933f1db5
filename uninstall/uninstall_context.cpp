#include "uninstall_context.h"

#include "message_box.h"
#include "setup_log.h"

#include <cstdio>
#include <new>

UninstallContext g_uninstall;

namespace {

const char* const kSectionNames[kUninstallSectionCount] = {"MONITOR",     "FILE",     "UNINSTALL", "COMPONENT", "APPLICATION",
                                                          "SHORTCUT",    "ICF",      "PATH",      "INFO"};

}  // namespace

int CreateSectionEntry(UninstallContext* c) {
    FreeSectionEntry(c);
    c->entries = new (std::nothrow) UninstallSectionEntry[1]();
    if (!c->entries) return 0;
    c->entryCount = 1;
    UninstallSectionEntry& e = c->entries[0];
    snprintf(e.name, sizeof e.name, "Uninstall");
    e.enabled = 1;
    for (int i = 0; i < kUninstallSectionCount; ++i) snprintf(e.sections[i], sizeof e.sections[i], "%s", kSectionNames[i]);
    return 1;
}

void FreeSectionEntry(UninstallContext* c) {
    delete[] c->entries;
    c->entries = nullptr;
    c->entryCount = 0;
}

const char* SectionName(const UninstallContext& c, UninstallSection section) {
    return c.entries ? c.entries[0].sections[section] : kSectionNames[section];
}

void ShowUninstallError(HWND owner, const UninstallContext& c, const char* key, FormatArg argument) {
    LogPrintf("[MessageBox] : %s", key);
    if (IsSilent(c)) return;
    ShowIniMessageBox(owner, c.uninstallerIni, "ERROR", key, "TITLE", MB_OK | MB_ICONEXCLAMATION, argument, TRUE);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    std::string tail = !name.empty() && name[0] == '\\' ? name.substr(1) : name;
    return folder.back() == '\\' ? folder + tail : folder + "\\" + tail;
}

std::vector<std::string> ReadIniList(const char* iniPath, const char* section, const char* keyFormat, size_t maxChars) {
    std::vector<std::string> values;
    for (int n = 0;; ++n) {
        std::string value(maxChars + 1, '\0');
        DWORD got = GetPrivateProfileStringA(section, IniListKey(keyFormat, n).c_str(), "", value.data(),
                                             static_cast<DWORD>(value.size()), iniPath);
        if (got == 0) return values;
        value.resize(got);
        values.push_back(value);
    }
}
