#include "message_box.h"

#include <algorithm>
#include <string>
#include <vector>

#include "dialog_layout.h"
#include "ini_text.h"
#include "safe_format.h"

namespace {

// One pending centring: the owner and the hook that this call installed.
struct CentreRequest {
    HWND owner;
    HHOOK hook;
    HWND box;  // the window this request centred, once done
};

// Requests of this thread, newest last. Boxes may nest (a box shown from a window procedure
// while another box runs its loop), so each call keeps its own entry.
thread_local std::vector<CentreRequest*> t_requests;

LRESULT CALLBACK CbtHookProc(int code, WPARAM wParam, LPARAM lParam) {
    HHOOK next = nullptr;
    if (!t_requests.empty()) next = t_requests.back()->hook;
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        bool claimed = std::any_of(t_requests.begin(), t_requests.end(),
                                   [window](const CentreRequest* r) { return r->box == window; });
        if (!claimed) {
            // The newest request that has not centred its box yet owns this activation.
            for (auto it = t_requests.rbegin(); it != t_requests.rend(); ++it) {
                CentreRequest* request = *it;
                if (request->box || !request->hook) continue;
                request->box = window;
                CenterWindow(window, request->owner);
                UnhookWindowsHookEx(request->hook);
                request->hook = nullptr;
                break;
            }
        }
    }
    return CallNextHookEx(next, code, wParam, lParam);
}

}  // namespace

int MessageBoxCentered(HINSTANCE instance, HWND owner, const wchar_t* text, const wchar_t* title,
                       UINT style) {
    CentreRequest request{owner, nullptr, nullptr};
    if (owner) {
        request.hook = SetWindowsHookExW(WH_CBT, CbtHookProc, instance, GetCurrentThreadId());
        if (request.hook) t_requests.push_back(&request);
    }
    int answer = MessageBoxW(owner, text, title, style);
    if (request.hook) UnhookWindowsHookEx(request.hook);
    t_requests.erase(std::remove(t_requests.begin(), t_requests.end(), &request), t_requests.end());
    return answer;
}

int IniMessageBox(HINSTANCE instance, HWND owner, const wchar_t* iniPath, const wchar_t* section,
                  const wchar_t* textKey, const wchar_t* titleKey, UINT style,
                  const wchar_t* argument) {
    std::wstring title = ReadIniValue(iniPath, section, titleKey, 255);
    std::wstring text = IniText(iniPath, section, textKey, 511);
    if (argument) text = SafeFormat(text.c_str(), {argument});
    if (text.size() > 1023) text.resize(1023);
    style |= MB_SETFOREGROUND;
    if (IsRightToLeft()) style |= MB_RTLREADING;
    return MessageBoxCentered(instance, owner, text.c_str(), title.c_str(), style);
}
