#include "monitor_channel.h"

bool RegisterMonitorWindowClass(HINSTANCE, size_t) { return true; }
void UnregisterMonitorWindowClass(HINSTANCE) {}
