// The hidden request windows: one server window per utility that listens on UDP 49300 (the
// holder's side), and one client window per outgoing request on an ephemeral port. Every
// datagram that moves an exchange reaches the owner window as UM_REQUEST_RECORD with the
// address of a UseRequestRecord in wParam (valid during the call) and the peer's IPv4 address
// (network order) in lParam.
#pragma once

#include <windows.h>

#include "use_request_codec.h"

constexpr UINT UM_REQUEST_SOCKET = 0x80C8;
constexpr UINT UM_REQUEST_RECORD = 0x8320;

// Once at start-up: the server window, owned by `owner` (the hidden main window).
BOOL CreateRequestServer(HINSTANCE instance, HWND owner, const wchar_t* ownPcName);
HWND GetRequestServerWindow();

// The holder's answers to the PC it is engaged with.
BOOL SendRequestAccepted();
BOOL SendRequestRefused();
BOOL SendDeviceReleased();
BOOL SendDeviceNotFound();
BOOL SendReleaseCountdown(BOOL withCountdown, DWORD seconds);

// A client window that asks `peerIPv4` (network order) for the device of `record` and reports
// to `owner`; null for a null record, address 0 or a failed first send.
HWND CreateRequestClient(HWND owner, DWORD peerIPv4, const UseRequestRecord* record);
BOOL SendRequest(HWND client);
BOOL CancelRequest(HWND client);
void StopRequestCountdown(HWND client);
void CloseRequestClient(HWND client);
bool AnyRequestClient();

// At exit: every request window and the class.
void DestroyRequestWindows(HINSTANCE instance);
