// Test support for the library frame: the library attached as loading the DLL would, a
// client window that records the notifications it gets, and temporary folders.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lib_init.h"
#include "lib_state.h"
#include "pnxscapi.h"

// Runs the library's process attach once for the test program.
inline void EnsureLibraryAttached() {
    static const bool attached = [] {
        LibraryAttach(GetModuleHandleA(nullptr));
        return true;
    }();
    (void)attached;
}

// Removes a WM_QUIT left in this thread's queue; true when there was one, with its code.
inline bool TakeQuitMessage(WPARAM* code = nullptr) {
    MSG msg;
    bool found = false;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        found = true;
        if (code) *code = msg.wParam;
    }
    return found;
}

// A hidden top-level window that records every PNXN_ message sent to it.
class TestClientWindow {
public:
    struct Received {
        UINT message;
        uint16_t kind;
        uint16_t flags;
        LPARAM lParam;
    };

    TestClientWindow() {
        static const ATOM atom = [] {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "QZ.TEST.CLIENT";
            return RegisterClassA(&wc);
        }();
        (void)atom;
        window_ = CreateWindowExA(0, "QZ.TEST.CLIENT", "test client", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TestClientWindow() {
        if (window_ && IsWindow(window_)) DestroyWindow(window_);
    }
    TestClientWindow(const TestClientWindow&) = delete;
    TestClientWindow& operator=(const TestClientWindow&) = delete;

    HWND get() const { return window_; }
    void Destroy() {
        DestroyWindow(window_);
        window_ = nullptr;
    }
    std::vector<Received> received;
    // Runs inside each notification after it is recorded: a handler that calls back.
    std::function<void(UINT message, const NotifyEvent* event, LPARAM lParam)> onNotify;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message >= kPnxnFirst && message <= kPnxnLast) {
            auto* self = reinterpret_cast<TestClientWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
            auto* event = reinterpret_cast<const NotifyEvent*>(wParam);
            if (self) {
                self->received.push_back({message, event ? event->kind : uint16_t{0}, event ? event->flags : uint16_t{0},
                                          lParam});
                if (self->onNotify) self->onNotify(message, event, lParam);
            }
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
};

// A fresh folder under the temporary folder, removed with its files at the end.
class TempFolder {
public:
    TempFolder() {
        char base[MAX_PATH] = {};
        GetTempPathA(sizeof base, base);
        path_ = std::string(base) + "qz_frame_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(GetTickCount64());
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((path_ + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(find, &found));
            FindClose(find);
        }
        RemoveDirectoryA(path_.c_str());
    }
    const std::string& path() const { return path_; }
    std::string File(const char* name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// The folder of the test program, with a trailing backslash.
inline std::string ProgramDirectory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1);
}

// A fixture with the library initialised and a client window registered: `service` is the
// service window. Derived fixtures extend SetUp/TearDown and call these first/last.
class RegisteredLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureLibraryAttached();
        OneTimeInitialize();
        ResetLibStateForTests();
        service = PnxRegisterNotification(client.get(), nullptr);
        ASSERT_NE(service, nullptr);
    }
    void TearDown() override {
        if (IsWindow(service)) PnxUnRegisterNotification(service);
        TakeQuitMessage();
        ResetLibStateForTests();
    }

    TestClientWindow client;
    HWND service = nullptr;
};
