#include "view_rules.h"

#include <shlwapi.h>

#include <cwchar>

#include "safe_format.h"

const DeviceTextRow kClassTable[kClassRows] = {
    {123, 18, L"MAIN", L"MFP", L"Multifunction device"},
    {125, 7, L"MAIN", L"PRINTER", L"Printer"},
    {117, 6, L"MAIN", L"IMAGE", L"Imaging device"},
    {127, 8, L"MAIN", L"STORAGE", L"Storage device"},
    {119, 1, L"MAIN", L"AUDIO", L"Audio"},
    {131, 19, L"MAIN", L"VIDEO", L"Video"},
    {121, 3, L"MAIN", L"HID", L"Mouse, Keyboard"},
    {129, 255, L"MAIN", L"BENDER", L"Other USB device"},
    {127, kCategoryNetworkDrive, L"MAIN", L"NAS", L"Network drive"},
};

const DeviceTextRow kStateTable[kStateRows] = {
    {135, 0, L"MAIN", L"GETSTATUS", L"Receiving status"},
    {104, 1, L"MAIN", L"FREE", L"Not connected"},
    {109, 2, L"MAIN", L"CONNECT", L"Connected"},
    {107, 3, L"MAIN", L"OTHER", L"%s is using it"},
    {111, 4, L"MAIN", L"DEVICE_ERROR", L"USB device not found"},
    {108, 5, L"MAIN", L"SERVER_ERROR", L"Network connection error"},
    {111, 6, L"MAIN", L"UNMOUNT", L"Unmount"},
    {109, 7, L"MAIN", L"MOUNT", L"Free space (%s / %s)"},
};

int ClassRowOfCategory(int category) {
    for (int row = 0; row < kClassRows; ++row) {
        if (kClassTable[row].code == category && row != kClassRowStorage) return row;
    }
    return kClassRowOther;
}

int NasClassRow() { return kClassRowStorage; }

int StateRowOfCode(int code) {
    for (int row = 0; row < kStateRows; ++row) {
        if (kStateTable[row].code == code) return row;
    }
    return 0;
}

std::wstring StateRowText(const std::wstring* texts, uint32_t stateRow, const wchar_t* userPcName) {
    const uint32_t row = stateRow < kStateRows ? stateRow : 0;
    if (row == kStateRowOther) return SafeFormat(texts[row].c_str(), {userPcName ? userPcName : L""});
    return texts[row];
}

std::wstring EscapeAmpersands(const std::wstring& text, int mode) {
    std::wstring out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] != L'&') continue;
        if (mode == 1) {
            out += L'&';
        } else if (i + 1 < text.size() && text[i + 1] == L'&') {
            ++i;
        }
    }
    return out;
}

int EllipsizeText(std::wstring& text, int maxWidth, int extra, const std::function<int(const std::wstring&)>& width) {
    int measured = width(text);
    if (measured + extra <= maxWidth) return measured;
    const int dots = width(L"...");
    std::wstring cut = text;
    while (cut.size() > 1 && width(cut) + dots + extra > maxWidth) cut.pop_back();
    text = cut + L"...";
    return width(text);
}

int ListColumnIndexOf(const ListColumnRow* rows, uint32_t columnId) {
    int index = 0;
    for (int i = 0; i < kListColumns && rows[i].columnId != columnId; ++i) {
        if (rows[i].shown) ++index;
    }
    return index;
}

SortState SortAfterClick(SortState sort, uint32_t column) {
    if (sort.column == column && sort.order == kSortAscending) return {column, kSortDescending};
    return {column, kSortAscending};
}

SortState SortAfterInsert(SortState sort, int at) {
    if (at >= 0 && static_cast<uint32_t>(at) <= sort.column) ++sort.column;
    return sort;
}

SortState SortAfterDelete(SortState sort, int at, bool* resort) {
    if (resort) *resort = false;
    if (at < 0) return sort;
    if (static_cast<uint32_t>(at) < sort.column) {
        --sort.column;
    } else if (static_cast<uint32_t>(at) == sort.column) {
        sort = {0, kSortAscending};
        if (resort) *resort = true;
    }
    return sort;
}

void RenumberColumnOrders(ListColumnRow* rows) {
    // Shown rows ordered by their old order (hidden-then-shown rows, order -1, go last in
    // table order), then numbered 0..n-1.
    int index[kListColumns];
    int count = 0;
    for (int i = 0; i < kListColumns; ++i) {
        if (rows[i].shown) index[count++] = i;
    }
    auto key = [&](int i) { return rows[i].order < 0 ? 1000 + i : rows[i].order * 16 + i; };
    for (int a = 1; a < count; ++a) {
        for (int b = a; b > 0 && key(index[b]) < key(index[b - 1]); --b) std::swap(index[b], index[b - 1]);
    }
    for (int i = 0; i < kListColumns; ++i) {
        if (!rows[i].shown) rows[i].order = -1;
    }
    for (int n = 0; n < count; ++n) rows[index[n]].order = n;
}

std::wstring MacText(const uint8_t* mac) {
    wchar_t text[24];
    std::swprintf(text, 24, L"%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

uint32_t AddressValue(const wchar_t* text) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!text || std::swscanf(text, L"%u.%u.%u.%u", &a, &b, &c, &d) != 4) return 0;
    if (a > 255 || b > 255 || c > 255 || d > 255) return 0;
    return (a << 24) | (b << 16) | (c << 8) | d;
}

namespace {
int Sign(int64_t value) { return value < 0 ? -1 : value > 0 ? 1 : 0; }
}  // namespace

int CompareRows(const RowKey& a, const RowKey& b, uint32_t columnId, uint32_t order,
                const std::function<int(const wchar_t*, const wchar_t*)>& compare) {
    int result = 0;
    switch (columnId) {
        case 1: result = Sign(int64_t{a.classRow} - b.classRow); break;
        case 2: result = Sign(int64_t{a.stateRow} - b.stateRow); break;
        case 3: result = Sign(compare(a.hostName, b.hostName)); break;
        case 4: result = Sign(int64_t{a.address} - b.address); break;
        case 5: result = Sign(compare(a.macText, b.macText)); break;
        case 6: result = Sign(compare(a.modelName, b.modelName)); break;
        case 7: result = (a.autoConnect != 0) == (b.autoConnect != 0) ? 0 : a.autoConnect ? -1 : 1; break;
        default: break;
    }
    if (result == 0) result = Sign(compare(a.displayName, b.displayName));
    return order == kSortDescending ? -result : result;
}

StorageBytes StorageSizes(uint32_t capacityMiB, uint32_t usedMiB) {
    constexpr uint64_t kMiB = 1048576;
    const uint64_t capacity = uint64_t{capacityMiB} * kMiB;
    const uint64_t used = uint64_t{usedMiB} * kMiB;
    return {capacity, used >= capacity ? 0 : capacity - used};
}

std::wstring ServerItemName(const wchar_t* hostName, const wchar_t* addressText) {
    return hostName && hostName[0] ? hostName : (addressText ? addressText : L"");
}

std::wstring ServerItemSuffix(uint16_t status, const std::wstring& overCurrent, const std::wstring& networkError) {
    if (status & 0x0004) return networkError;
    if (status & 0x0001) return overCurrent;
    return {};
}

int CompareTreeDevices(uint32_t classA, const wchar_t* nameA, uint32_t classB, const wchar_t* nameB,
                       const std::function<int(const wchar_t*, const wchar_t*)>& compare) {
    if (classA != classB) return classA < classB ? -1 : 1;
    return Sign(compare(nameA, nameB));
}

std::wstring StorageSizeText(const wchar_t* format, uint32_t capacityMiB, uint32_t usedMiB) {
    const StorageBytes bytes = StorageSizes(capacityMiB, usedMiB);
    wchar_t freeText[256] = {}, capacityText[256] = {};
    StrFormatByteSizeW(static_cast<LONGLONG>(bytes.free), freeText, 256);
    StrFormatByteSizeW(static_cast<LONGLONG>(bytes.capacity), capacityText, 256);
    return SafeFormat(format, {freeText, capacityText});
}

std::vector<HPnxDv> PickRemovals(const std::vector<StorageCandidate>& candidates, bool needMounted, bool needState7) {
    constexpr uint16_t kStateMounted = 7;
    std::vector<HPnxDv> handles;
    std::vector<const std::wstring*> names;
    for (const StorageCandidate& entry : candidates) {
        if (needMounted && !entry.facts.mounted) continue;
        if (needState7 && entry.facts.state != kStateMounted) continue;
        bool taken = false;
        for (const std::wstring* name : names) {
            if (_wcsicmp(name->c_str(), entry.facts.storageName.c_str()) == 0) taken = true;
        }
        if (taken) continue;
        names.push_back(&entry.facts.storageName);
        handles.push_back(entry.handle);
    }
    return handles;
}
