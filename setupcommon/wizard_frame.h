// The frame dialog of a wizard, one for the setup program and one for the uninstaller: the
// frame layout, the fonts, the four bitmaps and the page texts it paints, Back, Next and Cancel,
// and the end of the wizard. Each program gives its own ids and page table and its own start,
// Cancel question and clean-up in a WizardFrameDesign. A process runs one frame.
#pragma once

#include "dialog_layout.h"
#include "wizard_pages.h"

#include <windows.h>

#include <cstdint>

struct WizardFrameDesign {
    uint32_t frameDialog;
    int32_t frameX, frameY;  // the frame's row of the layout table
    WizardFrameIds ids;
    uint32_t lowerLine;
    const PageTableEntry* table;
    uint32_t* currentPage;
    uint32_t* nextPage;
    HWND* mainWindow;    // told kWizardClose when the frame goes
    HWND** pageWindows;  // the program's copy of the page array, cleared when the pages go
    // true: each bitmap is stretched to its place; false: drawn at its own size from its corner.
    bool stretchBitmaps;
    // kWizardInit: the program's start of the frame; false ends the wizard.
    bool (*start)(HWND frame);
    // Cancel pressed while no question is open: the program asks; true ends the wizard.
    bool (*askCancel)(HWND frame);
    // Destroy or session end: what the program frees besides the frame's fonts and bitmaps.
    void (*release)();
};

// Creates the frame dialog of the design, owned by owner; null when it cannot be created.
HWND CreateWizardFrame(HINSTANCE instance, HWND owner, const WizardFrameDesign* design);
// The frame's fonts from [FONT] of ini: STANDARD and TITLE for the frame and the pages,
// INFORMATION and STANDARD for the painted page texts. With an OS code of 8 or more a key's
// "_VISTA" form is taken where ini has it (0: never). The old fonts are deleted.
void LoadWizardFonts(HWND frame, const char* ini, int osCode);
void FreeWizardFonts();
// The page font (STANDARD) and the heading font (TITLE).
HFONT PageFont();
HFONT HeadingFont();
// Sizes a page's label to the width of its row of the page's layout table and to the height
// of text wrapped in the page font; the height.
int FitLabelToLayout(HWND page, const LayoutRow* table, uint32_t controlId, const char* text);
// The bitmaps named by [BITMAP] LEFT, LEFT_ICON, TOP and TOP_ICON of ini, files in folder.
void LoadWizardBitmaps(HWND frame, const char* ini, const char* folder);
// Mirrors the frame's controls when the layout is right to left.
void MirrorWizardFrame(HWND frame);
// Lays the frame out with its texts from ini in the page font, keeping its position.
void LayOutWizardFrame(HWND frame, const char* ini);
// Creates the pages of the table and centres the frame on its monitor; false when the page
// array cannot be allocated.
bool CreateWizardPages(HWND frame, HINSTANCE instance);
// The wizard of the frame (for the pages).
Wizard* FrameWizard();
// Sets Next's caption; when the caption (with room for a small icon) is wider than Next's
// layout width, Next is widened and Next and Back move left by the difference. 1 when widened.
int FitNextButton(HWND frame, const char* caption);
// Offers a message of the loop to the page dialogs; true when one took it.
bool OfferToPages(MSG* message);
// The message loop until the quit message; its wParam.
int RunWizardMessageLoop();
