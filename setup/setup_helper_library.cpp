#include "setup_helper_library.h"

#include <cstdio>

const char* SetupHelperLibraryName(int osCode) {
#ifdef _WIN64
    (void)osCode;
    return "_Setup64.dll";
#else
    return osCode != 0 && osCode < 5 ? "_Setupnt.dll" : "_Setup.dll";
#endif
}

SetupHelperLibrary::SetupHelperLibrary(const char* folder, int osCode) {
    snprintf(path_, sizeof path_, "%s\\%s", folder ? folder : "", SetupHelperLibraryName(osCode));
    module_ = LoadLibraryA(path_);
}

SetupHelperLibrary::~SetupHelperLibrary() {
    if (module_) FreeLibrary(module_);
}
