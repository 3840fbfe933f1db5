#include "application_records.h"
#include "page_common.h"
#include "resource.h"
#include "setup_frame.h"
#include "setup_pages.h"

#include <commctrl.h>
#include <shellapi.h>

// The Application list page: one owner-drawn row per application record with its tick, icon
// and name; a record shared with another cannot be ticked without it.
namespace {

const LayoutRow kApplicationLayout[] = {
    {IDD_APPLICATIONS, nullptr, nullptr, kTopPageX, kTopPageY, kTopPageWidth, kTopPageHeight},
    {IDC_APP_LABEL, "LABEL", "APP_01", 49, 22, 482, 40},
    {IDC_APP_LIST, "", nullptr, 49, 62, 482, 80},
    {IDC_APP_GROUP, "LABEL", "APP_00", 49, 150, 482, 60},
    {IDC_APP_MEMO, "", nullptr, 59, 165, 465, 40},
    {0, nullptr, nullptr, 0, 0, 0, 0},
};
constexpr int kColumnWidth = 478;
constexpr int kTickX = 3;
constexpr int kIconX = 22;
constexpr int kTextX = 42;
constexpr int kTickArea = 25;
constexpr int kIconSize = 16;
constexpr uint16_t kOsWith32BitIcons = 6;
constexpr size_t kMaxMemoChars = 519;

struct ListImages {
    HIMAGELIST ticks;
    HIMAGELIST icons;
};
ListImages g_images;

HWND List(HWND page) { return GetDlgItem(page, IDC_APP_LIST); }

ApplicationRecord* RecordOf(HWND list, int item) {
    LVITEMA lv{};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    if (!ListView_GetItem(list, &lv)) return nullptr;
    return reinterpret_cast<ApplicationRecord*>(lv.lParam);
}

// The tick is also kept as the row's state image number (1 off, 2 on) for readers of the list.
void ShowTick(HWND list, int item, bool ticked) {
    ListView_SetItemState(list, item, INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1), LVIS_STATEIMAGEMASK);
}

void BuildImageLists() {
    UINT flags = (g_setup.osCode >= kOsWith32BitIcons ? ILC_COLOR32 : ILC_COLOR16) | ILC_MASK;
    g_images.ticks = ImageList_Create(kIconSize, kIconSize, flags, 2, 0);
    for (int id : {IDI_TICKED, IDI_UNTICKED}) {
        HICON icon = static_cast<HICON>(LoadImageA(g_setup.instance, MAKEINTRESOURCEA(id), IMAGE_ICON, kIconSize, kIconSize, 0));
        ImageList_AddIcon(g_images.ticks, icon);
        if (icon) DestroyIcon(icon);
    }
    g_images.icons = ImageList_Create(kIconSize, kIconSize, flags, 4, 4);
    for (uint32_t i = 0; i < g_setup.applicationCount; ++i) {
        SHFILEINFOA info{};
        SHGetFileInfoA(g_setup.applications[i].iconPath, 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON);
        ImageList_AddIcon(g_images.icons, info.hIcon);
        if (info.hIcon) DestroyIcon(info.hIcon);
    }
}

int CountTicked() {
    int n = 0;
    for (uint32_t i = 0; i < g_setup.applicationCount; ++i) n += g_setup.applications[i].checked == 1 ? 1 : 0;
    return n;
}

void UpdateNext(HWND page) {
    bool any = CountTicked() > 0;
    if (!any && GetFocus() == FrameButton(IDC_NEXT)) SetFocus(List(page));
    EnableFrameButton(IDC_NEXT, any);
}

void ToggleItem(HWND page, int item) {
    HWND list = List(page);
    ApplicationRecord* r = RecordOf(list, item);
    if (!r) return;
    if (r->sharedWith[0]) {
        ApplicationRecord* base = FindApplicationRecord(&g_setup, r->sharedWith);
        if (base && base->checked != 1) return;
    }
    bool untick = r->checked == 1;
    int count = ListView_GetItemCount(list);
    for (int i = 0; i < count && untick; ++i) {
        ApplicationRecord* other = RecordOf(list, i);
        if (other && other->checked == 1 && _stricmp(other->sharedWith, r->name) == 0) {
            other->checked = 0;
            ShowTick(list, i, false);
        }
    }
    r->checked = untick ? 0 : 1;
    ShowTick(list, item, !untick);
    InvalidateRect(list, nullptr, TRUE);
    UpdateNext(page);
}

void InitApplicationPage(HWND page) {
    AttachPageText(page, "APP_TITLE", "APP_CONTENTS");
    LayoutPage(page, kApplicationLayout, g_setup.messageIni);
    BuildImageLists();
    HWND list = List(page);
    LVCOLUMNA column{};
    column.mask = LVCF_WIDTH;
    column.cx = kColumnWidth;
    ListView_InsertColumn(list, 0, &column);
    for (uint32_t i = 0; i < g_setup.applicationCount; ++i) {
        ApplicationRecord& r = g_setup.applications[i];
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.pszText = r.displayName;
        item.iImage = static_cast<int>(i);
        item.lParam = reinterpret_cast<LPARAM>(&r);
        int at = ListView_InsertItem(list, &item);
        ShowTick(list, at, r.checked == 1);
    }
    std::string memo = MessageText("LIST", "MEMO_00", kMaxMemoChars);
    SetDlgItemTextA(page, IDC_APP_MEMO, memo.c_str());
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void DrawItem(const DRAWITEMSTRUCT* d) {
    auto* r = reinterpret_cast<ApplicationRecord*>(d->itemData);
    HWND list = d->hwndItem;
    bool selected = (d->itemState & ODS_SELECTED) != 0;
    bool focused = GetFocus() == list;
    int background = !selected ? COLOR_WINDOW : focused ? COLOR_HIGHLIGHT : COLOR_INACTIVEBORDER;
    FillRect(d->hDC, &d->rcItem, GetSysColorBrush(background));
    if (d->itemState & ODS_FOCUS) DrawFocusRect(d->hDC, &d->rcItem);
    if (!r) return;
    int top = d->rcItem.top + (d->rcItem.bottom - d->rcItem.top - kIconSize) / 2;
    ImageList_Draw(g_images.ticks, r->checked == 1 ? 0 : 1, d->hDC, d->rcItem.left + kTickX, top, ILD_TRANSPARENT);
    ImageList_Draw(g_images.icons, static_cast<int>(d->itemID), d->hDC, d->rcItem.left + kIconX, top, ILD_TRANSPARENT);
    SetTextColor(d->hDC, GetSysColor(selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    SetBkMode(d->hDC, TRANSPARENT);
    RECT text = d->rcItem;
    text.left += kTextX;
    DrawTextA(d->hDC, r->displayName, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

// A click on the tick image (the first pixels of the row) toggles; elsewhere it only selects.
void OnClick(HWND page, const NMITEMACTIVATE* click) {
    if (click->iItem >= 0 && click->ptAction.x <= kTickArea) ToggleItem(page, click->iItem);
}

INT_PTR OnNotify(HWND page, const NMHDR* header) {
    if (header->idFrom != IDC_APP_LIST) return FALSE;
    switch (header->code) {
    case NM_CLICK:
    case NM_DBLCLK:
    case NM_RCLICK: OnClick(page, reinterpret_cast<const NMITEMACTIVATE*>(header)); break;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_SPACE) {
            ToggleItem(page, ListView_GetNextItem(header->hwndFrom, -1, LVNI_SELECTED));
        }
        break;
    case LVN_ITEMCHANGED: {
        auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
        if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED)) {
            if (ApplicationRecord* r = RecordOf(header->hwndFrom, change->iItem)) SetDlgItemTextA(page, IDC_APP_MEMO, r->memo);
        }
        break;
    }
    default: break;
    }
    return FALSE;
}

void FreeApplicationPage(HWND page) {
    if (g_images.ticks) ImageList_Destroy(g_images.ticks);
    if (g_images.icons) ImageList_Destroy(g_images.icons);
    g_images = {};
    FreePageData(page);
}

INT_PTR LeaveApplicationPage(HWND page) {
    EnableFrameButton(IDC_NEXT, true);
    return AcceptTo(page, FirstSwitchedOn(kPageFolder, kPageCheck, kPageInstall));
}

INT_PTR BackFromApplicationPage(HWND page) {
    EnableFrameButton(IDC_NEXT, true);
    if (PageSwitchedOn(kPageLicense)) g_setup.nextPage = kPageLicense;
    else if (PageSwitchedOn(kPageWelcome)) g_setup.nextPage = kPageWelcome;
    return PageAnswer(page, 1);
}

}  // namespace

INT_PTR CALLBACK ApplicationPageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return FALSE;
    case kWizardInit: InitApplicationPage(page); return PageAnswer(page, 1);
    case kWizardShown: UpdateNext(page); return PageAnswer(page, 1);
    case kWizardNext: return LeaveApplicationPage(page);
    case kWizardBack: return BackFromApplicationPage(page);
    case WM_DRAWITEM: DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_NOTIFY: return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC: return WhiteBrush();
    case WM_DESTROY:
    case WM_ENDSESSION: FreeApplicationPage(page); return TRUE;
    default: return FALSE;
    }
}
