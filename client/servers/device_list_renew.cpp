#include "device_list_renew.h"

#include <memory>
#include <new>

#include "device_list_reply.h"
#include "lib_lock.h"
#include "log.h"
#include "messages.h"
#include "rwp_commands.h"
#include "rwp_exchange.h"
#include "server_session.h"

namespace {
constexpr size_t kDeviceListReplySize = 65536;
constexpr int kErrorNoReply = 5;
constexpr int kStatusUpdateNetworkError = 0;
}  // namespace

const char* DeviceListCommand(uint16_t rwpLevel) {
    if (rwpLevel == 3) return RwpCommandText(kRwpUsbDeviceListEx);
    if (rwpLevel >= 4) return RwpCommandText(kRwpUsbDeviceListExII);
    return RwpCommandText(kRwpUsbDeviceList);
}

UINT DeviceListReplyMessage(uint16_t rwpLevel) {
    if (rwpLevel == 3) return PNXM_MONITOR_DEVICE_LIST_EX;
    if (rwpLevel >= 4) return PNXM_MONITOR_DEVICE_LIST_EX_II;
    return PNXM_MONITOR_DEVICE_LIST;
}

bool RenewDeviceListNow(HWND service, ServerEntry* entry) {
    LogLine(service, "*** Synchronous type Renew ***");
    uint32_t address;
    uint16_t port;
    uint16_t level;
    HWND serverWindow;
    {
        LibraryLock lock;
        if (!entry || !entry->record || !entry->record->info) return false;
        address = entry->record->info->ipAddress;
        port = entry->record->rwpPort;
        level = entry->record->info->rwpLevel;
        serverWindow = entry->serverWindow;
    }
    std::unique_ptr<uint8_t[]> reply(new (std::nothrow) uint8_t[kDeviceListReplySize]);
    int length = reply ? RwpBlockingRequest(address, DeviceListCommand(level), reply.get(), kDeviceListReplySize, port)
                       : -1;
    if (length < 0) {
        MarkServerDevicesError(entry, kErrorNoReply);
        ApplyServerStatusUpdate(serverWindow, kStatusUpdateNetworkError, true);
        return false;
    }
    TakeDeviceListReply(entry, DeviceListReplyMessage(level), reply.get(), static_cast<size_t>(length));
    return true;
}

void TakeDeviceListReply(ServerEntry* entry, UINT replyMessage, const uint8_t* reply, size_t length) {
    HWND serverWindow;
    {
        LibraryLock lock;
        if (!entry) return;
        serverWindow = entry->serverWindow;
    }
    if (serverWindow) HandleDeviceListReply(serverWindow, replyMessage, reply, length);
}
