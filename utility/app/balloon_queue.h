// The queue of pending tray balloons: one entry per key (the server or device the balloon is
// about). The tray shows the first entry; the notification handlers queue and withdraw them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct BalloonRecord {
    std::wstring rowText;
    std::wstring section;
    std::wstring titleKey;
    std::wstring textKey;
    std::wstring argument;
    uint32_t displayMs = 0;
    uint64_t key = 0;
};

// FALSE without queuing when a balloon with the same key is queued or the section is empty.
BOOL QueueBalloon(HWND window, uint64_t key, const wchar_t* rowText, const wchar_t* section, const wchar_t* titleKey,
                  const wchar_t* textKey, const wchar_t* argument, uint32_t displayMs);
// With a key: deletes every queued balloon with that key; key 0 deletes the first one.
void RemoveBalloons(HWND window, uint64_t key);
void ClearBalloonQueue(HWND window);
size_t QueuedBalloonCount();
// The first queued balloon, or null.
const BalloonRecord* FirstQueuedBalloon();
