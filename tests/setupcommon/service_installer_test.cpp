#include "service_installer.h"

#include "setup_result.h"

#include "scratch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string ServiceValue(const std::string& name, const char* sub, const char* value) {
    std::string key = "System\\CurrentControlSet\\Services\\" + name + sub;
    char text[512] = "";
    DWORD size = sizeof text - 1;
    RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, text,
                 &size);
    return text;
}

DWORD ServiceState(const std::string& name, DWORD* pid = nullptr) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS);
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (service) {
        QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status, &needed);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    if (pid) *pid = status.dwProcessId;
    return status.dwCurrentState;
}

// The state once it is `wanted`, or the last one seen after `ms`: a loaded machine may take a
// while to bring a restarted service up.
DWORD ServiceStateWithin(const std::string& name, DWORD wanted, DWORD ms) {
    DWORD deadline = GetTickCount() + ms;
    DWORD state = ServiceState(name);
    while (state != wanted && static_cast<int>(deadline - GetTickCount()) > 0) {
        Sleep(100);
        state = ServiceState(name);
    }
    return state;
}

uint32_t Install(const std::string& name, const char* tail, uint32_t mode, int* returned = nullptr) {
    uint32_t result = 999;
    std::string program = BesideTheTests("setupcommon_test_service.exe");
    int r = ZkServiceInstall(name.c_str(), program.c_str(), "Quelbo test helper", tail, nullptr, 0, mode, &result);
    if (returned) *returned = r;
    return result;
}

}  // namespace

TEST(ServiceInstaller, InstallsChecksReinstallsAndRemoves) {
    std::string name = "QzTestSvc" + std::to_string(GetCurrentProcessId());
    StopAndDeleteService(name.c_str());  // Wine reuses process ids: a failed run's service
    uint32_t result = 0;
    EXPECT_EQ(ZkServiceUninstall(name.c_str(), &result), 1);
    EXPECT_EQ(result, 12u);
    EXPECT_EQ(Install(name, "", 4), 12u);
    EXPECT_EQ(ZkServiceInstall(name.c_str(), "C:\\missing.exe", "", "", nullptr, 0, 1, &result), 0);
    EXPECT_EQ(result, 2u);

    std::string command = "\"";
    command += BesideTheTests("setupcommon_test_service.exe");
    command += "\" /service";
    ASSERT_EQ(Install(name, " -x", 1), 0u);
    EXPECT_EQ(ServiceValue(name, "", "ImagePath"), command + " -x");  // the tail carries its own blank
    EXPECT_EQ(ServiceValue(name, "", "ObjectName"), "LocalSystem");
    EXPECT_EQ(ServiceValue(name, "", "Description"), "Quelbo test helper");
    EXPECT_EQ(ServiceValue(name, "\\Parameters", "ProductVersion"), "3.2.1.0");
    DWORD start = 0, size = sizeof start;
    RegGetValueA(HKEY_LOCAL_MACHINE, ("System\\CurrentControlSet\\Services\\" + name).c_str(), "Start", RRF_RT_DWORD,
                 nullptr, &start, &size);
    EXPECT_EQ(start, 2u);
    EXPECT_EQ(ServiceState(name), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(IsServiceInstalled(name.c_str()), 1);

    int returned = 0;
    EXPECT_EQ(Install(name, "", 3, &returned), 8u);
    EXPECT_EQ(returned, 1);
    SetServiceProductVersion(name.c_str(), "3.1.9");
    EXPECT_EQ(Install(name, "", 3), 7u);
    SetServiceProductVersion(name.c_str(), "3.10.0");  // two-digit parts
    EXPECT_EQ(Install(name, "", 3), 9u);

    ASSERT_EQ(Install(name, "", 1), 0u);  // over itself while it runs
    EXPECT_EQ(ServiceValue(name, "", "ImagePath"), command);
    EXPECT_EQ(ServiceValue(name, "\\Parameters", "ProductVersion"), "3.2.1.0");
    EXPECT_EQ(ServiceStateWithin(name, SERVICE_RUNNING, 15000), static_cast<DWORD>(SERVICE_RUNNING));

    EXPECT_EQ(ZkServiceUninstall(name.c_str(), &result), 1);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(IsServiceInstalled(name.c_str()), 0);
    EXPECT_EQ(ZkServiceUninstall(name.c_str(), &result), 1);
    EXPECT_EQ(result, 12u);
}

TEST(ServiceInstaller, AServiceThatNeverStartsDoesNotHangTheInstall) {
    std::string name = "QzTestHang" + std::to_string(GetCurrentProcessId());
    DWORD begin = GetTickCount();
    EXPECT_EQ(Install(name, " -hang", 1), 0u);  // a start that does not finish leaves the result alone
    // The wait counts its polls: on a loaded machine each takes longer than its second.
    EXPECT_LT(GetTickCount() - begin, 2 * kServicePendingLimitMs);
    DWORD pid = 0;
    EXPECT_EQ(ServiceState(name, &pid), static_cast<DWORD>(SERVICE_START_PENDING));
    // Clean up by hand: the service cannot take a stop while it is starting.
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
        TerminateProcess(process, 1);
        CloseHandle(process);
    }
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), DELETE);
    DeleteService(service);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}
