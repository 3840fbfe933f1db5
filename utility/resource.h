// Private window messages and control ids that the utility's toolkit uses.
#pragma once

#include <windows.h>

// Forwarded keyboard cues: shows accelerators (syskeydown) or the focus (keydown).
constexpr UINT UM_FORWARD_SYSKEYDOWN = 0x8200;
constexpr UINT UM_FORWARD_KEYDOWN = 0x8201;

// Sent to the pages of a tab container.
constexpr UINT UM_PAGE_SHOWING = 0x80C8;
constexpr UINT UM_PAGE_SHOWN = 0x80C9;
constexpr UINT UM_PAGE_VALIDATE = 0x80CC;  // 0 keeps the page

constexpr int IDC_TAB_CONTAINER = 1095;
