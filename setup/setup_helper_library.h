// The setup helper library that ships beside the install tools, loaded by name for each use.
#pragma once

#include <windows.h>

// The library for this process: "_Setup64.dll" in a 64-bit program; in a 32-bit program
// "_Setupnt.dll" below OS code 5, else "_Setup.dll" (also on 64-bit Windows, where a 32-bit
// process cannot load the 64-bit library).
const char* SetupHelperLibraryName(int osCode);

class SetupHelperLibrary {
public:
    SetupHelperLibrary(const char* folder, int osCode);
    ~SetupHelperLibrary();
    SetupHelperLibrary(const SetupHelperLibrary&) = delete;
    SetupHelperLibrary& operator=(const SetupHelperLibrary&) = delete;
    bool loaded() const { return module_ != nullptr; }
    const char* path() const { return path_; }
    template <typename Fn>
    Fn Find(const char* name) const {
        return module_ ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name))) : nullptr;
    }

private:
    HMODULE module_ = nullptr;
    char path_[MAX_PATH * 2] = "";
};
