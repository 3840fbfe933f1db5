// Presence of the HID filter driver.
#pragma once

// True when the HID filter driver sits on the HID class devices.
bool HidFilterDevicePresent();
