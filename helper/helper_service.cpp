#include "helper_service.h"

#include <atomic>

#include "helper_messages.h"
#include "helper_window.h"

namespace {

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
std::atomic<DWORD> g_currentState{SERVICE_STOPPED};
std::atomic<DWORD> g_checkpoint{0};
// Manual reset; set once the window thread has been stopped. Created and closed by the main
// function; the control handler only sets it.
std::atomic<HANDLE> g_stopEvent{nullptr};

DWORD NextCheckpoint() {
    DWORD current = g_checkpoint.load();
    DWORD next;
    do {
        next = current >= kCheckpointWrap ? 1 : current + 1;
    } while (!g_checkpoint.compare_exchange_weak(current, next));
    return next;
}

// Stops the window thread within the wait hint just reported, then lets the main function go.
void StopHelper(DWORD boundMs) {
    StopWindowThread(boundMs);
    if (HANDLE stop = g_stopEvent.load()) SetEvent(stop);
}

}  // namespace

int ReportServiceStatus(DWORD state, DWORD exitCode, DWORD serviceCode, DWORD waitHint) {
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_START_PENDING ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    status.dwWin32ExitCode = serviceCode ? ERROR_SERVICE_SPECIFIC_ERROR : exitCode;
    status.dwServiceSpecificExitCode = serviceCode;
    status.dwCheckPoint = NextCheckpoint();
    status.dwWaitHint = waitHint;
    if (g_statusHandle && SetServiceStatus(g_statusHandle, &status)) {
        g_currentState.store(state);
        return 1;
    }
    StopHelper(kStopWaitHint);
    return 0;
}

void FinishService(DWORD code) {
    // A stop that came through the control handler has stopped the window thread already.
    StopWindowThread(kStopWaitHint);
    if (HANDLE stop = g_stopEvent.exchange(nullptr)) CloseHandle(stop);
    ReportServiceStatus(SERVICE_STOPPED, code, 0, 0);
}

void WINAPI HelperCtrlHandler(DWORD control) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        ReportServiceStatus(SERVICE_STOP_PENDING, NO_ERROR, 0, kStopWaitHint);
        StopHelper(kStopWaitHint);
        break;
    case SERVICE_CONTROL_SHUTDOWN:
        ReportServiceStatus(SERVICE_STOP_PENDING, NO_ERROR, 0, kShutdownWaitHint);
        StopHelper(kShutdownWaitHint);
        break;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        break;
    default:
        ReportServiceStatus(g_currentState.load(), NO_ERROR, 0, 0);
        break;
    }
}

void WINAPI HelperServiceMain(DWORD, LPSTR*) {
    g_statusHandle = RegisterServiceCtrlHandlerA(kHelperServiceName, HelperCtrlHandler);
    if (!g_statusHandle) return FinishService(GetLastError());
    if (!ReportServiceStatus(SERVICE_START_PENDING, NO_ERROR, 0, kStartWaitHint)) return FinishService(GetLastError());
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stop) return FinishService(GetLastError());
    g_stopEvent.store(stop);
    if (!ReportServiceStatus(SERVICE_START_PENDING, NO_ERROR, 0, kStartWaitHint2)) return FinishService(GetLastError());
    if (!StartWindowThread(DefaultHelperConfig())) return FinishService(GetLastError() ? GetLastError() : ERROR_GEN_FAILURE);
    if (!ReportServiceStatus(SERVICE_RUNNING, NO_ERROR, 0, 0)) return FinishService(GetLastError());
    WaitForSingleObject(stop, INFINITE);
    FinishService(NO_ERROR);
}

void RunServiceDispatcher() {
    SERVICE_TABLE_ENTRYA table[] = {
        {const_cast<char*>(kHelperServiceName), HelperServiceMain},
        {nullptr, nullptr},
    };
    StartServiceCtrlDispatcherA(table);
}
