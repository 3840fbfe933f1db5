// Test support for device entries: a session test whose server gets real device entries
// made from reply records, as the device-list update makes them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "device_entry.h"
#include "device_heap.h"
#include "device_reply_builder.h"
#include "lib_lock.h"
#include "session_test_support.h"

class DeviceTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        blocksBefore = DeviceHeapBlocksInUse();
        server = AddServer(Reply());
        ASSERT_NE(server, nullptr);
    }
    void TearDown() override {
        if (server && server->serverWindow) {
            LibraryLock lock;
            for (DeviceEntry* device : DeviceEntriesLocked(server->serverWindow)) {
                if (!IsTestDevice(device)) DeleteDeviceRowLocked(server->serverWindow, device);
            }
        }
        SessionTest::TearDown();
        g_lib.location[0] = '\0';
    }

    // A listed entry made from one reply entry.
    DeviceEntry* Create(const ReplyDevice& d, DeviceListForm form = DeviceListForm::ExII) {
        DeviceReply reply(form);
        reply.Add(d);
        ParsedDeviceList parsed = ParseUsbDeviceList(reply.bytes().data(), reply.bytes().size(), form, {});
        if (parsed.size() != 1) return nullptr;
        LibraryLock lock;
        return CreateDeviceEntryLocked(server->serverWindow, *server->record->info, parsed[0]);
    }

    static ReplyDevice Named(const char* name, const char* location = "1-1") {
        ReplyDevice d;
        d.name = name;
        d.location = location;
        return d;
    }

    void UseStore(const std::string& location) {
        std::snprintf(g_lib.location, sizeof g_lib.location, "%s", location.c_str());
    }

    bool IsTestDevice(const DeviceEntry* device) const {
        for (const TestDevice& d : devices) {
            if (&d.entry == device) return true;
        }
        return false;
    }

    ServerEntry* server = nullptr;
    long blocksBefore = 0;
};
