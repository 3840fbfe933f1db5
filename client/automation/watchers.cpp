#include "watchers.h"
#include "child_windows.h"

#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "automation_platform.h"
#include "automation_threads.h"
#include "lib_lock.h"
#include "lib_stop.h"
#include "listview_util.h"
#include "messages.h"
#include "printer_list.h"
#include "watch_state.h"
#include "win_handles.h"

namespace {

constexpr DWORD kProcessWatchMs = 3000;
constexpr DWORD kPrinterWatchMs = 5000;

// One watcher thread with its wake event (auto reset) and run flag: the stop clears the flag
// and sets the event, so that the thread ends at once instead of at its next round.
struct Watcher {
    HWND service = nullptr;
    qz::Handle wake;
    std::atomic<bool> run{false};
    qz::Handle thread;
    bool shown = false;  // GUI thread: the service window's list shows the first look
};

Watcher g_processWatch;  // GUI thread
Watcher g_printerWatch;  // GUI thread
std::vector<RunningProcess> g_processes;     // library lock
std::vector<LocalPrinter> g_devicePrinters;  // library lock: the printer watcher's last look

void StopWatcherThread(void* context) {
    auto* w = static_cast<Watcher*>(context);
    w->run = false;
    SetEvent(w->wake.get());
}

void Tell(Watcher& w) {
    if (!w.thread) return;
    w.run = false;
    SetEvent(w.wake.get());
}

void Stop(Watcher& w) {
    if (!w.thread) return;
    Tell(w);
    JoinLibraryThread(w.thread.get());
    w.thread.reset();
    w.wake.reset();
}

bool Start(Watcher& w, HWND service, LPTHREAD_START_ROUTINE main) {
    // A watcher that the library's end stopped has ended: only a running one is kept.
    if (w.thread && w.run && WaitForSingleObject(w.thread.get(), 0) == WAIT_TIMEOUT) return true;
    Stop(w);
    w.service = service;
    w.shown = false;
    w.run = true;
    w.wake.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (w.wake) w.thread.reset(StartAutomationThread(main, &w, StopWatcherThread));
    if (!w.thread) {
        w.run = false;
        w.wake.reset();
        return false;
    }
    ResumeThread(w.thread.get());
    return true;
}

// Waits for the next round; false when the watcher is to end (its stop or the library's).
bool NextRound(Watcher* w, DWORD ms) {
    return WaitOrStop(w->wake.get(), ms) != WAIT_OBJECT_0 + 1 && w->run;
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
    } while (NextRound(w, kProcessWatchMs));
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

// The receiver frees the name it is posted.
void PostPrinter(HWND service, WPARAM added, const std::string& name) {
    size_t n = std::min<size_t>(name.size(), 255);
    auto* copy = new (std::nothrow) char[n + 1];
    if (!copy) return;
    memcpy(copy, name.data(), n);
    copy[n] = '\0';
    if (!PostMessageA(service, PNXM_PRINTER_CHANGE, added, reinterpret_cast<LPARAM>(copy))) delete[] copy;
}

// The watcher only looks: the service window's thread, which owns the list, compares.
DWORD WINAPI PrinterWatchMain(void* param) {
    auto* w = static_cast<Watcher*>(param);
    do {
        std::vector<LocalPrinter> now = DevicePrinters();
        {
            LibraryLock lock;
            g_devicePrinters = std::move(now);
        }
        PostMessageA(w->service, PNXM_PRINTER_ROWS, 0, 0);
    } while (NextRound(w, kPrinterWatchMs));
    PostMessageA(w->service, PNXM_PRINTER_WATCH_END, 0, 0);
    return 0;
}

}  // namespace

bool StartPrinterWatch(HWND service) { return Start(g_printerWatch, service, PrinterWatchMain); }
void StopPrinterWatch() { Stop(g_printerWatch); }
bool StartProcessWatch(HWND service) { return Start(g_processWatch, service, ProcessWatchMain); }
void StopProcessWatch() { Stop(g_processWatch); }

void TellWatchersToStop() {
    Tell(g_printerWatch);
    Tell(g_processWatch);
}

void ShowPrinterRows(HWND service) {
    HWND list = ChildWindow(service, kIdPrinterList);
    if (!list) return;
    std::vector<LocalPrinter> printers;
    {
        LibraryLock lock;
        printers = g_devicePrinters;
    }
    // The first look fills the list; later ones report what came and went.
    bool report = g_printerWatch.shown;
    g_printerWatch.shown = true;
    ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);  // every row marked
    for (const LocalPrinter& p : printers) {
        if (MatchPrinterRow(service, p.name.c_str(), p.port.c_str())) continue;
        if (AddPrinterRow(service, p.name.c_str(), p.port.c_str(), 0) && report) PostPrinter(service, 1, p.name);
    }
    for (int row = ListView_GetItemCount(list) - 1; row >= 0; --row) {
        if (!(ListView_GetItemState(list, row, LVIS_SELECTED) & LVIS_SELECTED)) continue;
        char name[256] = "";
        ListView_GetItemText(list, row, 0, name, sizeof name);
        if (report) PostPrinter(service, 0, name);
        ListView_DeleteItem(list, row);
    }
}
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
