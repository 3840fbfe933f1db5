#include "firewall.h"

#include "application_records.h"
#include "ini_text.h"
#include "message_box.h"
#include "resource.h"
#include "script_text.h"
#include "setup_log.h"

#include <shellapi.h>

#include <cstring>
#include <vector>

// Starting a program of the setup medium instead of installing, with a temporary firewall rule.
namespace {

struct DirectProgram {
    std::string file;
    std::string parameters;
    bool wait;
};

// The rule entry of the same number in [<app>_ICF] when it names the same program.
bool RuleFor(const SetupContext* c, const ApplicationRecord& r, int number, const std::string& file, std::string& rule,
             std::string& description) {
    const char* format = c->osCode >= 8 ? "ADDFILE2_%03d" : "ADDFILE_%03d";
    std::vector<std::string> f = SplitFields(ReadIniValue(c->copyFileIni, r.sections[kSecIcf], IniListKey(format, number)));
    f.resize(3);
    std::string named = !f[0].empty() && f[0][0] == '\\' ? f[0].substr(1) : f[0];
    std::string wanted = !file.empty() && file[0] == '\\' ? file.substr(1) : file;
    if (named.empty() || _stricmp(named.c_str(), wanted.c_str()) != 0) return false;
    rule = f[1];
    description = f[2].empty() ? f[1] : f[2];
    return true;
}

bool AskFirewall(SetupContext* c) {
    for (uint32_t i = 0; i < c->applicationCount; ++i) {
        const ApplicationRecord& r = c->applications[i];
        if (!r.checked || !ContainsNoCase(ReadIniValue(c->copyFileIni, r.sections[kSecIcf], "MODE"), "FOLDER")) continue;
        if (IsSilent(*c)) return true;
        return ShowIniMessageBox(c->frame, c->messageIni, "ERROR", "MESSAGE_28", "TITLE", MB_YESNO | MB_ICONQUESTION, {},
                                 TRUE) == IDYES;
    }
    return true;
}

void RunOne(SetupContext* c, const ApplicationRecord& r, int number, const DirectProgram& p) {
    char folder[MAX_PATH];
    if (!GetInstalledFilePath(p.file.c_str(), r.name, r.osWord, c->workFolder, c->copyFileIni, folder, kSourceForm)) return;
    std::string program = JoinFolder(folder, p.file);
    std::string parameters = p.parameters;
    size_t lan = parameters.find("@LAN");
    if (lan != std::string::npos) parameters = parameters.substr(0, lan) + c->language;
    char found[MAX_PATH] = "";
    INT_PTR answer = reinterpret_cast<INT_PTR>(FindExecutableA(program.c_str(), nullptr, found));
    if (answer <= 32) {
        LogPrintf("  Application Error[1](%d) : %s", static_cast<int>(answer), program.c_str());
        return;
    }
    std::string rule;
    std::string description;
    bool added = false;
    if (RuleFor(c, r, number, p.file, rule, description) && AskFirewall(c)) {
        std::string title = ReadIniValue(c->messageIni, "TITLE", "TITLE");
        rule += " (" + (title.empty() ? std::string("Direct") : title) + ")";
        added = AddDirectFirewallRules(c, rule.c_str(), program.c_str(), description.c_str());
    }
    SHELLEXECUTEINFOA run{};
    run.cbSize = sizeof run;
    run.fMask = p.wait ? SEE_MASK_NOCLOSEPROCESS : SEE_MASK_NO_CONSOLE;
    run.lpVerb = "open";
    run.lpFile = program.c_str();
    run.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    run.lpDirectory = folder;
    run.nShow = SW_SHOW;
    if (!ShellExecuteExA(&run)) {
        LogPrintf("  Application Error[2](0x%08lx) : %s", GetLastError(), program.c_str());
        if (added) RemoveDirectFirewallRules(c, rule.c_str(), program.c_str());
        return;
    }
    if (!p.wait || !run.hProcess) return;
    if (added) {
        LogPrintf("  Application Waiting...");
        if (c->frame) ShowWindow(c->frame, SW_HIDE);
    }
    WaitForSingleObject(run.hProcess, INFINITE);
    CloseHandle(run.hProcess);
    if (added) RemoveDirectFirewallRules(c, rule.c_str(), program.c_str());
}

}  // namespace

int RunFromMedium(HWND page, SetupContext* c) {
    HWND box = page ? GetDlgItem(page, IDC_RUN_FROM_MEDIUM) : nullptr;
    if (!box || !IsWindowEnabled(box) || SendMessageA(box, BM_GETCHECK, 0, 0) != BST_CHECKED) return 1;
    LogPrintf("*** Firewall(CD-ROM) ***");
    ShowWindow(g_mainWindow, SW_HIDE);
    if (c->applications && c->applicationCount > 0) {
        const ApplicationRecord& first = c->applications[0];
        for (int n = 0; n < 100; ++n) {
            std::vector<std::string> f =
                SplitFields(ReadIniValue(c->copyFileIni, first.sections[kSecInfo], IniListKey("DIRECTFILE_%02d", n)));
            if (f[0].empty()) break;
            f.resize(3);
            bool wait = _stricmp(f[2].c_str(), "WAIT") == 0;
            // The server management tool is never waited for on the oldest Windows.
            if (c->osCode == 1 && ContainsNoCase(f[0], "Cellwarden")) wait = false;
            RunOne(c, first, n, {f[0], f[1], wait});
        }
    }
    PostMessageA(g_mainWindow, kWizardClose, 0, 0);
    return 0;
}
