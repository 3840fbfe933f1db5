#include "page_order.h"

namespace {

bool SwitchedOn(const SetupContext& c, int page) {
    if (page >= kPageWelcome && page <= kPageCheck) return c.pages[page - kPageWelcome] != 0;
    return false;
}

// The first switched-on page of first..Check, else Install.
int FirstOnFrom(const SetupContext& c, int first) {
    for (int page = first; page <= kPageCheck; ++page) {
        if (SwitchedOn(c, page)) return page;
    }
    return kPageInstall;
}

int AfterInstallOrPrinter(const SetupContext& c) { return c.finishPage ? kPageFinish : kPageRestart; }

}  // namespace

int StartPage(const SetupContext& context) { return FirstOnFrom(context, kPageWelcome); }

int NextPageAfter(const SetupContext& c, int index) {
    switch (index) {
    case kPageLanguage: return FirstOnFrom(c, kPageWelcome);
    case kPageWelcome:
    case kPageLicense:
    case kPageApplications:
    case kPageFolder:
    case kPageStartMenu:
    case kPageCheck: return FirstOnFrom(c, index + 1);
    case kPageInstall:
        if (c.connect) return kPageConnect;
        if (c.printerPage) return kPagePrinters;
        return AfterInstallOrPrinter(c);
    case kPageConnect:
    case kPagePrinters: return AfterInstallOrPrinter(c);
    case kPageFinish: return c.restartPage ? kPageRestart : kPageEndWizard;
    default: return kPageEndWizard;
    }
}

int BackPageBefore(const SetupContext& c, int index) {
    if (index < kPageLicense || index > kPageCheck) return kPageStay;
    for (int page = index - 1; page >= kPageWelcome; --page) {
        if (SwitchedOn(c, page)) return page;
    }
    return kPageStay;
}
