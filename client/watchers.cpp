#include "watchers.h"

// The watcher threads are not built yet: nothing runs and nothing needs stopping.
bool StartPrinterWatch(HWND) { return false; }
void StopPrinterWatch() {}
bool StartProcessWatch(HWND) { return false; }
void StopProcessWatch() {}

void DeleteProcessRow(const NMLISTVIEW*) {}
