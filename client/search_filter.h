// The two sets of search filters applied to search replies.
#pragma once

// Switches every filter list off and frees it (registration).
void ClearSearchFilters();

// Frees the eight filter blocks (service window destruction).
void FreeSearchFilters();
