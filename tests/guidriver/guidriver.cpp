// guidriver.exe: drives another program's windows from the same Wine session, one command per
// run, and prints one JSON line with the answer. Commands:
//   wait CLASS TITLE MS            a visible top-level window ("*" matches any class or title)
//   find CLASS TITLE MS            the same, hidden windows too
//   gone HWND MS                   waits until the window is destroyed
//   msgbox MS                      a message box: its window, title, text and buttons
//   dialog ID MS                   a visible dialog (class #32770) that has a child control ID
//   menus MS                       the visible popup menus (class #32768), once one is shown
//   keys HWND KEY...               posts key strokes to the window's thread: down, up, left,
//                                  right, escape, enter (a menu takes Enter as its character), f5
//   children HWND                  every child control: id, class, text, visible, enabled, checked
//   text HWND ID | settext HWND ID TEXT
//   press HWND ID                  posts the button's click command to its dialog
//   check HWND ID 0|1              sets a check box and tells its dialog
//   ipaddr HWND ID A.B.C.D | ipaddr HWND ID PART   (PART fills the first field only)
//   listbox HWND ID                the items of a list box
//   listview HWND ID               the items of a list view: text, selected, checked
//   select HWND ID INDEX           selects a list-view item
//   selectonly HWND ID INDEX       selects a list-view item and no other
//   rows HWND ID                   the utility's device list: header items (text, id, width,
//                                  order), and per row its record, its data and its cell texts
//   treeitems HWND ID              the utility's tree: every item with its record's data, depth
//                                  first, children inside their parent
//   treeselect HWND ID ITEM        selects a tree item (its "item" from treeitems)
//   headerclick HWND ID COLUMN     clicks a list view's header item (mouse messages posted)
//   watch HWND LIST TREE ROWS ITEMS MS [MSG WPARAM LPARAM]
//                                  times the GUI thread (guidriver_watch.cpp)
//   paint HWND ID                  the time one full repaint of a control takes
//   exit MAIN DIALOG MSG WPARAM LPARAM MS
//                                  posts MSG to MAIN and times the program's exit (the same file)
//   post|send HWND MSG WPARAM LPARAM
//   screenshot FILE.bmp            the whole screen as a 24-bit bitmap
// "--exe NAME" before the command limits wait, find and msgbox to windows of processes whose
// program file is NAME, so that windows of other programs on the same screen never match.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "guidriver_watch.h"
#include "list_view.h"
#include "tree_view.h"

namespace {

std::string Json(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            char utf8[8] = {};
            WideCharToMultiByte(CP_UTF8, 0, &c, 1, utf8, sizeof utf8 - 1, nullptr, nullptr);
            out += utf8;
        }
    }
    return out + "\"";
}

std::wstring Wide(const char* text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
    return out;
}

HWND Handle(const char* text) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 0))); }

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return buffer.data();
}

std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

int Fail(const char* why) {
    std::printf("{\"ok\":false,\"error\":\"%s\"}\n", why);
    return 1;
}

std::wstring g_exe;  // --exe: the program whose windows count; empty = any

bool OfWantedProgram(HWND window) {
    if (g_exe.empty()) return true;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return false;
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    BOOL ok = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    if (!ok) return false;
    const wchar_t* name = wcsrchr(path, L'\\');
    return _wcsicmp(name ? name + 1 : path, g_exe.c_str()) == 0;
}

struct Search {
    std::wstring cls, title;
    bool visibleOnly = true;
    HWND found = nullptr;
};

BOOL CALLBACK FindTop(HWND window, LPARAM data) {
    auto* s = reinterpret_cast<Search*>(data);
    if (s->visibleOnly && !IsWindowVisible(window)) return TRUE;
    if (s->cls != L"*" && ClassOf(window) != s->cls) return TRUE;
    if (s->title != L"*" && TextOf(window) != s->title) return TRUE;
    if (!OfWantedProgram(window)) return TRUE;
    s->found = window;
    return FALSE;
}

HWND WaitWindow(const std::wstring& cls, const std::wstring& title, DWORD ms, bool visibleOnly) {
    const DWORD start = GetTickCount();
    for (;;) {
        Search s{cls, title, visibleOnly};
        EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        if (GetTickCount() - start > ms) return nullptr;
        Sleep(100);
    }
}

BOOL CALLBACK FindMessageBox(HWND window, LPARAM data) {
    if (!IsWindowVisible(window) || ClassOf(window) != L"#32770") return TRUE;
    if (!GetDlgItem(window, 0xFFFF)) return TRUE;  // the message box's text control
    if (!OfWantedProgram(window)) return TRUE;
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
}

std::string ChildrenJson(HWND parent) {
    std::string out = "[";
    bool first = true;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rc{};
        GetWindowRect(child, &rc);
        char head[256];
        std::snprintf(head, sizeof head, "%s{\"hwnd\":%llu,\"id\":%d,\"class\":", first ? "" : ",",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(child)), GetDlgCtrlID(child));
        out += head;
        out += Json(ClassOf(child));
        out += ",\"text\":" + Json(TextOf(child));
        DWORD_PTR checked = 0;
        SendMessageTimeoutW(child, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &checked);
        char tail[200];
        std::snprintf(tail, sizeof tail,
                      ",\"visible\":%s,\"enabled\":%s,\"checked\":%d,\"rect\":[%ld,%ld,%ld,%ld]}",
                      IsWindowVisible(child) ? "true" : "false", IsWindowEnabled(child) ? "true" : "false",
                      ClassOf(child) == L"Button" ? static_cast<int>(checked) : 0, rc.left, rc.top,
                      rc.right, rc.bottom);
        out += tail;
        first = false;
    }
    return out + "]";
}

// List-view texts live in the other process: the request and its buffer go there.
std::string ListViewJson(HWND list) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return "null";
    const SIZE_T bytes = sizeof(LVITEMW) + 512 * sizeof(wchar_t);
    auto* remote = static_cast<BYTE*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
    std::string out = "[";
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; remote && i < count; ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_STATE;
        item.iItem = i;
        item.stateMask = LVIS_SELECTED | LVIS_STATEIMAGEMASK;
        item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
        item.cchTextMax = 511;
        WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
        LVITEMW back{};
        wchar_t text[512] = {};
        ReadProcessMemory(process, remote, &back, sizeof back, nullptr);
        ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof text - sizeof(wchar_t), nullptr);
        char tail[96];
        std::snprintf(tail, sizeof tail, ",\"selected\":%s,\"checked\":%s}",
                      (back.state & LVIS_SELECTED) ? "true" : "false",
                      ((back.state & LVIS_STATEIMAGEMASK) >> 12) == 2 ? "true" : "false");
        out += std::string(i ? "," : "") + "{\"text\":" + Json(text) + tail;
    }
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return out + "]";
}


// A block of memory in the other process, freed with the object.
struct Remote {
    HANDLE process = nullptr;
    BYTE* at = nullptr;
    Remote(HWND window, SIZE_T bytes) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process) at = static_cast<BYTE*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
    }
    ~Remote() {
        if (at) VirtualFreeEx(process, at, 0, MEM_RELEASE);
        if (process) CloseHandle(process);
    }
    template <class T> bool Read(uint64_t address, T* out) const {
        return address && ReadProcessMemory(process, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), out,
                                            sizeof(T), nullptr);
    }
};

std::string Num(long long value) { return std::to_string(value); }

std::string MacJson(const uint8_t* mac) {
    char text[24];
    std::snprintf(text, sizeof text, "\"%02X:%02X:%02X:%02X:%02X:%02X\"", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

std::wstring Bounded(const wchar_t* text, size_t chars) { return std::wstring(text, wcsnlen(text, chars)); }

std::string HeaderJson(HWND list, Remote& remote) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    std::string out = "[";
    for (int i = 0; i < count; ++i) {
        HDITEMW item{};
        item.mask = HDI_TEXT | HDI_LPARAM | HDI_WIDTH | HDI_ORDER | HDI_FORMAT;
        item.pszText = reinterpret_cast<wchar_t*>(remote.at + sizeof(HDITEMW));
        item.cchTextMax = 255;
        WriteProcessMemory(remote.process, remote.at, &item, sizeof item, nullptr);
        SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(remote.at));
        HDITEMW back{};
        wchar_t text[256] = {};
        ReadProcessMemory(remote.process, remote.at, &back, sizeof back, nullptr);
        ReadProcessMemory(remote.process, remote.at + sizeof(HDITEMW), text, 255 * sizeof(wchar_t), nullptr);
        const char* sort = (back.fmt & HDF_SORTUP) ? "up" : (back.fmt & HDF_SORTDOWN) ? "down" : "";
        out += std::string(i ? "," : "") + "{\"text\":" + Json(text) + ",\"id\":" + Num(back.lParam) +
               ",\"width\":" + Num(back.cxy) + ",\"order\":" + Num(back.iOrder) + ",\"sort\":\"" + sort + "\"}";
    }
    return out + "]";
}

std::wstring CellText(HWND list, Remote& remote, int row, int column) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(remote.at + sizeof(LVITEMW));
    item.cchTextMax = 511;
    WriteProcessMemory(remote.process, remote.at, &item, sizeof item, nullptr);
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.at));
    wchar_t text[512] = {};
    ReadProcessMemory(remote.process, remote.at + sizeof(LVITEMW), text, 511 * sizeof(wchar_t), nullptr);
    return text;
}

// One read of the rows; false when the list changed under it (a row gone or its record freed
// between two messages), so that the caller reads again.
bool ReadRowsJson(HWND list, Remote& remote, std::string& json) {
    std::string out = "{\"header\":" + HeaderJson(list, remote) + ",\"rows\":[";
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    bool whole = true;
    for (int i = 0; i < count; ++i) {
        LVITEMW item{};
        item.mask = LVIF_PARAM | LVIF_STATE;
        item.iItem = i;
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        WriteProcessMemory(remote.process, remote.at, &item, sizeof item, nullptr);
        const bool got = SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.at)) != 0;
        LVITEMW back{};
        ReadProcessMemory(remote.process, remote.at, &back, sizeof back, nullptr);
        ListRowRecord record{};
        DeviceRowData data{};
        const bool has = got && remote.Read(static_cast<uint64_t>(back.lParam), &record) &&
                         remote.Read(reinterpret_cast<uint64_t>(record.data), &data);
        whole = whole && has;
        std::string row = std::string(i ? "," : "") + "{\"selected\":" + ((back.state & LVIS_SELECTED) ? "true" : "false") +
                          ",\"focused\":" + ((back.state & LVIS_FOCUSED) ? "true" : "false");
        if (has) {
            row += ",\"handle\":" + Num(static_cast<long long>(record.handle)) + ",\"state\":" + Num(record.lastState) +
                   ",\"name\":" + Json(Bounded(data.displayName, 512)) + ",\"classRow\":" + Num(data.classRow) +
                   ",\"stateRow\":" + Num(data.stateRow) + ",\"host\":" + Json(Bounded(data.hostName, 32)) +
                   ",\"address\":" + Json(Bounded(data.addressText, 32)) + ",\"model\":" +
                   Json(Bounded(data.modelName, 32)) + ",\"mac\":" + MacJson(data.macAddress) +
                   ",\"auto\":" + Num(data.autoConnect) + ",\"user\":" + Json(Bounded(data.userPcName, 256));
        }
        row += ",\"cells\":[";
        for (int c = 0; c < columns; ++c) row += std::string(c ? "," : "") + Json(CellText(list, remote, i, c));
        out += row + "]}";
    }
    json = out + "]}";
    return whole && count == static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

// The rows as the utility holds them. The utility changes its list while it is read from here,
// one message at a time: a read that saw the list change is made again.
std::string RowsJson(HWND list) {
    Remote remote(list, sizeof(LVITEMW) + sizeof(HDITEMW) + 1024 * sizeof(wchar_t));
    if (!remote.at) return "null";
    std::string json;
    for (int attempt = 0; attempt < 20 && !ReadRowsJson(list, remote, json); ++attempt) Sleep(50);
    return json;
}

// `whole` turns false when a server item's record could not be read: the item was being
// deleted while it was read.
std::string TreeLevelJson(HWND tree, Remote& remote, HTREEITEM first, bool servers, bool& whole) {
    std::string out = "[";
    bool any = false;
    for (HTREEITEM item = first; item;
         item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        TVITEMW get{};
        get.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE | TVIF_CHILDREN;
        get.hItem = item;
        get.stateMask = TVIS_SELECTED | TVIS_EXPANDED;
        get.pszText = reinterpret_cast<wchar_t*>(remote.at + sizeof(TVITEMW));
        get.cchTextMax = 1023;
        WriteProcessMemory(remote.process, remote.at, &get, sizeof get, nullptr);
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.at));
        TVITEMW back{};
        wchar_t text[1024] = {};
        ReadProcessMemory(remote.process, remote.at, &back, sizeof back, nullptr);
        ReadProcessMemory(remote.process, remote.at + sizeof(TVITEMW), text, 1023 * sizeof(wchar_t), nullptr);
        TreeItemRecord record{};
        remote.Read(static_cast<uint64_t>(back.lParam), &record);
        std::string node = any ? "," : "";
        node += "{\"item\":" + Num(static_cast<long long>(reinterpret_cast<uintptr_t>(item)));
        node += ",\"text\":" + Json(text) + ",\"selected\":" +
                           ((back.state & TVIS_SELECTED) ? "true" : "false") + ",\"hasChildren\":" + Num(back.cChildren);
        TreeServerData server{};
        TreeDeviceData device{};
        const bool serverRead = remote.Read(reinterpret_cast<uint64_t>(record.serverData), &server);
        if (servers && !serverRead) whole = false;
        if (serverRead) {
            node += ",\"server\":" + Num(static_cast<long long>(record.server)) + ",\"host\":" +
                    Json(Bounded(server.hostName, 64)) + ",\"address\":" + Json(Bounded(server.addressText, 16)) +
                    ",\"model\":" + Json(Bounded(server.modelName, 43)) + ",\"status\":" + Num(server.status) +
                    ",\"image\":" + Num(server.imageIndex) + ",\"mac\":" + MacJson(server.macAddress);
        }
        if (remote.Read(reinterpret_cast<uint64_t>(record.deviceData), &device)) {
            node += ",\"device\":" + Num(static_cast<long long>(record.device)) + ",\"name\":" +
                    Json(Bounded(device.displayName, 65)) + ",\"deviceName\":" + Json(Bounded(device.deviceName, 65)) +
                    ",\"classRow\":" + Num(device.classRow) + ",\"stateRow\":" + Num(device.stateRow) + ",\"user\":" +
                    Json(Bounded(device.userPcName, 64));
        }
        auto child = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        node += ",\"children\":" + TreeLevelJson(tree, remote, child, false, whole) + "}";
        out += node;
        any = true;
    }
    return out + "]";
}

std::string TreeJson(HWND tree) {
    Remote remote(tree, sizeof(TVITEMW) + 1024 * sizeof(wchar_t));
    if (!remote.at) return "null";
    // The tree may change while it is read, one message at a time: a read that saw an item
    // go, or the item count change, is made again.
    std::string json;
    for (int attempt = 0; attempt < 20; ++attempt) {
        const LRESULT count = SendMessageW(tree, TVM_GETCOUNT, 0, 0);
        bool whole = true;
        auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        json = TreeLevelJson(tree, remote, root, true, whole);
        if (whole && SendMessageW(tree, TVM_GETCOUNT, 0, 0) == count) break;
        Sleep(50);
    }
    return json;
}

int Screenshot(const char* path) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bitmap);
    BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + stride * h;
    FILE* out = std::fopen(path, "wb");
    bool ok = out && std::fwrite(&file, sizeof file, 1, out) == 1 &&
              std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
              std::fwrite(bits, stride * h, 1, out) == 1;
    if (out) std::fclose(out);
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    if (!ok) return Fail("screenshot not written");
    std::printf("{\"ok\":true,\"width\":%d,\"height\":%d}\n", w, h);
    return 0;
}

struct ChildSearch {
    int id = 0;
    HWND found = nullptr;
};

BOOL CALLBACK FindDialogWithChild(HWND window, LPARAM data) {
    auto* s = reinterpret_cast<ChildSearch*>(data);
    if (!IsWindowVisible(window) || ClassOf(window) != L"#32770" || !GetDlgItem(window, s->id)) return TRUE;
    if (!OfWantedProgram(window)) return TRUE;
    s->found = window;
    return FALSE;
}

BOOL CALLBACK CollectMenus(HWND window, LPARAM data) {
    if (IsWindowVisible(window) && ClassOf(window) == L"#32768" && OfWantedProgram(window)) {
        reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
    }
    return TRUE;
}

std::string RectJson(const RECT& rc) {
    return "[" + std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
           std::to_string(rc.bottom) + "]";
}

// Posted key strokes reach whatever runs the window's thread: a dialog, or the loop of a
// tracked popup menu, which reads the keys of its thread's queue.
bool PostKey(HWND window, const std::string& name) {
    struct Key { const char* name; WPARAM vk; UINT scan; };
    static const Key keys[] = {{"down", VK_DOWN, 0x50}, {"up", VK_UP, 0x48}, {"left", VK_LEFT, 0x4B},
                               {"right", VK_RIGHT, 0x4D}, {"escape", VK_ESCAPE, 0x01}, {"enter", VK_RETURN, 0x1C},
                               {"f5", VK_F5, 0x3F}};
    for (const Key& key : keys) {
        if (name != key.name) continue;
        const LPARAM down = 1 | (static_cast<LPARAM>(key.scan) << 16);
        if (key.vk == VK_RETURN) return PostMessageW(window, WM_CHAR, L'\r', down) != FALSE;
        return PostMessageW(window, WM_KEYDOWN, key.vk, down) &&
               PostMessageW(window, WM_KEYUP, key.vk, down | (static_cast<LPARAM>(3) << 30));
    }
    return false;
}

void ClickCommand(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--exe") == 0) {
        g_exe = Wide(argv[2]);
        argv += 2;
        argc -= 2;
    }
    if (argc < 2) return Fail("no command");
    const std::string command = argv[1];
    auto arg = [&](int i) -> const char* { return i < argc ? argv[i] : ""; };
    if ((command == "wait" || command == "find") && argc >= 5) {
        HWND window = WaitWindow(Wide(argv[2]), Wide(argv[3]), static_cast<DWORD>(std::atoi(argv[4])), command == "wait");
        if (!window) return Fail("no such window");
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        RECT rc{}, client{};
        GetWindowRect(window, &rc);
        GetClientRect(window, &client);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
        std::printf("{\"ok\":true,\"hwnd\":%llu,\"pid\":%lu,\"title\":%s,\"visible\":%s,"
                    "\"rect\":[%ld,%ld,%ld,%ld],\"client\":[%ld,%ld,%ld,%ld]}\n",
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)), pid, Json(TextOf(window)).c_str(),
                    IsWindowVisible(window) ? "true" : "false", rc.left, rc.top, rc.right, rc.bottom, client.left,
                    client.top, client.right, client.bottom);
        return 0;
    }
    if (command == "gone" && argc >= 4) {
        HWND window = Handle(argv[2]);
        const DWORD start = GetTickCount();
        while (IsWindow(window)) {
            if (GetTickCount() - start > static_cast<DWORD>(std::atoi(argv[3]))) return Fail("still there");
            Sleep(100);
        }
        std::printf("{\"ok\":true}\n");
        return 0;
    }
    if (command == "msgbox" && argc >= 3) {
        const DWORD start = GetTickCount();
        HWND box = nullptr;
        while (!box) {
            EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&box));
            if (box) break;
            if (GetTickCount() - start > static_cast<DWORD>(std::atoi(argv[2]))) return Fail("no message box");
            Sleep(100);
        }
        std::printf("{\"ok\":true,\"hwnd\":%llu,\"title\":%s,\"text\":%s,\"children\":%s}\n",
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(box)), Json(TextOf(box)).c_str(),
                    Json(TextOf(GetDlgItem(box, 0xFFFF))).c_str(), ChildrenJson(box).c_str());
        return 0;
    }
    if (command == "dialog" && argc >= 4) {
        const DWORD start = GetTickCount();
        ChildSearch search{std::atoi(argv[2])};
        for (;;) {
            EnumWindows(FindDialogWithChild, reinterpret_cast<LPARAM>(&search));
            if (search.found) break;
            if (GetTickCount() - start > static_cast<DWORD>(std::atoi(argv[3]))) return Fail("no such dialog");
            Sleep(50);
        }
        RECT rc{};
        GetWindowRect(search.found, &rc);
        std::printf("{\"ok\":true,\"hwnd\":%llu,\"title\":%s,\"rect\":%s}\n",
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(search.found)),
                    Json(TextOf(search.found)).c_str(), RectJson(rc).c_str());
        return 0;
    }
    if (command == "menus" && argc >= 3) {
        const DWORD start = GetTickCount();
        std::vector<HWND> menus;
        for (;;) {
            menus.clear();
            EnumWindows(CollectMenus, reinterpret_cast<LPARAM>(&menus));
            if (!menus.empty()) break;
            if (GetTickCount() - start > static_cast<DWORD>(std::atoi(argv[2]))) return Fail("no menu");
            Sleep(50);
        }
        std::string out = "[";
        for (size_t i = 0; i < menus.size(); ++i) {
            RECT rc{};
            GetWindowRect(menus[i], &rc);
            out += std::string(i ? "," : "") + "{\"hwnd\":" +
                   std::to_string(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(menus[i]))) +
                   ",\"rect\":" + RectJson(rc) + "}";
        }
        std::printf("{\"ok\":true,\"menus\":%s]}\n", out.c_str());
        return 0;
    }
    if (command == "keys" && argc >= 4) {
        HWND window = Handle(argv[2]);
        for (int i = 3; i < argc; ++i) {
            if (!PostKey(window, argv[i])) return Fail("key not posted");
        }
        std::printf("{\"ok\":true}\n");
        return 0;
    }
    if (command == "children" && argc >= 3) {
        std::printf("{\"ok\":true,\"title\":%s,\"children\":%s}\n", Json(TextOf(Handle(argv[2]))).c_str(),
                    ChildrenJson(Handle(argv[2])).c_str());
        return 0;
    }
    if (command == "text" && argc >= 3) {
        HWND window = argc >= 4 ? GetDlgItem(Handle(argv[2]), std::atoi(argv[3])) : Handle(argv[2]);
        if (!window) return Fail("no such window");
        std::printf("{\"ok\":true,\"text\":%s}\n", Json(TextOf(window)).c_str());
        return 0;
    }
    if (command == "settext" && argc >= 5) {
        HWND control = GetDlgItem(Handle(argv[2]), std::atoi(argv[3]));
        if (!control) return Fail("no such control");
        std::wstring text = Wide(argv[4]);
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        std::printf("{\"ok\":true}\n");
        return 0;
    }
    if (command == "press" && argc >= 4) {
        ClickCommand(Handle(argv[2]), std::atoi(argv[3]));
        std::printf("{\"ok\":true}\n");
        return 0;
    }
    if (command == "check" && argc >= 5) {
        HWND dialog = Handle(argv[2]);
        SendDlgItemMessageW(dialog, std::atoi(argv[3]), BM_SETCHECK, std::atoi(argv[4]) ? BST_CHECKED : BST_UNCHECKED, 0);
        ClickCommand(dialog, std::atoi(argv[3]));
        std::printf("{\"ok\":true}\n");
        return 0;
    }
    if (command == "ipaddr" && argc >= 5) {
        HWND control = GetDlgItem(Handle(argv[2]), std::atoi(argv[3]));
        if (!control) return Fail("no such control");
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (std::sscanf(argv[4], "%u.%u.%u.%u", &a, &b, &c, &d) == 4) {
            SendMessageW(control, IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, d));
        } else {
            SendMessageW(control, IPM_CLEARADDRESS, 0, 0);
            std::wstring part = Wide(argv[4]);
            // The fields are edit children; the first one created is the leftmost.
            HWND field = FindWindowExW(control, nullptr, L"Edit", nullptr);
            HWND leftmost = field;
            for (HWND f = field; f; f = FindWindowExW(control, f, L"Edit", nullptr)) {
                RECT r1{}, r2{};
                GetWindowRect(f, &r1);
                GetWindowRect(leftmost, &r2);
                if (r1.left < r2.left) leftmost = f;
            }
            if (leftmost) SendMessageW(leftmost, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(part.c_str()));
        }
        std::printf("{\"ok\":true}\n");
        return 0;
    }
    if (command == "listbox" && argc >= 4) {
        HWND list = GetDlgItem(Handle(argv[2]), std::atoi(argv[3]));
        if (!list) return Fail("no such control");
        const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        std::string out = "[";
        for (int i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 255) SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            out += std::string(i ? "," : "") + Json(text);
        }
        std::printf("{\"ok\":true,\"items\":%s],\"selected\":%d}\n", out.c_str(),
                    static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)));
        return 0;
    }
    if (command == "listview" && argc >= 4) {
        HWND list = GetDlgItem(Handle(argv[2]), std::atoi(argv[3]));
        if (!list) return Fail("no such control");
        std::printf("{\"ok\":true,\"items\":%s}\n", ListViewJson(list).c_str());
        return 0;
    }
    if (command == "rows" && argc >= 4) {
        HWND list = GetDlgItem(Handle(argv[2]), std::atoi(argv[3]));
        if (!list) return Fail("no such control");
        std::printf("{\"ok\":true,\"list\":%s}\n", RowsJson(list).c_str());
        return 0;
    }
    if (command == "treeitems" && argc >= 4) {
        HWND tree = GetDlgItem(Handle(argv[2]), std::atoi(argv[3]));
        if (!tree) return Fail("no such control");
        std::printf("{\"ok\":true,\"items\":%s}\n", TreeJson(tree).c_str());
        return 0;
    }
    if (command == "treeselect" && argc >= 5) {
        HWND tree = GetDlgItem(Handle(argv[2]), std::atoi(argv[3]));
        if (!tree) return Fail("no such control");
        const auto item = static_cast<LPARAM>(std::strtoull(argv[4], nullptr, 0));
        if (!SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, item)) return Fail("not selected");
        std::printf("{\"ok\":true}\n");
        return 0;
    }
    if ((command == "select" || command == "selectonly") && argc >= 5) {
        HWND list = GetDlgItem(Handle(argv[2]), std::atoi(argv[3]));
        DWORD pid = 0;
        GetWindowThreadProcessId(list, &pid);
        HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
        if (!list || !process) return Fail("no such control");
        void* remote = VirtualAllocEx(process, nullptr, sizeof(LVITEMW), MEM_COMMIT, PAGE_READWRITE);
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        if (command == "selectonly") {  // index -1: every item
            WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
            SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(remote));
        }
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        SendMessageW(list, LVM_SETITEMSTATE, std::atoi(argv[4]), reinterpret_cast<LPARAM>(remote));
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        CloseHandle(process);
        std::printf("{\"ok\":true}\n");
        return 0;
    }
    if (command == "headerclick" && argc >= 5) {
        HWND list = GetDlgItem(Handle(argv[2]), std::atoi(argv[3]));
        HWND header = list ? reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)) : nullptr;
        Remote remote(header, sizeof(RECT));
        if (!header || !remote.at) return Fail("no such control");
        RECT rc{};
        if (!SendMessageW(header, HDM_GETITEMRECT, std::atoi(argv[4]), reinterpret_cast<LPARAM>(remote.at)) ||
            !ReadProcessMemory(remote.process, remote.at, &rc, sizeof rc, nullptr)) {
            return Fail("no such header item");
        }
        // An item beyond the list's width is scrolled into view first: the header takes clicks
        // inside its window only.
        RECT client{};
        GetClientRect(list, &client);
        SendMessageW(list, LVM_SCROLL, static_cast<WPARAM>(-100000), 0);
        if (rc.right > client.right) SendMessageW(list, LVM_SCROLL, static_cast<WPARAM>(rc.right - client.right + 8), 0);
        const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        PostMessageW(header, WM_MOUSEMOVE, 0, at);
        PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(header, WM_LBUTTONUP, 0, at);
        std::printf("{\"ok\":true}\n");
        return 0;
    }
    if (command == "watch" && argc >= 8) {
        WatchRequest request;
        request.dialog = Handle(argv[2]);
        request.list = GetDlgItem(request.dialog, std::atoi(argv[3]));
        request.tree = GetDlgItem(request.dialog, std::atoi(argv[4]));
        request.rows = std::atoi(argv[5]);
        request.items = std::atoi(argv[6]);
        request.milliseconds = static_cast<DWORD>(std::strtoul(argv[7], nullptr, 0));
        if (argc >= 11) {
            request.message = static_cast<UINT>(std::strtoul(argv[8], nullptr, 0));
            request.wParam = static_cast<WPARAM>(std::strtoull(argv[9], nullptr, 0));
            request.lParam = static_cast<LPARAM>(std::strtoll(argv[10], nullptr, 0));
        }
        if (!request.list || !request.tree) return Fail("no such control");
        return WatchGuiThread(request);
    }
    if (command == "exit" && argc >= 8) {
        return TimeExit(Handle(argv[2]), Handle(argv[3]), static_cast<UINT>(std::strtoul(argv[4], nullptr, 0)),
                        static_cast<WPARAM>(std::strtoull(argv[5], nullptr, 0)),
                        static_cast<LPARAM>(std::strtoll(argv[6], nullptr, 0)),
                        static_cast<DWORD>(std::strtoul(argv[7], nullptr, 0)));
    }
    if (command == "paint" && argc >= 4) {
        HWND control = GetDlgItem(Handle(argv[2]), std::atoi(argv[3]));
        if (!control) return Fail("no such control");
        return TimeRepaint(control);
    }
    if ((command == "post" || command == "send") && argc >= 6) {
        HWND window = Handle(argv[2]);
        const UINT message = static_cast<UINT>(std::strtoul(argv[3], nullptr, 0));
        const WPARAM wParam = static_cast<WPARAM>(std::strtoull(argv[4], nullptr, 0));
        const LPARAM lParam = static_cast<LPARAM>(std::strtoll(argv[5], nullptr, 0));
        if (command == "post") {
            if (!PostMessageW(window, message, wParam, lParam)) return Fail("not posted");
            std::printf("{\"ok\":true}\n");
        } else {
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 20000, &result)) return Fail("no answer");
            std::printf("{\"ok\":true,\"result\":%lld}\n", static_cast<long long>(result));
        }
        return 0;
    }
    if (command == "screenshot" && argc >= 3) return Screenshot(argv[2]);
    (void)arg;
    return Fail("unknown command");
}
