// A font from a text "face,size,charset[,weight]" such as "Tahoma,11,ANSI".
#pragma once

#include <windows.h>

// Fills out (zeroed first) from the text: height = -size, charset and weight by their Windows
// names (unknown = 0). False, out untouched, when face, size or charset is missing.
bool ParseFontText(const char* text, LOGFONTA* out);

// Creates the font the text describes; null when the text gives no font. The caller deletes it.
HFONT FontFromText(const char* text);
