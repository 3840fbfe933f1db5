// Test support for server sessions: a registered service window with one server made from a
// search reply, message pumping, and the server's log lines.
#pragma once

#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "device_entry.h"

#include "lib_lock.h"
#include "lib_test_support.h"
#include "log.h"
#include "messages.h"
#include "search_reply_builder.h"
#include "server_entry.h"
#include "server_list.h"

// A device record put into a server window's device list, as the device-list code does.
struct TestDevice {
    DeviceEntry entry = {};
    UsbDeviceInfo info = {};
    std::string name, ports, locations;
};

struct TestDeviceSpec {
    const char* ports = "";
    const char* locations = "";
    uint16_t busy = 0;
    uint16_t action = 0;
    uint16_t status = kDeviceStatusFree;
    uint32_t user = 0;           // network order
    bool blackoutWatch = false;
    const char* name = "Test Device";
};

// A default search reply (defined in server_analysis_test.cpp: GCC 12 misreads the builder's
// growth in some test files when its constructor is inlined there, -Warray-bounds).
ReplyBuilder Reply();

// How long a test waits for an event that must come: far beyond its usual time, since a
// loaded machine can delay a Wine program by seconds; a passing test waits only as long as the
// event takes.
constexpr DWORD kEventWait = 30000;

// Dispatches this thread's messages until `done` holds or `ms` pass; the last value of done().
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    ULONGLONG deadline = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() >= deadline) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    }
    return true;
}

// Takes the posted messages of `window` from the queue without running them.
inline std::vector<MSG> TakePosted(HWND window, UINT message) {
    std::vector<MSG> taken;
    MSG msg;
    while (PeekMessageA(&msg, window, message, message, PM_REMOVE)) taken.push_back(msg);
    return taken;
}

class SessionTest : public RegisteredLibraryTest {
protected:
    void SetUp() override {
        RegisteredLibraryTest::SetUp();
        LogSettings settings = {};
        settings.flags = kLogToDebugger;  // lines reach the windows' list boxes
        LogSetup(service, &settings);
    }
    void TearDown() override {
        ReleaseTestDevices();
        if (IsWindow(service)) PnxUnRegisterNotification(service);
        TakeQuitMessage();
        LogReset();
        ResetLibStateForTests();
    }

    // Test devices are the test's own memory: their rows must go before a server window does,
    // since its destruction frees every entry left in its device list.
    void ReleaseTestDevices() {
        for (TestDevice& d : devices) {
            LibraryLock lock;
            if (!IsWindow(d.entry.serverWindow)) continue;
            int row = DeviceRowLocked(d.entry.serverWindow, &d.entry);
            if (row >= 0) ListView_DeleteItem(ServerDeviceList(d.entry.serverWindow), row);
        }
    }

    // A new server from a reply, without running its analysis (the start message is taken
    // from the queue). Null when the reply was refused.
    ServerEntry* AddServer(const ReplyBuilder& reply, uint16_t rwpPort = 19540) {
        if (!ServerFromReplyAt(service, reply.data(), reply.size(), nullptr, rwpPort)) return nullptr;
        HPnxSv server = nullptr;
        for (int i = 0; PnxEnumServers(service, i, &server); ++i) {
            if (std::memcmp(server->record->info->hardwareAddress, reply.data() + kReplyHardwareOffset, 6) == 0) {
                TakePosted(server->serverWindow, PNXM_ANALYSIS_START);
                return server;
            }
        }
        return nullptr;
    }

    DeviceEntry* AddDevice(ServerEntry* server, const TestDeviceSpec& spec) {
        TestDevice& d = devices.emplace_back();
        d.name = spec.name;
        d.ports = spec.ports;
        d.locations = spec.locations;
        d.info.name = d.name.data();
        d.info.ports = d.ports.data();
        d.info.locations = d.locations.data();
        d.info.status = spec.status;
        d.info.userAddress = spec.user;
        d.entry.serverWindow = server->serverWindow;
        d.entry.busy = spec.busy;
        d.entry.connectAction = spec.action;
        d.entry.blackoutWatch = spec.blackoutWatch ? 1 : 0;
        d.entry.info = &d.info;
        HWND list = ServerDeviceList(server->serverWindow);
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = ListView_GetItemCount(list);
        item.pszText = d.name.data();
        item.lParam = reinterpret_cast<LPARAM>(&d.entry);
        EXPECT_GE(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), 0);
        return &d.entry;
    }

    // The lines logged to a window's list box.
    static std::vector<std::string> LogLines(HWND window) {
        std::vector<std::string> lines;
        HWND box = GetDlgItem(window, kIdLogList);
        int count = box ? static_cast<int>(SendMessageA(box, LB_GETCOUNT, 0, 0)) : 0;
        for (int i = 0; i < count; ++i) {
            char text[1024] = {};
            if (SendMessageA(box, LB_GETTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof text)) {
                SendMessageA(box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            }
            lines.push_back(text);
        }
        return lines;
    }
    static bool Logged(HWND window, const std::string& line) {
        for (const std::string& l : LogLines(window)) {
            if (l == line) return true;
        }
        return false;
    }

    std::vector<TestClientWindow::Received> Notes(UINT message, uint16_t kind) {
        std::vector<TestClientWindow::Received> found;
        for (const auto& r : client.received) {
            if (r.message == message && r.kind == kind) found.push_back(r);
        }
        return found;
    }

    std::deque<TestDevice> devices;  // outlive the windows whose lists hold them
};
