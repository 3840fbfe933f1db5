// The install step that copies the application files of the script: plain files (with their
// folders and shortcuts), versioned files through the version-installation service with
// in-use files replaced at the next restart, and only-copy files, each recorded for removal.
#pragma once

#include "setup_context.h"

#include <string>

constexpr int kProtectKeepNewer = 0;
constexpr int kProtectForce = 1;
constexpr int kProtectAsk = 2;

struct FileListEntry {
    std::string name;
    std::string source;
    std::string destination;
    std::string mode;  // plain files: the attribute; versioned files: the protect mode
    std::string display;
};

// false for an entry without its required fields (three for plain, four for versioned files).
bool ParseFileEntry(const std::string& value, bool versioned, FileListEntry& entry);
int ParseProtectMode(const std::string& text);
DWORD ParseFileAttribute(const std::string& mode);

int CountFiles(HWND page, SetupContext* context);
int CopyFiles(HWND page, SetupContext* context);
int CopyFilesEx(HWND page, SetupContext* context);
int OnlyCopyFiles(HWND page, SetupContext* context);
// 0 bad arguments, 1 the user kept the installed file, 2 done (installed, kept or scheduled).
int InstallVersionedFile(HWND page, const char* fileName, const char* sourcePath, const char* destinationPath,
                         int protect, const char* displayName);
// 0 copied or skipped (a missing source), 1 failed; *copied tells which of the first two.
int CopyFileLogged(HWND page, const char* source, const char* destination, DWORD attribute, bool* copied);
void RenameOnReboot9x(const char* destinationShortPath, const char* sourcePath);

// The value of the list INI under a list section name, for readers of the records.
std::string FileSectionName(const ApplicationRecord& record, const char* part);
