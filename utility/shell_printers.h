// The printers of the shell's printers folder, with their drivers and ports. The folder and
// the spooler are reached through ShellPrinterSource, so that the rules (which items count,
// the caller's capacity) are tested against a scripted source; Wine's printers folder lists
// nothing.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

struct ShellPrinterEntry {
    wchar_t name[261];
    wchar_t driver[261];
    wchar_t port[261];
    int32_t iconIndex;  // small icon in the system image list
};

struct ShellPrinterItem {
    std::wstring displayName;
    int iconIndex = 0;
    bool removable = false;
    bool fileSystem = false;
};

class ShellPrinterSource {
public:
    virtual ~ShellPrinterSource() = default;
    virtual bool Open() = 0;
    virtual std::vector<ShellPrinterItem> Items() = 0;
    // Driver and port of a printer opened by its name; false when it does not open.
    virtual bool ReadPrinter(const std::wstring& name, std::wstring* driver, std::wstring* port) = 0;
    virtual void Close() = 0;
};

// The source that OpenPrintersFolder uses; null restores the shell and the spooler.
void SetShellPrinterSource(ShellPrinterSource* source);

HIMAGELIST OpenPrintersFolder(HWND owner);
// With entries null: bytesOut = the size needed, countOut = 0. Otherwise fills at most
// `capacity` entries (printers may appear between the two calls) and sets countOut.
BOOL EnumShellPrinters(ShellPrinterEntry* entries, size_t capacity, DWORD* bytesOut, DWORD* countOut);
void ClosePrintersFolder();
