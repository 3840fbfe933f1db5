#include "shortcut.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>
#include <string>

#include "system_util.h"

namespace {

// COM for the length of one shortcut operation.
class ComScope {
public:
    ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (ok_) CoUninitialize();
    }

private:
    bool ok_;
};

template <typename T>
class ComPtr {
public:
    ~ComPtr() {
        if (p_) p_->Release();
    }
    T** put() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

private:
    T* p_ = nullptr;
};

bool StartupLinkPath(const wchar_t* name, std::wstring* path) {
    wchar_t folder[MAX_PATH] = {};
    if (!name || !GetSpecialFolderPath(CSIDL_STARTUP, folder)) return false;
    *path = folder;
    *path += L'\\';
    *path += name;
    *path += L".lnk";
    return true;
}

void CopyIfNotEmpty(wchar_t* out, const wchar_t* value) {
    if (out && value[0]) wcscpy(out, value);
}

}  // namespace

HRESULT CreateShellLink(const wchar_t* linkPath, const wchar_t* target, const wchar_t* workingFolder,
                        const wchar_t* description, const wchar_t* arguments,
                        const wchar_t* iconPath, int iconIndex, int showCommand) {
    ComPtr<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.put()));
    if (FAILED(hr)) return hr;
    link->SetPath(target ? target : L"");
    link->SetDescription(description ? description : L"");
    link->SetArguments(arguments ? arguments : L"");
    link->SetWorkingDirectory(workingFolder ? workingFolder : L"");
    if (iconPath) link->SetIconLocation(iconPath, iconIndex);
    link->SetShowCmd(showCommand);
    ComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()));
    if (FAILED(hr)) return hr;
    return file->Save(linkPath, TRUE);
}

BOOL EnsureStartupShortcut(const wchar_t* name, const wchar_t* description, const wchar_t* arguments) {
    std::wstring path;
    if (!name) return FALSE;
    if (!StartupLinkPath(name, &path)) return TRUE;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return TRUE;
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    wchar_t folder[MAX_PATH] = {};
    GetModuleFolder(folder);
    ComScope com;
    CreateShellLink(path.c_str(), program, folder, description, arguments, nullptr, 0, SW_SHOWNORMAL);
    return TRUE;
}

BOOL DeleteShortcut(const wchar_t* name) {
    std::wstring path;
    if (!name || !StartupLinkPath(name, &path)) return FALSE;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return TRUE;
    return DeleteFileW(path.c_str());
}

BOOL ReadShortcut(const wchar_t* linkPath, wchar_t* target, wchar_t* description, wchar_t* arguments) {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.put())))) {
        return FALSE;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) ||
        FAILED(file->Load(linkPath, STGM_READ))) {
        return FALSE;
    }
    wchar_t value[MAX_PATH];
    value[0] = L'\0';
    if (SUCCEEDED(link->GetPath(value, MAX_PATH - 1, nullptr, 0))) CopyIfNotEmpty(target, value);
    value[0] = L'\0';
    if (SUCCEEDED(link->GetDescription(value, MAX_PATH - 1))) CopyIfNotEmpty(description, value);
    value[0] = L'\0';
    if (SUCCEEDED(link->GetArguments(value, MAX_PATH - 1))) CopyIfNotEmpty(arguments, value);
    return TRUE;
}

BOOL ReadStartupShortcut(const wchar_t* name, wchar_t* target, wchar_t* description,
                         wchar_t* arguments) {
    std::wstring path;
    if (!StartupLinkPath(name, &path)) return FALSE;
    ComScope com;
    return ReadShortcut(path.c_str(), target, description, arguments);
}
