// The property dialog's checks, each with the message it gives, and the settings words.
#include <gtest/gtest.h>

#include <string>

#include "property_rules.h"

namespace {

TEST(PropertyRules, DeviceNameMessages) {
    const struct {
        const wchar_t* name;
        const wchar_t* key;
    } cases[] = {
        {L"", L"MESSAGE08"}, {L"ab", L"MESSAGE21"}, {L"a\\bcd", L"MESSAGE21"}, {L"abc", nullptr}, {L"My printer", nullptr},
    };
    for (const auto& c : cases) {
        const wchar_t* key = ValidateDeviceName(c.name);
        EXPECT_EQ(key ? std::wstring(key) : L"", c.key ? std::wstring(c.key) : L"") << c.name;
    }
}

TEST(PropertyRules, OptionMessagesAndTheFieldToFocus) {
    auto exists = [](const std::wstring& path) { return path == L"C:\\app.exe"; };
    const struct {
        const char* what;
        PropertyChoices choices;
        uint32_t printers;
        const wchar_t* key;
        OptionField field;
    } cases[] = {
        {"no application", {.startApplication = true}, 0, L"MESSAGE09", OptionField::Application},
        {"missing application", {.startApplication = true, .application = L"C:\\gone.exe"}, 0, L"MESSAGE02",
         OptionField::Application},
        {"application unchecked", {.application = L"C:\\gone.exe"}, 0, nullptr, OptionField::None},
        {"print connect without printers",
         {.printer = true, .autoConnectOn = true, .autoPrinter = true}, 0, L"MESSAGE11", OptionField::AutoPrinter},
        {"print connect with a printer", {.printer = true, .autoConnectOn = true, .autoPrinter = true}, 1, nullptr,
         OptionField::None},
        {"minutes 0", {.requestRelease = true, .minutesText = L"0"}, 0, L"MESSAGE23", OptionField::Minutes},
        {"minutes 61", {.requestRelease = true, .minutesText = L"61"}, 0, L"MESSAGE23", OptionField::Minutes},
        {"minutes empty", {.requestRelease = true}, 0, L"MESSAGE23", OptionField::Minutes},
        {"minutes 60", {.requestRelease = true, .minutesText = L"60"}, 0, nullptr, OptionField::None},
        {"minutes 61 unchecked", {.minutesText = L"61"}, 0, nullptr, OptionField::None},
    };
    for (const auto& c : cases) {
        OptionField field = OptionField::Minutes;
        const wchar_t* key = ValidatePropertyOptions(c.choices, exists, [&] { return c.printers; }, &field);
        EXPECT_EQ(key ? std::wstring(key) : L"", c.key ? std::wstring(c.key) : L"") << c.what;
        EXPECT_EQ(field, c.field) << c.what;
    }
}

TEST(PropertyRules, WordsRoundTripForPrintersAndOthers) {
    PropertyChoices other = ChoicesOf(false, 0x0009 | 0x0002, 0x0005, 0);
    EXPECT_TRUE(other.autoConnect && other.reconnect && other.startApplication && other.endApplication);
    EXPECT_EQ(PropertyWordOf(other), 0x000B);
    EXPECT_EQ(ApplicationBitsOf(other), 0x0005);

    PropertyChoices printer = ChoicesOf(true, 0, 0, 0);  // neither radio stored: connect when free
    EXPECT_TRUE(printer.autoConnectFree);
    EXPECT_FALSE(printer.autoConnectOn);
    EXPECT_EQ(PropertyWordOf(printer), 0x0001);
    EXPECT_EQ(PrinterWordOf(printer), 2);
    printer = ChoicesOf(true, 0x0008 | 0x0004, 0x0001, 0x0001);
    EXPECT_TRUE(printer.autoConnectOn && printer.autoPrinter && !printer.autoConnectFree && printer.encryption);
    EXPECT_EQ(PropertyWordOf(printer), 0x000C);
    EXPECT_EQ(PrinterWordOf(printer), 3);
}

}  // namespace
