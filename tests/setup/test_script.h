// A scripted setup folder for the tests: Language.ini, CopyFile.ini and the English message
// INI, each given as INI text, written into a scratch folder that also plays the program folder.
#pragma once

#include "scratch.h"
#include "setup_context.h"
#include "setup_settings.h"

#include <cstring>
#include <string>

// Every OS word of the support library, for sections that apply everywhere.
#define QZ_ALL_OS_WORDS "95,98,ME,NT,2K,XP,XPX64,2003,2003X64,VISTA,VISTAX64,2008,2008X64,7,7X64,2008R2,2008R2X64,8,8X64,2012,2012X64,81,81X64,2012R2,2012R2X64,10,10X64,SERVER,SERVERX64"
#include <string>

constexpr char kLanguageIni[] =
    "[FONT]\r\nSTANDARD=Tahoma,8,DEFAULT,NORMAL\r\nTITLE=Tahoma,10,DEFAULT,BOLD\r\n"
    "[SETTING]\r\nMODE=S\r\nCLASSNAME=QZ_SETUP_TEST\r\n"
    "[LANGUAGE]\r\nDEFAULT=English\r\nLANG_00=English;English;0901\r\nLANG_01=Deutsch;German;07\r\n"
    "[TITLE]\r\nTITLE=Test Setup\r\n"
    "[ERROR]\r\nTITLE=Setup\r\nMESSAGE_01=Quit the setup?\r\nMESSAGE_05=A setup file is missing.\r\n";

constexpr char kCopyFileIni[] =
    "[FOLDER]\r\nINSTALL=@PF\\Orvik\\Quelbo Plus\r\nFOLDER_00=\\Client\r\n"
    "[INSTALL]\r\nVERSION=1.0.0\r\n"
    "[APPLIINFO]\r\nAPP_00=Client\r\nCHECK_00=1\r\nICON_00=client.ico\r\n"
    "[Client_INFO]\r\nOS=COMMON:95,98,ME,NT,2K,XP,XPX64,2003,2003X64,VISTA,VISTAX64,2008,2008X64,7,7X64,2008R2,2008R2X64,8,8X64,2012,2012X64,81,81X64,2012R2,2012R2X64,10,10X64,SERVER,SERVERX64\r\n";

constexpr char kMessageIni[] =
    "[FONT]\r\nSTANDARD=Tahoma,8,DEFAULT,NORMAL\r\nTITLE=Tahoma,10,DEFAULT,BOLD\r\nINFORMATION=Tahoma,9,DEFAULT,BOLD\r\nBACK=Tahoma,28,DEFAULT,BOLD\r\n"
    "[TITLE]\r\nTITLE=Test Setup\r\nPRODUCT=Quelbo Plus\r\nCOMPANY=Orvik\r\nPAGE_01=Welcome page\r\nPAGE_02=License page\r\nPAGE_03=Application page\r\n"
    "PAGE_04=Folder page\r\nPAGE_05=Start menu page\r\nPAGE_06=Check page\r\nPAGE_07=Install page\r\n"
    "PAGE_10=Finish page\r\nPAGE_11=Restart page\r\n"
    "[BUTTON]\r\nBACK=< Back\r\nNEXT=Next >\r\nCANCEL=Cancel\r\n"
    "[ERROR]\r\nTITLE=Setup\r\nMESSAGE_03=Quit the setup now?\r\n"
    "[LIST]\r\nLIST_00=Client programs\r\nMEMO_00=The client\\nand its tools\r\n";

class TestScript {
public:
    explicit TestScript(const char* tag, const std::string& languageIni = kLanguageIni,
                        const std::string& copyFileIni = kCopyFileIni, const std::string& messageIni = kMessageIni)
        : folder_(tag), className_(std::string("QZ_SETUP_TEST_") + tag + "_" + std::to_string(GetCurrentProcessId())) {
        // Each script has its own window class, so that setups of tests running side by side
        // are not taken for a second instance of one another.
        std::string language = languageIni;
        size_t at = language.find("CLASSNAME=QZ_SETUP_TEST\r\n");
        if (at != std::string::npos) language.replace(at + 10, 13, className_);
        if (!language.empty()) WriteFileText(folder_ / "Language.ini", language);
        if (!copyFileIni.empty()) WriteFileText(folder_ / "CopyFile.ini", copyFileIni);
        CreateDirectoryA((folder_ / "English").c_str(), nullptr);
        if (!messageIni.empty()) WriteFileText(folder_ / "English\\Setup.ini", messageIni);
    }
    const std::string& path() const { return folder_.path(); }
    const std::string& className() const { return className_; }
    std::string operator/(const std::string& name) const { return folder_ / name; }
    std::string languageIniPath() const { return folder_ / "Language.ini"; }

    // A context as start-up leaves it for this folder, with the language fixed.
    void Prepare(SetupContext* c) const {
        memset(c, 0, sizeof *c);
        SetScriptPaths(c, path().c_str());
        ReadSetupSettings(c);
        GetMessageFilePaths(c->language, c->languageIni, c->messageIni, c->licensePath);
    }

private:
    ScratchFolder folder_;
    std::string className_;
};
