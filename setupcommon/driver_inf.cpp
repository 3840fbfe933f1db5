#include "driver_inf.h"

#include "os_info.h"
#include "path_helpers.h"

#include <setupapi.h>

#include <cstring>

namespace {

// An open INF file, closed with the object.
class InfFile {
public:
    explicit InfFile(const char* path)
        : inf_(path ? SetupOpenInfFileA(path, nullptr, INF_STYLE_WIN4, nullptr) : INVALID_HANDLE_VALUE) {}
    ~InfFile() {
        if (inf_ != INVALID_HANDLE_VALUE) SetupCloseInfFile(inf_);
    }
    InfFile(const InfFile&) = delete;
    InfFile& operator=(const InfFile&) = delete;
    bool ok() const { return inf_ != INVALID_HANDLE_VALUE; }
    HINF get() const { return inf_; }

    // Field `field` of the first line of section (with key when given).
    bool Field(const char* section, const char* key, DWORD field, std::string& out) const {
        INFCONTEXT line;
        if (!SetupFindFirstLineA(inf_, section, key, &line)) return false;
        return FieldOf(line, field, out);
    }
    static bool FieldOf(INFCONTEXT& line, DWORD field, std::string& out) {
        char text[512] = "";
        if (!SetupGetStringFieldA(&line, field, text, sizeof text, nullptr)) return false;
        out = text;
        return true;
    }
    static bool LineText(INFCONTEXT& line, std::string& out) {
        char text[512] = "";
        if (!SetupGetLineTextA(&line, nullptr, nullptr, nullptr, text, sizeof text, nullptr)) return false;
        out = text;
        return true;
    }
    bool HasSection(const char* section) const { return SetupGetLineCountA(inf_, section) > 0; }

private:
    HINF inf_;
};

bool ClassOf(const char* path, std::string& className) {
    GUID guid;
    char name[129] = "";
    if (!SetupDiGetINFClassA(path, &guid, name, sizeof name, nullptr)) return false;
    className = name;
    return true;
}

// The first model's install section and hardware id.
bool FirstModel(const InfFile& inf, const char* decoration, std::string& installSection, std::string& hardwareId) {
    std::string models;
    if (!inf.Field("Manufacturer", nullptr, 1, models)) return false;
    if (decoration && *decoration) models += std::string(".") + decoration;
    INFCONTEXT line;
    if (!SetupFindFirstLineA(inf.get(), models.c_str(), nullptr, &line)) return false;
    return InfFile::FieldOf(line, 1, installSection) && InfFile::FieldOf(line, 2, hardwareId);
}

// Sub-folder of a file from its source disk, by architecture first.
std::string SubFolderOf(const InfFile& inf, bool wide, const char* file) {
    const char* filesSections[] = {wide ? "SourceDisksFiles.amd64" : "SourceDisksFiles.x86", "SourceDisksFiles"};
    const char* diskSections[] = {wide ? "SourceDisksNames.amd64" : "SourceDisksNames.x86", "SourceDisksNames"};
    std::string disk;
    for (const char* section : filesSections) {
        if (inf.Field(section, file, 1, disk)) break;
    }
    if (disk.empty()) return {};
    std::string folder;
    for (const char* section : diskSections) {
        if (inf.Field(section, disk.c_str(), 4, folder)) break;
    }
    return folder;
}

}  // namespace

int CountSourceDiskFiles(const char* inf) {
    InfFile file(inf);
    if (!file.ok()) return 0;
    LONG lines = SetupGetLineCountA(file.get(), "SourceDisksFiles");
    return lines > 0 ? static_cast<int>(lines) : 0;  // a missing section counts as an empty one
}

bool ParseDriverInf(int /*osCode*/, uint32_t osFlags, const char* path, const char* decoration,
                    std::string& className, std::string& hardwareId, SysFileEntry* entries, int count) {
    InfFile inf(path);
    if (!inf.ok() || !entries || !ClassOf(path, className)) return false;
    std::string install;
    if (!FirstModel(inf, decoration, install, hardwareId)) return false;
    std::string nt = install + ".NT";
    std::string copyFiles;
    if (inf.Field(nt.c_str(), "CopyFiles", 1, copyFiles)) install = nt;

    INFCONTEXT line;
    std::string services = install + ".Services";
    if (!SetupFindFirstLineA(inf.get(), services.c_str(), "AddService", &line)) return false;
    for (int i = 0; i < count; ++i) {
        std::string name;
        if (InfFile::FieldOf(line, 1, name)) lstrcpynA(entries[i].serviceName, name.c_str(), 260);
        if (!SetupFindNextMatchLineA(&line, "AddService", &line)) break;
    }

    if (!SetupFindFirstLineA(inf.get(), install.c_str(), "CopyFiles", &line)) return false;
    std::string copySection;
    if (!InfFile::FieldOf(line, 1, copySection)) return false;
    if (SetupFindFirstLineA(inf.get(), copySection.c_str(), nullptr, &line)) {
        for (int i = 0; i < count; ++i) {
            std::string file;
            if (InfFile::LineText(line, file)) lstrcpynA(entries[i].sysPath, file.c_str(), 260);
            if (!SetupFindNextLine(&line, &line)) break;
        }
    }

    std::string folder(path);
    folder = folder.substr(0, folder.find_last_of('\\'));
    bool wide = (osFlags & kOsFlag64Bit) != 0;
    for (int i = 0; i < count; ++i) {
        std::string sub = SubFolderOf(inf, wide, entries[i].sysPath);
        lstrcpynA(entries[i].subFolder, sub.c_str(), 260);
        char full[MAX_PATH];
        lstrcpynA(full, folder.c_str(), sizeof full);
        if (!sub.empty()) AppendPath(full, sizeof full, sub.c_str());
        AppendPath(full, sizeof full, entries[i].sysPath);
        lstrcpynA(entries[i].sysPath, full, 260);
    }
    return true;
}

bool ReadInfDriverVersion(const char* path, ThreePartVersion& version) {
    InfFile inf(path);
    std::string text;
    if (!inf.ok() || !inf.Field("Version", "DriverVer", 2, text) || text.empty()) return false;
    version = ParseThreePartVersion(text.c_str());
    return true;
}

bool ReadInfClassAndHardwareId(const char* path, const char* decoration, std::string& className,
                               std::string& hardwareId) {
    InfFile inf(path);
    std::string install;
    if (!inf.ok() || !ClassOf(path, className)) return false;
    // A 64-bit package has only decorated models: without the decoration its staged copy
    // would never be recognised and would stay behind.
    return (decoration && *decoration && FirstModel(inf, decoration, install, hardwareId)) ||
           FirstModel(inf, nullptr, install, hardwareId);
}
