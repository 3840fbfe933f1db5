// Checks and settings words of the device property dialog.
#include "property_rules.h"

#include <cwctype>

#include "../../../client/usb_device_info.h"

namespace {
constexpr uint16_t kApplicationStart = 0x0001;
constexpr uint16_t kApplicationEnd = 0x0004;
constexpr uint16_t kPrinterWordPlain = 2;
constexpr uint16_t kPrinterWordAuto = 3;
constexpr size_t kShortestName = 3;
}  // namespace

const wchar_t* ValidateDeviceName(const std::wstring& name) {
    if (name.empty()) return L"MESSAGE08";
    if (name.size() < kShortestName || name.find(L'\\') != std::wstring::npos) return L"MESSAGE21";
    return nullptr;
}

int ParseRequestMinutes(const std::wstring& text) {
    if (text.empty() || text.size() > 4) return -1;
    int value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return -1;
        value = value * 10 + (c - L'0');
    }
    return value >= kRequestMinutesMin && value <= kRequestMinutesMax ? value : -1;
}

const wchar_t* ValidatePropertyOptions(const PropertyChoices& c,
                                       const std::function<bool(const std::wstring&)>& fileExists,
                                       const std::function<uint32_t()>& printerCount, OptionField* field) {
    OptionField failed = OptionField::None;
    const wchar_t* key = nullptr;
    if (c.startApplication && c.application.empty()) {
        failed = OptionField::Application;
        key = L"MESSAGE09";
    } else if (c.startApplication && !fileExists(c.application)) {
        failed = OptionField::Application;
        key = L"MESSAGE02";
    } else if (c.printer && c.autoConnectOn && c.autoPrinter && printerCount() == 0) {
        failed = OptionField::AutoPrinter;
        key = L"MESSAGE11";
    } else if (c.requestRelease && ParseRequestMinutes(c.minutesText) < 0) {
        failed = OptionField::Minutes;
        key = L"MESSAGE23";
    }
    if (field) *field = failed;
    return key;
}

uint16_t PropertyWordOf(const PropertyChoices& c) {
    uint16_t word = c.encryption ? kPropertyServerFlag : 0;
    if (c.printer) {
        if (c.autoConnectOn) word |= kPropertyAutomatic;
        if (c.autoConnectFree) word |= kPropertyAutoConnect;
    } else if (c.autoConnect) {
        word |= kPropertyAutomatic | kPropertyAutoConnect;
    }
    if (c.reconnect) word |= kPropertyReconnect;
    return word;
}

uint16_t ApplicationBitsOf(const PropertyChoices& c) {
    return static_cast<uint16_t>((c.startApplication ? kApplicationStart : 0) | (c.endApplication ? kApplicationEnd : 0));
}

uint16_t PrinterWordOf(const PropertyChoices& c) { return c.autoPrinter ? kPrinterWordAuto : kPrinterWordPlain; }

PropertyChoices ChoicesOf(bool printer, uint16_t property, uint16_t application, uint16_t printerWord) {
    PropertyChoices c;
    c.printer = printer;
    if (printer) {
        c.autoConnectOn = (property & kPropertyAutomatic) != 0;
        c.autoConnectFree = (property & kPropertyAutoConnect) != 0;
        c.autoPrinter = (printerWord & kPrinterAutoPrinter) != 0;
        if (!c.autoConnectFree && !c.autoPrinter) c.autoConnectFree = true;
    } else {
        c.autoConnect = (property & kPropertyAutoConnect) != 0;
    }
    c.reconnect = (property & kPropertyReconnect) != 0;
    c.encryption = (property & kPropertyServerFlag) != 0;
    c.startApplication = (application & kApplicationStart) != 0;
    c.endApplication = (application & kApplicationEnd) != 0;
    return c;
}
