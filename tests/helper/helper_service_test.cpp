// usbhelper.exe as a service of the prefix: installed and started through the service control
// manager, fed by the client library's own pipe writer, and stopped again, with the faults a
// stray client can bring in between.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>

#include "helper_pipe.h"
#include "test_printers.h"

namespace {

using namespace helper_test;

constexpr const char* kServiceName = "Orvik Quelbo Plus Helper";
constexpr DWORD kStopWaitHintMs = 5000;

std::string BesideTest(const char* leaf) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1) + leaf;
}

std::string Quoted(const std::string& path) {
    std::string quoted(1, '"');
    quoted.append(path).push_back('"');
    return quoted;
}

std::string IniComment() {
    char text[512] = {};
    GetPrivateProfileStringA("PRINTER", "COMMENT", "", text, sizeof text, BesideTest("Pnxmsg.ini").c_str());
    return text;
}

DWORD ServiceState(SC_HANDLE service) {
    SERVICE_STATUS status = {};
    return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

// Removes a service of that name left by an earlier run.
void RemoveService(SC_HANDLE manager) {
    SC_HANDLE old = OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS);
    if (!old) return;
    SERVICE_STATUS status = {};
    ControlService(old, SERVICE_CONTROL_STOP, &status);
    WaitFor([&] { return ServiceState(old) == SERVICE_STOPPED; }, 10000);
    DeleteService(old);
    CloseServiceHandle(old);
}

// A client that opens the pipe, writes part of a record and holds on.
HANDLE HoldPartialRecord(const std::string& pipe) {
    HANDLE client = OpenPipeClient(pipe);
    if (client != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(client, "\x01\x00partial", 9, &written, nullptr);
    }
    return client;
}

// Without the service control manager the dispatcher call fails and the program ends. (Windows
// fails the call at once; Wine gives up after about 10 s.)
TEST(HelperService, StartedByHandEndsWithoutAPipe) {
    std::string command = Quoted(BesideTest("usbhelper.exe"));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    Sleep(500);
    EXPECT_FALSE(WaitNamedPipeA(HelperPipeName(), 100));
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

TEST(HelperService, MarksAndClearsPrintersOfTheLibrarysPairs) {
    const std::string text = IniComment();
    ASSERT_FALSE(text.empty());
    TestPrinter printer(UniqueName("QZHS") + ":", "");
    TestPrinter second(UniqueName("QZHT") + ":", "");
    TestPrinter bystander(UniqueName("QZHU") + ":", "my own note");
    ASSERT_TRUE(printer.ok() && second.ok() && bystander.ok());
    const std::string pipe = HelperPipeName();

    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    RemoveService(manager);
    std::string command = Quoted(BesideTest("usbhelper.exe")) + " /service";
    SC_HANDLE service = CreateServiceA(manager, kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                       command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(service, nullptr) << GetLastError();
    ASSERT_TRUE(StartServiceA(service, 0, nullptr)) << GetLastError();
    ASSERT_TRUE(WaitFor([&] { return ServiceState(service) == SERVICE_RUNNING; }, 10000));
    ASSERT_TRUE(WaitFor([&] { return WaitNamedPipeA(pipe.c_str(), 100) != FALSE; }, 5000));

    // The library's start record, then a pair as its printers open, twice (the driver name in
    // another case): the table keeps one row.
    EXPECT_EQ(HelperPipeClearPairs(), 1);
    EXPECT_EQ(HelperPipeSend(kHelperPipeAddPair, helper_test::kTestDriver, printer.port().c_str()), 1);
    EXPECT_EQ(HelperPipeSend(kHelperPipeAddPair, "qz helper test driver", printer.port().c_str()), 1);
    EXPECT_TRUE(WaitFor([&] { return printer.Comment() == text; }));

    // Stray clients: one that closes before writing, one that holds a partial record until the
    // pipe's time-out drops it, a stop record and a code 4 from outside: the service serves on.
    HANDLE early = OpenPipeClient(pipe);
    EXPECT_NE(early, INVALID_HANDLE_VALUE);
    CloseHandle(early);
    HANDLE holder = HoldPartialRecord(pipe);
    EXPECT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(WritePipeBytes(pipe, RecordBytes(0xFFFF, "", "")));
    HKEY key = nullptr;
    std::string keyPath = "Software\\" + UniqueName("QzHelperTest");
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(WritePipeBytes(pipe, RecordBytes(4, keyPath, std::string("\x01\x02", 2))));
    // A record in two pieces is served once its last byte is there.
    EXPECT_TRUE(WritePipeBytes(pipe, RecordBytes(1, helper_test::kTestDriver, second.port()), 100));
    EXPECT_TRUE(WaitFor([&] { return second.Comment() == text; }));
    EXPECT_EQ(RegQueryValueExA(key, "SetupMode", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str());
    CloseHandle(holder);

    // One removal clears the pair's printer, and the watcher it wakes finds no second row to mark
    // it again; the other listed printer keeps its mark, the bystander its own comment.
    EXPECT_EQ(HelperPipeSend(kHelperPipeRemovePair, helper_test::kTestDriver, printer.port().c_str()), 1);
    EXPECT_TRUE(WaitFor([&] { return printer.Comment().empty(); }));
    EXPECT_TRUE(WaitFor([&] { return second.Comment() == text; }));
    Sleep(1000);
    EXPECT_EQ(printer.Comment(), "");
    EXPECT_EQ(bystander.Comment(), "my own note");

    // The clear record empties the table; a pair sent after it is served again.
    EXPECT_EQ(HelperPipeClearPairs(), 1);
    EXPECT_TRUE(WaitFor([&] { return second.Comment().empty(); }));
    EXPECT_EQ(HelperPipeSend(kHelperPipeAddPair, helper_test::kTestDriver, second.port().c_str()), 1);
    EXPECT_TRUE(WaitFor([&] { return second.Comment() == text; }));

    // A stop while a client holds the pipe still ends within the wait hint and clears every mark.
    holder = HoldPartialRecord(pipe);
    auto start = std::chrono::steady_clock::now();
    SERVICE_STATUS status = {};
    EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_TRUE(WaitFor([&] { return ServiceState(service) == SERVICE_STOPPED; }, 15000));
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(elapsed.count(), kStopWaitHintMs);
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    EXPECT_EQ(second.Comment(), "");
    EXPECT_EQ(bystander.Comment(), "my own note");

    EXPECT_TRUE(DeleteService(service));
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

}  // namespace
