// Installation folders: the Program Files folder, the proposed installation folder, and the
// test of a path typed by the user.
#pragma once

#include "setup_context.h"

#include <string>

// 1 when text can be an installation folder: longer than two characters, no character of
// / : ; * ? " < > | and no doubled backslash after the drive, a fixed drive, and no part that
// begins or ends with a full stop or a blank. dialog is the owner of nothing (kept for callers).
int IsValidInstallPath(HWND dialog, const char* text);
// The same test with the drive type given (tests).
int IsValidInstallPathOn(const char* text, UINT (*driveType)(const char* root));

int GetProgramFilesFolder(const SetupContext& context, char* out, size_t size);
int GetSpecialFolderPath(int csidl, char* out);
// [FOLDER] INSTALL under Program Files, or the folder of an earlier installation.
std::string GetDefaultInstallFolder(const SetupContext& context);
// Every application record gets chosen + its own sub-folder, logged with label.
void SetApplicationFolders(SetupContext* context, const char* chosen, const char* label);
