// Installs the simulated bus driver into the Wine prefix as a kernel-driver service, or
// removes it again.
//
//   zkuptp_install install [driver.sys]   copy the driver (default: zkuptp.sys beside this
//                                          program) into <system>\drivers, create or update the
//                                          service "ZKUPTP", start it and check that
//                                          "\\.\zkuptp" answers
//   zkuptp_install remove                 stop the service and delete it
//
// Exit code 0 on success, 1 on failure (with the reason on stderr).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sim_bus_client.h"

namespace {

constexpr const char* kServiceName = "ZKUPTP";
constexpr const char* kImagePath = "\\SystemRoot\\System32\\drivers\\zkuptp.sys";
constexpr DWORD kWaitMs = 10000;
constexpr DWORD kPollMs = 100;

struct ServiceHandle {
    SC_HANDLE value = nullptr;
    ~ServiceHandle() {
        if (value) CloseServiceHandle(value);
    }
};

int Fail(const char* what) {
    std::fprintf(stderr, "zkuptp_install: %s (error %lu)\n", what, GetLastError());
    return 1;
}

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1);
}

// Copies under a private name first and moves it over the target in one step, so that a
// reader never sees half a file. A driver file that is running cannot be replaced; the one
// there is then kept.
bool PlaceDriverFile(const std::string& source) {
    char system[MAX_PATH] = {};
    if (!GetSystemDirectoryA(system, sizeof system)) return false;
    std::string target = std::string(system) + "\\drivers\\zkuptp.sys";
    std::string temp = target + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
    if (!CopyFileA(source.c_str(), temp.c_str(), FALSE)) return false;
    if (MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileA(temp.c_str());
    return GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WaitForState(SC_HANDLE service, DWORD wanted) {
    for (DWORD waited = 0; waited < kWaitMs; waited += kPollMs) {
        SERVICE_STATUS status = {};
        if (!QueryServiceStatus(service, &status)) return false;
        if (status.dwCurrentState == wanted) return true;
        Sleep(kPollMs);
    }
    return false;
}

bool DriverAnswers() {
    for (DWORD waited = 0; waited < kWaitMs; waited += kPollMs) {
        zksim::SimBusClient bus;
        SimValues values;
        if (bus.ok() && bus.Values(&values)) return true;
        Sleep(kPollMs);
    }
    return false;
}

int Install(const std::string& source) {
    if (GetFileAttributesA(source.c_str()) == INVALID_FILE_ATTRIBUTES) return Fail(("no driver file " + source).c_str());
    if (!PlaceDriverFile(source)) return Fail("cannot place the driver file");
    ServiceHandle manager{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    if (!manager.value) return Fail("cannot open the service manager");
    ServiceHandle service{OpenServiceA(manager.value, kServiceName, SERVICE_ALL_ACCESS)};
    if (service.value) {
        if (!ChangeServiceConfigA(service.value, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                  kImagePath, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
            return Fail("cannot update the service");
    } else {
        service.value = CreateServiceA(manager.value, kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                       SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, kImagePath,
                                       nullptr, nullptr, nullptr, nullptr, nullptr);
        if (!service.value) return Fail("cannot create the service");
    }
    if (!StartServiceA(service.value, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return Fail("cannot start the service");
    if (!WaitForState(service.value, SERVICE_RUNNING)) return Fail("the service does not run");
    if (!DriverAnswers()) return Fail("the driver does not answer");
    std::printf("zkuptp_install: the simulated bus driver runs\n");
    return 0;
}

int Remove() {
    ServiceHandle manager{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    if (!manager.value) return Fail("cannot open the service manager");
    ServiceHandle service{OpenServiceA(manager.value, kServiceName, SERVICE_ALL_ACCESS)};
    if (!service.value) {
        std::printf("zkuptp_install: no service to remove\n");
        return 0;
    }
    SERVICE_STATUS status = {};
    // The service must be stopped before it is deleted, or its entry stays behind.
    if (ControlService(service.value, SERVICE_CONTROL_STOP, &status) && !WaitForState(service.value, SERVICE_STOPPED))
        return Fail("the service does not stop");
    if (!DeleteService(service.value)) return Fail("cannot delete the service");
    std::printf("zkuptp_install: the simulated bus driver is removed\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "install") == 0)
        return Install(argc >= 3 ? argv[2] : ProgramFolder() + "zkuptp.sys");
    if (argc >= 2 && std::strcmp(argv[1], "remove") == 0) return Remove();
    std::fprintf(stderr, "usage: zkuptp_install install [driver.sys] | remove\n");
    return 2;
}
