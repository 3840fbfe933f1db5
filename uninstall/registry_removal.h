// Removal of the registry entries the setup recorded ([APPLICATION] REG_nnn "root;subkey"),
// in every user's hive too, and of control-panel items.
#pragma once

#include "uninstall_context.h"

#include <string>

enum class RegistryEntryKind { kRefused, kPlainKey, kTree, kControlPanel };

// One recorded entry, checked: a known root word, a key that is not empty, and for "*.*" a
// key of at least two components (so that one typo cannot wipe a whole root). The removal then
// takes a whole tree only at or below the suite's own keys (OwnTreeKeys in the source).
struct RegistryEntry {
    RegistryEntryKind kind = RegistryEntryKind::kRefused;
    HKEY root = nullptr;
    std::string rootWord;
    std::string subKey;  // as recorded
    std::string key;     // the key to delete: for a tree the part before "*.*"; for an item the class id
};
RegistryEntry ParseRegistryEntry(const std::string& value);

// Always 1 once the section entry exists.
int DeleteRegistryEntries(HWND page, UninstallContext* context);
// Deletes one entry below the given root (its own, or a user's hive key).
void DeleteEntryBelow(HKEY root, const std::string& prefix, const RegistryEntry& entry);
