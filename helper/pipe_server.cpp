#include "pipe_server.h"

#include <cstring>
#include <vector>

#include "helper_context.h"
#include "helper_messages.h"
#include "pair_table.h"
#include "printer_comments.h"

namespace {

enum class ClientOutcome { Done, End };

void ClearAllPairs(HelperContext& context) {
    for (const PrinterPair& pair : ReadPairRows(context.list)) {
        RestorePrinterComments(context.iniPath, pair.driver.c_str(), pair.port.c_str());
    }
    DeleteAllPairRows(context.list);
}

ClientOutcome ReadRecord(HelperContext& context, DWORD available) {
    // Only the first record counts; whatever is left in the pipe goes with the disconnect.
    if (available > kPipeBufferSize) available = kPipeBufferSize;
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(available);
    } catch (...) {
        return ClientOutcome::Done;
    }
    DWORD got = 0;
    // A client that goes away between the peek and the read is dropped like any other.
    if (!ReadFile(context.pipe.get(), bytes.data(), available, &got, nullptr)) {
        return GetLastError() == ERROR_INVALID_HANDLE ? ClientOutcome::End : ClientOutcome::Done;
    }
    std::optional<PipeRequest> request = ParsePipeRecord(bytes.data(), got);
    if (!request) return ClientOutcome::Done;
    return HandlePipeRecord(context, *request) == RecordOutcome::Stop ? ClientOutcome::End : ClientOutcome::Done;
}

// Waits for the client's record. A client has the pipe's time-out to deliver it: one that holds
// a partial record would otherwise keep the single instance, and the stop, waiting forever.
ClientOutcome ServeClient(HelperContext& context) {
    ULONGLONG start = GetTickCount64();
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(context.pipe.get(), nullptr, 0, nullptr, &available, nullptr)) {
            return GetLastError() == ERROR_INVALID_HANDLE ? ClientOutcome::End : ClientOutcome::Done;
        }
        if (available >= sizeof(HelperPipeRecord)) return ReadRecord(context, available);
        if (GetTickCount64() - start >= kPipeTimeoutMs) return ClientOutcome::Done;
        Sleep(1);
    }
}

bool WaitForClient(HANDLE pipe) {
    if (ConnectNamedPipe(pipe, nullptr)) return true;
    DWORD error = GetLastError();
    // ERROR_NO_DATA: a client came and went before the call; it is dropped below.
    return error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA;
}

}  // namespace

std::string ServicePipeName() { return std::string("\\\\.\\pipe\\") + kHelperPipeHost + "\\" + kHelperPipeVersion; }

qz::FileHandle CreateHelperPipe(const std::string& name) {
    // Every call on the pipe blocks until it is done, so it is not opened for overlapped use.
    return qz::FileHandle(CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | WRITE_DAC | WRITE_OWNER,
                                           PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, kPipeMaxInstances,
                                           kPipeBufferSize, kPipeBufferSize, kPipeTimeoutMs, nullptr));
}

RecordOutcome HandlePipeRecord(HelperContext& context, const PipeRequest& request) {
    const char* driver = request.driver.c_str();
    const char* port = request.port.c_str();
    int row = 0;
    switch (request.code) {
    case kHelperPipeAddPair:
        if (!FindPairRow(context.list, driver, port, &row)) AddPairRow(context.list, 0, driver, port);
        SetEvent(context.watchEvent.get());
        break;
    case kHelperPipeRemovePair:
        if (FindPairRow(context.list, driver, port, &row)) {
            DeletePairRow(context.list, row);
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
    HANDLE pipe = context.pipe.get();
    for (;;) {
        if (!WaitForClient(pipe)) break;
        ClientOutcome outcome = ServeClient(context);
        DisconnectNamedPipe(pipe);
        if (outcome == ClientOutcome::End) break;
    }
    context.pipe.reset();
    PostMessageA(context.window, WM_HELPER_PIPE_ENDED, 0, 0);
    return 0;
}

int SendPipeStop(const std::string& name) {
    auto open = [&] {
        return qz::FileHandle(CreateFileA(name.c_str(), GENERIC_READ | FILE_WRITE_DATA, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
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
