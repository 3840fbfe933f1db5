// The uninstaller's switches, the name of its INI, the stage-two arguments, and the checks
// on the recorded registry entries.
#include "command_line.h"
#include "registry_removal.h"
#include "setup_log.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(UninstallerIniName, DropsTwoTrailingCharactersNotAboveNine) {
    struct Case { const char* program; const char* ini; } cases[] = {
        {"C:\\Inst\\Remvane.exe", "C:\\Inst\\Remvane.ini"},
        {"C:\\Inst\\Remvane01.exe", "C:\\Inst\\Remvane.ini"},
        {"C:\\Inst\\Remvane!-.exe", "C:\\Inst\\Remvane.ini"},
        {"C:\\Inst\\Remvane1a.exe", "C:\\Inst\\Remvane1a.ini"},
        {"C:\\Inst\\Remvane9.exe", "C:\\Inst\\Remvane9.ini"},
        {"C:\\In.st\\Remvane", "C:\\In.st\\Remvane.ini"},
    };
    for (const Case& c : cases) EXPECT_EQ(UninstallerIniPath(c.program), c.ini) << c.program;
}

TEST(UninstallerSwitches, ReadsEachSwitchAndKeepsQuotedArgumentsWhole) {
    struct Case { const char* line; uint32_t reboot; uint32_t stageTwo; uint16_t ui; uint16_t log; } cases[] = {
        {"-r", 1, 0, 0, 0},
        {"-S -T -G", 0, 0, kUiSilent | kUiNoRestart | kUiShowWindow, 0},
        {"-u -dlogqa", 0, 1, 0, kLogStepFile | kLogFileOps},
        {"-dout", 0, 0, 0, kLogDebugger},
        // A quoted path with blanks and dashes in it is one argument, never a switch.
        {"\"C:\\My -u Folder\\x.txt\" -s", 0, 0, kUiSilent, 0},
        {"unknown -x - -s", 0, 0, kUiSilent, 0},
    };
    for (const Case& c : cases) {
        ResetLogSettings();
        UninstallContext context{};
        ApplySwitches(&context, SplitCommandLine(c.line));
        EXPECT_EQ(context.reboot, c.reboot) << c.line;
        EXPECT_EQ(context.stageTwo, c.stageTwo) << c.line;
        EXPECT_EQ(context.uiFlags, c.ui) << c.line;
        EXPECT_EQ(LogFlags, c.log) << c.line;
    }
    ResetLogSettings();
    EXPECT_EQ(ProgramOfCommandLine("\"C:\\Program Files\\Orvik\\Remvane.exe\" -r"), "C:\\Program Files\\Orvik\\Remvane.exe");
}

TEST(StageTwoArguments, PassTheRestartSilentNoRestartAndLogSwitchesButNotShow) {
    struct Case { uint32_t reboot; uint16_t ui; uint16_t log; const char* arguments; } cases[] = {
        {0, 0, 0, "-u"},
        {1, kUiSilent | kUiNoRestart | kUiShowWindow, 0, "-u -r -s -t"},
        {0, kUiShowWindow, kLogStepFile | kLogDebugger | kLogFileOps, "-u -dlogoutqa"},
    };
    for (const Case& c : cases) {
        UninstallContext context{};
        context.reboot = c.reboot;
        context.uiFlags = c.ui;
        LogFlags = c.log;
        EXPECT_EQ(StageTwoArguments(context), c.arguments);
    }
    ResetLogSettings();
}

TEST(RecordedRegistryEntry, RefusesEntriesThatWouldReachBeyondTheProductKey) {
    using K = RegistryEntryKind;
    struct Case { const char* value; K kind; const char* key; } cases[] = {
        {"HLM;Software\\Orvik\\Quelbo Plus\\*.*", K::kTree, "Software\\Orvik\\Quelbo Plus"},
        {"hcu;Software\\Orvik\\*.*", K::kTree, "Software\\Orvik"},
        {"HCU;Software\\Orvik\\Quelbo Plus", K::kPlainKey, "Software\\Orvik\\Quelbo Plus"},
        {"HCR;@CPL;{12345678-0000-0000-0000-000000000001}", K::kControlPanel, "{12345678-0000-0000-0000-000000000001}"},
        {"HLM;*.*", K::kRefused, ""},
        {"HLM;\\*.*", K::kRefused, ""},
        {"HCU;Software\\*.*", K::kRefused, ""},
        {"HCU;Software\\\\*.*", K::kRefused, ""},
        {"HLM;", K::kRefused, ""},
        {"HLM;\\\\", K::kRefused, ""},
        {"HCR;@CPL;", K::kRefused, ""},
        {"HCR;@CPL;CLSID\\x", K::kRefused, ""},
        {"XYZ;Software\\Orvik\\*.*", K::kRefused, ""},
        {"no separator", K::kRefused, ""},
    };
    for (const Case& c : cases) {
        RegistryEntry e = ParseRegistryEntry(c.value);
        EXPECT_EQ(e.kind, c.kind) << c.value;
        if (c.kind != K::kRefused) {
            EXPECT_EQ(e.key, c.key) << c.value;
        }
    }
}

}  // namespace
