// Entry point of the GoogleTest programs. Under ctest the output goes to a pipe, where the C
// runtime buffers it; a crash would then lose every line. Standard output is unbuffered here,
// and a crash is reported on standard error with its code and address before the program ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
    void* address = record ? record->ExceptionAddress : nullptr;
    HMODULE module = nullptr;
    char name[MAX_PATH] = "?";
    if (address && GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                          GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                      static_cast<LPCSTR>(address), &module)) {
        GetModuleFileNameA(module, name, sizeof name);
    }
    std::fprintf(stderr, "test program crashed: exception 0x%08lX at %p (%s+0x%llx), thread %lu\n",
                 record ? record->ExceptionCode : 0UL, address, name,
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address) -
                                                 reinterpret_cast<uintptr_t>(module)),
                 GetCurrentThreadId());
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    SetUnhandledExceptionFilter(ReportCrash);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    std::fflush(stdout);
    return result;
}
