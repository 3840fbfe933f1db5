#include "server_session.h"

// Server windows are not built yet: no class, no analysis, no replies taken apart.
bool RegisterServerWindowClass(HINSTANCE) { return true; }
void UnregisterServerWindowClass(HINSTANCE) {}
void RestartServerAnalysis(HWND) {}
void ApplyServerStatusUpdate(HWND, int, bool) {}
void HandleSearchReply(HWND, WPARAM, LPARAM) {}
