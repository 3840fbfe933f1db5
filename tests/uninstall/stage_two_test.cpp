// The uninstaller's second stage run as a program from its temporary folder: it deletes stage
// one's program, the recorded folders (only those) and both INIs, marks its own file for
// deletion at the next restart and ends with exit code 1 (2 when a restart is due with -t),
// also when no folder was recorded.
#include "ini_text.h"
#include "scratch.h"

#include <win_handles.h>

#include <gtest/gtest.h>

namespace {

std::string PendingRenames() {
    char data[65536] = "";
    DWORD size = sizeof data - 2;
    DWORD type = 0;
    qz::RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      key.put()) != ERROR_SUCCESS ||
        RegQueryValueExA(key.get(), "PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(data),
                         &size) != ERROR_SUCCESS) {
        return std::string();
    }
    std::string text(data, size);
    for (char& ch : text) {
        if (ch == '\0') ch = '|';
    }
    return text;
}

DWORD RunProgram(const std::string& program, const std::string& arguments, const std::string& folder) {
    std::string line = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
        return 0xFFFFFFFF;
    }
    qz::Handle thread(process.hThread);
    qz::Handle handle(process.hProcess);
    if (WaitForSingleObject(handle.get(), 30000) == WAIT_TIMEOUT) TerminateProcess(handle.get(), 99);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(handle.get(), &code);
    return code;
}

TEST(StageTwo, RemovesStageOneAndTheRecordedFoldersAndSchedulesItself) {
    struct Case { bool folders; const char* arguments; DWORD code; } cases[] = {
        {true, "-u -r -t -dlog", 2},
        {false, "-u -t -dlog", 1},
    };
    for (const Case& c : cases) {
        bool folders = c.folders;
        ScratchFolder root("stage2");
        std::string temp = root / "Temp";
        std::string existing = root / "Existing";
        std::string install = existing + "\\Quelbo Plus";
        std::string uninstall = install + "\\Uninstall";
        for (const std::string& f : {temp, existing, install, uninstall}) CreateDirectoryA(f.c_str(), nullptr);
        std::string stageOne = uninstall + "\\Remvane.exe";
        WriteFileText(stageOne, "stage one");
        std::string program = temp + "\\Remvane.exe";
        ASSERT_TRUE(CopyFileA(BesideTheTests("Remvane.exe").c_str(), program.c_str(), FALSE));
        std::string ini = temp + "\\Remvane.ini";
        std::string list = temp + "\\unflist.ini";
        std::string className = "QZ_UNINST_TEST_" + std::to_string(GetCurrentProcessId());
        WriteFileText(ini, "[INFO]\r\nUNINSTLOG=unflist.ini\r\nCLASSNAME=" + className + "\r\n");
        std::string log = root / "log\\Setup.txt";
        // Stage one's program as the setup recorded it: the uninstaller of the install folder.
        WritePrivateProfileStringA("UNINSTALL", "EXECFILE", stageOne.c_str(), list.c_str());
        WritePrivateProfileStringA("UNINSTALL", "PATH", install.c_str(), list.c_str());
        WritePrivateProfileStringA("FILE", "FILE_000", stageOne.c_str(), list.c_str());
        WritePrivateProfileStringA("UNINSTALL", "LOG", log.c_str(), list.c_str());
        if (folders) {
            AppendIniListValue("PATH", "PATH_%03d", install.c_str(), list.c_str());
            AppendIniListValue("PATH", "PATH_%03d", uninstall.c_str(), list.c_str());
        }
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, list.c_str());

        EXPECT_EQ(RunProgram(program, c.arguments, temp), c.code) << c.arguments;
        EXPECT_FALSE(Exists(stageOne));
        EXPECT_EQ(Exists(install), !folders) << "folders " << folders;
        EXPECT_TRUE(Exists(existing)) << "a folder above the recorded ones stays";
        EXPECT_FALSE(Exists(ini));
        EXPECT_FALSE(Exists(list));
        EXPECT_NE(PendingRenames().find(program), std::string::npos) << PendingRenames();
        std::string text = ReadFileText(log);
        EXPECT_NE(text.find("  Uninstall Start!!"), std::string::npos) << text;
        EXPECT_NE(text.find("  Finish !!"), std::string::npos) << text;
        EXPECT_EQ(text.find("    Reboot"), std::string::npos) << "-t: no restart";
        EXPECT_NE(text.find("*** return [" + std::to_string(c.code) + "] ***"), std::string::npos) << text;
    }
}

}  // namespace
