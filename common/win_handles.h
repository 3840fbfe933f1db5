// RAII owners for the Win32 resources the suite uses. One template per release function.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <type_traits>
#include <utility>

namespace qz {

// Owns a value of type T and releases it with Close when it goes out of scope.
// InvalidBits is the integer value of "nothing owned" (0 for null, -1 for
// INVALID_HANDLE_VALUE and INVALID_SOCKET): a pointer constant such as INVALID_HANDLE_VALUE
// cannot itself be a template argument.
template <typename T, auto Close, intptr_t InvalidBits = 0>
class UniqueResource {
    static T MakeInvalid() {
        if constexpr (std::is_pointer_v<T>) {
            return reinterpret_cast<T>(InvalidBits);
        } else {
            return static_cast<T>(InvalidBits);
        }
    }
    inline static const T Invalid = MakeInvalid();

public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : value_(value) {}
    ~UniqueResource() { reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(std::exchange(other.value_, Invalid)) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(std::exchange(other.value_, Invalid));
        return *this;
    }

    T get() const { return value_; }
    bool valid() const { return value_ != Invalid; }
    explicit operator bool() const { return valid(); }
    T release() { return std::exchange(value_, Invalid); }
    void reset(T value = Invalid) {
        if (value_ != Invalid) Close(value_);
        value_ = value;
    }
    // For out-parameters of creation functions.
    T* put() {
        reset();
        return &value_;
    }

private:
    T value_ = Invalid;
};

namespace detail {
inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void CloseRegKey(HKEY k) { ::RegCloseKey(k); }
inline void CloseSock(SOCKET s) { ::closesocket(s); }
inline void DeleteGdiObject(HGDIOBJ o) { ::DeleteObject(o); }
inline void FreeLib(HMODULE m) { ::FreeLibrary(m); }
inline void CloseFind(HANDLE h) { ::FindClose(h); }
inline void FreeHeapBlock(void* p) { ::HeapFree(::GetProcessHeap(), 0, p); }
inline void FreeLocalBlock(HLOCAL p) { ::LocalFree(p); }
inline void DestroyWnd(HWND w) { ::DestroyWindow(w); }
}  // namespace detail

// A kernel object handle whose "none" is null (events, threads, mutexes, processes).
using Handle = UniqueResource<HANDLE, detail::CloseKernelHandle>;
// A file or device handle whose "none" is INVALID_HANDLE_VALUE.
using FileHandle = UniqueResource<HANDLE, detail::CloseKernelHandle, -1>;
using RegKey = UniqueResource<HKEY, detail::CloseRegKey>;
using Socket = UniqueResource<SOCKET, detail::CloseSock, -1>;
using GdiObject = UniqueResource<HGDIOBJ, detail::DeleteGdiObject>;
using Module = UniqueResource<HMODULE, detail::FreeLib>;
using FindHandle = UniqueResource<HANDLE, detail::CloseFind, -1>;
using HeapBlock = UniqueResource<void*, detail::FreeHeapBlock>;
using LocalBlock = UniqueResource<HLOCAL, detail::FreeLocalBlock>;
using Window = UniqueResource<HWND, detail::DestroyWnd>;

// A window DC taken with GetDC and given back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND wnd) : wnd_(wnd), dc_(::GetDC(wnd)) {}
    ~WindowDC() {
        if (dc_) ::ReleaseDC(wnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND wnd_;
    HDC dc_;
};

// Holds a critical section for the lifetime of the guard. The section may be re-entered by
// the thread that owns it.
class CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CRITICAL_SECTION& cs) : cs_(cs) { ::EnterCriticalSection(&cs_); }
    ~CriticalSectionGuard() { ::LeaveCriticalSection(&cs_); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CRITICAL_SECTION& cs_;
};

}  // namespace qz
