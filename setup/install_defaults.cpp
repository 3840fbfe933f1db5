#include "install_defaults.h"

#include "application_records.h"
#include "checked_applications.h"
#include "script_text.h"
#include "setup_log.h"

#include <shlobj.h>

#include <cstdio>

namespace {

std::string SpecialFolderPath(int csidl) {
    char path[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE)) return "";
    return path;
}

void FillIfEmpty(char* field, size_t size, const std::string& value) {
    if (!field[0] && !value.empty()) snprintf(field, size, "%s", value.c_str());
}

}  // namespace

void FillDefaultInstallFolders(SetupContext* c) {
    std::string install = ReadIniValue(c->messageIni, "FOLDER", "INSTALL");
    if (install.empty()) install = ReadIniValue(c->copyFileIni, "FOLDER", "INSTALL");
    std::string base = JoinFolder(SpecialFolderPath(CSIDL_PROGRAM_FILES), install);
    std::string group = c->menuGroup[0] ? c->menuGroup : ReadIniValue(c->messageIni, "LABEL", "MENU_03");
    if (group.empty()) group = ReadIniValue(c->messageIni, "TITLE", "PRODUCT");
    FillIfEmpty(c->menuGroup, sizeof c->menuGroup, group);
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        if (!r.installFolder[0]) {
            FillIfEmpty(r.installFolder, sizeof r.installFolder, JoinFolder(base, r.subFolder));
            LogPrintf("[%s] Folder:%s", r.name, r.installFolder);
        }
        FillIfEmpty(r.menuFolder, sizeof r.menuFolder, JoinFolder(SpecialFolderPath(CSIDL_COMMON_PROGRAMS), group));
        FillIfEmpty(r.userMenuFolder, sizeof r.userMenuFolder, JoinFolder(SpecialFolderPath(CSIDL_PROGRAMS), group));
        FillIfEmpty(r.startupFolder, sizeof r.startupFolder, SpecialFolderPath(CSIDL_COMMON_STARTUP));
        FillIfEmpty(r.desktopFolder, sizeof r.desktopFolder, SpecialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY));
        FillIfEmpty(r.userStartupFolder, sizeof r.userStartupFolder, SpecialFolderPath(CSIDL_STARTUP));
    });
}
