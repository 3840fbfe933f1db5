// The order of the setup wizard's pages: where Next and Back lead from each page.
#pragma once

#include "setup_context.h"

enum PageIndex { kPageLanguage, kPageWelcome, kPageLicense, kPageApplications, kPageFolder, kPageStartMenu,
                 kPageCheck, kPageInstall, kPageConnect, kPagePrinters, kPageFinish, kPageRestart, kPageCount };

constexpr int kPageEndWizard = -1;
constexpr int kPageStay = -2;

// The first switched-on page of Welcome to Check, else Install.
int StartPage(const SetupContext& context);
// The page Next leads to from index (kPageEndWizard after the last page).
int NextPageAfter(const SetupContext& context, int index);
// The page Back leads to (kPageStay where Back goes nowhere).
int BackPageBefore(const SetupContext& context, int index);
