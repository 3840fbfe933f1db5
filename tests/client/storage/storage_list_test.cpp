// Storage entries from storage-list replies, the storage requests' queue rules, and the choice
// of a drive letter for a share (with a fake network provider).
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "connect_queue.h"
#include "device_test_support.h"
#include "nas_info.h"
#include "net_drives.h"
#include "storage_list.h"
#include "storage_list_parse.h"

namespace {

struct ReplyShare {
    std::string storage, label, share;
    uint8_t flags;
    uint32_t value1 = 0;
};

std::vector<uint8_t> StorageReply(const std::vector<ReplyShare>& shares) {
    std::vector<uint8_t> out = {static_cast<uint8_t>(shares.size())};
    auto text = [&](const std::string& s) {
        out.insert(out.end(), s.begin(), s.end());
        out.push_back(0);
    };
    for (const ReplyShare& s : shares) {  // one storage per share keeps the builder short
        text(s.storage);
        text("");
        out.insert(out.end(), {0x07, 0x81, 0x55, 0x83, 1});
        text(s.label);
        text(s.share);
        for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(s.value1 >> (8 * i)));
        out.insert(out.end(), {0, 0, 0, 0, s.flags});
    }
    return out;
}

class StorageList : public DeviceTest {
protected:
    void Update(const std::vector<ReplyShare>& shares) {
        client.received.clear();
        std::vector<uint8_t> reply = StorageReply(shares);
        UpdateNasList(server->serverWindow, reply.data(), reply.size());
    }
    std::vector<DeviceEntry*> Entries() {
        LibraryLock lock;
        return StorageEntriesLocked(server->serverWindow);
    }
    std::vector<uint16_t> NasKinds() const {
        std::vector<uint16_t> kinds;
        for (const auto& r : client.received) {
            if (r.message == PNXN_NAS) kinds.push_back(r.kind);
        }
        return kinds;
    }
};

TEST_F(StorageList, OnlyMountedSharesGetEntriesAndChangesAreReported) {
    ASSERT_EQ(PnxDefaultNasName(nullptr, L"Network Disk"), 1);
    Update({{"USB1", "", "share1", kShareMounted}, {"USB1", "Old", "share2", 0}});
    ASSERT_EQ(Entries().size(), 1u);  // the unmounted share gets none
    EXPECT_EQ(NasKinds(), std::vector<uint16_t>{PNXET_NEW});
    DeviceEntry* entry = Entries()[0];
    NasInfo info = {};
    ASSERT_EQ(PnxGetNasInfo(nullptr, entry, &info), 1);
    EXPECT_STREQ(info.label, L"Network Disk");
    EXPECT_STREQ(info.shareName, L"share1");
    EXPECT_EQ(info.state, kNasStateMounted);
    EXPECT_EQ(PnxGetDeviceType(nullptr, entry), 1);
    PnxFreeNasInfo(nullptr, &info);
    EXPECT_EQ(info.label, nullptr);

    // The same share unmounted (names match in any case): with no mounted share left the
    // entries first count as gone, then the share's own state 6 is taken, each a change.
    Update({{"usb1", "", "SHARE1", 0}});
    EXPECT_EQ(NasKinds(), (std::vector<uint16_t>{PNXET_CHANGE, PNXET_CHANGE}));
    ASSERT_EQ(PnxGetNasInfo(nullptr, entry, &info), 1);
    EXPECT_EQ(info.state, kNasStateNotMounted);
    PnxFreeNasInfo(nullptr, &info);
    Update({{"USB1", "", "share1", kShareMounted, 9}});
    EXPECT_EQ(NasKinds(), std::vector<uint16_t>{PNXET_CHANGE});

    // Gone from the list: no device (state 4); with remove-missing the entry is deleted.
    Update({{"USB9", "x", "other", 0}});
    ASSERT_EQ(PnxGetNasInfo(nullptr, entry, nullptr), 1);
    EXPECT_EQ(entry->storage->state, kNasStateNoDevice);
    {
        LibraryLock lock;
        server->record->removeMissing = true;
    }
    Update({});
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(NasKinds().back(), PNXET_DELETE);
}

TEST_F(StorageList, ARemoveWaitingForAnEntryTakesNoOtherRequest) {
    Update({{"USB1", "a", "share1", kShareMounted}});
    DeviceEntry* entry = Entries().at(0);
    // No message is dispatched here, so the worker does not start and the requests wait.
    ASSERT_EQ(PnxNasConnectDrive(service, nullptr, entry), 1);
    ASSERT_EQ(PnxNasConnectDrive(service, nullptr, entry), 1);
    ASSERT_EQ(PnxNasSafeRemove(service, nullptr, entry), 1);
    ASSERT_EQ(PnxNasSafeRemove(service, nullptr, entry), 1);
    ASSERT_EQ(PnxNasConnectDrive(service, nullptr, entry), 1);
    std::vector<uint16_t> messages;
    ConnectEnumItem item;
    for (int i = 0; PnxEnumConnect(service, i, &item); ++i) messages.push_back(item.message);
    EXPECT_EQ(messages, (std::vector<uint16_t>{kRequestNasConnect, kRequestNasConnect, kRequestNasRemove}));
    // Deleting the entry drops its waiting requests.
    {
        LibraryLock lock;
        server->record->removeMissing = true;
    }
    Update({});
    EXPECT_FALSE(PnxEnumConnect(service, 1, &item));
    PumpUntil([&] { return !PnxEnumConnect(service, 0, &item); }, 5000);
}

// A network provider and shell of the test's own.
struct FakeDrives {
    static inline std::set<wchar_t> taken;
    static inline std::vector<wchar_t> added, opened;
    static inline std::wstring mappedRemote;
    static inline DWORD refuse = 0;  // error of every add; 0: success
    static void Reset() {
        taken.clear();
        added.clear();
        opened.clear();
        mappedRemote.clear();
        refuse = 0;
    }
    static NetDriveApi Api() {
        return {[](const std::wstring&) { return false; },
                [](const std::wstring& remote) { return remote == mappedRemote ? L'Q' : L'\0'; },
                [](wchar_t letter) { return taken.count(letter) > 0; },
                [](const std::wstring&, wchar_t letter) {
                    if (refuse) return refuse;
                    added.push_back(letter);
                    return static_cast<DWORD>(NO_ERROR);
                },
                [](wchar_t) {}, [](wchar_t letter) { opened.push_back(letter); }};
    }
};

TEST(NetDrives, TheHighestFreeLetterIsMappedAndOpenedAndAKnownMappingOpensNothing) {
    NetDriveApi saved = NetDrives();
    NetDrives() = FakeDrives::Api();
    struct Case {
        std::set<wchar_t> taken;
        std::wstring mapped;
        DWORD refuse;
        DWORD result;
        std::vector<wchar_t> opened;
    } cases[] = {
        {{}, L"", 0, ERROR_SUCCESS, {L'Z'}},
        {{L'Z', L'Y'}, L"", 0, ERROR_SUCCESS, {L'X'}},
        {{}, L"\\\\10.77.0.5\\s", 0, ERROR_SUCCESS, {}},
        {{}, L"", ERROR_BAD_NET_NAME, ERROR_BAD_NET_NAME, {}},
    };
    for (const Case& c : cases) {
        FakeDrives::Reset();
        FakeDrives::taken = c.taken;
        FakeDrives::mappedRemote = c.mapped;
        FakeDrives::refuse = c.refuse;
        EXPECT_EQ(ConnectShare(L"\\\\10.77.0.5\\s", nullptr), c.result);
        EXPECT_EQ(FakeDrives::opened, c.opened);
    }
    FakeDrives::Reset();
    for (wchar_t l = L'C'; l <= L'Z'; ++l) FakeDrives::taken.insert(l);
    EXPECT_EQ(ConnectShare(L"\\\\10.77.0.5\\s", nullptr), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    NetDrives() = saved;
}

}  // namespace
