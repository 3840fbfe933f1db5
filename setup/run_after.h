// The programs the setup starts when it ends: the list from the script, starting them now
// (or, under UAC, leaving them to "Zksetup.ini"), and RunOnce values for the next start.
#pragma once

#include "setup_context.h"

#include <cstdint>
#include <string>

constexpr int kMaxProgramEntries = 16;
constexpr int kProgramsForFinish = 10;
constexpr int kProgramsForRestart = 11;

struct ProgramEntry {
    char application[MAX_PATH];
    char key[MAX_PATH];
    uint32_t run;
    char program[MAX_PATH];
    char workingFolder[MAX_PATH];
    char parameters[MAX_PATH];
    uint32_t wait;
    uint32_t runOnce;
    char runOnceValue[MAX_PATH];
    char runOnceProgram[MAX_PATH];
    char runOnceParameters[MAX_PATH];
};

// Builds the list for the Finish (10) or Restart (11) page; 1 when done.
int ExecApplications(HWND page, SetupContext* context, int pageIndex, ProgramEntry* list, int* count);
void ExecApplication(HWND frame, HWND page, SetupContext* context, const ProgramEntry* list, int count);
// 1: start the entry now; 0: it was written to "Zksetup.ini" for later.
int DeferForUac(SetupContext* context, const ProgramEntry* entry);
void SetRunOnce(HWND page, const ProgramEntry* list, int count);
// The folder named by Language.ini [TITLE] TITLE at the root of the Windows drive.
std::string SetupFolderOnWindowsDrive(const SetupContext& context);
// The RunOnce text of a program: its quoted path and, when given, a blank and its parameters.
std::string RunOnceText(const char* program, const char* parameters);
