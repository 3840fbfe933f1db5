#include "printer_comments.h"

#include <cstring>
#include <new>
#include <vector>

#include "helper_context.h"
#include "helper_messages.h"
#include "pair_table.h"
#include "win_handles.h"

namespace {

class PrinterHandle {
public:
    explicit PrinterHandle(const char* name) {
        PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (!OpenPrinterA(const_cast<char*>(name), &handle_, &defaults)) handle_ = nullptr;
    }
    ~PrinterHandle() {
        if (handle_) ClosePrinter(handle_);
    }
    PrinterHandle(const PrinterHandle&) = delete;
    PrinterHandle& operator=(const PrinterHandle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

const char* TextOrEmpty(const char* text) { return text ? text : ""; }

}  // namespace

std::string ReadCommentText(const std::string& iniPath) {
    char text[kCommentTextSize] = {};
    GetPrivateProfileStringA("PRINTER", "COMMENT", "", text, sizeof text, iniPath.c_str());
    return std::string(text, strnlen(text, sizeof text));
}

bool LocalPrinters::Load() {
    block_.reset();
    count_ = 0;
    // The set may grow between the size query and the read: try a few times.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD needed = 0;
        DWORD count = 0;
        if (EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count)) return true;  // none
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return false;
        std::unique_ptr<uint64_t[]> block(new (std::nothrow) uint64_t[needed / sizeof(uint64_t) + 1]());
        if (!block) return false;
        if (EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, reinterpret_cast<BYTE*>(block.get()), needed, &needed,
                          &count)) {
            block_ = std::move(block);
            count_ = count;
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    }
    return false;
}

namespace {

// The printer's level-2 record as the spooler holds it now, in `block`; null when unreadable.
const PRINTER_INFO_2A* ReadPrinterRecord(HANDLE printer, std::vector<uint64_t>* block) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD needed = 0;
        if (GetPrinterA(printer, 2, nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER || !needed) {
            return nullptr;
        }
        block->assign(needed / sizeof(uint64_t) + 1, 0);
        if (GetPrinterA(printer, 2, reinterpret_cast<BYTE*>(block->data()), needed, &needed)) {
            return reinterpret_cast<const PRINTER_INFO_2A*>(block->data());
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return nullptr;
    }
    return nullptr;
}

}  // namespace

int SetPrinterComment(const PRINTER_INFO_2A* printer, const char* text) {
    if (!printer || !printer->pPrinterName || !text) return 0;
    PrinterHandle handle(printer->pPrinterName);
    if (!handle.get()) return 0;
    // The listing may be seconds old: the record written back is read afresh, and its security
    // descriptor and device mode are left out (null leaves them as they are), so that the
    // comment is the only field this changes.
    std::vector<uint64_t> block;
    const PRINTER_INFO_2A* current = ReadPrinterRecord(handle.get(), &block);
    if (!current) return 1;
    if (std::strcmp(TextOrEmpty(current->pComment), text) == 0) return 1;
    PRINTER_INFO_2A record = *current;
    record.pComment = const_cast<char*>(text);
    record.pSecurityDescriptor = nullptr;
    record.pDevMode = nullptr;
    SetPrinterA(handle.get(), 2, reinterpret_cast<BYTE*>(&record), 0);
    return 1;
}

int RestorePrinterComments(const std::string& iniPath, const char* driver, const char* port) {
    LocalPrinters printers;
    if (!printers.Load()) return 0;
    std::string text = ReadCommentText(iniPath);
    if (text.empty()) return 1;
    for (DWORD i = 0; i < printers.count(); ++i) {
        const PRINTER_INFO_2A& printer = printers[i];
        bool ofPair = driver && port && std::strcmp(TextOrEmpty(printer.pDriverName), driver) == 0 &&
                      std::strcmp(TextOrEmpty(printer.pPortName), port) == 0;
        if (ofPair || text == TextOrEmpty(printer.pComment)) SetPrinterComment(&printer, "");
    }
    return 1;
}

void MarkListedPrinters(HWND list, const std::string& text) {
    // An empty text would only erase the users' own comments.
    if (text.empty()) return;
    LocalPrinters printers;
    if (!printers.Load()) return;
    for (DWORD i = 0; i < printers.count(); ++i) {
        const PRINTER_INFO_2A& printer = printers[i];
        int row = 0;
        if (printer.pDriverName && printer.pPortName && FindPairRow(list, printer.pDriverName, printer.pPortName, &row)) {
            SetPrinterComment(&printer, text.c_str());
        }
    }
}

DWORD WINAPI PrinterWatchThread(void* param) {
    auto& context = *static_cast<HelperContext*>(param);
    std::string text = ReadCommentText(context.iniPath);
    for (;;) {
        WaitForSingleObject(context.watchEvent.get(), kWatchIntervalMs);
        if (!context.watchRun.load()) break;
        MarkListedPrinters(context.list, text);
    }
    // The window frees the context once it has this message: touch nothing after it.
    PostMessageA(context.window, WM_HELPER_WATCH_ENDED, 0, 0);
    return 0;
}

void StopPrinterWatch(HelperContext& context) {
    context.watchRun.store(false);
    SetEvent(context.watchEvent.get());
}
