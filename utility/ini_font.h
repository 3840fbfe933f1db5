// Fonts described by [FONT] keys of the message file: "face,size,charset[,weight[,UNDERLINE]]".
#pragma once

#include <windows.h>

#include <string>

struct IniFontSpec {
    std::wstring face;
    int size = 0;  // character height in pixels
    BYTE charSet = DEFAULT_CHARSET;
    int weight = FW_DONTCARE;
    bool underline = false;
};

// False when the value has fewer than three fields. Names are compared case-sensitively; an
// unknown character set gives DEFAULT_CHARSET and an unknown weight FW_DONTCARE.
bool ParseIniFontSpec(const std::wstring& value, IniFontSpec* spec);
// The font of [FONT] key, or null when the key is empty or incomplete.
HFONT CreateIniFont(const wchar_t* key, const wchar_t* iniPath);
