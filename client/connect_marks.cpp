#include "connect_marks.h"

// The settings store keeps no marks yet.
void DropConnectMarks() {}
