// The request-use dialogs: on this PC's side the requester dialog asks the PC that holds a
// device to release it and shows that PC's answers; on the holder's side a received request is
// answered at once or shown in the answer dialog. Both are the toast of resource 1008, and at
// most one of them is open at a time.
#pragma once

#include <windows.h>

#include <cstdint>

#include "../../../client/pnxscapi.h"

// Sent to the answer dialog when the requester withdrew its request.
constexpr UINT UM_REQUEST_CANCELLED = 0x82BC;

constexpr uint16_t kRequestOriginButton = 1;       // the REQUEST button or the tray
constexpr uint16_t kRequestOriginApplication = 2;  // a watched application started

// The requester dialog for `device` (used by another PC); its answer (0 none or refused,
// 1 connected, 2 failed or closed), or -1 when another request dialog is open (after
// [ERROR] MESSAGE18) or the device has no user address.
INT_PTR SendUseRequest(HWND owner, HPnxDv device, uint16_t origin);
// The REQUEST command of the main dialog: the first selected device used by another PC.
void OnRequestButton(HWND mainDialog);

// UM_REQUEST_RECORD of the server request window (wParam: the record, lParam: the peer).
void OnRemoteRequest(HWND owner, WPARAM record, LPARAM peerIPv4);

// A connect or disconnect that a request dialog started has finished with `result` (1 done,
// 2 failed, 0 cancelled).
void CloseRequestDialogs(HPnxDv device, int result);

HWND GetRequestDialogWindow();
HWND GetAnswerDialogWindow();
int GetRequestDialogKind();
// -1 no dialog, 0 the answer dialog is open, 1 the requester dialog is for `device`, 2 for another.
int IsRequestForDevice(HPnxDv device);
// Ends an open request dialog at once (exit).
void EndRequestDialogs();

// Start-up: the server request window owned by `mainWindow`, and the hooks through which the
// notification handlers reach the dialogs.
BOOL StartRequestService(HINSTANCE instance, HWND mainWindow);
void StopRequestService(HINSTANCE instance);
