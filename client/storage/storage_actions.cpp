#include "storage_actions.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "address_record.h"
#include "connect_queue.h"
#include "connect_result.h"
#include "device_entry.h"
#include "lib_lock.h"
#include "lib_stop.h"
#include "log.h"
#include "nas_info.h"
#include "net_drives.h"
#include "rwp_commands.h"
#include "rwp_exchange.h"
#include "server_analysis.h"
#include "server_entry.h"
#include "storage_list.h"
#include "storage_list_parse.h"

namespace {

constexpr size_t kStorageReplySize = 65536;
constexpr uint16_t kStorageResultAction = 1;
constexpr DWORD kAfterOpenMs = 100;

// What the worker needs of a storage entry and its server, copied under the lock.
struct StorageTarget {
    HWND serverWindow = nullptr;
    uint32_t serverAddress = 0;
    uint8_t hardwareAddress[6] = {};
    uint16_t rwpPort = 0;
    NasInfo info = {};          // its strings are not copied: see name/share
    std::wstring share;
};

bool Snapshot(DeviceEntry* entry, StorageTarget* t) {
    LibraryLock lock;
    if (entry->removed || !entry->storage) return false;
    ServerEntry* server = ServerEntryOfWindow(entry->serverWindow);
    if (!server || !server->record || !server->record->info || server->record->closing) return false;
    t->serverWindow = entry->serverWindow;
    t->serverAddress = server->record->info->ipAddress;
    memcpy(t->hardwareAddress, server->record->info->hardwareAddress, 6);
    t->rwpPort = server->record->rwpPort;
    t->info = *entry->storage;
    t->info.label = t->info.shareName = nullptr;
    t->share = entry->storage->shareName ? entry->storage->shareName : L"";
    return true;
}

std::string Narrow(const std::wstring& text) {
    char out[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out, sizeof(out) - 1, nullptr, nullptr);
    return out;
}

bool FetchShares(const StorageTarget& t, std::vector<StorageShare>* shares) {
    auto reply = std::make_unique<uint8_t[]>(kStorageReplySize);
    int length = RwpBlockingRequest(t.serverAddress, RwpCommandText(kRwpStorageList), reply.get(), kStorageReplySize,
                                    kStoragePort);
    if (length < 0) return false;
    *shares = ParseStorageList(reply.get(), static_cast<size_t>(length));
    return true;
}

LRESULT Send(const ConnectRequest& request, uint16_t phase, uint16_t result) {
    ConnectRequest shown = request;
    if (phase == kPhaseResult) shown.action = kStorageResultAction;
    return SendPhase(shown, phase, result);
}

// The last status check: the entry's state from the server's list now; 0 when the list lacks
// it. False when the server gave no list.
bool LastStatusCheck(DeviceEntry* entry, const StorageTarget& t, uint16_t* state) {
    LogLine(t.serverWindow, "### Last Status Check : Start ###");
    std::vector<StorageShare> shares;
    bool answered = FetchShares(t, &shares);
    {
        LibraryLock lock;
        if (answered && !entry->removed && entry->storage) {
            uint16_t found = kNasStateAsking;
            for (const StorageShare& s : shares) {
                if (ShareMatches(*entry->storage, s)) found = s.State();
            }
            entry->storage->previousState = entry->storage->state;
            entry->storage->state = found;
        }
        *state = entry->storage ? entry->storage->state : 0;
    }
    LogLine(t.serverWindow, "### Last Status Check : End ###");
    return answered;
}

bool AllUnmounted(const std::vector<StorageShare>& shares, const std::string& storageName) {
    for (const StorageShare& s : shares) {
        if (_stricmp(s.storageName.c_str(), storageName.c_str()) == 0 && s.State() != kNasStateNotMounted) return false;
    }
    return true;
}

bool SafeRemove(const StorageTarget& t) {
    HWND log = t.serverWindow;
    std::string name = Narrow(t.info.name);
    LogLine(log, "### NAS Remove Start. ###");
    LogLine(log, "  Storage Port: %ls", t.info.name);
    // The removal may take the server a while: this command alone waits longer for its answer
    // than the exchanges' time-out, which stays as it is for everyone else. The log tells the
    // change when there is one.
    const unsigned usual = RwpTimeout();
    const unsigned removal = kNasRemoveTimeoutMs;
    const bool longer = usual != removal;
    if (longer) LogLine(log, "  <<< Timer Change : %u -> %u >>>", usual, removal);
    uint8_t prefix[12] = {1, 6};
    memcpy(prefix + 2, t.hardwareAddress, 6);
    AddressRecord server = AddressRecord::Ipv4Net(t.serverAddress, t.rwpPort);
    int answer = RwpCommandExchange(server, kRwpSafeRemove, prefix, name.c_str(), name.size() + 1, kNasRemoveTimeoutMs);
    bool ok = answer == kRwpAnswerOk;
    LogLine(log, ok ? "  <<< NAS Command : OK >>>" : "  <<< NAS Command : NG >>>");
    if (longer) LogLine(log, "  <<< Timer Change : %u -> %u >>>", removal, usual);
    LogLine(log, "### NAS Remove Finish. ###");
    if (!ok) return false;
    ULONGLONG deadline = GetTickCount64() + g_nasUnmountWaitMs;
    for (;;) {
        std::vector<StorageShare> shares;
        if (!FetchShares(t, &shares) || shares.empty()) break;
        if (AllUnmounted(shares, name)) {
            LogLine(log, "  <<< Unmounted : OK >>>");
            break;
        }
        if (GetTickCount64() >= deadline) {
            LogLine(log, "  <<< Timeout >>>");
            break;
        }
        // The library going away ends the poll; the command itself went through.
        if (SleepOrStop(kNasUnmountPollMs)) break;
    }
    LogLine(log, "*** Check the NAS Device Status(End) ****");
    return true;
}

// "\\<server address>\<share>" mapped and opened; 0 on success (or already mapped), else 6.
uint16_t OpenShare(const StorageTarget& t) {
    char address[16];
    const auto* b = reinterpret_cast<const uint8_t*>(&t.serverAddress);
    snprintf(address, sizeof address, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    wchar_t remote[600];
    swprintf(remote, 600, L"\\\\%hs\\%ls", address, t.share.c_str());
    DWORD rc = ConnectShare(remote, nullptr);
    Sleep(kAfterOpenMs);
    // A share that could not be mapped is no success, whatever the server said of it.
    return rc == ERROR_SUCCESS ? kResultSuccess : kResultFailed;
}

uint16_t StorageAction(const ConnectRequest& request, const StorageTarget& t) {
    uint16_t state = 0;
    bool answered = LastStatusCheck(request.device, t, &state);
    char fallback[16];
    uint16_t code;
    if (state == kNasStateMounted && answered) {
        if (request.message == kRequestNasConnect) {
            code = OpenShare(t);
        } else {
            code = SafeRemove(t) ? kResultSuccess : kResultUsedForYou;
        }
    } else {
        code = state == kNasStateMounted ? kResultServerNotFound : kResultDeviceNotFound;
    }
    std::string share = Narrow(t.share);
    if (code == kResultSuccess) LogLine(LogServiceWindow(), ">> SendMessage(Connect/Disconnect OK!! - %s) <<", share.c_str());
    else LogLine(LogServiceWindow(), ">> SendMessage(%s - %s) <<", share.c_str(), ConnectResultText(code, fallback, sizeof fallback));
    Send(request, kPhaseResult, code);
    return kPhaseEnd;
}

}  // namespace

void RunStorageRequest(const ConnectRequest& request) {
    StorageTarget t;
    if (!Snapshot(request.device, &t)) return;
    std::string share = Narrow(t.share);
    uint16_t step = kPhaseStart;
    while (step != 0) {
        if (!Snapshot(request.device, &t)) return;
        switch (step) {
        case kPhaseStart: {
            char fallback[16];
            const char* action = ActionText(request.action, fallback, sizeof fallback);
            LogLine(LogServiceWindow(), ">> SendMessage(Start - %s: Action %s) <<", share.c_str(), action);
            LogLine(t.serverWindow, ">> SendMessage(Start - %s: Action %s) <<", share.c_str(), action);
            step = Send(request, kPhaseStart, 0) ? kPhasePermit : kPhaseEnd;
            break;
        }
        case kPhasePermit:
            LogLine(LogServiceWindow(), ">> SendMessage(Permit - %s) <<", share.c_str());
            step = Send(request, kPhasePermit, 0) ? kPhaseResult : kPhaseEnd;
            break;
        case kPhaseResult:
            step = StorageAction(request, t);
            break;
        default:
            LogLine(LogServiceWindow(), ">> SendMessage(End - %s) <<", share.c_str());
            Send(request, kPhaseEnd, 0);
            step = 0;
            break;
        }
    }
}
