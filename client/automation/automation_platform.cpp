#include "automation_platform.h"

#include <psapi.h>
#include <shellapi.h>
#include <winspool.h>

#include "printer_list.h"

namespace {

// The image path is asked of the system, never read out of the process: reading another
// process's memory needs more access than a user has to every process, fails across bitness
// (the 32-bit library would not see 64-bit programs) and, under Wine, stops the process being
// read for each read, a poll every few seconds stopping every program of the session.
std::vector<RunningProcess> Processes() {
    std::vector<RunningProcess> found;
    std::vector<DWORD> ids(65535);
    DWORD bytes = 0;
    if (!EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return found;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]);
        if (!process) continue;
        char path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (QueryFullProcessImageNameA(process, 0, path, &size)) found.push_back({ids[i], path});
        CloseHandle(process);
    }
    return found;
}

std::string AssociatedProgram(const std::string& document) {
    char program[MAX_PATH] = {};
    auto rc = reinterpret_cast<INT_PTR>(FindExecutableA(document.c_str(), nullptr, program));
    return rc > 32 ? std::string(program) : std::string();
}

bool Launch(const std::string& path, DWORD* error, bool* waitFailed) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    *waitFailed = false;
    if (!ShellExecuteExA(&info) || reinterpret_cast<INT_PTR>(info.hInstApp) < 33) {
        *error = static_cast<DWORD>(reinterpret_cast<INT_PTR>(info.hInstApp));
        return false;
    }
    if (info.hProcess) {
        DWORD rc = WaitForInputIdle(info.hProcess, INFINITE);
        if (rc == WAIT_FAILED) {
            *error = GetLastError();
            *waitFailed = true;
        }
        CloseHandle(info.hProcess);
    }
    return !*waitFailed;
}

std::vector<LocalPrinter> LocalPrinters() {
    std::vector<LocalPrinter> printers;
    DWORD count = 0;
    qz::HeapBlock block = EnumLocalPrinters(2, &count);
    auto* info = static_cast<const PRINTER_INFO_2A*>(block.get());
    for (DWORD i = 0; info && i < count; ++i) {
        printers.push_back({info[i].pPrinterName ? info[i].pPrinterName : "", info[i].pDriverName ? info[i].pDriverName : "",
                            info[i].pPortName ? info[i].pPortName : ""});
    }
    return printers;
}

HANDLE OpenPrinterByName(const std::string& name) {
    HANDLE printer = nullptr;
    return OpenPrinterA(const_cast<char*>(name.c_str()), &printer, nullptr) ? printer : nullptr;
}

void ClosePrinterHandle(HANDLE printer) {
    if (printer) ClosePrinter(printer);
}

HANDLE WatchPrinter(HANDLE printer) {
    WORD jobFields[] = {JOB_NOTIFY_FIELD_TOTAL_BYTES};
    WORD printerFields[] = {PRINTER_NOTIFY_FIELD_CJOBS, PRINTER_NOTIFY_FIELD_PORT_NAME};
    PRINTER_NOTIFY_OPTIONS_TYPE types[2] = {{PRINTER_NOTIFY_TYPE, 0, 0, 0, 2, printerFields},
                                            {JOB_NOTIFY_TYPE, 0, 0, 0, 1, jobFields}};
    PRINTER_NOTIFY_OPTIONS options = {2, 0, 2, types};
    DWORD filter = PRINTER_CHANGE_ADD_JOB | PRINTER_CHANGE_SET_JOB | PRINTER_CHANGE_DELETE_JOB |
                   PRINTER_CHANGE_SET_PRINTER | PRINTER_CHANGE_DELETE_PRINTER;
    return FindFirstPrinterChangeNotification(printer, filter, 0, &options);
}

void UnwatchPrinter(HANDLE notification) {
    if (notification && notification != INVALID_HANDLE_VALUE) FindClosePrinterChangeNotification(notification);
}

bool ReadChange(HANDLE notification, PrinterChange* change) {
    DWORD what = 0;
    PRINTER_NOTIFY_INFO* info = nullptr;
    if (!FindNextPrinterChangeNotification(notification, &what, nullptr, reinterpret_cast<void**>(&info))) return false;
    change->deleted = (what & PRINTER_CHANGE_DELETE_PRINTER) != 0;
    change->jobsChanged = (what & (PRINTER_CHANGE_ADD_JOB | PRINTER_CHANGE_DELETE_JOB)) != 0;
    for (DWORD i = 0; info && i < info->Count; ++i) {
        const PRINTER_NOTIFY_INFO_DATA& d = info->aData[i];
        if (d.Type == PRINTER_NOTIFY_TYPE && d.Field == PRINTER_NOTIFY_FIELD_PORT_NAME) change->portChanged = true;
        if (d.Type == PRINTER_NOTIFY_TYPE && d.Field == PRINTER_NOTIFY_FIELD_CJOBS) {
            change->hasJobCount = true;
            change->jobCount = d.NotifyData.adwData[0];
        }
    }
    if (info) FreePrinterNotifyInfo(info);
    return true;
}

uint32_t FirstJobBytes(HANDLE printer) {
    DWORD needed = 0, count = 0;
    EnumJobsA(printer, 0, 1, 2, nullptr, 0, &needed, &count);
    if (!needed) return 0;
    std::vector<BYTE> block(needed);
    if (!EnumJobsA(printer, 0, 1, 2, block.data(), needed, &needed, &count) || count == 0) return 0;
    return reinterpret_cast<const JOB_INFO_2A*>(block.data())->Size;
}

const AutomationPlatform kWindows = {Processes,    AssociatedProgram, Launch,       LocalPrinters,
                                     OpenPrinterByName, ClosePrinterHandle, WatchPrinter, UnwatchPrinter,
                                     ReadChange,   FirstJobBytes};
AutomationPlatform g_platform = kWindows;

}  // namespace

AutomationPlatform& Automation() { return g_platform; }
const AutomationPlatform& WindowsAutomation() { return kWindows; }
