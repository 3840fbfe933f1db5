// What the hidden window shares with its pipe server and printer watcher threads.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "win_handles.h"

struct HelperContext {
    HWND window = nullptr;
    HWND list = nullptr;  // the pair table
    std::string pipeName;
    std::string iniPath;

    // Every instance of the pipe. Owned by the pipe server thread while it runs; it closes them
    // when it ends.
    std::vector<qz::FileHandle> pipes;
    // Pipe server thread only: the refusal of a record for a full pair table has been logged
    // (once until the table has room again).
    bool tableFullLogged = false;
    // Wakes the watcher (auto reset).
    qz::Handle watchEvent;
    // Written by the window thread, read by the watcher.
    std::atomic<bool> watchRun{false};
    // Set by the window thread once the service is stopping: only then does the pipe server
    // honour a stop record.
    std::atomic<bool> stopping{false};

    // Window thread only.
    qz::Handle pipeThread;
    qz::Handle watchThread;
    qz::Handle stopperThread;
    bool pipeServerRunning = false;
    bool watcherRunning = false;
};
