#include "broadcast_list.h"

// No store is chosen until PnxInitBroadcastAddr exists.
bool BroadcastListInIni() { return false; }

void FreeBroadcastListMemory() {}

void ReplaceBroadcastList(const std::vector<uint32_t>&) {}
