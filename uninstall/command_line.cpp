#include "command_line.h"

#include "setup_log.h"

#include <cstring>

std::vector<std::string> SplitCommandLine(const char* arguments) {
    std::vector<std::string> tokens;
    const char* p = arguments ? arguments : "";
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!*p) return tokens;
        std::string token;
        bool quoted = false;
        for (; *p && (quoted || (*p != ' ' && *p != '\t')); ++p) {
            if (*p == '"') quoted = !quoted;
            else token.push_back(*p);
        }
        tokens.push_back(token);
    }
}

void ApplySwitches(UninstallContext* c, const std::vector<std::string>& tokens) {
    for (const std::string& token : tokens) {
        if (token.size() < 2 || token[0] != '-') continue;
        switch (token[1]) {
        case 'r': case 'R': c->reboot = 1; break;
        case 'd': case 'D': ParseDebugOption(token.c_str()); break;
        case 'u': case 'U': c->stageTwo = 1; break;
        case 's': case 'S': c->uiFlags |= kUiSilent; break;
        case 't': case 'T': c->uiFlags |= kUiNoRestart; break;
        case 'g': case 'G': c->uiFlags |= kUiShowWindow; break;
        default: break;
        }
    }
}

std::string UninstallerIniPath(const std::string& programPath) {
    size_t slash = programPath.find_last_of('\\');
    std::string folder = slash == std::string::npos ? std::string() : programPath.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.resize(dot);
    size_t n = name.size();
    if (n > 2 && static_cast<unsigned char>(name[n - 1]) <= '9' && static_cast<unsigned char>(name[n - 2]) <= '9') {
        name.resize(n - 2);
    }
    return folder + name + ".ini";
}

void AppendLogSwitches(char* arguments, size_t capacity) {
    if (!LogFlags || !arguments || capacity == 0) return;
    std::string text = " -d";
    if (LogFlags & kLogStepFile) text += "log";
    if (LogFlags & kLogDebugger) text += "out";
    if (LogFlags & kLogFileOps) text += "qa";
    strncat(arguments, text.c_str(), capacity - strlen(arguments) - 1);
}

std::string StageTwoArguments(const UninstallContext& c) {
    char arguments[128] = "";
    snprintf(arguments, sizeof arguments, "%s%s%s", c.reboot ? "-u -r" : "-u", IsSilent(c) ? " -s" : "",
             (c.uiFlags & kUiNoRestart) ? " -t" : "");
    AppendLogSwitches(arguments, sizeof arguments);
    return arguments;
}

std::string ProgramOfCommandLine(const char* commandLine) {
    std::vector<std::string> tokens = SplitCommandLine(commandLine);
    return tokens.empty() ? std::string() : tokens[0];
}
