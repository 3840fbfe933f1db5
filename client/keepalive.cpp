#include "keepalive.h"

// Keep-alive is not built yet: no socket is opened.
bool OpenKeepAliveSocket(HWND, uint16_t, UINT) { return false; }

void CloseKeepAliveSocket() {}

void ReadKeepAliveSocket(HWND, WPARAM, LPARAM) {}
