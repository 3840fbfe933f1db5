#include "file_copy.h"

#include "checked_applications.h"

#include "application_records.h"
#include "ini_text.h"
#include "message_box.h"
#include "path_helpers.h"
#include "resource.h"
#include "setup_frame.h"
#include "script_text.h"
#include "setup_log.h"
#include "shortcuts.h"
#include "text_measure.h"
#include "version_info.h"
#include "version_install.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

namespace {

constexpr const char* kOwnParts[] = {"%s_%s", "%s_COMMON"};
constexpr const char* kSharedParts[] = {"%s_SHARED_%s", "%s_SHARED_COMMON"};

std::string SectionOf(const ApplicationRecord& r, const char* format) {
    char name[128];
    snprintf(name, sizeof name, format, r.name, r.osWord);
    return name;
}

const char* ListIni(const ApplicationRecord& r) { return r.uninstallPaths[kListWorkPath]; }

void ShowCopyLabel(HWND page, const char* name) {
    if (!page) return;
    std::string text = GetIniString(g_setup.messageIni, "LABEL", "INSTALL_03", name);
    char fitted[520];
    FitTextToWidth(page, IDC_INSTALL_LABEL, text.c_str(), fitted, sizeof fitted, nullptr);
    SetDlgItemTextA(page, IDC_INSTALL_LABEL, fitted);
}

void StepProgress(HWND page) {
    if (page) SendDlgItemMessageA(page, IDC_PROGRESS, PBM_STEPIT, 0, 0);
}

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

struct ResolvedEntry {
    std::string sourceFolder;
    std::string destinationFolder;
};

// Expands both folders and creates the destination (recording each new folder when asked).
bool Resolve(const ApplicationRecord& r, const FileListEntry& e, bool recordFolders, ResolvedEntry& out) {
    char source[MAX_PATH];
    char destination[MAX_PATH];
    if (!ExpandPathMacro(e.source.c_str(), g_setup.workFolder, source, sizeof source, 0)) return false;
    if (!ExpandPathMacro(e.destination.c_str(), r.installFolder, destination, sizeof destination, 1)) return false;
    DWORD error = 0;
    CreateFolderPath(recordFolders ? "PATH" : nullptr, destination, &error, recordFolders ? ListIni(r) : nullptr);
    out = {source, destination};
    return true;
}

// A step failure that is not a copy's own: logged in both logs like a copy error, with the
// system's text for it.
void ReportFileError(HWND page, const char* what, DWORD error) {
    LogPrintf("    --> %s(0x%08lx)", what, static_cast<unsigned long>(error));
    FileLogPrintf("    --> %s(0x%08lx)", what, static_cast<unsigned long>(error));
    if (!IsSilent(g_setup)) ShowSystemErrorBox(g_setup.frame ? g_setup.frame : page, error, MB_ICONEXCLAMATION, TRUE);
}

// An entry whose folders cannot be made into paths fails the list: the file would be missing.
bool ResolveOrReport(HWND page, const ApplicationRecord& r, const FileListEntry& e, bool recordFolders,
                     ResolvedEntry& out) {
    if (Resolve(r, e, recordFolders, out)) return true;
    LogPrintf("  %s;%s;%s", e.name.c_str(), e.source.c_str(), e.destination.c_str());
    ReportFileError(page, "Path Error", ERROR_BAD_PATHNAME);
    return false;
}

// The files an entry names: the one file, or every file of the source folder its wildcard matches.
std::vector<std::string> EntryFiles(const FileListEntry& e, const ResolvedEntry& where) {
    if (!HasWildcard(e.name)) return {e.name};
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(JoinFolder(where.sourceFolder, e.name).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

// One list of plain files; 0 at the first failed copy.
int CopyFileSection(HWND page, const ApplicationRecord& r, const std::string& section, const char* listSection,
                    const char* sourceIni, const char* keyFormat) {
    bool record = listSection != nullptr;
    for (int n = 0;; ++n) {
        std::string value = ReadIniValue(sourceIni, section, IniListKey(keyFormat, n));
        if (value.empty()) return 1;
        FileListEntry e;
        ResolvedEntry where;
        if (!ParseFileEntry(value, false, e)) continue;
        if (!ResolveOrReport(page, r, e, record, where)) return 0;
        for (const std::string& name : EntryFiles(e, where)) {
            std::string source = JoinFolder(where.sourceFolder, name);
            std::string destination = JoinFolder(where.destinationFolder, name);
            ShowCopyLabel(page, name.c_str());
            bool copied = false;
            if (CopyFileLogged(page, source.c_str(), destination.c_str(), ParseFileAttribute(e.mode), &copied)) {
                return 0;
            }
            // Only a file really copied is the uninstaller's to remove.
            if (copied && record) AppendIniListValue(listSection, "FILE_%03d", destination.c_str(), ListIni(r));
            StepProgress(page);
        }
    }
}

int CopyVerFileSection(HWND page, const ApplicationRecord& r, const std::string& section, const char* listSection,
                       const char* sourceIni) {
    for (int n = 0;; ++n) {
        std::string value = ReadIniValue(sourceIni, section, IniListKey("VERFILE_%03d", n));
        if (value.empty()) return 1;
        FileListEntry e;
        ResolvedEntry where;
        if (!ParseFileEntry(value, true, e)) continue;
        if (!ResolveOrReport(page, r, e, true, where)) return 0;
        std::string source = JoinFolder(where.sourceFolder, e.name);
        std::string destination = JoinFolder(where.destinationFolder, e.name);
        ShowCopyLabel(page, e.name.c_str());
        const char* display = e.display.empty() ? e.name.c_str() : e.display.c_str();
        int result = InstallVersionedFile(page, e.name.c_str(), source.c_str(), destination.c_str(),
                                          ParseProtectMode(e.mode), display);
        if (result == 0) return 0;
        if (result == 2 && GetFileAttributesA(destination.c_str()) != INVALID_FILE_ATTRIBUTES) {
            AppendIniListValue(listSection, "FILE_%03d", destination.c_str(), ListIni(r));
        }
        StepProgress(page);
    }
}

int CountList(const char* ini, const std::string& section, const char* keyFormat) {
    int n = 0;
    while (!ReadIniValue(ini, section, IniListKey(keyFormat, n)).empty()) ++n;
    return n;
}

void RecordWizardBitmaps(const ApplicationRecord& r) {
    static const char* const kKeys[] = {"LEFT", "LEFT_ICON", "TOP", "TOP_ICON"};
    std::string common = SectionOf(r, "%s_COMMON");
    for (const char* key : kKeys) {
        std::string bitmap = ReadIniValue(g_setup.languageIni, "BITMAP", key);
        if (bitmap.empty()) continue;
        for (int n = 0;; ++n) {
            std::string value = ReadIniValue(g_setup.copyFileIni, common, IniListKey("FILE_%03d", n));
            if (value.empty()) break;
            if (_stricmp(SplitFields(value)[0].c_str(), bitmap.c_str()) == 0) {
                WritePrivateProfileStringA("BITMAP", key, bitmap.c_str(), ListIni(r));
                break;
            }
        }
    }
}

std::string HexVersion(const char* file) {
    DWORD ms = 0;
    DWORD ls = 0;
    GetFileVersionNumber(file, "FileVersionMS", &ms);
    GetFileVersionNumber(file, "FileVersionLS", &ls);
    char text[20];
    snprintf(text, sizeof text, "%08lx%08lx", static_cast<unsigned long>(ms), static_cast<unsigned long>(ls));
    return text;
}

unsigned long long Version64(const char* file) {
    DWORD ms = 0;
    DWORD ls = 0;
    GetFileVersionNumber(file, "FileVersionMS", &ms);
    GetFileVersionNumber(file, "FileVersionLS", &ls);
    return (static_cast<unsigned long long>(ms) << 32) | ls;
}

std::string FolderPart(const char* path) {
    std::string text = path;
    size_t cut = text.find_last_of('\\');
    return cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
}

// Copies the source beside the Windows folder under the first free "~pricx%d.qmt" and has it
// replace the destination at the next restart; false (nothing scheduled, no restart due) when
// the copy or the scheduling fails.
bool ScheduleReplacement(HWND page, const char* sourcePath, const char* destinationPath) {
    char windows[MAX_PATH] = "";
    GetWindowsFolder(windows, sizeof windows);
    std::string copy;
    for (int n = 0; n < 10000; ++n) {
        char name[32];
        snprintf(name, sizeof name, "~pricx%d.qmt", n);
        copy = JoinFolder(windows, name);
        if (GetFileAttributesA(copy.c_str()) == INVALID_FILE_ATTRIBUTES) break;
    }
    LogPrintf("  Using Files ...");
    LogPrintf("    Change File Name: %s", copy.c_str());
    if (!CopyFileA(sourcePath, copy.c_str(), TRUE)) {
        ReportFileError(page, "Copy Error", GetLastError());
        return false;
    }
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (g_setup.osCode != 0 && g_setup.osCode < 4) {
        char shortPath[MAX_PATH] = "";
        GetShortPathNameA(destinationPath, shortPath, sizeof shortPath);
        RenameOnReboot9x(shortPath, copy.c_str());
        LogPrintf("  Windows 9X ---");
        LogPrintf("    File conversion is carried out after a reboot: %s", destinationPath);
    } else if (!VersionInstaller().MoveAtRestart(copy.c_str(), destinationPath)) {
        DWORD error = GetLastError();
        DeleteFileA(copy.c_str());
        ReportFileError(page, "Move Error", error);
        return false;
    } else {
        LogPrintf("  Windows NT ---");
        LogPrintf("    Existing File Name: %s", copy.c_str());
        LogPrintf("    New File          : %s", destinationPath);
        LogPrintf("    File conversion is carried out after a reboot.");
    }
    g_setup.reboot = 1;
    return true;
}

}  // namespace

std::string FileSectionName(const ApplicationRecord& record, const char* part) { return SectionOf(record, part); }

bool ParseFileEntry(const std::string& value, bool versioned, FileListEntry& entry) {
    std::vector<std::string> f = SplitFields(value);
    size_t required = versioned ? 4 : 3;
    if (f.size() < required) return false;
    // An empty folder field means the base folder itself.
    if (f[0].empty()) return false;
    entry = {f[0], f[1], f[2], f.size() > 3 ? f[3] : std::string(), f.size() > 4 ? f[4] : std::string()};
    return true;
}

int ParseProtectMode(const std::string& text) {
    if (_strnicmp(text.c_str(), "SHOWPROTECT", 11) == 0) return kProtectAsk;
    if (_strnicmp(text.c_str(), "FORCE", 5) == 0) return kProtectForce;
    return kProtectKeepNewer;
}

DWORD ParseFileAttribute(const std::string& mode) {
    if (mode.empty()) return FILE_ATTRIBUTE_NORMAL;
    std::string first = mode.substr(0, mode.find(','));
    return _stricmp(first.c_str(), "NORMAL") == 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_HIDDEN;
}

int CopyFileLogged(HWND page, const char* source, const char* destination, DWORD attribute, bool* copied) {
    *copied = false;
    LogPrintf("  %s", source);
    LogPrintf("    --> %s", destination);
    FileLogPrintf("%s", source);
    FileLogPrintf("  --> %s", destination);
    SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
    if (CopyFileA(source, destination, FALSE)) {
        SetFileAttributesA(destination, attribute);
        *copied = true;
        return 0;
    }
    DWORD error = GetLastError();
    LogPrintf("    --> Copy Error(0x%08lx)", static_cast<unsigned long>(error));
    FileLogPrintf("    --> Copy Error(0x%08lx)", static_cast<unsigned long>(error));
    if (error == ERROR_FILE_NOT_FOUND) return 0;
    if (!IsSilent(g_setup)) ShowSystemErrorBox(g_setup.frame ? g_setup.frame : page, error, MB_ICONEXCLAMATION, TRUE);
    return 1;
}

int InstallVersionedFile(HWND page, const char* fileName, const char* sourcePath, const char* destinationPath,
                         int protect, const char* displayName) {
    if (!fileName || !sourcePath || !destinationPath) return 0;
    char windows[MAX_PATH] = "";
    GetWindowsFolder(windows, sizeof windows);
    std::string appFolder = FolderPart(destinationPath);
    char current[MAX_PATH] = "";
    char destinationFolder[MAX_PATH] = "";
    UINT currentLength = sizeof current;
    UINT destinationLength = sizeof destinationFolder;
    DWORD found = VersionInstaller().FindFile(fileName, windows, appFolder.c_str(), current, &currentLength,
                                              destinationFolder, &destinationLength);
    LogPrintf("*-*-*-*-*-* %s *-*-*-*-*-*", fileName);
    LogPrintf("  Find File()");
    LogPrintf("    AppDirectory: %s", appFolder.c_str());
    LogPrintf("    Current Directory :%s", current);
    LogPrintf("    Dest Directory: %s", destinationFolder);
    LogPrintf("    File Name: %s", fileName);
    LogPrintf("    Result: 0x%08lx", static_cast<unsigned long>(found));
    if (found & VFF_CURNEDEST) {
        if (current[0] && strlen(current) + 2 < sizeof current) strcat(current, "\\");
        if (destinationFolder[0] && strlen(destinationFolder) + 2 < sizeof destinationFolder) strcat(destinationFolder, "\\");
    }
    bool inUse = (found & VFF_FILEINUSE) && _stricmp(current, destinationFolder) == 0;

    DWORD flags = protect == kProtectForce ? (VIFF_FORCEINSTALL | VIFF_DONTDELETEOLD) : VIFF_DONTDELETEOLD;
    std::string sourceFolder = FolderPart(sourcePath);
    char temp[MAX_PATH] = "";
    UINT tempLength = sizeof temp;
    LogPrintf("  InstallFile(1)");
    LogPrintf("    Src Directory: %s", sourceFolder.c_str());
    LogPrintf("    Src/Dest File Name: %s", fileName);
    LogPrintf("    Flag: 0x%08lx", static_cast<unsigned long>(flags));
    DWORD result = VersionInstaller().InstallFile(flags, fileName, fileName, sourceFolder.c_str(), appFolder.c_str(),
                                                  current, temp, &tempLength);
    LogPrintf("  InstallFile(2)");
    LogPrintf("    Temp File:%s", temp);
    LogPrintf("    Result: 0x%08lx", static_cast<unsigned long>(result));
    if ((result & VIF_TEMPFILE) && temp[0]) DeleteFileA(JoinFolder(appFolder, temp).c_str());
    if (result & VIF_FILEINUSE) {
        if (Version64(sourcePath) < Version64(destinationPath)) result |= VIF_SRCOLD;
        LogPrintf("  Version Check");
        LogPrintf("    Orignal Version(%s): %s", destinationPath, HexVersion(destinationPath).c_str());
        LogPrintf("    Place Version(%s): %s", sourcePath, HexVersion(sourcePath).c_str());
        LogPrintf("    Result: 0x%08lx", static_cast<unsigned long>(result));
    }
    bool sourceOlder = (result & VIF_SRCOLD) != 0;
    if (sourceOlder && protect == kProtectAsk) {
        int answer = IsSilent(g_setup) ? IDNO
                                       : ShowIniMessageBox(g_setup.frame, g_setup.messageIni, "ERROR", "MESSAGE_13",
                                                           "TITLE", MB_YESNO | MB_ICONQUESTION, displayName, TRUE);
        LogPrintf("[MessageBox] : MESSAGE_13(%s)", displayName ? displayName : fileName);
        if (answer != IDYES) return 1;
    } else {
        if (!inUse) return 2;
        // A newer installed file is kept unless the entry forces the install.
        if (sourceOlder && protect == kProtectKeepNewer) return 2;
    }
    return ScheduleReplacement(page, sourcePath, destinationPath) ? 2 : 0;
}

void RenameOnReboot9x(const char* destinationShortPath, const char* sourcePath) {
    char windows[MAX_PATH] = "";
    GetWindowsFolder(windows, sizeof windows);
    std::string ini = JoinFolder(windows, "Wininit.ini");
    std::vector<char> section(32767, '\0');
    DWORD length = GetPrivateProfileSectionA("Rename", section.data(), static_cast<DWORD>(section.size()), ini.c_str());
    std::string line = std::string(destinationShortPath) + "=" + sourcePath;
    if (length + line.size() + 2 >= section.size()) return;
    memcpy(section.data() + length, line.c_str(), line.size() + 1);
    section[length + line.size() + 1] = '\0';
    WritePrivateProfileSectionA("Rename", section.data(), ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
}

int CountFiles(HWND page, SetupContext* c) {
    int count = 0;
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        for (const char* ini : {c->copyFileIni, c->messageIni}) {
            for (const char* part : kOwnParts) {
                for (const char* key : {"FILE_%03d", "VERFILE_%03d", "ONLYFILE_%03d"}) count += CountList(ini, SectionOf(r, part), key);
            }
            for (const char* part : kSharedParts) {
                for (const char* key : {"FILE_%03d", "VERFILE_%03d"}) count += CountList(ini, SectionOf(r, part), key);
            }
        }
    });
    if (page) {
        SendDlgItemMessageA(page, IDC_PROGRESS, PBM_SETPOS, 0, 0);
        SendDlgItemMessageA(page, IDC_PROGRESS, PBM_SETSTEP, 1, 0);
        SendDlgItemMessageA(page, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, count & 0xFFFF));
    }
    LogPrintf("  File Count : %d", count);
    return count;
}

int CopyFiles(HWND page, SetupContext* c) {
    LogPrintf("*** Copy Files ***");
    int ok = 1;
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        if (!ok) return;
        LogPrintf("[%s]", r.name);
        DWORD error = 0;
        CreateFolderPath("PATH", r.installFolder, &error, ListIni(r));
        for (const char* ini : {c->copyFileIni, c->messageIni}) {
            for (const char* part : kOwnParts) {
                if (ok && !CopyFileSection(page, r, SectionOf(r, part), "FILE", ini, "FILE_%03d")) ok = 0;
            }
            for (const char* part : kSharedParts) {
                if (ok && !CopyFileSection(page, r, SectionOf(r, part), "SHARED", ini, "FILE_%03d")) ok = 0;
            }
        }
        if (!ok) return;
        if (!r.sharedWith[0]) WritePrivateProfileStringA("UNINSTALL", "PATH", r.installFolder, ListIni(r));
        RecordWizardBitmaps(r);
        CreateApplicationShortcuts(page, c, &r);
    });
    return ok;
}

int CopyFilesEx(HWND page, SetupContext* c) {
    LogPrintf("*** Copy Files Ex ***");
    int ok = 1;
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        if (!ok) return;
        LogPrintf("[%s]", r.name);
        for (const char* ini : {c->copyFileIni, c->messageIni}) {
            for (const char* part : kOwnParts) {
                if (ok && !CopyVerFileSection(page, r, SectionOf(r, part), "FILE", ini)) ok = 0;
            }
            for (const char* part : kSharedParts) {
                if (ok && !CopyVerFileSection(page, r, SectionOf(r, part), "SHARED", ini)) ok = 0;
            }
        }
    });
    return ok;
}

int OnlyCopyFiles(HWND page, SetupContext* c) {
    LogPrintf("*** Only Copy Files ***");
    int ok = 1;
    ForCheckedApplications(c, [&](ApplicationRecord& r) {
        for (const char* ini : {c->copyFileIni, c->messageIni}) {
            for (const char* part : kOwnParts) {
                if (ok && !CopyFileSection(page, r, SectionOf(r, part), nullptr, ini, "ONLYFILE_%03d")) ok = 0;
            }
        }
    });
    return ok;
}
