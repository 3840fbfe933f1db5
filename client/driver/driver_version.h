// The file version of a driver of the suite in the system's driver folder.
#pragma once

#include "pnxscapi.h"

// Fills the version of the driver the record names (empty: the registered bus driver, else
// "Zkuptp"). 0 for a null record, an absent HID filter, a missing file or a file without
// version information; else 1 with the name used copied into the record.
int QueryDriverVersion(DriverVersionInfo* info);
