#include "helper_pipe.h"

#include <windows.h>

#include <cstring>

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

static qz::FileHandle OpenHelperPipe() {
    auto open = [] {
        // Write-data only: the service lets everyone write records, not create pipe instances
        // (which GENERIC_WRITE's append right would ask for).
        return CreateFileA(HelperPipeName(), GENERIC_READ | FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    qz::FileHandle pipe(open());
    if (!pipe && GetLastError() == ERROR_PIPE_BUSY && WaitNamedPipeA(HelperPipeName(), kHelperPipeBusyWaitMs)) {
        pipe.reset(open());
    }
    return pipe;
}

int HelperPipeSend(uint16_t code, const char* driver, const char* port) {
    HelperPipeRecord record;
    if (!BuildHelperPipeRecord(code, driver, port, &record)) return 0;
    qz::FileHandle pipe = OpenHelperPipe();
    if (!pipe) return 0;
    DWORD written = 0;
    if (!WriteFile(pipe.get(), &record, sizeof record, &written, nullptr) || written != sizeof record) return 0;
    FlushFileBuffers(pipe.get());
    return 1;
}

int HelperPipeClearPairs() { return HelperPipeSend(kHelperPipeRemoveAll, "Dummy", "Dummy"); }
