#include "theme_tables.h"

#include <cwchar>

#include "theme_resources.h"

namespace {

struct LayoutRow {
    int id;
    int x, y, width, height;
};

struct ButtonRow {
    int id;
    uint32_t normal, focused, pressed, disabled, style;
};

template <typename Row>
struct DialogTable {
    int dialogId;  // -1 ends the list
    const Row* rows;  // ended by id -1
};

constexpr LayoutRow kMainLayout[] = {
    {1001, 0, 0, 550, 498},  {1024, 210, 15, 95, 50},  {1095, 290, 15, 95, 50},
    {1021, 370, 15, 95, 50}, {1022, 450, 15, 95, 50},  {1082, 2, 72, 538, 327},
    {1099, 2, 72, 538, 327}, {1018, 408, 424, 95, 50}, {1023, 459, 424, 95, 50},
    {1019, 209, 405, 95, 50}, {1020, 275, 405, 95, 50}, {-1, 0, 0, 0, 0},
};
constexpr LayoutRow kProgressLayout[] = {
    {1030, 197, 125, 0, 0}, {1032, 291, 125, 0, 0}, {1104, 291, 125, 0, 0}, {-1, 0, 0, 0, 0},
};
constexpr LayoutRow kRequestLayout[] = {
    {2, 174, 208, 0, 0}, {1029, 174, 208, 0, 0}, {1030, 80, 208, 0, 0}, {-1, 0, 0, 0, 0},
};
constexpr DialogTable<LayoutRow> kLayoutTables[] = {
    {1001, kMainLayout}, {1004, kProgressLayout}, {1008, kRequestLayout}, {-1, nullptr},
};

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGrey = 0x808080;

constexpr ButtonRow kMainButtons[] = {
    {1021, kWhite, kWhite, kWhite, kWhite, 0x7A}, {1022, kWhite, kWhite, kWhite, kWhite, 0x7A},
    {1024, kWhite, kWhite, kWhite, kWhite, 0x7A}, {1095, kWhite, kWhite, kWhite, kWhite, 0x7A},
    {1019, kWhite, kWhite, kWhite, kWhite, 0x7A}, {1020, kWhite, kWhite, kWhite, kWhite, 0x7A},
    {1018, kWhite, kWhite, kWhite, kWhite, 0x7A}, {1023, kWhite, kWhite, kWhite, kWhite, 0x7A},
    {-1, 0, 0, 0, 0, 0},
};
constexpr ButtonRow kProgressButtons[] = {
    {1030, kWhite, kWhite, kWhite, kGrey, 0x3A}, {1032, kWhite, kWhite, kWhite, kGrey, 0x3A},
    {1104, kWhite, kWhite, kWhite, kGrey, 0x3A}, {-1, 0, 0, 0, 0, 0},
};
constexpr ButtonRow kRequestButtons[] = {
    {2, kWhite, kWhite, kWhite, kGrey, 0x3A}, {1030, kWhite, kWhite, kWhite, kGrey, 0x3A},
    {1029, kWhite, kWhite, kWhite, kGrey, 0x3A}, {-1, 0, 0, 0, 0, 0},
};
constexpr DialogTable<ButtonRow> kButtonTables[] = {
    {1001, kMainButtons}, {1004, kProgressButtons}, {1008, kRequestButtons}, {-1, nullptr},
};

constexpr int kServerIcons[] = {
    theme::kIconServerOther, theme::kIconServerOther + 1, theme::kIconServerHvq,
    theme::kIconServerHvq + 1, theme::kIconServerJxk, theme::kIconServerJxk + 1, -1,
};

template <typename Row>
const Row* FindTable(const DialogTable<Row>* tables, int dialogId) {
    for (; tables->dialogId != -1; ++tables) {
        if (tables->dialogId == dialogId) return tables->rows;
    }
    return nullptr;
}

bool PrefixIs(const wchar_t* name, const wchar_t* prefix) {
    return _wcsnicmp(name, prefix, wcslen(prefix)) == 0;
}

}  // namespace

// The lookup both queries share: the dialog's table, then every row with the caller's id (the
// last match wins). False for a null row or a dialog without a table.
template <typename Row, typename Target, typename Copy>
bool ApplyMatchingRows(const DialogTable<Row>* tables, int dialogId, int controlId, Target* target,
                       Copy copy) {
    if (!target) return false;
    const Row* rows = FindTable(tables, dialogId);
    if (!rows) return false;
    for (; rows->id != -1; ++rows) {
        if (rows->id == controlId) copy(*rows, target);
    }
    return true;
}

bool ApplyThemeItem(ThemeItemInfo* row, int dialogId) {
    return ApplyMatchingRows(kLayoutTables, dialogId, row ? row->id : -1, row,
                             [](const LayoutRow& from, ThemeItemInfo* to) {
                                 to->x = from.x;
                                 to->y = from.y;
                                 to->width = from.width;
                                 to->height = from.height;
                             });
}

bool ApplyThemeButton(ThemeOdBtnInfo* row, int dialogId) {
    return ApplyMatchingRows(kButtonTables, dialogId, row ? row->controlId : -1, row,
                             [](const ButtonRow& from, ThemeOdBtnInfo* to) {
                                 to->colourNormal = from.normal;
                                 to->colourFocused = from.focused;
                                 to->colourPressed = from.pressed;
                                 to->colourDisabled = from.disabled;
                                 to->style = from.style;
                             });
}

int ServerImageIndex(const wchar_t* name, uint16_t state) {
    if (!name) name = L"";
    int base = 0;
    if (PrefixIs(name, L"HVQ")) {
        base = 2;
    } else if (PrefixIs(name, L"JXK")) {
        base = 4;
    }
    return base + (state == 1 ? 1 : 0);
}

const int* ServerIconIds() { return kServerIcons; }
