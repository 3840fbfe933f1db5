#include "shell_printers.h"

#include <objbase.h>
#include <shlobj.h>
#include <shellapi.h>
#include <winspool.h>

#include <cwchar>

#include "dialog_layout.h"

namespace {

// The shell's printers folder and the spooler.
class SystemPrinterSource : public ShellPrinterSource {
public:
    bool Open() override {
        Close();
        com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        IShellFolder* desktop = nullptr;
        if (FAILED(SHGetDesktopFolder(&desktop))) return false;
        bool ok = SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_PRINTERS, &folderIds_)) &&
                  SUCCEEDED(desktop->BindToObject(folderIds_, nullptr, IID_IShellFolder,
                                                  reinterpret_cast<void**>(&folder_)));
        desktop->Release();
        return ok;
    }

    std::vector<ShellPrinterItem> Items() override {
        std::vector<ShellPrinterItem> items;
        IEnumIDList* list = nullptr;
        if (!folder_ || folder_->EnumObjects(nullptr, SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN,
                                             &list) != S_OK || !list) {
            return items;
        }
        LPITEMIDLIST child = nullptr;
        while (list->Next(1, &child, nullptr) == S_OK) {
            ShellPrinterItem item;
            SFGAOF attributes = SFGAO_REMOVABLE | SFGAO_FILESYSTEM;
            LPCITEMIDLIST children[1] = {child};
            if (SUCCEEDED(folder_->GetAttributesOf(1, children, &attributes))) {
                item.removable = (attributes & SFGAO_REMOVABLE) != 0;
                item.fileSystem = (attributes & SFGAO_FILESYSTEM) != 0;
            }
            if (LPITEMIDLIST absolute = ILCombine(folderIds_, child)) {
                SHFILEINFOW info{};
                if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(absolute), 0, &info, sizeof(info),
                                   SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) {
                    item.displayName = info.szDisplayName;
                    item.iconIndex = info.iIcon;
                    items.push_back(item);
                }
                ILFree(absolute);
            }
            CoTaskMemFree(child);
        }
        list->Release();
        return items;
    }

    bool ReadPrinter(const std::wstring& name, std::wstring* driver, std::wstring* port) override {
        HANDLE printer = nullptr;
        if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &printer, nullptr)) return false;
        DWORD needed = 0;
        GetPrinterW(printer, 2, nullptr, 0, &needed);
        std::vector<BYTE> buffer(needed ? needed : 1);
        bool ok = needed && GetPrinterW(printer, 2, buffer.data(), needed, &needed);
        if (ok) {
            const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
            *driver = info->pDriverName ? info->pDriverName : L"";
            *port = info->pPortName ? info->pPortName : L"";
        }
        ClosePrinter(printer);
        return ok;
    }

    void Close() override {
        if (folder_) folder_->Release();
        folder_ = nullptr;
        if (folderIds_) CoTaskMemFree(folderIds_);
        folderIds_ = nullptr;
        if (com_) CoUninitialize();
        com_ = false;
    }

private:
    IShellFolder* folder_ = nullptr;
    LPITEMIDLIST folderIds_ = nullptr;
    bool com_ = false;
};

SystemPrinterSource g_systemSource;
ShellPrinterSource* g_source = &g_systemSource;
bool g_open = false;  // between OpenPrintersFolder and ClosePrintersFolder (GUI thread)

void CopyText(wchar_t (&out)[261], const std::wstring& text) {
    wcsncpy(out, text.c_str(), 260);
    out[260] = L'\0';
}

}  // namespace

void SetShellPrinterSource(ShellPrinterSource* source) {
    if (g_open) ClosePrintersFolder();
    g_source = source ? source : &g_systemSource;
}

HIMAGELIST OpenPrintersFolder(HWND) {
    if (g_open) g_source->Close();
    g_open = g_source->Open();
    return GetSystemImageList(FALSE);
}

BOOL EnumShellPrinters(ShellPrinterEntry* entries, size_t capacity, DWORD* bytesOut, DWORD* countOut) {
    if (!g_open || !bytesOut || !countOut) return FALSE;
    std::vector<ShellPrinterEntry> found;
    for (const ShellPrinterItem& item : g_source->Items()) {
        if (!item.removable && item.fileSystem) continue;
        std::wstring driver, port;
        if (!g_source->ReadPrinter(item.displayName, &driver, &port)) continue;
        ShellPrinterEntry entry{};
        CopyText(entry.name, item.displayName);
        CopyText(entry.driver, driver);
        CopyText(entry.port, port);
        entry.iconIndex = item.iconIndex;
        found.push_back(entry);
    }
    *bytesOut = static_cast<DWORD>(found.size() * sizeof(ShellPrinterEntry));
    *countOut = 0;
    if (!entries) return TRUE;
    size_t count = found.size() < capacity ? found.size() : capacity;
    for (size_t i = 0; i < count; ++i) entries[i] = found[i];
    *countOut = static_cast<DWORD>(count);
    return TRUE;
}

void ClosePrintersFolder() {
    if (g_open) g_source->Close();
    g_open = false;
}
