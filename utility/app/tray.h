// The tray icon of the hidden main window: its states and animations, the balloon queue and
// the Request queue (hidden list controls), the owner-drawn tray menu, and disconnecting all
// of this PC's devices around a system suspend.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr int kTrayAdd = 0;
constexpr int kTrayStill = 1;
constexpr int kTrayAnimateError = 2;    // icons 182-191, once
constexpr int kTrayAnimateRequest = 3;  // icons 192-201, once
constexpr int kTrayDelete = -1;

constexpr int kTrayQuestionRequest = 2;   // 3 while a request dialog is open, else 1
constexpr int kTrayQuestionBalloons = 3;  // 2 while balloons are queued, else 1

constexpr UINT kBalloonTimerId = 1;
constexpr int IDC_BALLOON_QUEUE = 0x8064;
constexpr int IDC_REQUEST_QUEUE = 0x8065;

void SetTrayState(HWND window, int state, const wchar_t* tip);
// True while the icon shows the program's still image (added or set still, no animation since).
bool TrayIsStill();
int GetTrayState(HWND window, int question);
BOOL NotifyTrayIcon(HWND window, DWORD message, HICON icon, const wchar_t* tip);

// The two hidden queues, created with the tray icon.
void CreateTrayQueues(HWND window);
BOOL QueueBalloon(HWND window, uint64_t key, const wchar_t* rowText, const wchar_t* section, const wchar_t* titleKey,
                  const wchar_t* textKey, const wchar_t* argument, uint32_t displayTime);
void RemoveBalloons(HWND window, uint64_t key);
void ClearBalloonQueue(HWND window);
void HideBalloon(HWND window);
void ShowNextBalloon(HWND window);
// Timer 1: the balloon's display time is over.
void OnBalloonTimer(HWND window);
// WM_NOTIFY of the queues: frees a balloon record when its row goes; the rest answers 0.
LRESULT OnTrayQueueNotify(HWND window, const NMHDR* header);
// At exit and on REFRESH: timer, balloon, queue and icon back to rest.
void ResetBalloons(HWND window);

void QueueRequest(HWND window, uint64_t device);
int RemoveRequest(HWND window, uint64_t device);
int GetRequestCount(HWND window);
uint64_t GetRequestAt(HWND window, int index);

// The balloon part of the tray callback (NIN_BALLOON*).
void OnBalloonEvent(HWND window, LPARAM event);
// 0x81F6: the mouse and balloon part of the tray callback.
void OnTrayCallback(HWND window, LPARAM event);
void ShowTrayMenu(HWND window);
// FALSE when `id` is none of the tray menu's device ids.
BOOL OnTrayMenuCommand(HWND window, UINT id);

// Disconnects this PC's devices; with `remember` they are listed for ReconnectDevices.
void DisconnectAllDevices(bool remember);
void ReconnectDevices();
// A device of the list is connected here (or its state is not yet known) by this PC.
bool AnyDeviceInUse();
