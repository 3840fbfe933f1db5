// A registry key of a test's own under HKEY_CURRENT_USER\Software\QzTest, deleted with
// everything below it afterwards.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

class RegistryTestKey {
public:
    explicit RegistryTestKey(const char* name) {
        static std::atomic<unsigned> serial{0};
        path_ = std::string("Software\\QzTest\\") + name + "_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(GetTickCount()) + "_" + std::to_string(serial++);
    }
    ~RegistryTestKey() {
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QzTest");  // only when no other key is left
    }
    RegistryTestKey(const RegistryTestKey&) = delete;
    RegistryTestKey& operator=(const RegistryTestKey&) = delete;

    // The settings location that names the key.
    std::string location() const { return "HCU\\" + path_; }

    // A value of the key or of a sub-key, of exactly `size` bytes; false when missing.
    bool Read(const char* sub, const char* name, void* data, DWORD size, DWORD* type = nullptr) const {
        DWORD got = size;
        return RegGetValueA(HKEY_CURRENT_USER, Full(sub).c_str(), name, RRF_RT_ANY, type, data, &got) ==
                   ERROR_SUCCESS && got == size;
    }
    void WriteDword(const char* sub, const char* name, DWORD value) const {
        RegSetKeyValueA(HKEY_CURRENT_USER, Full(sub).c_str(), name, REG_DWORD, &value, sizeof value);
    }

private:
    std::string Full(const char* sub) const { return *sub ? path_ + "\\" + sub : path_; }
    std::string path_;
};
