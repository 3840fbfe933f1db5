// One record per application of the setup script that fits the running Windows, the path
// macros of the script, and the look-up of a file's folder in an application's file lists.
#pragma once

#include "setup_context.h"

#include <string>

void ReadApplicationInfo(SetupContext* context);
void FreeApplicationInfo(SetupContext* context);
// 1 and the folder in out, or 0 when it would not fit, an argument is missing, or the
// path would leave its base (a drive or network path, ".." beyond the two leading levels).
int ExpandPathMacro(const char* spec, const char* baseFolder, char* out, size_t outSize, int useGivenBase);
constexpr int kInstalledForm = 1;
constexpr int kSourceForm = 0;
int GetInstalledFilePath(const char* fileName, const char* application, const char* osWord, const char* baseFolder,
                         const char* copyFileIni, char* outFolder, int form);
// The record of an application name (any case), or null.
ApplicationRecord* FindApplicationRecord(SetupContext* context, const char* name);
// Joins folder and name with one backslash into a string.
std::string JoinFolder(const std::string& folder, const std::string& name);
