// The names of registry roots that settings paths may start with ("HCU\Software\..."): the
// short form and the long form of each, compared without regard to case.
#pragma once

#include <windows.h>

struct RegistryRootName {
    const char* shortName;
    const char* longName;
    HKEY root;
};

inline const RegistryRootName kRegistryRootNames[] = {
    {"HLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HU", "HKEY_USERS", HKEY_USERS},
    {"HCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

// The root whose short or long name is exactly the `length` characters at `name` (ASCII
// letters, any case), or null.
template <typename Char>
HKEY FindRegistryRoot(const Char* name, size_t length) {
    auto same = [&](const char* known) {
        size_t i = 0;
        for (; i < length && known[i]; ++i) {
            Char c = name[i];
            if (c >= 'a' && c <= 'z') c = static_cast<Char>(c - 'a' + 'A');
            if (c != static_cast<Char>(known[i])) return false;
        }
        return i == length && known[i] == '\0';
    };
    for (const RegistryRootName& r : kRegistryRootNames) {
        if (same(r.shortName) || same(r.longName)) return r.root;
    }
    return nullptr;
}
