#include "automation_threads.h"

#include <algorithm>
#include <new>
#include <vector>

#include "lib_lock.h"
#include "lib_stop.h"
#include "system_util.h"

namespace {

constexpr DWORD kLookAgainMs = 50;

struct Launch {
    LPTHREAD_START_ROUTINE main;
    void* context;
    HMODULE module;  // the thread's reference to the library, or null
};

struct Running {
    DWORD id;
    AutomationThreadStop stop;  // null once the thread has let go of its context
    void* context;
};

std::vector<Running> g_running;  // library lock

// The thread's frame: once the thread's own code has returned it is no longer counted, and it
// leaves through FreeLibraryAndExitThread, so that the library's code stays mapped until the
// thread is out of it.
DWORD WINAPI AutomationThreadMain(void* param) {
    Launch launch = *static_cast<Launch*>(param);
    delete static_cast<Launch*>(param);
    DWORD rc = launch.main(launch.context);
    {
        LibraryLock lock;
        DWORD self = GetCurrentThreadId();
        for (size_t i = 0; i < g_running.size(); ++i) {
            if (g_running[i].id != self) continue;
            g_running.erase(g_running.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    if (launch.module) FreeLibraryAndExitThread(launch.module, rc);
    return rc;
}

}  // namespace

HANDLE StartAutomationThread(LPTHREAD_START_ROUTINE main, void* context, AutomationThreadStop stop) {
    auto* launch = new (std::nothrow) Launch{main, context, nullptr};
    if (!launch) return nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&AutomationThreadMain), &launch->module)) {
        launch->module = nullptr;
    }
    LibraryLock lock;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, kLibraryThreadStack, AutomationThreadMain, launch,
                                 CREATE_SUSPENDED | STACK_SIZE_PARAM_IS_A_RESERVATION, &id);
    if (!thread) {
        if (launch->module) FreeLibrary(launch->module);
        delete launch;
        return nullptr;
    }
    g_running.push_back({id, stop, context});
    return thread;
}

void AutomationThreadLeaving() {
    LibraryLock lock;
    DWORD self = GetCurrentThreadId();
    for (Running& r : g_running) {
        if (r.id == self) r.stop = nullptr;
    }
}

bool WaitAutomationThreads(DWORD ms) {
    ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
        {
            LibraryLock lock;
            if (g_running.empty()) return true;
            // Told again on every round: a thread started meanwhile hears it too.
            for (const Running& r : g_running) {
                if (r.stop) r.stop(r.context);
            }
        }
        ULONGLONG now = GetTickCount64();
        if (ms != INFINITE && now >= deadline) return false;
        ServeSentMessages(ms == INFINITE ? kLookAgainMs : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, kLookAgainMs)));
    }
}
