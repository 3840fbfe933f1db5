// Feeds arbitrary device-list replies to the parser, then matches, compares and updates the
// records it gives against each other as a device-list update does.
//
// Input: one byte of set-up (bits 0-1: reply form, 3 counts as plain; bit 2: the server
// encrypts; bit 3: a user address of 10.77.0.2 is this PC's), then the reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "device_compare.h"
#include "device_heap.h"
#include "device_list_parse.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// Touches every byte a record points to, so that ASan sees any part that is too short.
size_t Walk(const UsbDeviceInfo& r) {
    Check(r.name && r.ports && r.locations && r.interfaceClasses && r.interfaceCount >= 1);
    size_t sum = std::strlen(r.name) + std::strlen(r.ports) + std::strlen(r.locations);
    if (r.serial) sum += std::strlen(r.serial);
    for (uint32_t i = 0; i < r.interfaceCount; ++i) {
        sum += r.interfaceClasses[i];
        if (r.interfaceSubclasses) sum += r.interfaceSubclasses[i];
    }
    Check(r.status <= kDeviceStatusError);
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t setup = data[0];
    const DeviceListForm forms[4] = {DeviceListForm::Plain, DeviceListForm::Ex, DeviceListForm::ExII,
                                     DeviceListForm::Plain};
    DeviceListContext context;
    context.encryption = (setup & 4) != 0;
    if (setup & 8) context.ownAddress = 0x02004D0A;  // 10.77.0.2 as it lies in memory
    // Exactly the reply's bytes, so that ASan sees any read past the end.
    std::vector<uint8_t> reply(data + 1, data + size);
    const long blocksBefore = DeviceHeapBlocksInUse();
    {
        ParsedDeviceList list = ParseUsbDeviceList(reply.data(), reply.size(), forms[setup & 3], context);
        Check(list.size() <= (reply.empty() ? 0 : reply[0]));
        volatile size_t sink = 0;
        for (size_t i = 0; i < list.size(); ++i) sink = sink + Walk(list[i]);
        for (size_t i = 0; i < list.size(); ++i) {
            for (size_t j = 0; j < list.size(); ++j) {
                int partial = 0;
                IsSameDevice(static_cast<uint16_t>(2 + (setup & 1)), list[i], list[j], &partial);
                IsDeviceChanged(4, list[i], list[j]);
            }
        }
        if (list.size() >= 2) {
            UsbDeviceInfo known = {};
            Check(CopyUsbDeviceInfo(&known, list[0]));
            Check(UpdateDeviceRecord(4, &known, list[1]));
            Check(!IsDeviceChanged(4, known, list[1]));
            sink = sink + Walk(known);
            FreeUsbDeviceInfoParts(&known);
        }
    }
    Check(DeviceHeapBlocksInUse() == blocksBefore);
    return 0;
}
