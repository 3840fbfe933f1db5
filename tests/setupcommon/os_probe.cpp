// Prints "code flags servicePack|description" of the Windows it runs on.
#include "os_info.h"

#include <cstdio>

int main() {
    uint32_t flags = 0;
    int code = GetOsVersionCode(&flags);
    char description[256] = "";
    GetOsDescription(description, sizeof description);
    std::printf("%d %u %u|%s\n", code, flags, RecordedOsVersionValues().servicePack, description);
    return 0;
}
