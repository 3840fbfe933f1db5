// The tray menu's device part without a menu: which rows get a sub-menu, the command ids
// handed out from 0x8320 and which item of which row a chosen id means.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kTrayFirstId = 0x8320;

// One list row as the tray menu sees it, in list order.
struct TrayRow {
    uint64_t handle = 0;
    bool storage = false;
    uint16_t status = 0;        // USB: 1 free, 2 connected here, 3 used elsewhere; others unlisted
    bool requestBlocked = false;  // used by its own "K-Shuttle" server
    int classIcon = 0;
    std::wstring text;          // the sub-menu's literal text
};

// The ids given to one row by the current menu (0: none). USB rows use connect, disconnect,
// request, property; storage rows mount, open, remove.
struct TrayIds {
    uint64_t handle = 0;
    uint32_t ids[4] = {};
};

enum class TrayAction { None, Connect, Disconnect, Request, Property, Mount, Open, Remove };

struct TrayEntry {
    size_t row = 0;                 // index into the rows
    bool enabled[4] = {};           // per item, in the order of TrayIds::ids
};

struct TrayMenuPlan {
    bool separatorOnTop = false;
    std::vector<TrayEntry> entries;  // in list order
};

// Every row's ids are cleared first, so an id of an earlier menu never reaches a row that the
// new menu does not list; rows are visited from the last to the first, the last getting the
// lowest ids.
TrayMenuPlan PlanTrayMenu(const std::vector<TrayRow>& rows, std::vector<TrayIds>& ids);

struct TrayHit {
    uint64_t handle = 0;
    TrayAction action = TrayAction::None;
};
// The row (by handle) and item that carry `id` in the current menu.
TrayHit FindTrayCommand(const std::vector<TrayIds>& ids, const std::vector<bool>& storage, uint32_t id);
