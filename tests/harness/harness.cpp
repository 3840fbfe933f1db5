// harness.exe: drives Pnxscapi.dll the way the utility does, for the end-to-end tests.
//
// It loads Pnxscapi.dll (beside the program, or the path given as the first argument), binds
// the exports by ordinal, creates a top-level client window and runs its message loop. A
// reader thread takes commands from stdin and posts them to the window, so every command and
// every library call runs on the window thread, as in the utility.
//
// Input: one command per line: NAME WORD...; a word is "key=value" or positional, and may be
// double-quoted to hold blanks (no escapes, so Windows paths keep their backslashes).
// Output: one JSON object per line on stdout, flushed at once:
//   {"type":"ready","pid":N}                          once the window exists
//   {"type":"result","cmd":NAME,"ok":BOOL,...}        one per command, in input order;
//                                                     "error" holds the failure text
//   {"type":"notify","msg":"PNXN_...","num":N,...}    every PNXN_ message the window gets:
//       NotifyEvent messages add "kind","flags","lparam" (and "devices" for an
//       AutoDeviceList); the connect family adds "phase","result","action","buffer","size",
//       "device" and "answer" (the reply given, see the command "answer")
//   {"type":"event","event":"WM_QUIT","code":N}       a WM_QUIT the library posted
// End of input quits like the command "quit". Exit code 0 after "quit"; 1 with an "error" line
// when the library cannot be loaded or the window cannot be made (no display).
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "harness_frame.h"
#include "harness_registry.h"
#include "pnxscapi.h"

namespace {
constexpr UINT kMsgCommand = WM_APP + 1;     // lParam: heap copy of one input line
constexpr UINT kMsgInputClosed = WM_APP + 2;
constexpr const char* kClientClass = "QZ.HARNESS.CLIENT";

harness::Context g_ctx;
bool g_quitting = false;

void RunCommand(const std::string& line) {
    std::string name;
    harness::Args args = harness::SplitWords(line, &name);
    if (name.empty()) return;
    harness::JsonLine out("result");
    out.Add("cmd", name);
    auto& commands = harness::Commands();
    auto it = commands.find(name);
    if (it == commands.end()) {
        out.Add("ok", false).Add("error", "unknown command");
        harness::Emit(out);
        return;
    }
    bool ok = it->second.handler(g_ctx, args, out);
    out.Add("ok", ok);
    harness::Emit(out);
}

LRESULT CALLBACK ClientWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= kPnxnFirst && message <= kPnxnLast) return harness::ReportNotification(message, wParam, lParam);
    switch (message) {
    case kMsgCommand: {
        auto* line = reinterpret_cast<char*>(lParam);
        RunCommand(line);
        std::free(line);
        return 0;
    }
    case kMsgInputClosed:
        harness::RequestQuit(g_ctx);
        return 0;
    case WM_DESTROY:
        g_quitting = true;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

DWORD WINAPI ReadInput(LPVOID window) {
    char buffer[8192];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        size_t n = std::strlen(buffer);
        while (n > 0 && (buffer[n - 1] == '\n' || buffer[n - 1] == '\r')) buffer[--n] = '\0';
        if (n == 0) continue;
        char* copy = _strdup(buffer);
        if (copy && !PostMessageA(static_cast<HWND>(window), kMsgCommand, 0, reinterpret_cast<LPARAM>(copy))) {
            std::free(copy);
        }
    }
    PostMessageA(static_cast<HWND>(window), kMsgInputClosed, 0, 0);
    return 0;
}

int RunLoop() {
    MSG msg;
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) return 1;
        if (got == 0) {
            if (g_quitting) return 0;
            // The library's service window posts WM_QUIT when it is destroyed; the harness
            // reports it and keeps running so that the test can go on.
            harness::JsonLine event("event");
            event.Add("event", "WM_QUIT").Add("code", static_cast<int64_t>(msg.wParam));
            harness::Emit(event);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    const char* path = argc > 1 ? argv[1] : "Pnxscapi.dll";
    g_ctx.library = LoadLibraryA(path);
    if (!g_ctx.library) {
        harness::JsonLine error("error");
        error.Add("error", "cannot load library").Add("path", path).Add("code", static_cast<int64_t>(GetLastError()));
        harness::Emit(error);
        return 1;
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ClientWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClientClass;
    RegisterClassA(&wc);
    g_ctx.window = CreateWindowExA(0, kClientClass, "Harness client", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                   nullptr, wc.hInstance, nullptr);
    if (!g_ctx.window) {
        harness::JsonLine error("error");
        error.Add("error", "cannot create the client window").Add("code", static_cast<int64_t>(GetLastError()));
        harness::Emit(error);
        return 1;
    }
    harness::JsonLine ready("ready");
    ready.Add("pid", static_cast<int64_t>(GetCurrentProcessId()));
    harness::Emit(ready);

    HANDLE reader = CreateThread(nullptr, 0, ReadInput, g_ctx.window, 0, nullptr);
    int rc = RunLoop();
    // Unload only when the library has no window left whose procedure it would take along.
    if (g_ctx.library && (!g_ctx.service || !IsWindow(g_ctx.service))) FreeLibrary(g_ctx.library);
    if (reader) CloseHandle(reader);
    return rc;
}
