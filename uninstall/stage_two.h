// The two-stage self-removal: stage one starts a copy of itself in the temporary folder, which
// waits for stage one to end, removes its program, the recorded folders and the INIs, and
// marks its own file for deletion.
#pragma once

#include "uninstall_context.h"

// Stage two, after the command line was read; always 1.
int RunStageTwo(UninstallContext* context);
// Starts stage two from the temporary folder (called when the main window goes).
void RelaunchFromTemp(HWND window, UninstallContext* context);
// Removes the one folder when it is empty; always 1. Only folders the setup recorded are
// handed here, children before parents, so nothing above them is touched.
int RemoveFolderTree(const char* folder);
// Removes PATH_nnn and then COMMON_nnn from the highest number down.
void RemoveRecordedFolders(const UninstallContext& context, DWORD pauseMs);
void DeleteSelfByCommand();
// The temporary folder of stage two (TMP, TEMP, else the Windows folder), created when missing.
std::string StageTwoFolder();
