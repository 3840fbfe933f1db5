// What automation asks of Windows: the running processes, the program associated with a
// document, starting a program, and the spooler's printers, jobs and change notifications.
// Each call passes straight through to Windows; tests put scripted fakes in its place (Wine
// sees only its own processes and gives no printer change notifications).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct RunningProcess {
    DWORD id;
    std::string path;  // full path of its program file
};

struct LocalPrinter {
    std::string name;
    std::string driver;
    std::string port;
};

// What one printer change notification reported.
struct PrinterChange {
    bool jobsChanged = false;   // a job was added or deleted
    bool portChanged = false;
    bool deleted = false;       // the printer was deleted
    bool hasJobCount = false;
    uint32_t jobCount = 0;
};

struct AutomationPlatform {
    std::vector<RunningProcess> (*processes)();
    std::string (*associatedProgram)(const std::string& document);  // empty: none
    // Opens the file with the verb "open" and waits until the program is idle; false with the
    // start error (an instance value below 33) or the wait error.
    bool (*launch)(const std::string& path, DWORD* error, bool* waitFailed);
    std::vector<LocalPrinter> (*localPrinters)();
    HANDLE (*openPrinter)(const std::string& name);
    void (*closePrinter)(HANDLE printer);
    // A waitable change notification for job add/set/delete and printer set/delete with the
    // job-count and port-name fields; INVALID_HANDLE_VALUE when it cannot be set up.
    HANDLE (*watchPrinter)(HANDLE printer);
    void (*unwatchPrinter)(HANDLE notification);
    bool (*readChange)(HANDLE notification, PrinterChange* change);
    uint32_t (*firstJobBytes)(HANDLE printer);  // the size of the printer's first job, 0 none
};

AutomationPlatform& Automation();
const AutomationPlatform& WindowsAutomation();
