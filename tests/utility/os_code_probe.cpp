// Prints "code flags productType" of GetOsCode and GetVersionExW, for the tests that run it
// under Wine's per-program version overrides.
#include <cstdio>

#include "os_code.h"

int main() {
    uint32_t flags = 0;
    int code = GetOsCode(&flags);
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
    std::printf("%d %u %u\n", code, flags, info.wProductType);
    return 0;
}
