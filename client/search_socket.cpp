#include "search_socket.h"

SearchSettings g_search;

void ResetSearchSettings() { g_search = SearchSettings{}; }

// Discovery is not built yet: nothing is sent, which reads as a failed send.
bool SendSearch(HWND, uint32_t) { return false; }

void CloseSearchSockets() {}

void UnregisterSearchClass(HINSTANCE instance) { UnregisterClassA("RWP.SEARCH.CLASS", instance); }
