#include "device_category.h"

#include <cctype>
#include <cstring>

#include "app.h"
#include "pnx_api.h"
#include "../../client/server_entry.h"

namespace {

constexpr uint16_t kFunctionIsochronous = 0x0001;

bool NameHasScan(const char* name) {
    if (!name) return false;
    static const char kWord[] = "scan";
    size_t length = std::strlen(name);
    for (size_t i = 0; i + 4 <= length; ++i) {
        size_t k = 0;
        while (k < 4 && std::tolower(static_cast<unsigned char>(name[i + k])) == kWord[k]) ++k;
        if (k == 4) return true;
    }
    return false;
}

bool HasClass(const uint16_t* classes, uint32_t count, uint16_t wanted) {
    for (uint32_t i = 0; i < count; ++i)
        if (classes[i] == wanted) return true;
    return false;
}

int CompositeCategory(const char* name, uint16_t function, const uint16_t* classes,
                      uint32_t count) {
    if (HasClass(classes, count, 7)) return kCategoryMultifunction;
    if (name && *name && NameHasScan(name)) return kCategoryImaging;
    if (function & kFunctionIsochronous) {
        for (uint32_t i = 0; i < count; ++i)
            if (classes[i] >= 255) return kCategoryVideo;
    }
    if (HasClass(classes, count, 1)) return kCategoryAudio;
    if (HasClass(classes, count, 8)) return kCategoryStorage;
    if (HasClass(classes, count, 3)) return kCategoryHid;
    return kCategoryOther;
}

int SingleCategory(const char* name, uint16_t function, uint16_t cls) {
    switch (cls) {
        case 1: case 3: case 6: case 7: case 8: return cls;
        case 0: case 255:
            if (NameHasScan(name)) return kCategoryImaging;
            if (function & kFunctionIsochronous) return kCategoryVideo;
            return kCategoryOther;
        default: return kCategoryOther;
    }
}

}  // namespace

int CategoryOf(uint16_t rwpLevel, const char* name, uint16_t function, const uint16_t* classes,
               uint32_t classCount) {
    if (rwpLevel == 1) return kCategoryImaging;
    if (!classes || classCount == 0) return kCategoryOther;
    if (classCount >= 2) return CompositeCategory(name, function, classes, classCount);
    return SingleCategory(name, function, classes[0]);
}

int GetDeviceCategory(HPnxDv device) {
    if (!device || !g_pnx.module) return kCategoryOther;
    HPnxSv server = g_pnx.PnxGetHPnxSv(g_app.service, device);
    ServerInfo serverInfo{};
    if (!server || g_pnx.PnxGetServerInfo(g_app.service, server, &serverInfo) != 1)
        return kCategoryOther;
    UsbDeviceInfo info{};
    PropertyInfo property{};
    g_pnx.PnxInitUsbDeviceInfo(g_app.service, &info, &property);
    int category = kCategoryOther;
    if (g_pnx.PnxGetUsbDeviceInfo(g_app.service, device, &info, &property) == 1)
        category = CategoryOf(serverInfo.rwpLevel, info.name, info.function,
                              info.interfaceClasses, info.interfaceCount);
    g_pnx.PnxFreeUsbDeviceInfo(g_app.service, &info, &property);
    return category;
}

bool IsPrinterCategory(int category) {
    return category == kCategoryPrinter || category == kCategoryMultifunction;
}

int ClassIconOfCategory(int category) {
    switch (category) {
        case kCategoryMultifunction: return 123;
        case kCategoryPrinter: return 125;
        case kCategoryImaging: return 117;
        case kCategoryStorage: return 127;
        case kCategoryAudio: return 119;
        case kCategoryVideo: return 131;
        case kCategoryHid: return 121;
        default: return 129;
    }
}

int OptionsIconOfCategory(int category) { return ClassIconOfCategory(category) + 1; }
