#include "pipe_server.h"

#include <cstring>

#include "helper_context.h"
#include "helper_log.h"
#include "helper_messages.h"
#include "pair_table.h"
#include "pipe_security.h"
#include "printer_comments.h"

namespace {

constexpr DWORD kRecordSize = sizeof(HelperPipeRecord);

// The client side's flags: the server end may identify the service, never act as it.
constexpr DWORD kClientQos = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

enum class Outcome { Continue, End };

// One instance of the pipe and the call under way on it. Every call is overlapped, so that a
// client that sends slowly or nothing holds only its own instance, and only until its deadline.
struct PipeInstance {
    enum class State {
        Listen,      // a connect is to be started
        Connecting,  // the connect is under way
        Client,      // a client is connected: a read of the rest of its record is to be started
        Reading,     // the read is under way
    };
    HANDLE pipe = INVALID_HANDLE_VALUE;  // owned by the context
    qz::Handle event;                    // manual reset; set when the call under way is done
    OVERLAPPED overlapped = {};
    State state = State::Listen;
    ULONGLONG deadline = 0;  // when the connected client is dropped
    DWORD received = 0;
    uint8_t record[kRecordSize] = {};
};

DWORD LastErrorOr(DWORD fallback) {
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

qz::FileHandle CreateInstance(const std::string& name, bool first) {
    DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | WRITE_DAC | WRITE_OWNER;
    if (first) openMode |= FILE_FLAG_FIRST_PIPE_INSTANCE;
    return qz::FileHandle(CreateNamedPipeA(name.c_str(), openMode,
                                           PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                           kPipeInstances, kPipeBufferSize, kPipeBufferSize, kPipeTimeoutMs, nullptr));
}

DWORD InstanceCount(HANDLE pipe) {
    DWORD count = 0;
    return GetNamedPipeHandleState(pipe, nullptr, &count, nullptr, nullptr, nullptr, 0) ? count : 0;
}

void Arm(PipeInstance& instance) {
    ResetEvent(instance.event.get());
    instance.overlapped = {};
    instance.overlapped.hEvent = instance.event.get();
}

// Waits until a call under way has ended (the buffer and the OVERLAPPED are free again).
void CancelCall(PipeInstance& instance) {
    if (instance.state != PipeInstance::State::Connecting && instance.state != PipeInstance::State::Reading) return;
    CancelIo(instance.pipe);
    DWORD got = 0;
    GetOverlappedResult(instance.pipe, &instance.overlapped, &got, TRUE);
}

void DropClient(PipeInstance& instance) {
    DisconnectNamedPipe(instance.pipe);
    instance.state = PipeInstance::State::Listen;
    instance.received = 0;
}

void BeginClient(PipeInstance& instance) {
    instance.state = PipeInstance::State::Client;
    instance.received = 0;
    instance.deadline = GetTickCount64() + kPipeTimeoutMs;
}

void ClearAllPairs(HelperContext& context) {
    for (const PrinterPair& pair : ReadPairRows(context.list)) {
        RestorePrinterComments(context.iniPath, pair.driver.c_str(), pair.port.c_str());
    }
    DeleteAllPairRows(context.list);
    context.tableFullLogged = false;
}

void AddPair(HelperContext& context, const char* driver, const char* port) {
    int row = 0;
    if (!FindPairRow(context.list, driver, port, &row)) {
        if (PairRowCount(context.list) >= kMaxPairRows) {
            // Once until the table has room again: a flood must not flood the log as well.
            if (!context.tableFullLogged) {
                HelperLog("The pair table is full (%d pairs): the pair \"%s\" on \"%s\" is refused, and so are "
                          "further new pairs until one goes.",
                          kMaxPairRows, driver, port);
                context.tableFullLogged = true;
            }
            return;
        }
        AddPairRow(context.list, 0, driver, port);
    }
    SetEvent(context.watchEvent.get());
}

Outcome ServeRecord(HelperContext& context, const uint8_t* bytes) {
    std::optional<PipeRequest> request = ParsePipeRecord(bytes, kRecordSize);
    if (!request) return Outcome::Continue;
    return HandlePipeRecord(context, *request) == RecordOutcome::Stop ? Outcome::End : Outcome::Continue;
}

// Takes one instance as far as it goes without waiting: connects, reads, serves a whole record,
// drops the client and listens again.
Outcome Advance(HelperContext& context, PipeInstance& instance) {
    using State = PipeInstance::State;
    for (;;) {
        DWORD got = 0;
        switch (instance.state) {
        case State::Listen: {
            Arm(instance);
            if (ConnectNamedPipe(instance.pipe, &instance.overlapped)) {
                BeginClient(instance);
                break;
            }
            DWORD error = GetLastError();
            if (error == ERROR_IO_PENDING) {
                instance.state = State::Connecting;
                return Outcome::Continue;
            }
            if (error == ERROR_PIPE_CONNECTED) {
                BeginClient(instance);
            } else if (error == ERROR_NO_DATA) {
                DisconnectNamedPipe(instance.pipe);  // a client came and went before the call
            } else {
                return Outcome::End;
            }
            break;
        }
        case State::Connecting:
            if (GetOverlappedResult(instance.pipe, &instance.overlapped, &got, FALSE)) {
                BeginClient(instance);
            } else if (GetLastError() == ERROR_IO_INCOMPLETE) {
                return Outcome::Continue;
            } else {
                DropClient(instance);
            }
            break;
        case State::Client:
            // The deadline also bounds a client that sends empty writes without end.
            if (GetTickCount64() >= instance.deadline) {
                DropClient(instance);
                break;
            }
            Arm(instance);
            if (ReadFile(instance.pipe, instance.record + instance.received, kRecordSize - instance.received, nullptr,
                         &instance.overlapped) ||
                GetLastError() == ERROR_IO_PENDING) {
                instance.state = State::Reading;
            } else {
                DropClient(instance);  // the client went before a whole record
            }
            break;
        case State::Reading:
            if (!GetOverlappedResult(instance.pipe, &instance.overlapped, &got, FALSE)) {
                if (GetLastError() == ERROR_IO_INCOMPLETE) return Outcome::Continue;
                DropClient(instance);
                break;
            }
            instance.received += got;
            if (instance.received < kRecordSize) {
                instance.state = State::Client;
                break;
            }
            // Only the first record counts; whatever follows goes with the disconnect.
            {
                Outcome outcome = ServeRecord(context, instance.record);
                DropClient(instance);
                if (outcome == Outcome::End) return Outcome::End;
            }
            break;
        }
    }
}

// How long the server may sleep: until the nearest client deadline.
DWORD NextWait(const std::vector<PipeInstance>& instances) {
    ULONGLONG now = GetTickCount64();
    DWORD wait = INFINITE;
    for (const PipeInstance& instance : instances) {
        if (instance.state != PipeInstance::State::Client && instance.state != PipeInstance::State::Reading) continue;
        DWORD left = instance.deadline > now ? static_cast<DWORD>(instance.deadline - now) : 0;
        if (left < wait) wait = left;
    }
    return wait;
}

void DropLateClients(std::vector<PipeInstance>& instances) {
    ULONGLONG now = GetTickCount64();
    for (PipeInstance& instance : instances) {
        if (instance.state != PipeInstance::State::Reading || now < instance.deadline) continue;
        CancelCall(instance);
        DropClient(instance);
    }
}

void Serve(HelperContext& context, std::vector<PipeInstance>& instances) {
    std::vector<HANDLE> events;
    for (PipeInstance& instance : instances) {
        if (Advance(context, instance) == Outcome::End) return;
        events.push_back(instance.event.get());
    }
    for (;;) {
        DWORD wait = WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, NextWait(instances));
        if (wait == WAIT_FAILED) return;
        DropLateClients(instances);
        // Every instance is looked at after each wake, so that a busy one cannot starve the rest.
        for (PipeInstance& instance : instances) {
            if (Advance(context, instance) == Outcome::End) return;
        }
    }
}

}  // namespace

std::string ServicePipeName() { return std::string("\\\\.\\pipe\\") + kHelperPipeHost + "\\" + kHelperPipeVersion; }

DWORD CreateHelperPipes(const std::string& name, std::vector<qz::FileHandle>* instances) {
    instances->clear();
    PSID everyone = CreateEveryoneSid();
    if (!everyone) return LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
    DWORD error = ERROR_SUCCESS;
    for (DWORD made = 0; made < kPipeInstances && error == ERROR_SUCCESS; ++made) {
        qz::FileHandle pipe = CreateInstance(name, made == 0);
        if (!pipe) {
            error = LastErrorOr(ERROR_PIPE_BUSY);
        } else if (InstanceCount(pipe.get()) != made + 1) {
            error = ERROR_ALREADY_EXISTS;
        } else if (!GrantEveryonePipeAccess(everyone, pipe.get())) {
            error = LastErrorOr(ERROR_ACCESS_DENIED);
        } else {
            instances->push_back(std::move(pipe));
        }
    }
    FreeSid(everyone);
    if (error != ERROR_SUCCESS) instances->clear();
    return error;
}

RecordOutcome HandlePipeRecord(HelperContext& context, const PipeRequest& request) {
    const char* driver = request.driver.c_str();
    const char* port = request.port.c_str();
    int row = 0;
    switch (request.code) {
    case kHelperPipeAddPair:
        AddPair(context, driver, port);
        break;
    case kHelperPipeRemovePair:
        if (FindPairRow(context.list, driver, port, &row)) {
            DeletePairRow(context.list, row);
            context.tableFullLogged = false;
            RestorePrinterComments(context.iniPath, driver, port);
            SetEvent(context.watchEvent.get());
        }
        break;
    case kHelperPipeRemoveAll:
        ClearAllPairs(context);
        break;
    case kHelperPipeStop:
        // Any user may open the pipe: only the service's own stop ends the server.
        if (context.stopping.load()) return RecordOutcome::Stop;
        break;
    default:
        // Code 4 (a registry write into HKEY_LOCAL_MACHINE on anyone's behalf) is not served.
        break;
    }
    return RecordOutcome::Served;
}

DWORD WINAPI PipeServerThread(void* param) {
    auto& context = *static_cast<HelperContext*>(param);
    std::vector<PipeInstance> instances(context.pipes.size());
    bool ready = !instances.empty();
    for (size_t i = 0; i < instances.size(); ++i) {
        instances[i].pipe = context.pipes[i].get();
        instances[i].event.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        ready = ready && instances[i].event;
    }
    if (ready) Serve(context, instances);
    for (PipeInstance& instance : instances) {
        CancelCall(instance);
        DisconnectNamedPipe(instance.pipe);
    }
    context.pipes.clear();
    PostMessageA(context.window, WM_HELPER_PIPE_ENDED, 0, 0);
    return 0;
}

int SendPipeStop(const std::string& name) {
    auto open = [&] {
        return qz::FileHandle(CreateFileA(name.c_str(), GENERIC_READ | FILE_WRITE_DATA, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, kClientQos, nullptr));
    };
    qz::FileHandle pipe = open();
    if (!pipe && GetLastError() == ERROR_PIPE_BUSY && WaitNamedPipeA(name.c_str(), kStopPipeWaitMs)) pipe = open();
    if (!pipe) return 0;
    HelperPipeRecord record;
    std::memset(&record, 0, sizeof record);
    record.code = kHelperPipeStop;
    DWORD written = 0;
    if (!WriteFile(pipe.get(), &record, sizeof record, &written, nullptr) || written != sizeof record) return 0;
    FlushFileBuffers(pipe.get());
    return 1;
}
