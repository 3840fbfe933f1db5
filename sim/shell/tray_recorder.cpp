// A stand-in notification area for the end-to-end tests: Xvfb has no desktop shell whose tray
// a test could read, so this program plays the tray window itself. Wine's Shell_NotifyIconW
// finds the first top-level window of the class "Shell_TrayWnd" and sends it every call as
// WM_COPYDATA (dwData = NIM_*, the record below, then the icon's mask and colour bits); a
// topmost window of that class created before the program under test receives them.
//
//   tray_recorder.exe RECORD THEME.dll
//
// appends one UTF-8 line per call to RECORD:
//   add icon=101 tip=Quelbo Plus        (the theme icon whose bits the call carried, 0: none
//   modify icon=182 tip=-                or one the theme does not have; tip "-": none given)
//   modify balloon title=... text=... time=10000
//   delete icon=0 tip=-
// prints "ready" once its window exists and ends when its standard input closes.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Wine's platform-independent form of NOTIFYICONDATAW (dlls/shell32/systray.c).
struct WineNotifyData {
    LONG window;
    UINT id;
    UINT flags;
    UINT callbackMessage;
    WCHAR tip[128];
    DWORD state;
    DWORD stateMask;
    WCHAR info[256];
    UINT timeout;
    WCHAR infoTitle[64];
    DWORD infoFlags;
    GUID guid;
    UINT width;
    UINT height;
    UINT planes;
    UINT bpp;
};

constexpr UINT kFlagIcon = 0x2;  // NIF_ICON
constexpr UINT kFlagTip = 0x4;   // NIF_TIP
constexpr UINT kFlagInfo = 0x10; // NIF_INFO
constexpr int kFirstIcon = 100;
constexpr int kLastIcon = 260;

struct KnownIcon {
    int id;
    std::vector<BYTE> bits;  // mask then colour, as Wine sends them
};

std::vector<KnownIcon> g_icons;
std::wstring g_record;

// The bytes Wine's Shell_NotifyIconW sends for an icon.
std::vector<BYTE> IconBits(HICON icon) {
    std::vector<BYTE> out;
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return out;
    BITMAP mask{}, colour{};
    GetObjectW(info.hbmMask, sizeof mask, &mask);
    if (info.hbmColor) GetObjectW(info.hbmColor, sizeof colour, &colour);
    const LONG maskBytes = (mask.bmPlanes * mask.bmWidth * mask.bmHeight * mask.bmBitsPixel + 15) / 16 * 2;
    const LONG colourBytes =
        info.hbmColor ? (colour.bmPlanes * colour.bmWidth * colour.bmHeight * colour.bmBitsPixel + 15) / 16 * 2 : 0;
    out.resize(static_cast<size_t>(maskBytes + colourBytes));
    GetBitmapBits(info.hbmMask, maskBytes, out.data());
    if (info.hbmColor) GetBitmapBits(info.hbmColor, colourBytes, out.data() + maskBytes);
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return out;
}

void LoadThemeIcons(const wchar_t* themePath) {
    HMODULE theme = LoadLibraryExW(themePath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!theme) return;
    for (int id = kFirstIcon; id <= kLastIcon; ++id) {
        auto icon = static_cast<HICON>(LoadImageW(theme, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
        if (!icon) continue;
        g_icons.push_back({id, IconBits(icon)});
        DestroyIcon(icon);
    }
}

int IconOf(const BYTE* bits, size_t size) {
    for (const KnownIcon& known : g_icons) {
        if (known.bits.size() == size && std::memcmp(known.bits.data(), bits, size) == 0) return known.id;
    }
    return 0;
}

std::wstring Field(const WCHAR* text, size_t capacity) {
    return std::wstring(text, wcsnlen(text, capacity));
}

void Append(const std::wstring& line) {
    HANDLE file = CreateFileW(g_record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string utf8(line.size() * 4 + 2, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(),
                                      static_cast<int>(utf8.size()) - 1, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(n > 0 ? n : 0));
    utf8 += '\n';
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
}

const wchar_t* MessageName(ULONG_PTR message) {
    switch (message) {
        case 0: return L"add";
        case 1: return L"modify";
        case 2: return L"delete";
        default: return L"other";
    }
}

void Record(const COPYDATASTRUCT* copy) {
    if (!copy || copy->cbData < sizeof(WineNotifyData)) return;
    WineNotifyData data{};
    std::memcpy(&data, copy->lpData, sizeof data);
    wchar_t line[1024];
    if (data.flags & kFlagInfo) {
        std::swprintf(line, 1024, L"%ls balloon title=%ls text=%ls time=%u", MessageName(copy->dwData),
                      Field(data.infoTitle, 64).c_str(), Field(data.info, 256).c_str(), data.timeout);
    } else {
        int icon = 0;
        if (data.flags & kFlagIcon) {
            const auto* bits = static_cast<const BYTE*>(copy->lpData) + sizeof data;
            icon = IconOf(bits, copy->cbData - sizeof data);
        }
        std::swprintf(line, 1024, L"%ls icon=%d tip=%ls", MessageName(copy->dwData), icon,
                      (data.flags & kFlagTip) ? Field(data.tip, 128).c_str() : L"-");
    }
    Append(line);
}

// Wine's explorer has a tray window of the same class; calls reach whichever comes first in
// the z-order. Should it ever stand above this one, the record says so and this one goes on top
// again.
constexpr UINT_PTR kOrderTimer = 1;
constexpr UINT kOrderCheckMs = 20;

void KeepFirst(HWND window) {
    static bool noted = false;
    HWND first = FindWindowExW(nullptr, nullptr, L"Shell_TrayWnd", nullptr);
    if (first == window) {
        noted = false;
        return;
    }
    if (!noted) Append(L"note another tray window came first");
    noted = true;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        Record(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return TRUE;
    }
    if (message == WM_TIMER && wParam == kOrderTimer) {
        KeepFirst(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI WatchInput(void* window) {
    char buffer[64];
    DWORD read = 0;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tray_recorder RECORD THEME.dll\n");
        return 2;
    }
    g_record = argv[1];
    LoadThemeIcons(argv[2]);
    WNDCLASSW wc{};
    wc.lpfnWndProc = TrayProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Shell_TrayWnd";
    if (!RegisterClassW(&wc)) return 1;
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) return 1;
    KeepFirst(window);
    SetTimer(window, kOrderTimer, kOrderCheckMs, nullptr);
    std::printf("ready %u icons\n", static_cast<unsigned>(g_icons.size()));
    std::fflush(stdout);
    CloseHandle(CreateThread(nullptr, 0, WatchInput, window, 0, nullptr));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_CLOSE && msg.hwnd == window) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyWindow(window);
    return 0;
}
