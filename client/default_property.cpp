#include "default_property.h"

// No default properties are kept yet.
void ResetDefaultPropertyInfo() {}

void FreeDefaultPropertyLists() {}
