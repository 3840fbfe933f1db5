// A stand-in for the spooler calls the client library makes, for end-to-end runs under Wine
// (whose spooler gives no change notifications and cannot queue jobs). Built as winspool.drv
// into the test programs' folder and loaded only by a program started with the override
// "winspool.drv=n,b"; every other program keeps Wine's spooler. Its printers and their jobs are
// what a test wrote into the registry (fake_spooler_registry.h); a change there signals the
// change notifications of the printers it touched, as the spooler does when a job is added or
// deleted, a printer's port changes or a printer is deleted.
#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "fake_spooler_registry.h"
#include "win_handles.h"

namespace {

constexpr DWORD kPrinterTimeoutMs = 15000;
constexpr DWORD kRetryTimeoutMs = 45000;

struct PrinterState {
    std::string driver;
    std::string port;
    DWORD jobBytes = 0;
};

struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const { return _stricmp(a.c_str(), b.c_str()) < 0; }
};
using Snapshot = std::map<std::string, PrinterState, CaseLess>;

std::string ReadText(HKEY key, const char* name) {
    char text[512] = {};
    DWORD size = sizeof text - 1, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return "";
    }
    return std::string(text, strnlen(text, sizeof text));
}

DWORD ReadNumber(HKEY key, const char* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD) {
        return 0;
    }
    return value;
}

// The printers as the registry holds them now.
Snapshot ReadPrinters() {
    Snapshot printers;
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, fakespool::SetPath().c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) {
        return printers;
    }
    qz::RegKey set(raw);
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(set.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY one = nullptr;
        if (RegOpenKeyExA(set.get(), name, 0, KEY_READ, &one) != ERROR_SUCCESS) continue;
        qz::RegKey printer(one);
        printers[name] = {ReadText(one, fakespool::kDriver), ReadText(one, fakespool::kPort),
                          ReadNumber(one, fakespool::kJobBytes)};
    }
    return printers;
}

// An open printer: the handle the caller holds is the address of one of these.
struct OpenPrinterRecord {
    std::string name;
};

// One change notification; its handle is its event (manual reset).
struct Watch {
    HANDLE event = nullptr;
    std::string name;
    DWORD filter = 0;
    bool wantsJobCount = false;
    bool wantsPort = false;
    PrinterState last;
    bool present = true;
    DWORD pending = 0;
    bool jobCountChanged = false;
    bool portChanged = false;
};

std::mutex g_lock;  // guards everything below
std::set<OpenPrinterRecord*> g_open;
std::map<HANDLE, Watch> g_watches;
bool g_watcherStarted = false;

bool FindOpen(HANDLE printer, std::string* name) {
    std::lock_guard<std::mutex> hold(g_lock);
    auto* record = static_cast<OpenPrinterRecord*>(printer);
    if (!g_open.count(record)) return false;
    *name = record->name;
    return true;
}

// What one notification learns from the printers as they are now.
void Compare(Watch& w, const Snapshot& now) {
    auto it = now.find(w.name);
    if (it == now.end()) {
        if (w.present) w.pending |= PRINTER_CHANGE_DELETE_PRINTER;
        w.present = false;
        return;
    }
    const PrinterState& s = it->second;
    if ((s.jobBytes != 0) != (w.last.jobBytes != 0)) {
        w.pending |= s.jobBytes ? PRINTER_CHANGE_ADD_JOB : PRINTER_CHANGE_DELETE_JOB;
        w.jobCountChanged = true;
    } else if (s.jobBytes != w.last.jobBytes) {
        w.pending |= PRINTER_CHANGE_SET_JOB;
    }
    if (s.port != w.last.port) {
        w.pending |= PRINTER_CHANGE_SET_PRINTER;
        w.portChanged = true;
    }
    w.last = s;
}

void CompareAll() {
    Snapshot now = ReadPrinters();
    std::lock_guard<std::mutex> hold(g_lock);
    for (auto& [event, w] : g_watches) {
        Compare(w, now);
        if (w.pending & w.filter) SetEvent(event);
    }
}

// Follows the registry for the process's life: every change is compared at once.
DWORD WINAPI WatcherMain(void*) {
    HKEY raw = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, fakespool::SetPath().c_str(), 0, nullptr, 0, KEY_READ | KEY_NOTIFY,
                        nullptr, &raw, nullptr) != ERROR_SUCCESS) {
        return 1;
    }
    qz::RegKey set(raw);
    qz::Handle changed(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!changed) return 1;
    for (;;) {
        if (RegNotifyChangeKeyValue(set.get(), TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                    changed.get(), TRUE) != ERROR_SUCCESS) {
            return 1;
        }
        CompareAll();  // after arming, so that no change between the two goes unseen
        WaitForSingleObject(changed.get(), INFINITE);
    }
}

void StartWatcherLocked() {
    if (g_watcherStarted) return;
    HANDLE thread = CreateThread(nullptr, 0, WatcherMain, nullptr, 0, nullptr);
    if (!thread) return;
    CloseHandle(thread);
    g_watcherStarted = true;
}

void ReadWantedFields(const PRINTER_NOTIFY_OPTIONS* options, Watch* w) {
    for (DWORD i = 0; options && options->pTypes && i < options->Count; ++i) {
        const PRINTER_NOTIFY_OPTIONS_TYPE& type = options->pTypes[i];
        if (type.Type != PRINTER_NOTIFY_TYPE) continue;
        for (DWORD f = 0; type.pFields && f < type.Count; ++f) {
            if (type.pFields[f] == PRINTER_NOTIFY_FIELD_CJOBS) w->wantsJobCount = true;
            if (type.pFields[f] == PRINTER_NOTIFY_FIELD_PORT_NAME) w->wantsPort = true;
        }
    }
}

// Lays fixed records out at the start of a caller's buffer and their texts after them.
class Packer {
public:
    Packer(BYTE* buffer, DWORD size, size_t fixedBytes) : buffer_(buffer), size_(size), next_(fixedBytes) {}
    void Measure(const std::string& text) { next_ += text.size() + 1; }
    char* Put(const std::string& text) {
        char* at = reinterpret_cast<char*>(buffer_ + next_);
        memcpy(at, text.c_str(), text.size() + 1);
        next_ += text.size() + 1;
        return at;
    }
    size_t used() const { return next_; }
    bool fits() const { return buffer_ && next_ <= size_; }

private:
    BYTE* buffer_;
    DWORD size_;
    size_t next_;
};

template <typename Fill>
BOOL Enumerate(size_t count, size_t fixed, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned, Fill fill) {
    Packer measure(nullptr, 0, count * fixed);
    for (size_t i = 0; i < count; ++i) fill(i, &measure, false);
    if (needed) *needed = static_cast<DWORD>(measure.used());
    if (returned) *returned = 0;
    if (!buffer || measure.used() > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    Packer packer(buffer, size, count * fixed);
    for (size_t i = 0; i < count; ++i) fill(i, &packer, true);
    if (returned) *returned = static_cast<DWORD>(count);
    return TRUE;
}

// A text in the record when filling, its room when measuring.
char* Text(Packer* p, bool filling, const std::string& text) {
    if (filling) return p->Put(text);
    p->Measure(text);
    return nullptr;
}

void FillPrinter(DWORD level, BYTE* record, const std::string& name, const PrinterState& s, Packer* p, bool f) {
    if (level == 1) {
        auto* r = reinterpret_cast<PRINTER_INFO_1A*>(record);
        char* description = Text(p, f, name + "," + s.driver + ",");
        char* printerName = Text(p, f, name);
        char* comment = Text(p, f, "");
        if (f) *r = {PRINTER_ENUM_ICON8, description, printerName, comment};
    } else if (level == 2) {
        auto* r = reinterpret_cast<PRINTER_INFO_2A*>(record);
        char* names[] = {Text(p, f, name), Text(p, f, s.port), Text(p, f, s.driver), Text(p, f, ""),
                         Text(p, f, "winprint"), Text(p, f, "RAW")};
        if (!f) return;
        *r = {};
        r->pPrinterName = names[0];
        r->pShareName = r->pComment = r->pLocation = r->pSepFile = r->pParameters = names[3];
        r->pPortName = names[1];
        r->pDriverName = names[2];
        r->pPrintProcessor = names[4];
        r->pDatatype = names[5];
        r->Attributes = PRINTER_ATTRIBUTE_LOCAL;
        r->Priority = 1;
        r->cJobs = s.jobBytes ? 1 : 0;
    } else if (level == 4) {
        auto* r = reinterpret_cast<PRINTER_INFO_4A*>(record);
        char* printerName = Text(p, f, name);
        if (f) *r = {printerName, nullptr, PRINTER_ATTRIBUTE_LOCAL};
    } else {
        auto* r = reinterpret_cast<PRINTER_INFO_5A*>(record);
        char* printerName = Text(p, f, name);
        char* port = Text(p, f, s.port);
        if (f) *r = {printerName, port, PRINTER_ATTRIBUTE_LOCAL, kPrinterTimeoutMs, kRetryTimeoutMs};
    }
}

size_t PrinterRecordSize(DWORD level) {
    switch (level) {
    case 1: return sizeof(PRINTER_INFO_1A);
    case 2: return sizeof(PRINTER_INFO_2A);
    case 4: return sizeof(PRINTER_INFO_4A);
    case 5: return sizeof(PRINTER_INFO_5A);
    default: return 0;
    }
}

void FillJob(DWORD level, BYTE* record, const std::string& printer, const PrinterState& s, Packer* p, bool f) {
    char* texts[] = {Text(p, f, printer), Text(p, f, ""), Text(p, f, "qz"), Text(p, f, "QZ test page"),
                     Text(p, f, "RAW")};
    if (level == 1) {
        char* status = Text(p, f, "");
        if (!f) return;
        auto* r = reinterpret_cast<JOB_INFO_1A*>(record);
        *r = {};
        r->JobId = 1;
        r->pPrinterName = texts[0];
        r->pMachineName = texts[1];
        r->pUserName = texts[2];
        r->pDocument = texts[3];
        r->pDatatype = texts[4];
        r->pStatus = status;
        r->Priority = r->Position = r->TotalPages = 1;
        return;
    }
    char* processor = Text(p, f, "winprint");
    char* driver = Text(p, f, s.driver);
    if (!f) return;
    auto* r = reinterpret_cast<JOB_INFO_2A*>(record);
    *r = {};
    r->JobId = 1;
    r->pPrinterName = texts[0];
    r->pMachineName = r->pNotifyName = r->pParameters = texts[1];
    r->pUserName = texts[2];
    r->pDocument = texts[3];
    r->pDatatype = texts[4];
    r->pPrintProcessor = processor;
    r->pDriverName = driver;
    r->Priority = r->Position = r->TotalPages = 1;
    r->Size = s.jobBytes;
}

// The changed fields the notification asked for, in one block that FreePrinterNotifyInfo frees.
PRINTER_NOTIFY_INFO* NotifyInfo(const Watch& w, const PrinterState& now) {
    bool jobCount = w.wantsJobCount && w.jobCountChanged;
    bool port = w.wantsPort && w.portChanged;
    DWORD count = (jobCount ? 1 : 0) + (port ? 1 : 0);
    std::wstring portText(now.port.begin(), now.port.end());
    size_t head = sizeof(PRINTER_NOTIFY_INFO) + (count ? count - 1 : 0) * sizeof(PRINTER_NOTIFY_INFO_DATA);
    size_t textBytes = (portText.size() + 1) * sizeof(wchar_t);
    auto* info = static_cast<PRINTER_NOTIFY_INFO*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, head + textBytes));
    if (!info) return nullptr;
    info->Version = 2;
    info->Count = count;
    DWORD i = 0;
    if (jobCount) {
        info->aData[i].Type = PRINTER_NOTIFY_TYPE;
        info->aData[i].Field = PRINTER_NOTIFY_FIELD_CJOBS;
        info->aData[i++].NotifyData.adwData[0] = now.jobBytes ? 1 : 0;
    }
    if (port) {
        auto* text = reinterpret_cast<BYTE*>(info) + head;
        memcpy(text, portText.c_str(), textBytes);
        info->aData[i].Type = PRINTER_NOTIFY_TYPE;
        info->aData[i].Field = PRINTER_NOTIFY_FIELD_PORT_NAME;
        info->aData[i].NotifyData.Data.cbBuf = static_cast<DWORD>(textBytes);
        info->aData[i].NotifyData.Data.pBuf = text;
    }
    return info;
}

}  // namespace

extern "C" {

BOOL WINAPI OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA) {
    if (!printer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *printer = nullptr;
    Snapshot now = ReadPrinters();
    auto it = name ? now.find(name) : now.end();
    if (it == now.end()) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    auto* record = new OpenPrinterRecord{it->first};
    std::lock_guard<std::mutex> hold(g_lock);
    g_open.insert(record);
    *printer = record;
    return TRUE;
}

BOOL WINAPI ClosePrinter(HANDLE printer) {
    std::lock_guard<std::mutex> hold(g_lock);
    auto* record = static_cast<OpenPrinterRecord*>(printer);
    if (!g_open.erase(record)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete record;
    return TRUE;
}

BOOL WINAPI EnumPrintersA(DWORD, LPSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
    size_t fixed = PrinterRecordSize(level);
    if (!fixed) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    Snapshot now = ReadPrinters();
    std::vector<std::pair<std::string, PrinterState>> list(now.begin(), now.end());
    return Enumerate(list.size(), fixed, buffer, size, needed, returned, [&](size_t i, Packer* p, bool fill) {
        FillPrinter(level, buffer + i * fixed, list[i].first, list[i].second, p, fill);
    });
}

BOOL WINAPI EnumJobsA(HANDLE printer, DWORD first, DWORD count, DWORD level, LPBYTE buffer, DWORD size,
                      LPDWORD needed, LPDWORD returned) {
    std::string name;
    if (!FindOpen(printer, &name)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (level != 1 && level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    Snapshot now = ReadPrinters();
    auto it = now.find(name);
    PrinterState state = it == now.end() ? PrinterState() : it->second;
    size_t jobs = state.jobBytes && first == 0 && count > 0 ? 1 : 0;
    size_t fixed = level == 1 ? sizeof(JOB_INFO_1A) : sizeof(JOB_INFO_2A);
    if (!jobs) {
        if (needed) *needed = 0;
        if (returned) *returned = 0;
        return TRUE;
    }
    return Enumerate(jobs, fixed, buffer, size, needed, returned, [&](size_t, Packer* p, bool fill) {
        FillJob(level, buffer, name, state, p, fill);
    });
}

HANDLE WINAPI FindFirstPrinterChangeNotification(HANDLE printer, DWORD filter, DWORD, LPVOID options) {
    std::string name;
    if (!FindOpen(printer, &name)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_HANDLE_VALUE;
    }
    Watch w;
    w.name = name;
    w.filter = filter;
    ReadWantedFields(static_cast<const PRINTER_NOTIFY_OPTIONS*>(options), &w);
    Snapshot now = ReadPrinters();
    auto it = now.find(name);
    if (it != now.end()) w.last = it->second;
    w.present = it != now.end();
    w.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!w.event) return INVALID_HANDLE_VALUE;
    std::lock_guard<std::mutex> hold(g_lock);
    HANDLE event = w.event;
    g_watches.emplace(event, std::move(w));
    StartWatcherLocked();
    return event;
}

BOOL WINAPI FindNextPrinterChangeNotification(HANDLE change, PDWORD what, LPVOID, LPVOID* info) {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_watches.find(change);
    if (it == g_watches.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Watch& w = it->second;
    if (what) *what = w.pending & w.filter;
    if (info) *info = NotifyInfo(w, w.last);
    w.pending = 0;
    w.jobCountChanged = w.portChanged = false;
    ResetEvent(change);
    return TRUE;
}

BOOL WINAPI FindClosePrinterChangeNotification(HANDLE change) {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_watches.find(change);
    if (it == g_watches.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    CloseHandle(it->first);
    g_watches.erase(it);
    return TRUE;
}

BOOL WINAPI FreePrinterNotifyInfo(PPRINTER_NOTIFY_INFO info) {
    if (info) HeapFree(GetProcessHeap(), 0, info);
    return TRUE;
}

}  // extern "C"
