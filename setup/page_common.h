// What every wizard page of the setup program shares: its placement in the frame, the page
// text block the frame paints, the frame's buttons, texts and message boxes of the message INI.
#pragma once

#include "dialog_layout.h"
#include "page_order.h"
#include "setup_context.h"
#include "wizard_frame.h"

#include <string>

// Row 0 of a page's layout table: where a page sits inside the frame.
constexpr int kLeftPageX = 164, kLeftPageY = 0, kLeftPageWidth = 422, kLeftPageHeight = 294;
constexpr int kTopPageX = 0, kTopPageY = 60, kTopPageWidth = 586, kTopPageHeight = 234;

// Reads [BIT_LABEL] titleKey and contentsKey into a new page text block kept as the page's
// user data (an earlier block is reused).
void AttachPageText(HWND page, const char* titleKey, const char* contentsKey);
// Frees the page text block (WM_DESTROY and WM_ENDSESSION).
void FreePageData(HWND page);
// Mirrors the table when right to left, then moves and sizes the page and its controls with
// their texts from iniPath in the given font (the page font when null).
void LayoutPage(HWND page, const LayoutRow* table, const char* iniPath, HFONT font = nullptr);

HWND FrameButton(int id);
void EnableFrameButton(int id, bool on);
// Sets a frame button's caption to [BUTTON] key of the message INI.
void SetFrameCaption(int id, const char* key);
// Greys or enables Close in the frame's system menu.
void EnableFrameClose(bool on);

bool PageSwitchedOn(int page);
// The first switched-on page of first..last (either direction), else fallback.
int FirstSwitchedOn(int first, int last, int fallback);
// Accepts a page message after setting the next page.
INT_PTR AcceptTo(HWND page, int next);

// [section] key of the message INI with its escapes expanded (at most maxChars characters).
std::string MessageText(const char* section, const char* key, size_t maxChars = 1023);
// [ERROR] key with the title [ERROR] TITLE, logged "[MessageBox] : key"; IDOK in silent mode
// (no box is shown then).
int ShowPageMessage(HWND owner, const char* key, UINT flags = MB_OK | MB_ICONWARNING, const char* argument = nullptr);

// White page and statics, as every page paints them.
INT_PTR WhiteBrush();
