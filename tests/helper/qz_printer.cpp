// qz_printer.exe PORT: a printer of the prefix's own spooler on a new local port PORT, with the
// helper tests' stand-in driver, for end-to-end tests that watch what the helper service does
// to its comment. Prints "ready NAME" once the printer exists (or "failed"), answers each line
// "comment" with "comment TEXT" (the comment the spooler holds now), and removes the printer
// and its port when its input ends. A killed run's printer on PORT goes first.
#include <windows.h>

#include <cstdio>
#include <string>

#include "test_printers.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("failed: usage qz_printer PORT\n");
        return 2;
    }
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
