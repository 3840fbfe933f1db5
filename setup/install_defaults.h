// The folders an install run needs when no page chose them: the default install folder below
// Program Files and the common Start-menu, Startup and Desktop folders.
#pragma once

#include "setup_context.h"

// Fills only the folders of the checked application records that are still empty.
void FillDefaultInstallFolders(SetupContext* context);
