#include "balloon_queue.h"

#include <deque>

#include "app.h"

namespace {
std::deque<BalloonRecord> g_balloons;  // guarded by the list lock
}  // namespace

BOOL QueueBalloon(HWND, uint64_t key, const wchar_t* rowText, const wchar_t* section, const wchar_t* titleKey,
                  const wchar_t* textKey, const wchar_t* argument, uint32_t displayMs) {
    if (!section || !*section) return FALSE;
    LockLists();
    for (const BalloonRecord& queued : g_balloons) {
        if (queued.key == key) {
            UnlockLists();
            return FALSE;
        }
    }
    g_balloons.push_back({rowText ? rowText : L"", section, titleKey ? titleKey : L"", textKey ? textKey : L"",
                          argument ? argument : L"", displayMs, key});
    UnlockLists();
    return TRUE;
}

void RemoveBalloons(HWND, uint64_t key) {
    LockLists();
    if (key == 0) {
        if (!g_balloons.empty()) g_balloons.pop_front();
    } else {
        for (auto it = g_balloons.begin(); it != g_balloons.end();) it = it->key == key ? g_balloons.erase(it) : it + 1;
    }
    UnlockLists();
}

void ClearBalloonQueue(HWND) {
    LockLists();
    g_balloons.clear();
    UnlockLists();
}

size_t QueuedBalloonCount() { return g_balloons.size(); }

const BalloonRecord* FirstQueuedBalloon() { return g_balloons.empty() ? nullptr : &g_balloons.front(); }
