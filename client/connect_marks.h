// Connect marks: the settings store's record of devices this PC had connected.
#pragma once

// Drops every connect mark left in the settings store.
void DropConnectMarks();
