// Marking the local printers of listed (driver, port) pairs with the comment text of the
// message INI, and clearing the mark again.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <cstdint>
#include <memory>
#include <string>

struct HelperContext;

// [PRINTER] COMMENT of the message INI; empty when absent.
std::string ReadCommentText(const std::string& iniPath);

// The local printers at level 2, in one block.
class LocalPrinters {
public:
    // False when the spooler could not list them.
    bool Load();
    DWORD count() const { return count_; }
    const PRINTER_INFO_2A& operator[](DWORD i) const { return printers()[i]; }

private:
    const PRINTER_INFO_2A* printers() const { return reinterpret_cast<const PRINTER_INFO_2A*>(block_.get()); }
    std::unique_ptr<uint64_t[]> block_;
    DWORD count_ = 0;
};

// Sets the comment of the printer that the (listed) record names, from a fresh read of it, and
// changes no other field. 0 only when the record is null or the printer cannot be opened; a
// printer that cannot be read is left as it is (still 1).
int SetPrinterComment(const PRINTER_INFO_2A* printer, const char* text);

// Clears the comment of the pair's printers (driver and port compared exactly) and of every
// printer that carries the comment text. An empty comment text marks nothing, so it clears
// nothing either. 0 when the printers cannot be listed.
int RestorePrinterComments(const std::string& iniPath, const char* driver, const char* port);

// One round of the watcher: every local printer of a pair of the table gets the text.
void MarkListedPrinters(HWND list, const std::string& text);

// The watcher: a round every 15 s, or at once when its event is set, until its run flag is
// cleared; then it posts WM_HELPER_WATCH_ENDED to the window.
DWORD WINAPI PrinterWatchThread(void* context);

// Clears the run flag and wakes the watcher.
void StopPrinterWatch(HelperContext& context);
