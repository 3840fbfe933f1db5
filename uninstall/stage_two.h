// The two-stage self-removal: stage one starts a copy of itself in the temporary folder, which
// waits for stage one to end, removes its program, the recorded folders and the INIs, and
// marks its own file for deletion.
#pragma once

#include "uninstall_context.h"

// Stage two, after the command line was read; always 1.
int RunStageTwo(UninstallContext* context);
// Before anything is removed: a new folder of its own below the temporary folder receives the
// list INI (with EXECFILE), the uninstaller INI and this program; 0 (nothing left behind) when
// the folder or a copy cannot be made.
int PrepareStageTwo(UninstallContext* context);
// Starts the prepared copy (called when the main window goes), then deletes the install
// folder's INIs; 0, with the INIs kept and the copies gone, when it cannot be started.
int RelaunchFromTemp(HWND window, UninstallContext* context);
// Deletes the prepared copies and their folder (a failed or cancelled removal).
void DiscardStageTwo(UninstallContext* context);
// True when path names something below folder (a full path), with no "." or ".." part.
bool IsInsideFolder(const std::string& path, const std::string& folder);
// Removes the one folder when it is empty; always 1. Only folders the setup recorded are
// handed here, children before parents, so nothing above them is touched.
int RemoveFolderTree(const char* folder);
// Removes PATH_nnn and then COMMON_nnn from the highest number down.
void RemoveRecordedFolders(const UninstallContext& context, DWORD pauseMs);
void DeleteSelfByCommand();
// The temporary folder of stage two (TMP, TEMP, else the Windows folder), created when missing.
std::string StageTwoFolder();
