#include "helper_pipe.h"

#include <windows.h>

#include <cstring>

#include "log.h"
#include "win_handles.h"

const char* HelperPipeName() { return "\\\\.\\pipe\\ORVIK_TELVUS_HELPER\\V2.0"; }

bool BuildHelperPipeRecord(uint16_t code, const char* driver, const char* port, HelperPipeRecord* record) {
    if (!driver || !port || !record) return false;
    size_t driverLength = strnlen(driver, sizeof record->driver);
    size_t portLength = strnlen(port, sizeof record->port);
    if (driverLength >= sizeof record->driver || portLength >= sizeof record->port) return false;
    std::memset(record, 0, sizeof *record);
    record->code = code;
    std::memcpy(record->driver, driver, driverLength);
    std::memcpy(record->port, port, portLength);
    return true;
}

namespace {

qz::FileHandle OpenHelperPipe() {
    auto open = [] {
        // Write-data only: the service lets everyone write records, not create pipe instances
        // (which GENERIC_WRITE's append right would ask for). Identification only: whoever holds
        // the server end may learn who writes, never act as the writer.
        return CreateFileA(HelperPipeName(), GENERIC_READ | FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING,
                           SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    };
    // Other writers may take the instance that comes free first: a busy pipe is tried again
    // until the wait is spent.
    ULONGLONG deadline = GetTickCount64() + kHelperPipeBusyWaitMs;
    qz::FileHandle pipe(open());
    while (!pipe && GetLastError() == ERROR_PIPE_BUSY) {
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) break;
        if (!WaitNamedPipeA(HelperPipeName(), static_cast<DWORD>(deadline - now))) break;
        pipe.reset(open());
    }
    return pipe;
}

// A pair the service never hears of leaves a comment stale: worth a line in the log.
int GiveUp(uint16_t code, const char* driver, const char* port, DWORD error) {
    LogLine(LogServiceWindow(), "  ::: Helper Pipe: record %u (%s, %s) not sent (error %lu) ::: ", code,
            driver ? driver : "", port ? port : "", static_cast<unsigned long>(error));
    return 0;
}

}  // namespace

int HelperPipeSend(uint16_t code, const char* driver, const char* port) {
    HelperPipeRecord record;
    if (!BuildHelperPipeRecord(code, driver, port, &record)) return GiveUp(code, driver, port, ERROR_INVALID_PARAMETER);
    qz::FileHandle pipe = OpenHelperPipe();
    if (!pipe) return GiveUp(code, driver, port, GetLastError());
    DWORD written = 0;
    if (!WriteFile(pipe.get(), &record, sizeof record, &written, nullptr) || written != sizeof record) {
        return GiveUp(code, driver, port, GetLastError());
    }
    FlushFileBuffers(pipe.get());
    return 1;
}

int HelperPipeClearPairs() { return HelperPipeSend(kHelperPipeRemoveAll, "Dummy", "Dummy"); }
