#include "watchers.h"
#include "child_windows.h"

#include <cstring>
#include <string>
#include <vector>

#include "automation_platform.h"
#include "lib_lock.h"
#include "listview_util.h"
#include "messages.h"
#include "printer_list.h"
#include "system_util.h"
#include "watch_state.h"
#include "win_handles.h"

namespace {

constexpr DWORD kProcessWatchMs = 3000;
constexpr DWORD kPrinterWatchMs = 5000;
constexpr DWORD kWatcherEndWaitMs = 2000;

// One watcher thread with its stop event.
struct Watcher {
    HWND service = nullptr;
    qz::Handle stop;
    qz::Handle thread;
};

Watcher g_processWatch;  // GUI thread
Watcher g_printerWatch;  // GUI thread
std::vector<RunningProcess> g_processes;     // library lock
std::vector<LocalPrinter> g_devicePrinters;  // printer watcher thread only

bool Start(Watcher& w, HWND service, LPTHREAD_START_ROUTINE main) {
    if (w.thread) return true;
    w.service = service;
    w.stop.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!w.stop) return false;
    w.thread.reset(CreateThread(nullptr, kLibraryThreadStack, main, &w, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    return static_cast<bool>(w.thread);
}

void Stop(Watcher& w) {
    if (!w.thread) return;
    SetEvent(w.stop.get());
    // The watchers only post: they never wait for this thread, so waiting for them is safe.
    WaitForSingleObject(w.thread.get(), kWatcherEndWaitMs);
    w.thread.reset();
    w.stop.reset();
}

DWORD WINAPI ProcessWatchMain(void* param) {
    auto* w = static_cast<Watcher*>(param);
    do {
        std::vector<RunningProcess> now = Automation().processes();
        {
            LibraryLock lock;
            g_processes = std::move(now);
        }
        PostMessageA(w->service, PNXM_PROCESS_ROWS, 0, 0);
    } while (WaitForSingleObject(w->stop.get(), kProcessWatchMs) == WAIT_TIMEOUT);
    PostMessageA(w->service, PNXM_PROCESS_WATCH_END, 0, 0);
    return 0;
}

std::vector<LocalPrinter> DevicePrinters() {
    std::vector<LocalPrinter> found;
    for (LocalPrinter& p : Automation().localPrinters()) {
        if (IsDevicePort(p.port.c_str())) found.push_back(std::move(p));
    }
    return found;
}

bool Listed(const std::vector<LocalPrinter>& list, const LocalPrinter& p) {
    for (const LocalPrinter& q : list) {
        if (q.name == p.name && q.port == p.port) return true;
    }
    return false;
}

// The receiver frees the name it is posted (the watcher goes on at once).
void PostPrinter(HWND service, WPARAM added, const std::string& name) {
    size_t n = std::min<size_t>(name.size(), 255);
    auto* copy = new (std::nothrow) char[n + 1];
    if (!copy) return;
    memcpy(copy, name.data(), n);
    copy[n] = '\0';
    if (!PostMessageA(service, PNXM_PRINTER_CHANGE, added, reinterpret_cast<LPARAM>(copy))) delete[] copy;
}

DWORD WINAPI PrinterWatchMain(void* param) {
    auto* w = static_cast<Watcher*>(param);
    g_devicePrinters = DevicePrinters();
    while (WaitForSingleObject(w->stop.get(), kPrinterWatchMs) == WAIT_TIMEOUT) {
        std::vector<LocalPrinter> now = DevicePrinters();
        for (const LocalPrinter& p : now) {
            if (!Listed(g_devicePrinters, p)) PostPrinter(w->service, 1, p.name);
        }
        for (const LocalPrinter& p : g_devicePrinters) {
            if (!Listed(now, p)) PostPrinter(w->service, 0, p.name);
        }
        g_devicePrinters = std::move(now);
    }
    PostMessageA(w->service, PNXM_PRINTER_WATCH_END, 0, 0);
    return 0;
}

}  // namespace

bool StartPrinterWatch(HWND service) { return Start(g_printerWatch, service, PrinterWatchMain); }
void StopPrinterWatch() { Stop(g_printerWatch); }
bool StartProcessWatch(HWND service) { return Start(g_processWatch, service, ProcessWatchMain); }
void StopProcessWatch() { Stop(g_processWatch); }

void DeleteProcessRow(const NMLISTVIEW*) {}

size_t CountProcessesLocked(const std::string& path) {
    size_t count = 0;
    for (const RunningProcess& p : g_processes) count += _stricmp(p.path.c_str(), path.c_str()) == 0;
    return count;
}

void SetProcessesForTests(std::vector<RunningProcess> processes) {
    LibraryLock lock;
    g_processes = std::move(processes);
}

void ShowProcessRows(HWND service) {
    HWND list = ChildWindow(service, kIdProcessList);
    if (!list) return;
    std::vector<RunningProcess> processes;
    {
        LibraryLock lock;
        processes = g_processes;
    }
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    for (size_t i = 0; i < processes.size(); ++i) {
        const std::string& path = processes[i].path;
        std::string file = path.substr(path.find_last_of("\\/") + 1);
        char id[16];
        snprintf(id, sizeof id, "%lu", static_cast<unsigned long>(processes[i].id));
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<char*>(path.c_str());
        int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (row < 0) continue;
        ListViewSetText(list, row, 1, file.c_str());
        ListViewSetText(list, row, 2, id);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}
