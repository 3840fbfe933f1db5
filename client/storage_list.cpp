#include "storage_list.h"

// Storage entries are built by the network-storage code; until then a server has none.
void HandleStorageListReply(HWND, UINT, const uint8_t*, size_t) {}
void RenewServerStorage(HWND) {}
void MarkServerStorageError(HWND, int) {}
void DestroyServerStorage(HWND) {}
