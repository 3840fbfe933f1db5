// qz_printer.exe PORT: a printer of the prefix's own spooler on a new local port PORT, with the
// helper tests' stand-in driver, for end-to-end tests that watch what the helper service does
// to its comment. Prints "ready NAME" once the printer exists (or "failed"), answers each line
// "comment" with "comment TEXT" (the comment the spooler holds now), and removes the printer
// and its port when its input ends.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_printers.h"

namespace {

// A run that was killed leaves its printer and port behind: both go before the new printer.
void RemoveLeftovers(const std::string& port) {
    helper_test::PrinterSetLock lock;
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<uint64_t> block(needed / sizeof(uint64_t) + 1);
    if (needed && EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, reinterpret_cast<BYTE*>(block.data()), needed, &needed,
                                &count)) {
        auto* printers = reinterpret_cast<PRINTER_INFO_2A*>(block.data());
        for (DWORD i = 0; i < count; ++i) {
            if (!printers[i].pPortName || port != printers[i].pPortName) continue;
            HANDLE printer = nullptr;
            PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
            if (!OpenPrinterA(printers[i].pPrinterName, &printer, &defaults)) continue;
            DeletePrinter(printer);
            ClosePrinter(printer);
        }
    }
    helper_test::LocalPortCommand(L"DeletePort", port);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("failed: usage qz_printer PORT\n");
        return 2;
    }
    RemoveLeftovers(argv[1]);
    helper_test::TestPrinter printer(argv[1], "");
    if (!printer.ok()) {
        std::printf("failed\n");
        std::fflush(stdout);
        return 1;
    }
    std::printf("ready %s\n", printer.name().c_str());
    std::fflush(stdout);
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        if (std::string(line).rfind("comment", 0) != 0) continue;
        std::printf("comment %s\n", printer.Comment().c_str());
        std::fflush(stdout);
    }
    return 0;
}
