// Printers of a test's own in the prefix's spooler (a local port and printer per test, one
// shared stand-in driver), and small helpers for the helper service's tests.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace helper_test {

constexpr const char* kTestDriver = "QZ Helper Test Driver";

// A name no other test process uses: prefix, process id and a counter.
inline std::string UniqueName(const char* prefix) {
    static int counter = 0;
    char name[64];
    std::snprintf(name, sizeof name, "%s%lu_%d", prefix, GetCurrentProcessId(), ++counter);
    return name;
}

inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

inline std::string TempPath(const std::string& leaf) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + leaf;
}

inline void WriteTextFile(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// The stand-in driver: three placeholder files are enough for the spooler to hold printers.
inline bool EnsureTestDriver() {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "qz_helper_test_driver");
    WaitForSingleObject(mutex, 30000);
    DWORD needed = 0, count = 0;
    EnumPrinterDriversA(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> block(needed + 1);
    bool present = false;
    if (needed && EnumPrinterDriversA(nullptr, nullptr, 1, block.data(), needed, &needed, &count)) {
        auto* drivers = reinterpret_cast<DRIVER_INFO_1A*>(block.data());
        for (DWORD i = 0; i < count; ++i) present = present || std::string(drivers[i].pName) == kTestDriver;
    }
    if (!present) {
        std::string folder = TempPath("qzhelper_driver");
        CreateDirectoryA(folder.c_str(), nullptr);
        std::string files[3] = {folder + "\\qzhdrv.dll", folder + "\\qzhcfg.dll", folder + "\\qzhdata.txt"};
        for (const auto& file : files) WriteTextFile(file, "x");
        DRIVER_INFO_3A info = {};
        info.cVersion = 3;
        info.pName = const_cast<char*>(kTestDriver);
        info.pDriverPath = const_cast<char*>(files[0].c_str());
        info.pConfigFile = const_cast<char*>(files[1].c_str());
        info.pDataFile = const_cast<char*>(files[2].c_str());
        present = AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES);
    }
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return present;
}

inline bool LocalPortCommand(const wchar_t* command, const std::string& port) {
    HANDLE xcv = nullptr;
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
    if (!OpenPrinterA(const_cast<char*>(",XcvMonitor Local Port"), &xcv, &defaults)) return false;
    std::wstring wide(port.begin(), port.end());
    DWORD needed = 0, status = 0;
    BOOL ok = XcvDataW(xcv, command, reinterpret_cast<BYTE*>(wide.data()),
                       static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)), nullptr, 0, &needed, &status);
    ClosePrinter(xcv);
    return ok && status == ERROR_SUCCESS;
}

// The spooler's printer list is one for the whole Wine session: while a test adds or deletes a
// printer, an enumeration of the local printers in another test fails now and then (the second
// call finds the list grown, or Wine gives up on a printer whose key has just gone), and with
// local ports added and deleted side by side a process crashed now and then. Printers
// and their ports are added and deleted under this lock, and a test that needs its enumerations
// to succeed holds it around them. The owner may take it again.
class PrinterSetLock {
public:
    PrinterSetLock() : mutex_(CreateMutexA(nullptr, FALSE, "qz_test_printer_set")) {
        if (mutex_) WaitForSingleObject(mutex_, 60000);
    }
    ~PrinterSetLock() {
        if (!mutex_) return;
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
    PrinterSetLock(const PrinterSetLock&) = delete;
    PrinterSetLock& operator=(const PrinterSetLock&) = delete;

private:
    HANDLE mutex_;
};

// A test process that crashed or was killed leaves its printers and ports behind, and Wine gives
// the processes of a later session the same ids, so the same names: a printer of that name or
// on that port goes, then the port. Called under the printer-set lock.
inline void RemoveLeftovers(const std::string& name, const std::string& port) {
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<uint64_t> block(needed / sizeof(uint64_t) + 1);
    if (needed && EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, reinterpret_cast<BYTE*>(block.data()), needed, &needed,
                                &count)) {
        auto* printers = reinterpret_cast<PRINTER_INFO_2A*>(block.data());
        for (DWORD i = 0; i < count; ++i) {
            bool onPort = printers[i].pPortName && port == printers[i].pPortName;
            if (!printers[i].pPrinterName || (!onPort && name != printers[i].pPrinterName)) continue;
            HANDLE printer = nullptr;
            PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
            if (!OpenPrinterA(printers[i].pPrinterName, &printer, &defaults)) continue;
            DeletePrinter(printer);
            ClosePrinter(printer);
        }
    }
    LocalPortCommand(L"DeletePort", port);
}

// A local printer on a port of its own, removed again with the object.
class TestPrinter {
public:
    TestPrinter(const std::string& port, const std::string& comment, const char* driver = kTestDriver)
        : name_(UniqueName("QZH Printer ")), port_(port) {
        if (!EnsureTestDriver()) return;
        PrinterSetLock lock;
        RemoveLeftovers(name_, port_);
        if (!LocalPortCommand(L"AddPort", port_)) return;
        ownsPort_ = true;
        DEVMODEA devMode = {};
        std::snprintf(reinterpret_cast<char*>(devMode.dmDeviceName), sizeof devMode.dmDeviceName, "%s", name_.c_str());
        devMode.dmSize = sizeof devMode;
        devMode.dmSpecVersion = DM_SPECVERSION;
        PRINTER_INFO_2A info = {};
        info.pPrinterName = name_.data();
        info.pPortName = port_.data();
        info.pDriverName = const_cast<char*>(driver);
        info.pComment = const_cast<char*>(comment.c_str());
        info.pPrintProcessor = const_cast<char*>("winprint");
        info.pDatatype = const_cast<char*>("RAW");
        info.pDevMode = &devMode;
        HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
        if (printer) ClosePrinter(printer);
        ok_ = printer != nullptr;
    }
    ~TestPrinter() {
        PrinterSetLock lock;
        if (ok_) {
            HANDLE printer = nullptr;
            PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
            if (OpenPrinterA(name_.data(), &printer, &defaults)) {
                DeletePrinter(printer);
                ClosePrinter(printer);
            }
        }
        if (ownsPort_) LocalPortCommand(L"DeletePort", port_);
    }
    TestPrinter(const TestPrinter&) = delete;
    TestPrinter& operator=(const TestPrinter&) = delete;

    bool ok() const { return ok_; }
    const std::string& name() const { return name_; }
    const std::string& port() const { return port_; }

    // The comment the spooler holds now ("<missing>" when the printer cannot be read).
    std::string Comment() const {
        std::string comment = "<missing>";
        WithRecord([&](PRINTER_INFO_2A& info, HANDLE) { comment = info.pComment ? info.pComment : ""; });
        return comment;
    }

    // Calls `use` with the printer's level-2 record as the spooler holds it now, and the printer
    // opened with all access (for SetPrinter). False when it cannot be read.
    bool WithRecord(const std::function<void(PRINTER_INFO_2A&, HANDLE)>& use) const {
        HANDLE printer = nullptr;
        PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (!OpenPrinterA(const_cast<char*>(name_.c_str()), &printer, &defaults)) return false;
        DWORD needed = 0;
        GetPrinterA(printer, 2, nullptr, 0, &needed);
        std::vector<uint64_t> block(needed / sizeof(uint64_t) + 1);
        bool ok = needed && GetPrinterA(printer, 2, reinterpret_cast<BYTE*>(block.data()), needed, &needed);
        if (ok) use(*reinterpret_cast<PRINTER_INFO_2A*>(block.data()), printer);
        ClosePrinter(printer);
        return ok;
    }

private:
    std::string name_;
    std::string port_;
    bool ownsPort_ = false;
    bool ok_ = false;
};

// A message INI of the test's own.
class TestIni {
public:
    explicit TestIni(const std::string& comment) : path_(TempPath(UniqueName("qzhelper_") + ".ini")) {
        WriteTextFile(path_, comment.empty() ? "[OTHER]\r\nKEY=1\r\n" : "[PRINTER]\r\nCOMMENT=" + comment + "\r\n");
    }
    ~TestIni() { DeleteFileA(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Opens the pipe as a client, waiting while the server is busy with another.
inline HANDLE OpenPipeClient(const std::string& pipe) {
    HANDLE client = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 50 && client == INVALID_HANDLE_VALUE; ++attempt) {
        client = CreateFileA(pipe.c_str(), GENERIC_READ | FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (client == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PIPE_BUSY) WaitNamedPipeA(pipe.c_str(), 2000);
    }
    return client;
}

// Writes raw bytes to a pipe as one client; optionally in two pieces with a pause between.
inline bool WritePipeBytes(const std::string& pipe, const std::string& bytes, size_t splitAt = 0) {
    HANDLE client = OpenPipeClient(pipe);
    if (client == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = true;
    if (splitAt && splitAt < bytes.size()) {
        ok = WriteFile(client, bytes.data(), static_cast<DWORD>(splitAt), &written, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ok = ok && WriteFile(client, bytes.data() + splitAt, static_cast<DWORD>(bytes.size() - splitAt), &written, nullptr);
    } else {
        ok = WriteFile(client, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    FlushFileBuffers(client);
    CloseHandle(client);
    return ok;
}

// The 290 bytes of a record.
inline std::string RecordBytes(uint16_t code, const std::string& driver, const std::string& port) {
    std::string bytes(290, '\0');
    bytes[0] = static_cast<char>(code & 0xFF);
    bytes[1] = static_cast<char>(code >> 8);
    std::memcpy(bytes.data() + 2, driver.data(), driver.size() < 256 ? driver.size() : 256);
    std::memcpy(bytes.data() + 258, port.data(), port.size() < 32 ? port.size() : 32);
    return bytes;
}

}  // namespace helper_test
