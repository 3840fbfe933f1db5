#include "child_windows.h"

#include <map>
#include <mutex>
#include <utility>

namespace {
constexpr size_t kRememberedLimit = 4096;  // above this the table starts again

std::mutex g_childMutex;                       // guards g_children
std::map<std::pair<HWND, int>, HWND> g_children;  // guarded by g_childMutex

bool StillChild(HWND child, HWND parent, int id) {
    return IsWindow(child) && GetParent(child) == parent && GetDlgCtrlID(child) == id;
}

BOOL CALLBACK SetRedraw(HWND child, LPARAM on) {
    if (GetParent(child) != nullptr) SendMessageA(child, WM_SETREDRAW, static_cast<WPARAM>(on), 0);
    if (on) RedrawWindow(child, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    return TRUE;
}
}  // namespace

HWND ChildWindow(HWND parent, int id) {
    if (!parent) return nullptr;
    const auto key = std::make_pair(parent, id);
    {
        std::lock_guard<std::mutex> guard(g_childMutex);
        auto found = g_children.find(key);
        if (found != g_children.end()) {
            if (StillChild(found->second, parent, id)) return found->second;
            g_children.erase(found);
        }
    }
    HWND child = GetDlgItem(parent, id);
    if (!child) return nullptr;
    std::lock_guard<std::mutex> guard(g_childMutex);
    if (g_children.size() >= kRememberedLimit) g_children.clear();
    g_children[key] = child;
    return child;
}

void ForgetChildWindows(HWND parent) {
    std::lock_guard<std::mutex> guard(g_childMutex);
    auto first = g_children.lower_bound(std::make_pair(parent, INT_MIN));
    auto last = g_children.upper_bound(std::make_pair(parent, INT_MAX));
    g_children.erase(first, last);
}

void SetChildrenRedraw(HWND parent, bool on) {
    if (parent) EnumChildWindows(parent, SetRedraw, on ? TRUE : FALSE);
}
