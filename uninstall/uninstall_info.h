// Start-up of the uninstaller: its INI files, the command line, and the information stage one
// finds in the file list and the Uninstall registry entry.
#pragma once

#include "uninstall_context.h"

constexpr int kInfoStop = -1;
constexpr int kInfoStageOne = 0;
constexpr int kInfoStageTwoDone = 1;

// 0 go on with stage one, -1 stop, 1 stage two done. arguments: the command line after the
// program name.
int InitUninstallInfo(UninstallContext* context, const char* arguments);
// The language folder of the list INI's [LANGUAGE] for a system language id: DEFAULT unless an
// entry "name;folder;id" matches the four-digit form (first pass) or also the two-digit form.
std::string PickListLanguage(const char* listIni, LANGID systemLanguage);
// Stage one's paths: when the list names an Uninstall entry with an InstallLocation, the INIs
// are taken from there (and a language's copy of the uninstaller INI put in place). 0 when
// the uninstall information is missing (the box has been shown).
int ReadStageOneInfo(UninstallContext* context);
