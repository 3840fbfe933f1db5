// The global default PropertyInfo and the extended default-property table.
#pragma once

// Back to the built-in defaults (registration).
void ResetDefaultPropertyInfo();

// Frees the default-property list and the extended default-property table.
void FreeDefaultPropertyLists();
