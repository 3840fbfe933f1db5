// A stand-in for the setup helper library that ships beside the setup program and the
// uninstaller. It does not touch the firewall: every call is appended to the text file named
// by QZ_SETUP_HELPER_LOG ("Export|argument|argument..." per line), and the answers follow
// QZ_SETUP_HELPER_SCRIPT, blank-separated words:
//   notadmin        CheckUserPrivilege answers 0
//   sessions=N      GetWTSSessionCount answers N (default 1)
//   fail=Export     that export answers 0 (may be given several times)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

namespace {

std::string Environment(const char* name) {
    char value[2048] = "";
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? value : "";
}

bool ScriptHas(const std::string& word) {
    std::string script = " ";
    script.append(Environment("QZ_SETUP_HELPER_SCRIPT"));
    script.append(" ");
    std::string wanted = " ";
    wanted.append(word);
    wanted.append(" ");
    return script.find(wanted) != std::string::npos;
}

void Record(const std::string& line) {
    std::string path = Environment("QZ_SETUP_HELPER_LOG");
    if (path.empty()) return;
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string text = line;
    text.append("\r\n");
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Text(const char* s) { return s ? s : "(null)"; }

BOOL Answer(const char* exportName, std::initializer_list<std::string> arguments) {
    std::string line = exportName;
    for (const std::string& a : arguments) {
        line.append("|");
        line.append(a);
    }
    Record(line);
    std::string failure = "fail=";
    failure.append(exportName);
    return ScriptHas(failure) ? FALSE : TRUE;
}

}  // namespace

extern "C" {

__declspec(dllexport) BOOL WINAPI CheckUserPrivilege(DWORD reserved, char* /*buffer*/) {
    std::string line = "CheckUserPrivilege|";
    line.append(std::to_string(reserved));
    Record(line);
    return ScriptHas("notadmin") ? FALSE : TRUE;
}

__declspec(dllexport) int WINAPI GetWTSSessionCount() {
    Record("GetWTSSessionCount");
    std::string script = " ";
    script.append(Environment("QZ_SETUP_HELPER_SCRIPT"));
    size_t at = script.find(" sessions=");
    return at == std::string::npos ? 1 : atoi(script.c_str() + at + 10);
}

__declspec(dllexport) BOOL WINAPI WindowsFirewallAddApp(const char* name, const char* path) {
    return Answer("WindowsFirewallAddApp", {Text(name), Text(path)});
}

__declspec(dllexport) BOOL WINAPI WindowsFirewallAddApp2(const char* name, const char* path, const char* description) {
    return Answer("WindowsFirewallAddApp2", {Text(name), Text(path), Text(description)});
}

__declspec(dllexport) BOOL WINAPI WindowsFirewallAddPort(const char* name, int protocol, int port) {
    return Answer("WindowsFirewallAddPort", {Text(name), std::to_string(protocol), std::to_string(port)});
}

__declspec(dllexport) BOOL WINAPI WindowsFirewallAddPort2(const char* name, int protocol, int port) {
    return Answer("WindowsFirewallAddPort2", {Text(name), std::to_string(protocol), std::to_string(port)});
}

__declspec(dllexport) BOOL WINAPI WindowsFirewallEnableService(const char* name) {
    return Answer("WindowsFirewallEnableService", {Text(name)});
}

__declspec(dllexport) BOOL WINAPI WindowsFirewallRemoveApp(const char* path) {
    return Answer("WindowsFirewallRemoveApp", {Text(path)});
}

__declspec(dllexport) BOOL WINAPI WindowsFirewallRemovePort(int protocol, int port) {
    return Answer("WindowsFirewallRemovePort", {std::to_string(protocol), std::to_string(port)});
}

__declspec(dllexport) BOOL WINAPI WindowsFirewallRemovePolicy(const char* name) {
    return Answer("WindowsFirewallRemovePolicy", {Text(name)});
}

}  // extern "C"
