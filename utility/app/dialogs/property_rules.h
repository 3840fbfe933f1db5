// The rules of the device property dialog that need no window: what each entry must hold
// (the [ERROR] key of the message when it does not) and how the choices become the settings
// the library stores.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

constexpr int kRequestMinutesMin = 1;
constexpr int kRequestMinutesMax = 60;
constexpr int kPrinterWaitMaxSeconds = 300;
constexpr uint32_t kDefaultRequestSeconds = 180;

// The display name: "MESSAGE08" when empty, "MESSAGE21" with 2 characters or fewer or a "\".
const wchar_t* ValidateDeviceName(const std::wstring& name);

// What the options page shows.
struct PropertyChoices {
    bool printer = false;          // a printer device (categories 7 and 18)
    bool autoConnectOn = false;    // 1096 (printers)
    bool autoConnectFree = false;  // 1090 (printers)
    bool autoPrinter = false;      // 1091 (printers)
    bool autoConnect = false;      // 1051 (other devices)
    bool reconnect = false;        // 1052
    bool startApplication = false; // 1049
    bool endApplication = false;   // 1050
    bool encryption = false;       // 1043
    bool requestRelease = false;   // 1101
    std::wstring minutesText;      // 1072
    std::wstring application;      // 1080, already expanded
};

enum class OptionField { None, Application, AutoPrinter, Minutes };

// The first failed rule of the options: its [ERROR] key (null when all hold) and the field to
// focus. `fileExists` is asked for the application; `printerCount` for a printer device set
// to connect when printing.
const wchar_t* ValidatePropertyOptions(const PropertyChoices& choices,
                                       const std::function<bool(const std::wstring&)>& fileExists,
                                       const std::function<uint32_t()>& printerCount, OptionField* field);
// The request minutes, or -1 when the text is not a number from 1 to 60.
int ParseRequestMinutes(const std::wstring& text);

// The settings words the choices give.
uint16_t PropertyWordOf(const PropertyChoices& choices);
uint16_t ApplicationBitsOf(const PropertyChoices& choices);
// The printer word of a printer device (3 connects when printing, else 2).
uint16_t PrinterWordOf(const PropertyChoices& choices);
// The check boxes from stored words (printers: free-connect is chosen when neither radio is).
PropertyChoices ChoicesOf(bool printer, uint16_t property, uint16_t application, uint16_t printerWord);
