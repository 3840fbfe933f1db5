#include "search_filter.h"

// No filter lists are kept yet.
void ClearSearchFilters() {}

void FreeSearchFilters() {}
