#include "window_position.h"

#include "os_info.h"

#include <centre_rect.h>

int ForceForegroundWindow(HWND window, int osCode) {
    if (osCode < 5) return 1;
    DWORD own = GetWindowThreadProcessId(window, nullptr);
    DWORD front = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    bool attached = front && own && front != own && AttachThreadInput(own, front, TRUE);
    BOOL result = SetForegroundWindow(window);
    if (attached) AttachThreadInput(own, front, FALSE);
    return result ? 1 : 0;
}

void CenterWindowOnMonitor(HWND window, HWND reference) {
    if (!window) return;
    RECT self{}, ref{}, work{};
    GetWindowRect(window, &self);
    bool useReference = reference && IsWindowVisible(reference);
    int code = GetOsVersionCode(nullptr);
    if (code >= 1 && code <= 4) {
        // Windows 95 and NT 4 have no monitor functions.
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        GetWindowRect(useReference ? reference : GetDesktopWindow(), &ref);
    } else {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (GetMonitorInfoA(MonitorFromRect(&self, MONITOR_DEFAULTTONEAREST), &info)) {
            work = info.rcWork;
        } else {
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        }
        if (useReference) GetWindowRect(reference, &ref);
        else ref = work;
    }
    POINT at = qz::CentredOrigin(self, ref, work);
    SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
