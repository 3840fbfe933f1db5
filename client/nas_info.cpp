#include "nas_info.h"

#include <cstring>
#include <cwchar>

wchar_t* LocalWideCopy(const wchar_t* text) {
    if (!text) return nullptr;
    size_t length = wcslen(text);
    auto* copy = static_cast<wchar_t*>(LocalAlloc(LPTR, (length + 1) * sizeof(wchar_t)));
    if (copy) memcpy(copy, text, length * sizeof(wchar_t));
    return copy;
}

bool SetNasString(wchar_t** field, const wchar_t* text) {
    wchar_t* copy = text ? LocalWideCopy(text) : nullptr;
    if (text && !copy) return false;
    if (*field) LocalFree(*field);
    *field = copy;
    return true;
}

void FreeNasStrings(NasInfo* info) {
    if (!info) return;
    if (info->label) LocalFree(info->label);
    if (info->shareName) LocalFree(info->shareName);
    info->label = info->shareName = nullptr;
}

bool CopyNasInfo(NasInfo* to, const NasInfo& from) {
    NasInfo copy = from;
    copy.label = LocalWideCopy(from.label);
    copy.shareName = LocalWideCopy(from.shareName);
    if ((from.label && !copy.label) || (from.shareName && !copy.shareName)) {
        FreeNasStrings(&copy);
        *to = from;
        to->label = to->shareName = nullptr;
        return false;
    }
    *to = copy;
    return true;
}

namespace {

std::wstring Widen(UINT codePage, const std::string& text, size_t maxChars) {
    if (text.empty()) return {};
    int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    if (wide.size() > maxChars) wide.resize(maxChars);
    return wide;
}

}  // namespace

std::wstring WidenAnsi(const std::string& text, size_t maxChars) { return Widen(CP_ACP, text, maxChars); }
std::wstring WidenUtf8(const std::string& text, size_t maxChars) { return Widen(CP_UTF8, text, maxChars); }

int InitNasRecord(NasInfo* info) {
    if (!info) return 0;
    *info = NasInfo{};
    return 1;
}

int FreeNasRecord(NasInfo* info) {
    if (!info) return 0;
    FreeNasStrings(info);
    return 1;
}
