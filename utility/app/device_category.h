// The device category that the whole utility uses to choose icons, texts and printer
// behaviour, worked out from a device's interface classes, name and function word.
#pragma once

#include <windows.h>

#include <cstdint>

#include "../../client/pnxscapi.h"

constexpr int kCategoryAudio = 1;
constexpr int kCategoryHid = 3;
constexpr int kCategoryImaging = 6;
constexpr int kCategoryPrinter = 7;
constexpr int kCategoryStorage = 8;
constexpr int kCategoryMultifunction = 18;
constexpr int kCategoryVideo = 19;
constexpr int kCategoryOther = 255;

// The category from the facts: the server's protocol level, the device name (may be null),
// its function word and its interface classes.
int CategoryOf(uint16_t rwpLevel, const char* name, uint16_t function, const uint16_t* classes,
               uint32_t classCount);
// The category of a listed device, read through the library; 255 for a null handle or when
// the library cannot describe it.
int GetDeviceCategory(HPnxDv device);
bool IsPrinterCategory(int category);

// Theme icon ids: the class icon (device page, tray menu) and the options-page icon.
int ClassIconOfCategory(int category);
int OptionsIconOfCategory(int category);
