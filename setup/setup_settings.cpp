#include "setup_settings.h"

#include "dialog_layout.h"
#include "ini_text.h"
#include "message_box.h"
#include "setup_log.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kSetting[] = "SETTING";

std::vector<std::string> SplitAtBlanks(const char* text) {
    std::vector<std::string> tokens;
    std::string current;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == ' ' || *p == '\t') {
            if (!current.empty()) tokens.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    if (!current.empty()) tokens.push_back(current);
    return tokens;
}

bool SwitchIs(const std::string& token, char letter) {
    return token.size() >= 2 && token[0] == '-' && std::tolower(static_cast<unsigned char>(token[1])) == letter;
}

// Copies value into a field of `size` bytes; false (field unchanged) when it does not fit.
bool CopyBounded(char* field, size_t size, const std::string& value) {
    if (value.size() >= size) return false;
    memcpy(field, value.c_str(), value.size() + 1);
    return true;
}

bool IsTwelveHexDigits(const std::string& value) {
    if (value.size() != 12) return false;
    for (char c : value) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

std::string ReadSetting(const char* iniPath, const char* key, const char* defaultValue, size_t maxChars = 260) {
    std::vector<char> buffer(maxChars + 1);
    GetPrivateProfileStringA(kSetting, key, defaultValue, buffer.data(), static_cast<DWORD>(buffer.size()), iniPath);
    return buffer.data();
}

std::string FolderOf(const char* path) {
    std::string text = path;
    size_t cut = text.find_last_of('\\');
    return cut == std::string::npos ? std::string() : text.substr(0, cut);
}

std::string JoinPath(std::string base, const std::string& part) {
    if (!base.empty() && base.back() != '\\') base += '\\';
    size_t start = (!part.empty() && part[0] == '\\') ? 1 : 0;
    return base + part.substr(start);
}

bool FitsInto(char* field, size_t size, const std::string& value) { return CopyBounded(field, size, value); }

}  // namespace

bool IsSettingOn(const char* iniPath, const char* key, const char* defaultValue) {
    return _stricmp(ReadSetting(iniPath, key, defaultValue).c_str(), "ON") == 0;
}

void ParseFirstCommandLine(SetupContext* context, const char* commandLine) {
    for (const std::string& token : SplitAtBlanks(commandLine)) {
        if (SwitchIs(token, 'd')) ParseDebugOption(token.c_str());
        else if (SwitchIs(token, 'k')) context->modeBits |= kModeSilent;
    }
}

int ParseCommandLine(SetupContext* context, const char* commandLine) {
    int recognised = 0;
    for (const std::string& token : SplitAtBlanks(commandLine)) {
        if (token.size() < 2 || token[0] != '-') continue;
        std::string value = token.substr(2);
        switch (std::tolower(static_cast<unsigned char>(token[1]))) {
        case 'l':
            if (!value.empty() && value.back() == '"') value.pop_back();
            if (CopyBounded(context->language, sizeof context->language, value)) context->languageMode = kLanguageFixed;
            break;
        case 'a':
            if (CopyBounded(context->language, sizeof context->language, value)) {
                context->languageMode = kLanguageFixed;
                context->pages[kSwitchWelcome] = 0;
            }
            break;
        case 'u':
            for (uint32_t& page : context->pages) page = 0;
            break;
        case 'i':
            CopyBounded(context->hostAddress, sizeof context->hostAddress, value);
            break;
        case 'e':
            if (IsTwelveHexDigits(value)) {
                CopyBounded(context->serverAddress, sizeof context->serverAddress, value);
                context->serverAddressGiven = 1;
            }
            break;
        case 'o': context->welcomeNoChoice = 1; break;
        case 's': context->pages[kSwitchLicense] = 0; break;
        case 'p': context->modeBits |= kModeNoArpEntry; break;
        case 'x': context->modeBits |= kModeDeleteSetupFolder; break;
        default: continue;
        }
        recognised = 1;
    }
    return recognised;
}

void SetScriptPaths(SetupContext* context, const char* programFolder) {
    FitsInto(context->workFolder, sizeof context->workFolder, programFolder);
    FitsInto(context->languageIni, sizeof context->languageIni, JoinPath(programFolder, "Language.ini"));
    FitsInto(context->copyFileIni, sizeof context->copyFileIni, JoinPath(programFolder, "CopyFile.ini"));
}

uint16_t LanguageModeFromText(const char* text) {
    switch (std::toupper(static_cast<unsigned char>(text[0]))) {
    case 'S': return kLanguageFixed;
    case 'M': return kLanguageManual;
    case 'R': return kLanguageRegional;
    default: return kLanguageAutomatic;
    }
}

int MatchLanguageId(LANGID id, char* defaultName, char* firstFolder, char* matchedFolder, const char* languageIni) {
    if (!languageIni || !*languageIni) return 0;
    GetPrivateProfileStringA("LANGUAGE", "DEFAULT", "", defaultName, 64, languageIni);
    matchedFolder[0] = '\0';
    firstFolder[0] = '\0';
    char four[8];
    char two[8];
    snprintf(four, sizeof four, "%02x%02x", id & 0x3FF, id >> 10);
    snprintf(two, sizeof two, "%02x", id & 0x3FF);
    for (int pass = 0; pass < 2 && !matchedFolder[0]; ++pass) {
        for (int n = 0; n < 100; ++n) {
            char key[16];
            snprintf(key, sizeof key, "LANG_%02d", n);
            char entry[260];
            if (!GetPrivateProfileStringA("LANGUAGE", key, "", entry, sizeof entry, languageIni)) break;
            char* folder = GetToken(entry, ";", 3, 1);
            std::string folderText = folder ? folder : "";
            GetPrivateProfileStringA("LANGUAGE", key, "", entry, sizeof entry, languageIni);
            char* langId = GetToken(entry, ";", 3, 2);
            if (n == 0) snprintf(firstFolder, 64, "%s", folderText.c_str());
            if (langId && _stricmp(langId, pass == 0 ? four : two) == 0) {
                snprintf(matchedFolder, 64, "%s", folderText.c_str());
                break;
            }
        }
    }
    return 1;
}

int MatchSystemLanguage(char* defaultName, char* firstFolder, char* matchedFolder, const char* languageIni) {
    return MatchLanguageId(GetSystemDefaultLangID(), defaultName, firstFolder, matchedFolder, languageIni);
}

int ReadSetupSettings(SetupContext* context) {
    const char* ini = context->languageIni;
    GetPrivateProfileStringA(kSetting, "CLASSNAME", "ZK_INSTALLER", g_className, sizeof g_className, ini);
    context->background = IsSettingOn(ini, "BACK", "OFF");
    context->languageMode = LanguageModeFromText(ReadSetting(ini, "MODE", "AUTO").c_str());
    if (IsSettingOn(ini, "SILENT", "OFF")) context->modeBits |= kModeSilent;
    if (_stricmp(ReadSetting(ini, "ARP", "ON").c_str(), "OFF") == 0) context->modeBits |= kModeNoArpEntry;
    static const char* const kPageKeys[kPageSwitchCount] = {"WELCOME", "LICENSE", "APPLICATION",
                                                            "FOLDER",  "STARTMENU", "CHECK"};
    for (int i = 0; i < kPageSwitchCount; ++i) context->pages[i] = IsSettingOn(ini, kPageKeys[i], "ON");
    context->connect = IsSettingOn(ini, "CONNECT", "OFF");
    context->uac = IsSettingOn(ini, "UAC", "OFF") && context->osCode >= 8;

    char defaultName[64];
    char firstFolder[64];
    char matched[64];
    MatchSystemLanguage(defaultName, firstFolder, matched, ini);
    uint16_t mode = context->languageMode;
    context->languagePage = (mode == kLanguageAutomatic || mode == kLanguageManual);
    const char* chosen = (mode == kLanguageFixed || mode == kLanguageManual)
                             ? (defaultName[0] ? defaultName : firstFolder)
                             : (matched[0] ? matched : defaultName);
    snprintf(context->language, sizeof context->language, "%s", chosen);
    return 1;
}

int GetMessageFilePaths(const char* language, const char* languageIni, char* messageIni, char* licensePath) {
    if (!language || !languageIni || !messageIni || !licensePath) return 0;
    std::string languageFolder = JoinPath(FolderOf(languageIni), language);
    std::string message = ReadSetting(languageIni, "MESSAGE", "Setup.ini");
    std::string messagePath = JoinPath(languageFolder, message);
    std::string license = JoinPath(languageFolder, "License.txt");
    if (messagePath.size() >= MAX_PATH || license.size() >= MAX_PATH) return 0;
    memcpy(messageIni, messagePath.c_str(), messagePath.size() + 1);
    memcpy(licensePath, license.c_str(), license.size() + 1);
    return 1;
}

namespace {

void LogScriptFiles(const SetupContext* context) {
    if (!LogFlags) return;
    char version[260];
    GetPrivateProfileStringA("INSTALL", "VERSION", "", version, sizeof version, context->copyFileIni);
    LogPrintf("*** INI File Information ***");
    LogPrintf("  Language.ini     : %s", context->languageIni);
    LogPrintf("  CopyFile.ini     : %s", context->copyFileIni);
    LogPrintf("  INI File Version : %s", version);
    LogPrintf("  Language         : %s", context->language);
    if (context->messageIni[0]) LogPrintf("  Message.ini      : %s", context->messageIni);
    else LogPrintf("  Message.ini      : (Language is not fixed.)");
    LogPrintf(context->uac ? "  UAC              : Consider the UAC." : "  UAC              : Not consider the UAC.");
    std::string mode = " ";
    if (context->modeBits & kModeSilent) mode += "Silent.";
    if (context->modeBits & kModeNoArpEntry) mode += "Not register in the Add or Remove Programs.";
    if (!(context->modeBits & (kModeSilent | kModeNoArpEntry))) mode = "Normal.";
    LogPrintf("  Install Mode     : %s", mode.c_str());
}

bool MessageIniPresent(const SetupContext* context) {
    char font[260];
    return GetPrivateProfileStringA("FONT", "STANDARD", "", font, sizeof font, context->messageIni) > 0;
}

}  // namespace

int LoadLanguageFiles(SetupContext* context) {
    if (IsSettingOn(context->languageIni, "RTL", "") && _stricmp(context->language, "Arabic") == 0) {
        RtlLayout = 1;
        SetProcessDefaultLayout(LAYOUT_RTL);
    }
    bool fixed = context->languageMode == kLanguageFixed || context->languageMode == kLanguageRegional;
    if (fixed) GetMessageFilePaths(context->language, context->languageIni, context->messageIni, context->licensePath);
    LogScriptFiles(context);
    if (!fixed) return 1;
    if (MessageIniPresent(context)) return 1;
    // One more try with the first language of the list.
    char defaultName[64];
    char firstFolder[64];
    char matched[64];
    MatchSystemLanguage(defaultName, firstFolder, matched, context->languageIni);
    if (firstFolder[0] && _stricmp(firstFolder, context->language) != 0) {
        snprintf(context->language, sizeof context->language, "%s", firstFolder);
        GetMessageFilePaths(context->language, context->languageIni, context->messageIni, context->licensePath);
        if (MessageIniPresent(context)) return 1;
    }
    if (!IsSilent(*context)) {
        ShowIniMessageBox(nullptr, context->languageIni, "ERROR", "MESSAGE_05", "TITLE", MB_ICONEXCLAMATION, {}, TRUE);
    }
    LogPrintf("    --> xxsetup.ini is not found.");
    return 0;
}
