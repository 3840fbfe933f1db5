// Turning a selection into a batch of device operations, and the enabled and default items
// of the device, storage, server and help menus: rules over a small model of the rows, so
// that the views, the tray and the tests feed them alike.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device_operations.h"

constexpr uint16_t kStatusFree = 1;
constexpr uint16_t kStatusConnectedHere = 2;
constexpr uint16_t kStatusUsedElsewhere = 3;
constexpr uint16_t kStorageReady = 7;

// One device or storage row as the rules see it.
struct DeviceRow {
    uint64_t handle = 0;
    bool storage = false;
    uint16_t status = 0;        // USB: the device's status value
    uint16_t storageState = 0;  // storage: the entry's state
    bool mounted = false;       // storage: the mounted flag
    // Used by its own "K-Shuttle" server (the user address is the server's): never requested.
    bool ownShuttle = false;
    bool selected = false;
};

// The selected rows' operations, in list order, all with action 1 (button).
std::vector<DeviceOperation> EnterOperations(const std::vector<DeviceRow>& rows);       // 1 connects, 2 disconnects
std::vector<DeviceOperation> ConnectOperations(const std::vector<DeviceRow>& rows);     // status 1
std::vector<DeviceOperation> DisconnectOperations(const std::vector<DeviceRow>& rows);  // status 2
// CONNECT found nothing to connect but a storage row is selected: mount the storage instead.
bool ConnectFallsBackToMount(const std::vector<DeviceRow>& rows);

enum class DoubleClickAction { None, Operation, OpenStorage };
DoubleClickAction DoubleClickOf(const DeviceRow& row, DeviceOperation* operation);

// Fills `list` (batch kind 0); FALSE and an empty list when there is nothing or no memory.
BOOL ToOperationList(const std::vector<DeviceOperation>& operations, DeviceOperationList& list);

// Menu command ids.
constexpr uint32_t kCmdProperty = 1018;
constexpr uint32_t kCmdConnect = 1019;
constexpr uint32_t kCmdDisconnect = 1020;
constexpr uint32_t kCmdRequest = 1023;
constexpr uint32_t kCmdRefresh = 1024;
constexpr uint32_t kCmdServerPage = 0x8202;
constexpr uint32_t kCmdAllConnect = 0x8203;
constexpr uint32_t kCmdAllDisconnect = 0x8204;
constexpr uint32_t kCmdMount = 0x8205;
constexpr uint32_t kCmdOpen = 0x8206;
constexpr uint32_t kCmdRemove = 0x8207;
constexpr uint32_t kCmdAllMount = 0x8208;
constexpr uint32_t kCmdAllOpen = 0x8209;
constexpr uint32_t kCmdAllRemove = 0x820A;
constexpr uint32_t kCmdHelpMain = 0x8259;
constexpr uint32_t kCmdHelpCompany = 0x825A;
constexpr uint32_t kCmdAbout = 0x825B;
constexpr uint32_t kCmdHelpSupport = 0x825C;

constexpr uint32_t kItemEnabled = 0;
constexpr uint32_t kItemDisabled = 3;  // disabled and grey

enum class MenuTemplate { None, Device, Server, Storage, ServerStorage, ServerAll, RefreshOnly };

struct MenuPlan {
    MenuTemplate kind = MenuTemplate::None;
    std::vector<std::pair<uint32_t, uint32_t>> states;  // command id, kItem* value
    uint32_t defaultId = 0;
    uint32_t StateOf(uint32_t id) const;
};

// The list's right-click menu over its selected rows.
MenuPlan ListMenuPlan(const std::vector<DeviceRow>& rows, bool refreshLockedOut);
// The tree's menu on one device or storage item.
MenuPlan TreeItemMenuPlan(const DeviceRow& row, bool refreshLockedOut);

// A server item of the tree: its devices and storage entries and its own facts.
struct ServerModel {
    std::vector<DeviceRow> devices;
    std::vector<DeviceRow> storage;
    uint16_t status = 0;  // ServerInfo status word
    bool shuttle = false; // model name "K-Shuttle"
};
MenuPlan ServerMenuPlan(const ServerModel& server, bool refreshLockedOut);

// The HELP button's menu: [MENU] keys with their command ids and icons, separators as
// an empty key, in menu order.
struct HelpItem {
    const wchar_t* key;
    uint32_t command;
    uint32_t icon;
};
std::vector<HelpItem> HelpMenuItems(bool html, bool company, bool support, bool version);
