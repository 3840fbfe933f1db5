// The two sets of search filters applied to search replies: set A decides whether a reply is
// looked at at all, set B whether a detected server is listed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Filter kinds; each set keeps one list per kind.
constexpr int kFilterIpv4 = 1;       // "%d.%d.%d.%d"
constexpr int kFilterKind2 = 2;      // kept but never applied
constexpr int kFilterHardware = 4;   // "%02X:%02X:%02X:%02X:%02X:%02X"
constexpr int kFilterModel = 8;      // model name

constexpr int kFilterSetA = 0;
constexpr int kFilterSetB = 1;

// True when a server with these texts passes every list that is on in the set (0 = A,
// 1 = B): each text must begin with one of its list's entries (case-insensitive). A null
// text counts as empty. A set with no list on accepts everything.
bool SearchFilterAccepts(int set, const char* ipv4Text, const char* hardwareText, const char* model);

// Replaces the list of one kind in a set with the entries of `list` (zero-terminated texts
// ended by an empty one) and switches the kind on. A null list frees it and switches it off.
// False for a kind other than 1, 2, 4, 8 or a set other than 0, 1.
bool SetSearchFilterList(int set, int kind, const char* list);

// The entries of one list (for logging); empty when the kind is off.
int SearchFilterEntryCount(int set, int kind);
std::string SearchFilterEntry(int set, int kind, int index);

// Switches every filter list off and frees it (registration).
void ClearSearchFilters();

// Frees the eight filter blocks (service window destruction).
void FreeSearchFilters();
