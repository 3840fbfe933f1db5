// usbhelper.exe as a service of the prefix: installed and started through the service control
// manager, fed by the client library's own pipe writer, and stopped again, with the faults a
// stray client can bring in between.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

std::string ReadLog() {
    std::ifstream file(BesideTest("usbhelper.log"), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The service installed afresh (any left by an earlier run removed), stopped and deleted again
// at the end. Its log beside the program starts empty.
class InstalledService {
public:
    InstalledService() {
        DeleteFileA(BesideTest("usbhelper.log").c_str());
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (!manager_) return;
        RemoveService(manager_);
        std::string command = Quoted(BesideTest("usbhelper.exe")) + " /service";
        service_ = CreateServiceA(manager_, kServiceName, kServiceName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                  SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr,
                                  nullptr, nullptr, nullptr);
    }
    ~InstalledService() {
        if (service_) {
            SERVICE_STATUS status = {};
            if (ServiceState(service_) != SERVICE_STOPPED) ControlService(service_, SERVICE_CONTROL_STOP, &status);
            WaitFor([&] { return ServiceState(service_) == SERVICE_STOPPED; }, 10000);
            DeleteService(service_);
            CloseServiceHandle(service_);
        }
        if (manager_) CloseServiceHandle(manager_);
    }
    InstalledService(const InstalledService&) = delete;
    InstalledService& operator=(const InstalledService&) = delete;

    SC_HANDLE get() const { return service_; }

    // Starts it and waits until it serves the pipe.
    bool StartServing() const {
        return StartServiceA(service_, 0, nullptr) &&
               WaitFor([&] { return ServiceState(service_) == SERVICE_RUNNING; }, 10000) &&
               WaitFor([&] { return WaitNamedPipeA(HelperPipeName(), 100) != FALSE; }, 5000);
    }

private:
    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
};

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

    InstalledService service;
    ASSERT_NE(service.get(), nullptr) << GetLastError();
    ASSERT_TRUE(service.StartServing()) << GetLastError();

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
    EXPECT_TRUE(ControlService(service.get(), SERVICE_CONTROL_STOP, &status));
    EXPECT_TRUE(WaitFor([&] { return ServiceState(service.get()) == SERVICE_STOPPED; }, 15000));
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(elapsed.count(), kStopWaitHintMs);
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    EXPECT_EQ(second.Comment(), "");
    EXPECT_EQ(bystander.Comment(), "my own note");
}

// A program that made the pipe before the service started would get the records that are meant
// for the service: the service does not serve beside it, it stops with an error and says why.
TEST(HelperService, StopsWhenAnotherProgramHoldsItsPipe) {
    HANDLE squatter = CreateNamedPipeA(HelperPipeName(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, PIPE_UNLIMITED_INSTANCES,
                                       512, 512, 0, nullptr);
    ASSERT_NE(squatter, INVALID_HANDLE_VALUE);
    InstalledService service;
    ASSERT_NE(service.get(), nullptr) << GetLastError();
    StartServiceA(service.get(), 0, nullptr);  // may report the failure itself
    EXPECT_TRUE(WaitFor([&] { return ServiceState(service.get()) == SERVICE_STOPPED; }, 10000));
    SERVICE_STATUS status = {};
    ASSERT_TRUE(QueryServiceStatus(service.get(), &status));
    // Wine makes the service's "first" instance beside the stranger's (which the count shows);
    // Windows refuses it.
    EXPECT_TRUE(status.dwWin32ExitCode == ERROR_ALREADY_EXISTS || status.dwWin32ExitCode == ERROR_ACCESS_DENIED)
        << status.dwWin32ExitCode;
    EXPECT_NE(ReadLog().find("The pipe " + std::string(HelperPipeName()) + " cannot be made its own"),
              std::string::npos)
        << ReadLog();
    CloseHandle(squatter);
}

// Clients that connect and send nothing, again as soon as they are dropped, hold only their own
// instances: the library's records get through at once. A flood of pairs fills the table to its
// cap of 256 and no further, and the service still answers.
TEST(HelperService, SilentClientsAndAFloodOfPairsDelayNobody) {
    const std::string text = IniComment();
    ASSERT_FALSE(text.empty());
    TestPrinter printers[4] = {{UniqueName("QZHV") + ":", ""}, {UniqueName("QZHW") + ":", ""},
                               {UniqueName("QZHX") + ":", ""}, {UniqueName("QZHY") + ":", ""}};
    for (const TestPrinter& printer : printers) ASSERT_TRUE(printer.ok());
    InstalledService service;
    ASSERT_NE(service.get(), nullptr) << GetLastError();
    ASSERT_TRUE(service.StartServing()) << GetLastError();
    const std::string pipe = HelperPipeName();
    ASSERT_EQ(HelperPipeClearPairs(), 1);

    std::atomic<bool> holding{true};
    std::vector<std::thread> holders;
    for (int i = 0; i < 3; ++i) {
        holders.emplace_back([&] {
            while (holding.load()) {
                HANDLE client = CreateFileA(pipe.c_str(), GENERIC_READ | FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING,
                                            0, nullptr);
                if (client == INVALID_HANDLE_VALUE) continue;
                // The server never writes: the read ends when it drops this client.
                char byte;
                DWORD got = 0;
                ReadFile(client, &byte, 1, &got, nullptr);
                CloseHandle(client);
            }
        });
    }
    Sleep(300);  // the holders are connected
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(HelperPipeSend(kHelperPipeAddPair, kTestDriver, printers[i].port().c_str()), 1) << i;
    }
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    holding.store(false);
    for (std::thread& holder : holders) holder.join();
    EXPECT_LT(elapsed.count(), 2000);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(WaitFor([&] { return printers[i].Comment() == text; })) << i;

    // With the three pairs above, the 254th flood pair is the first the full table refuses.
    auto flood = [](int i, char (&driver)[32], char (&port)[32]) {
        std::snprintf(driver, sizeof driver, "QZ Flood Driver %03d", i);
        std::snprintf(port, sizeof port, "QZF%03d", i);
    };
    char driver[32], port[32];
    for (int i = 0; i < 1000; ++i) {
        flood(i, driver, port);
        ASSERT_EQ(HelperPipeSend(kHelperPipeAddPair, driver, port), 1) << i;
    }
    EXPECT_NE(ReadLog().find("\"QZ Flood Driver 253\" on \"QZF253\" is refused"), std::string::npos) << ReadLog();
    EXPECT_EQ(ReadLog().find("QZF252"), std::string::npos);
    // Room for one pair again: the last one accepted goes, a new printer's pair takes its place.
    flood(252, driver, port);
    EXPECT_EQ(HelperPipeSend(kHelperPipeRemovePair, driver, port), 1);
    EXPECT_EQ(HelperPipeSend(kHelperPipeAddPair, kTestDriver, printers[3].port().c_str()), 1);
    EXPECT_TRUE(WaitFor([&] { return printers[3].Comment() == text; }));
}

}  // namespace
