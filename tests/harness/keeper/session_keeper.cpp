// session_keeper.exe: holds the Wine session's desktop open for a whole test run.
//
// Wine closes a desktop (its explorer.exe ends) about a second after the last program using it
// has ended. A program that starts while that explorer is still ending is handed the dying
// desktop and cannot create a window. Test runs often pause for a second between programs, so
// run-tests.sh starts this program first: it makes sure the desktop exists, says "ready" on
// standard output and then stays until standard input ends (or the session is ended).
#include <windows.h>

#include <cstdio>

int main() {
    if (!GetDesktopWindow()) {
        std::fprintf(stderr, "session_keeper: no desktop window (error %lu)\n", GetLastError());
        return 1;
    }
    // The tests make top-level windows: a session that cannot is of no use to them.
    HWND probe = CreateWindowExA(0, "STATIC", "session_keeper", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!probe) {
        std::fprintf(stderr, "session_keeper: no top-level window (error %lu)\n", GetLastError());
        return 1;
    }
    DestroyWindow(probe);
    std::printf("ready\n");
    std::fflush(stdout);
    char buffer[64];
    DWORD read = 0;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    return 0;
}
