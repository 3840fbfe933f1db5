// The program a test prefix's associations point at instead of a browser or a file manager
// (HKCR "http\shell\open\command", the folder's "explore" verb):
//
//   open_recorder.exe RECORD VERB TARGET
//
// appends "VERB|TARGET" as one UTF-8 line to RECORD and ends. So a test sees what the program
// under test asked the shell to open, and nothing opens.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    std::wstring line = std::wstring(argv[2]) + L"|" + argv[3] + L"\n";
    std::string utf8(line.size() * 4 + 1, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(),
                                      static_cast<int>(utf8.size()), nullptr, nullptr);
    if (n <= 0) return 1;
    HANDLE file = CreateFileW(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, utf8.data(), static_cast<DWORD>(n), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
