#include "monitor_channel.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_rwp_peer.h"
#include "messages.h"

using qztest::Bytes;
using qztest::FakeRwpPeer;
using qztest::RwpRequest;

namespace {

constexpr const char* kOwnerClass = "QZ.TEST.MONITOR.OWNER";

struct Posted {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class MonitorChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        HINSTANCE instance = GetModuleHandleA(nullptr);
        ASSERT_TRUE(RegisterMonitorWindowClass(instance, 65536));
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = instance;
        wc.lpszClassName = kOwnerClass;
        RegisterClassA(&wc);
        owner_ = CreateWindowExA(0, kOwnerClass, "owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                 nullptr, instance, nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(owner_);
        WSACleanup();
    }

    // Pumps this thread's messages until the owner is posted `message`, or time runs out.
    Posted WaitForOwner(UINT message, DWORD milliseconds = 3000) {
        ULONGLONG deadline = GetTickCount64() + milliseconds;
        MSG msg;
        while (GetTickCount64() < deadline) {
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == owner_ && msg.message == message)
                    return {msg.message, msg.wParam, msg.lParam};
                DispatchMessageA(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return {};
    }

    HWND Open(const FakeRwpPeer& peer) {
        return CreateMonitorChannel(owner_, AddressRecord::Ipv4(INADDR_LOOPBACK, peer.Port()),
                                    "SYSTEM", SW_HIDE);
    }

    static std::string Title(HWND window) {
        char text[2048] = {};
        GetWindowTextA(window, text, sizeof(text));
        return text;
    }

    HWND owner_ = nullptr;
};

}  // namespace

TEST_F(MonitorChannelTest, DeviceListArrivesAsOneMessageWithTheBuffer) {
    Bytes body = qztest::Pattern(1300);
    body[0] = 0x02;
    body[40] = 0;  // the title ends at the first zero byte
    FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
        return qztest::HonestAnswer(request, body);
    });
    HWND channel = Open(peer);
    ASSERT_NE(channel, nullptr);
    ASSERT_EQ(MonitorSendDeviceList(channel, DeviceListKind::Basic), 1);

    Posted posted = WaitForOwner(PNXM_MONITOR_DEVICE_LIST);
    ASSERT_EQ(posted.message, PNXM_MONITOR_DEVICE_LIST);
    EXPECT_EQ(reinterpret_cast<HWND>(posted.wParam), channel);
    ASSERT_EQ(MonitorReceivedLength(channel), 1300u);
    const uint8_t* buffer = reinterpret_cast<const uint8_t*>(posted.lParam);
    EXPECT_EQ(Bytes(buffer, buffer + 1300), body);
    EXPECT_EQ(Title(channel), std::string(body.begin() + 1, body.begin() + 40));

    std::vector<std::string> conversation;
    for (const RwpRequest& r : peer.Requests())
        conversation.push_back(r.command + " " + std::to_string(r.type) + "@" +
                               std::to_string(r.offset) + "/" + std::to_string(r.size));
    EXPECT_EQ(conversation, (std::vector<std::string>{
                                "GET USB_DEVICE_LIST 1@0/88", "GET USB_DEVICE_LIST 2@512/88",
                                "GET USB_DEVICE_LIST 2@1024/88", "GET USB_DEVICE_LIST 3@1300/88"}));
    CloseMonitorChannel(channel);
    EXPECT_FALSE(IsWindowVisible(channel));
    EXPECT_EQ(MonitorSendDeviceList(channel, DeviceListKind::Ex), 0);
    EXPECT_EQ(MonitorReceivedLength(channel), 0u);
}

TEST_F(MonitorChannelTest, StorageNameAndTitlesStayInsideTheReply) {
    Bytes reply;
    FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
        return qztest::HonestAnswer(request, reply);
    });
    HWND channel = Open(peer);
    ASSERT_NE(channel, nullptr);

    reply = {0x01, 'N', 'A', 'S', '-', '1', 0, 'x', 'y'};
    ASSERT_EQ(MonitorSendStorageList(channel), 1);
    ASSERT_EQ(WaitForOwner(PNXM_MONITOR_STORAGE_LIST).message, PNXM_MONITOR_STORAGE_LIST);
    EXPECT_STREQ(MonitorChannelName(channel), "NAS-1");
    EXPECT_EQ(Title(channel), "NAS-1");

    // No terminator anywhere: the name keeps 127 characters and is terminated.
    reply.assign(300, 'Q');
    ASSERT_EQ(MonitorSendStorageList(channel), 1);
    ASSERT_EQ(WaitForOwner(PNXM_MONITOR_STORAGE_LIST).message, PNXM_MONITOR_STORAGE_LIST);
    EXPECT_EQ(std::string(MonitorChannelName(channel)), std::string(127, 'Q'));

    // Too short to hold any text at all.
    reply = {0x07};
    ASSERT_EQ(MonitorSendDeviceList(channel, DeviceListKind::ExII), 1);
    ASSERT_EQ(WaitForOwner(PNXM_MONITOR_DEVICE_LIST_EX_II).message, PNXM_MONITOR_DEVICE_LIST_EX_II);
    EXPECT_EQ(MonitorReceivedLength(channel), 1u);
    EXPECT_EQ(Title(channel), "");
    CloseMonitorChannel(channel);
}

TEST_F(MonitorChannelTest, RepeatedEndReplyIsPostedOnce) {
    const Bytes body = qztest::Pattern(100);
    FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
        std::vector<Bytes> replies = qztest::HonestAnswer(request, body);
        if (request.type == 3) replies.push_back(replies.front());
        return replies;
    });
    HWND channel = Open(peer);
    ASSERT_NE(channel, nullptr);
    ASSERT_EQ(MonitorSendDeviceList(channel, DeviceListKind::Ex), 1);
    ASSERT_EQ(WaitForOwner(PNXM_MONITOR_DEVICE_LIST_EX).message, PNXM_MONITOR_DEVICE_LIST_EX);
    EXPECT_EQ(WaitForOwner(PNXM_MONITOR_DEVICE_LIST_EX, 300).message, 0u);
    CloseMonitorChannel(channel);
}

// A closed channel's window comes back for the owner's next channel, titled anew, but only once
// the messages posted before the close are past: until then a new window is made.
TEST_F(MonitorChannelTest, ClosedChannelWindowServesTheNextChannelAfterItsNotices) {
    const Bytes body = {0x02, 'L', 'I', 'S', 'T', 0};
    FakeRwpPeer peer([&](const RwpRequest& request, size_t) {
        return qztest::HonestAnswer(request, body);
    });
    HWND first = Open(peer);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(MonitorSendDeviceList(first, DeviceListKind::Basic), 1);
    ASSERT_EQ(WaitForOwner(PNXM_MONITOR_DEVICE_LIST).message, PNXM_MONITOR_DEVICE_LIST);
    EXPECT_EQ(Title(first), "LIST");
    CloseMonitorChannel(first);
    HWND second = Open(peer);
    EXPECT_NE(second, first);
    EXPECT_EQ(MonitorReceivedLength(first), 0u);
    WaitForOwner(0, 200);  // lets the closed window's posted notice come back

    CloseMonitorChannel(second);
    HWND third = Open(peer);
    EXPECT_EQ(third, first);
    EXPECT_EQ(Title(third), "SYSTEM");
    EXPECT_FALSE(IsWindowVisible(third));
    EXPECT_EQ(MonitorReceivedLength(third), 0u);
    ASSERT_EQ(MonitorSendDeviceList(third, DeviceListKind::Basic), 1);
    Posted posted = WaitForOwner(PNXM_MONITOR_DEVICE_LIST);
    EXPECT_EQ(reinterpret_cast<HWND>(posted.wParam), third);
    EXPECT_EQ(MonitorReceivedLength(third), body.size());
    CloseMonitorChannel(third);
}
