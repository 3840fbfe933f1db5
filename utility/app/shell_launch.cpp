#include "shell_launch.h"

#include <shellapi.h>

BOOL ShellLaunch(HWND owner, const wchar_t* verb, const wchar_t* target) {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(owner, verb, target, nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}
