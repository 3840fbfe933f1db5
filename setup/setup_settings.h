// Start-up settings of the setup program: the two command-line passes, [SETTING] of
// Language.ini, the language choice and the language's message INI.
#pragma once

#include "setup_context.h"

// "-D..." goes to the debug switches, "-k" sets silent mode; all else waits for the second pass.
void ParseFirstCommandLine(SetupContext* context, const char* commandLine);
// 1 when a switch was recognised. Values that do not fit their field (or an -E that is not
// exactly 12 hexadecimal digits) are refused and leave the field unchanged.
int ParseCommandLine(SetupContext* context, const char* commandLine);
// Work folder, Language.ini and CopyFile.ini paths from the given program folder.
void SetScriptPaths(SetupContext* context, const char* programFolder);
int ReadSetupSettings(SetupContext* context);
// The [SETTING] MODE value as a language mode.
uint16_t LanguageModeFromText(const char* text);
int MatchSystemLanguage(char* defaultName, char* firstFolder, char* matchedFolder, const char* languageIni);
// The same for a given system language id (tests).
int MatchLanguageId(LANGID id, char* defaultName, char* firstFolder, char* matchedFolder, const char* languageIni);
int GetMessageFilePaths(const char* language, const char* languageIni, char* messageIni, char* licensePath);
int LoadLanguageFiles(SetupContext* context);
// True for exactly "ON" (any case).
bool IsSettingOn(const char* iniPath, const char* key, const char* defaultValue);
