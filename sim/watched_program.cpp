// A program for the end-to-end tests to watch: it runs for the seconds its argument gives
// (default 5) and ends.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    Sleep(static_cast<DWORD>(seconds > 0 && seconds < 600 ? seconds : 5) * 1000);
    return 0;
}
