// The state that the notification handlers share and the texts they log.
#include <cwchar>

#include "app.h"
#include "app_ids.h"
#include "list_view.h"
#include "notify_handlers.h"

namespace {

constexpr DWORD kStartSelectWindowMs = 10001;

ViewHandles g_views;
DWORD g_startTick = 0;
RequestDialogHooks g_hooks;

}  // namespace

void SetNotifyViews(const ViewHandles& views) { g_views = views; }
void SetViewsStartTick(DWORD tick) { g_startTick = tick; }
void SetRequestDialogHooks(const RequestDialogHooks& hooks) { g_hooks = hooks; }

std::wstring FormatChangeReason(UINT message, const NotifyEvent& event) {
    wchar_t head[32];
    std::swprintf(head, 32, L"(0x%04x) ", event.flags);
    std::wstring reason = head;
    if (message == PNXN_SERVER || message == PNXN_DEVICE) {
        if (event.flags & 0x1) reason += L"Base Change.";
        if (event.flags & 0x2) reason += L"Function Change.";
        if (event.flags & 0x4) reason += L"Status Change.";
    }
    return L"Reason: " + reason;
}

namespace notify_detail {

const ViewHandles& Views() { return g_views; }

bool WithinStartWindow() { return GetTickCount() - g_startTick < kStartSelectWindowMs; }

void UpdateButtons() {
    // Once after the notices that arrive together, through the list, which hands it on.
    if (g_views.dialog) RequestCommandUpdate(g_views.list, g_views.dialog);
}

std::wstring Wide(const char* text, UINT codePage) {
    if (!text || !*text) return {};
    const int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring out(static_cast<size_t>(n - 1), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, out.data(), n);
    return out;
}

std::wstring AddressText(uint32_t networkOrder) {
    const auto* b = reinterpret_cast<const uint8_t*>(&networkOrder);
    wchar_t text[20];
    std::swprintf(text, 20, L"%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return text;
}

const RequestDialogHooks& Hooks() { return g_hooks; }

void CopyText(wchar_t* to, size_t chars, const std::wstring& from) {
    if (!chars) return;
    const size_t n = from.size() < chars - 1 ? from.size() : chars - 1;
    from.copy(to, n);
    to[n] = L'\0';
}

}  // namespace notify_detail
