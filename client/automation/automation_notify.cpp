#include "automation_notify.h"

#include <new>
#include <string>
#include <vector>

#include "device_entry.h"
#include "lib_lock.h"
#include "lib_state.h"
#include "log.h"
#include "notify.h"
#include "pnxscapi.h"

namespace {

struct AutoNotice {
    UINT message;
    DeviceEntry* device;  // held until delivered
    uint16_t kind;
    uint16_t reason;
    const char* text;     // a change record's text, or null for an AutoDeviceList notice
};

void Post(UINT message, DeviceEntry* device, uint16_t kind, uint16_t reason, const char* text = nullptr) {
    HWND service;
    auto* notice = new (std::nothrow) AutoNotice{message, device, kind, reason, text};
    if (!notice) return;
    {
        LibraryLock lock;
        service = g_lib.serviceWindow;
        if (!service || device->removed) {
            delete notice;
            return;
        }
        HoldDeviceEntryLocked(device);
    }
    if (!PostMessageA(service, PNXM_AUTO_NOTIFY, 0, reinterpret_cast<LPARAM>(notice))) {
        LibraryLock lock;
        DropDeviceEntryLocked(device);
        delete notice;
    }
}

}  // namespace

void NotifyAutoDevice(DeviceEntry* device, uint16_t kind, uint16_t reason) { Post(PNXN_DEVICE, device, kind, reason); }

void NotifyApplication(DeviceEntry* device, uint16_t kind) { Post(PNXN_APPLICATION, device, kind, 0); }

void NotifyDeviceChange(DeviceEntry* device, uint16_t reason, const char* text) {
    Post(PNXN_DEVICE, device, PNXET_CHANGE, reason, text);
}

void DeliverAutoNotice(HWND service, LPARAM param) {
    auto* notice = reinterpret_cast<AutoNotice*>(param);
    if (!notice) return;
    std::string name;
    bool alive;
    {
        LibraryLock lock;
        alive = !notice->device->removed;
        if (alive && notice->device->info && notice->device->info->name) name = notice->device->info->name;
    }
    if (alive && notice->text) {
        DeviceChangeRecord record;
        bool filled;
        {
            LibraryLock lock;
            filled = FillChangeRecord(&record, notice->device, notice->kind, notice->reason, notice->text, nullptr);
        }
        if (filled) NotifyDevices(service, &record, 1);
    } else if (alive && notice->message == PNXN_DEVICE) {
        char kindText[64] = "", reasonText[128] = "";
        EventKindText(notice->kind, kindText, sizeof kindText);
        DeviceEventText(notice->kind, notice->reason, reasonText, sizeof reasonText);
        LogLine(service, "  *** (AutoDevice) ***");
        LogLine(service, "  %s", name.c_str());
        LogLine(service, ">> SendMessage(PNXN_DEVICE(AutoDevice) %s, %s) <<", kindText, reasonText);
        std::vector<AutoDeviceItem> items = {{reinterpret_cast<uintptr_t>(notice->device), notice->reason}};
        AutoDeviceList list = {1, items.data()};
        SendClientNotification(PNXN_DEVICE, notice->kind, notice->reason, reinterpret_cast<LPARAM>(&list));
    } else if (alive) {
        SendClientNotification(PNXN_APPLICATION, notice->kind, 0, reinterpret_cast<LPARAM>(notice->device));
    }
    LibraryLock lock;
    DropDeviceEntryLocked(notice->device);
    delete notice;
}
