// A service for the service installer tests. Run as "test_service.exe /service [-hang]": it
// reports running (or, with -hang, stays start-pending) and ends when it is told to stop. Run
// as "test_service.exe -echo FILE ARGS..." it writes ARGS into FILE, one a line, and ends.
#include <windows.h>

#include <cstring>

namespace {

SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;
bool g_hang = false;

void Report(DWORD state) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWaitHint = 1000;
    SetServiceStatus(g_status, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
        SetEvent(g_stop);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, char**) {
    g_status = RegisterServiceCtrlHandlerExA("", Handler, nullptr);
    if (g_hang) {
        Report(SERVICE_START_PENDING);
        Sleep(INFINITE);
    }
    Report(SERVICE_RUNNING);
    WaitForSingleObject(g_stop, INFINITE);
    Report(SERVICE_STOPPED);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "-echo") == 0) {
        HANDLE file = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        for (int i = 3; i < argc; ++i) {
            DWORD written = 0;
            WriteFile(file, argv[i], static_cast<DWORD>(std::strlen(argv[i])), &written, nullptr);
            WriteFile(file, "\n", 1, &written, nullptr);
        }
        CloseHandle(file);
        return 0;
    }
    for (int i = 1; i < argc; ++i) g_hang = g_hang || std::strcmp(argv[i], "-hang") == 0;
    g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
