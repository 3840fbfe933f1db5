// What the utility does with the library's notifications: rows of the list and items of the
// tree added, changed and deleted, balloons queued and withdrawn, automatic-connect batches
// started and watched applications handled. The main dialog calls the dispatchers inside the
// list lock; each returns 0 for a missing event or handle.
#pragma once

#include <windows.h>

#include <string>

#include "../../../client/pnxscapi.h"

struct ViewHandles {
    HWND dialog = nullptr;
    HWND list = nullptr;
    HWND tree = nullptr;
};
// The views the handlers work on (set by the main dialog before the service starts).
void SetNotifyViews(const ViewHandles& views);
// Items that arrive within 10 s of this tick are selected automatically.
void SetViewsStartTick(DWORD tick);

LRESULT OnServerNotify(const NotifyEvent* event, HPnxSv server);
LRESULT OnDeviceNotify(const NotifyEvent* event, LPARAM lParam);
LRESULT OnNasNotify(const NotifyEvent* event, HPnxDv entry);
LRESULT OnApplicationTrigger(const NotifyEvent* event, HPnxDv device);

// "Reason: (0x%04x) " with the change bits' texts (server and device messages only).
std::wstring FormatChangeReason(UINT message, const NotifyEvent& event);

// The request-use dialogs (another layer) tell the handlers what is open; null: none.
struct RequestDialogHooks {
    HWND (*requesterDialog)() = nullptr;         // the requester dialog of a use request
    HPnxDv (*requesterDevice)() = nullptr;       // the device it asks for
    HWND (*ownerDialog)() = nullptr;             // the owner-side dialog of a use request
    void (*deviceChanged)(HPnxDv device, int code) = nullptr;  // 1 freed/taken, 2 gone
};
void SetRequestDialogHooks(const RequestDialogHooks& hooks);

// The number of servers announced and not yet deleted.
int KnownServerCount();

// Shared by the handler files.
namespace notify_detail {
const ViewHandles& Views();
bool WithinStartWindow();
void UpdateButtons();
std::wstring Wide(const char* text, UINT codePage = CP_ACP);
std::wstring AddressText(uint32_t networkOrder);
const RequestDialogHooks& Hooks();
void CopyText(wchar_t* to, size_t chars, const std::wstring& from);
}  // namespace notify_detail
