#include "helper_window.h"

#include <commctrl.h>

#include <atomic>
#include <memory>

#include "helper_context.h"
#include "helper_log.h"
#include "helper_messages.h"
#include "pair_table.h"
#include "pipe_server.h"
#include "printer_comments.h"

namespace {

// The window thread: started and stopped by the service's threads (control handler and main),
// which never run StartWindowThread and StopWindowThread at the same time.
std::atomic<bool> g_windowThreadRunning{false};
qz::Handle g_windowThread;
std::atomic<HWND> g_window{nullptr};

struct WindowThreadStart {
    HelperWindowConfig config;
    qz::Handle ready;  // set once the window exists (or failed)
    HWND window = nullptr;
    DWORD error = ERROR_SUCCESS;  // why the window could not start its work
};

// How long the end of the window thread waits for its workers, which have posted their last
// message already when it runs.
constexpr DWORD kWorkerJoinMs = 6000;

HelperContext* ContextOf(HWND window) {
    return reinterpret_cast<HelperContext*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

HANDLE StartWorker(LPTHREAD_START_ROUTINE body, void* argument) {
    return CreateThread(nullptr, kWorkerStackSize, body, argument, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
}

DWORD WINAPI StopperThread(void* context) {
    auto& helper = *static_cast<HelperContext*>(context);
    // The pipe may be busy with a slow client for up to its time-out; try a few times.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (SendPipeStop(helper.pipeName)) return 0;
    }
    return 1;
}

// A service that cannot own its pipe must not serve beside whoever holds it: the error stops it.
DWORD StartPipeServing(HelperContext& context) {
    DWORD error = CreateHelperPipes(context.pipeName, &context.pipes);
    if (error != ERROR_SUCCESS) {
        HelperLog("The pipe %s cannot be made its own (error %lu), another program may hold it: the service stops.",
                  context.pipeName.c_str(), static_cast<unsigned long>(error));
        return error;
    }
    context.pipeThread.reset(StartWorker(PipeServerThread, &context));
    if (!context.pipeThread) {
        error = GetLastError() ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
        context.pipes.clear();
        HelperLog("The pipe server cannot start (error %lu): the service stops.", static_cast<unsigned long>(error));
        return error;
    }
    context.pipeServerRunning = true;

    context.watchRun.store(true);
    context.watchEvent.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (context.watchEvent) context.watchThread.reset(StartWorker(PrinterWatchThread, &context));
    context.watcherRunning = static_cast<bool>(context.watchThread);
    return ERROR_SUCCESS;
}

// WM_CREATE. ERROR_SUCCESS once the pipe is served; else the error, and the window fails.
DWORD StartPrinterHelper(HWND window, const HelperWindowConfig& config) {
    auto* context = new (std::nothrow) HelperContext;
    if (!context) return ERROR_NOT_ENOUGH_MEMORY;
    context->window = window;
    context->pipeName = config.pipeName;
    context->iniPath = config.iniPath;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(context));
    context->list = CreatePairTable(window);
    if (!context->list) return GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
    return StartPipeServing(*context);
}

void OnWatchEnded(HelperContext& context) {
    context.watcherRunning = false;
    for (const PrinterPair& pair : ReadPairRows(context.list)) {
        RestorePrinterComments(context.iniPath, pair.driver.c_str(), pair.port.c_str());
    }
    PostQuitMessage(0);
}

void OnPipeEnded(HelperContext& context) {
    context.pipeServerRunning = false;
    if (context.watcherRunning) {
        StopPrinterWatch(context);
    } else {
        OnWatchEnded(context);
    }
}

// WM_CLOSE and WM_DESTROY: the stop record ends the pipe server, and the rest follows from its
// end. The record is written from a thread of its own: the pipe server may be waiting on this
// thread (through the list view) while it holds the pipe.
void OnClose(HWND window) {
    HelperContext* context = ContextOf(window);
    if (!context) {
        PostQuitMessage(0);
        return;
    }
    if (context->stopping.exchange(true)) return;
    if (context->pipeServerRunning) {
        context->stopperThread.reset(StartWorker(StopperThread, context));
    } else if (!context->watcherRunning) {
        PostQuitMessage(0);
    }
}

void JoinWorker(qz::Handle& thread) {
    if (thread) WaitForSingleObject(thread.get(), kWorkerJoinMs);
    thread.reset();
}

void OnNcDestroy(HWND window) {
    std::unique_ptr<HelperContext> context(ContextOf(window));
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    if (!context) return;
    JoinWorker(context->stopperThread);
    JoinWorker(context->pipeThread);
    JoinWorker(context->watchThread);
}

LRESULT CALLBACK HelperWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        auto* start = static_cast<WindowThreadStart*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        start->error = StartPrinterHelper(window, start->config);
        return start->error == ERROR_SUCCESS ? 0 : -1;
    }
    case WM_CLOSE:
    case WM_DESTROY:
        OnClose(window);
        return 0;
    case WM_NCDESTROY:
        OnNcDestroy(window);
        break;
    case WM_HELPER_PIPE_ENDED:
        if (HelperContext* context = ContextOf(window)) OnPipeEnded(*context);
        return 0;
    case WM_HELPER_WATCH_ENDED:
        if (HelperContext* context = ContextOf(window)) OnWatchEnded(*context);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterHelperClass(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = HelperWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kHelperWindowClass;
    return RegisterClassA(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

DWORD WINAPI WindowThreadMain(void* param) {
    auto* start = static_cast<WindowThreadStart*>(param);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND window = nullptr;
    if (RegisterHelperClass(instance)) {
        window = CreateWindowExA(0, kHelperWindowClass, kHelperWindowClass, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                 CW_USEDEFAULT, 250, 220, nullptr, nullptr, instance, start);
    }
    start->window = window;
    SetEvent(start->ready.get());  // `start` belongs to the starter from here on
    if (!window) return 1;

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    g_window.store(nullptr);
    DestroyWindow(window);
    return 0;
}

std::string ProgramFolder() {
    char path[MAX_PATH * 2] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return {};
    std::string folder(path, length);
    size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

}  // namespace

HelperWindowConfig DefaultHelperConfig() {
    std::string folder = ProgramFolder();
    return {ServicePipeName(), folder + kMessageIniName, folder + kHelperLogName};
}

bool StartWindowThread(const HelperWindowConfig& config) {
    if (g_windowThreadRunning.load()) return false;
    SetHelperLogFile(config.logPath);
    WindowThreadStart start;
    start.config = config;
    start.ready.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!start.ready) return false;
    qz::Handle thread(CreateThread(nullptr, 0, WindowThreadMain, &start, 0, nullptr));
    if (!thread) return false;
    WaitForSingleObject(start.ready.get(), INFINITE);
    if (!start.window) {
        WaitForSingleObject(thread.get(), INFINITE);
        SetLastError(start.error != ERROR_SUCCESS ? start.error : ERROR_GEN_FAILURE);
        return false;
    }
    g_window.store(start.window);
    g_windowThread = std::move(thread);
    g_windowThreadRunning.store(true);
    return true;
}

bool StopWindowThread(DWORD boundMs) {
    if (!g_windowThreadRunning.exchange(false)) return true;
    HWND window = g_window.load();
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(g_windowThread.get(), boundMs) != WAIT_OBJECT_0) {
        g_windowThread.release();  // still running; the process ends with the service
        return false;
    }
    g_windowThread.reset();
    return true;
}

HWND HelperWindow() { return g_window.load(); }
