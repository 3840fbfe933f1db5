// The server exports: enumerate the server list, copy a server's information, set its option
// word, and find the server of a device.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "lib_lock.h"
#include "listview_util.h"
#include "pnxscapi.h"
#include "server_devices.h"
#include "server_entry.h"
#include "server_list.h"

namespace {
// Copies a text field, cut to the destination and always terminated: the caller's record may
// hold anything before the call.
template <size_t N>
void CopyTerminated(char (&out)[N], const char (&in)[N]) {
    size_t n = strnlen(in, N - 1);
    std::memcpy(out, in, n);
    out[n] = '\0';
}

// A handle counts only while it is a row of the service window's list: a handle the client
// kept after its server was reported deleted is refused, never followed.
bool ListedServer(HWND service, HPnxSv server) {
    return service && server && ServerEntryListed(service, server);
}
}  // namespace

extern "C" int WINAPI PnxEnumServers(HWND service, int index, HPnxSv* server) {
    if (!server || index < 0) return 0;
    HWND list = ServerListControl(service);
    if (!list) return 0;
    // The rows belong to the GUI thread; no lock is held while asking the list for them.
    if (index >= ListView_GetItemCount(list)) return 0;
    auto* entry = static_cast<ServerEntry*>(ListViewItemData(list, index));
    if (!entry) return 0;
    *server = entry;
    return 1;
}

extern "C" int WINAPI PnxGetServerInfo(HWND service, HPnxSv server, ServerInfo* info) {
    if (!info || !ListedServer(service, server)) return 0;
    LibraryLock lock;
    if (!server->record || !server->record->info) return 0;
    const ServerInfo& from = *server->record->info;
    ServerInfo copy = {};
    copy.ipAddress = from.ipAddress;
    std::memcpy(copy.hardwareAddress, from.hardwareAddress, sizeof copy.hardwareAddress);
    CopyTerminated(copy.hostName, from.hostName);
    CopyTerminated(copy.modelName, from.modelName);
    CopyTerminated(copy.firmwareVersion, from.firmwareVersion);
    copy.rwpLevel = from.rwpLevel;
    copy.functionWordPrevious = from.functionWordPrevious;
    copy.functionWord = from.functionWord;
    copy.statusWordPrevious = from.statusWordPrevious;
    copy.statusWord = from.statusWord;
    copy.optionWordPrevious = from.optionWordPrevious;
    copy.optionWord = from.optionWord;
    uint32_t length = from.extraDataLength < sizeof copy.extraData ? from.extraDataLength : sizeof copy.extraData;
    std::memcpy(copy.extraData, from.extraData, length);
    copy.extraDataLength = length;
    copy.extraDataKind = from.extraDataKind;
    *info = copy;
    return 1;
}

extern "C" int WINAPI PnxSetServerOption(HWND service, HPnxSv server, uint16_t value) {
    if (!ListedServer(service, server)) return 0;
    LibraryLock lock;
    if (!server->record) return 0;
    server->record->callerOption = value;
    return 1;
}

extern "C" HPnxSv WINAPI PnxGetHPnxSv(HWND, HPnxDv device) {
    if (!device) return nullptr;
    return ServerEntryOfWindow(DeviceServerWindow(device));
}
