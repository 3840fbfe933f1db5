// The service's hidden window and the thread that owns it. The window holds the pair table,
// starts the pipe server and the printer watcher, and runs the stop sequence: close, stop
// record, pipe server ends, watcher ends, every listed printer loses its comment, quit.
#pragma once

#include <windows.h>

#include <string>

struct HelperWindowConfig {
    std::string pipeName;  // the helper pipe
    std::string iniPath;   // the message INI with [PRINTER] COMMENT
    std::string logPath;   // the service's log file
};

// The service's own: the helper pipe, and the Pnxmsg.ini and log file beside the program.
HelperWindowConfig DefaultHelperConfig();

// Starts the window thread and waits until its window exists and serves the pipe. False when
// the thread could not start or is running already, or when the pipe cannot be served (the
// thread has ended then, and the last error says why).
bool StartWindowThread(const HelperWindowConfig& config);

// Closes the window and waits up to boundMs for its thread to end. True when it ended (or
// none ran); false when the bound ran out, the thread is then left to the end of the process.
bool StopWindowThread(DWORD boundMs);

// The hidden window while its thread runs, else null.
HWND HelperWindow();
