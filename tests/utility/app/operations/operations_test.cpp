// The rules behind connect and disconnect in the utility: selection builders, menu states,
// the tray menu's ids and the progress dialog's answers to the library's phases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "operation_builders.h"
#include "progress_events.h"
#include "tray_menu_model.h"

namespace {

DeviceRow Usb(uint64_t handle, uint16_t status, bool selected = true, bool ownShuttle = false) {
    DeviceRow row;
    row.handle = handle;
    row.status = status;
    row.selected = selected;
    row.ownShuttle = ownShuttle;
    return row;
}

DeviceRow Storage(uint64_t handle, uint16_t state, bool selected = true, bool mounted = true) {
    DeviceRow row;
    row.handle = handle;
    row.storage = true;
    row.storageState = state;
    row.selected = selected;
    row.mounted = mounted;
    return row;
}

std::vector<std::pair<uint64_t, uint32_t>> Codes(const std::vector<DeviceOperation>& ops) {
    std::vector<std::pair<uint64_t, uint32_t>> out;
    for (const auto& op : ops) {
        EXPECT_EQ(op.action, kActionButton);
        out.emplace_back(op.device, op.code);
    }
    return out;
}

TEST(OperationBuilders, SelectionsBecomeOperationsInListOrder) {
    const std::vector<DeviceRow> rows = {Usb(1, 1), Usb(2, 2), Usb(3, 3), Usb(4, 1, false), Storage(5, 7), Usb(6, 0)};
    using V = std::vector<std::pair<uint64_t, uint32_t>>;
    EXPECT_EQ(Codes(EnterOperations(rows)), (V{{1, DEVOP_CONNECT}, {2, DEVOP_DISCONNECT}}));
    EXPECT_EQ(Codes(ConnectOperations(rows)), (V{{1, DEVOP_CONNECT}}));
    EXPECT_EQ(Codes(DisconnectOperations(rows)), (V{{2, DEVOP_DISCONNECT}}));
    EXPECT_FALSE(ConnectFallsBackToMount(rows));
    EXPECT_TRUE(ConnectFallsBackToMount({Storage(5, 7), Usb(3, 3)}));
    EXPECT_FALSE(ConnectFallsBackToMount({Usb(3, 3)}));

    DeviceOperationList list;
    EXPECT_FALSE(ToOperationList({}, list));
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.operations, nullptr);
    ASSERT_TRUE(ToOperationList(EnterOperations(rows), list));
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(list.operations[1].code, DEVOP_DISCONNECT);
    EXPECT_EQ(list.batchKind, kBatchPlain);
    FreeOperations(list);
    EXPECT_EQ(list.operations, nullptr);

    DeviceOperation op{};
    EXPECT_EQ(DoubleClickOf(Usb(7, 2), &op), DoubleClickAction::Operation);
    EXPECT_EQ(op.code, DEVOP_DISCONNECT);
    EXPECT_EQ(DoubleClickOf(Usb(7, 3), &op), DoubleClickAction::None);
    EXPECT_EQ(DoubleClickOf(Storage(8, 7), &op), DoubleClickAction::OpenStorage);
}

struct MenuCase {
    const char* name;
    std::vector<DeviceRow> rows;
    bool locked;
    MenuTemplate kind;
    std::vector<uint32_t> enabled;
    std::vector<uint32_t> disabled;
    uint32_t defaultId;
};

TEST(MenuPlans, ListMenuEnablesByTheSelectedStates) {
    const std::vector<MenuCase> cases = {
        {"free and connected", {Usb(1, 1), Usb(2, 2)}, false, MenuTemplate::Device,
         {kCmdConnect, kCmdDisconnect, kCmdRefresh}, {kCmdRequest, kCmdProperty}, kCmdConnect},
        {"one connected", {Usb(2, 2)}, true, MenuTemplate::Device, {kCmdDisconnect, kCmdProperty},
         {kCmdConnect, kCmdRequest, kCmdRefresh}, kCmdDisconnect},
        {"one used elsewhere", {Usb(3, 3)}, false, MenuTemplate::Device, {kCmdRequest, kCmdProperty},
         {kCmdConnect, kCmdDisconnect}, 0},
        {"two used elsewhere", {Usb(3, 3), Usb(4, 3)}, false, MenuTemplate::Device, {}, {kCmdRequest, kCmdProperty}, 0},
        {"own K-Shuttle", {Usb(3, 3, true, true)}, false, MenuTemplate::Device, {kCmdProperty}, {kCmdRequest}, 0},
        {"nothing selected", {Usb(1, 1, false)}, false, MenuTemplate::Device, {kCmdRefresh},
         {kCmdConnect, kCmdDisconnect, kCmdRequest, kCmdProperty}, 0},
        {"storage ready", {Storage(5, 7)}, false, MenuTemplate::Storage, {kCmdMount, kCmdOpen, kCmdRemove}, {}, kCmdOpen},
        {"storage not ready", {Storage(5, 2)}, true, MenuTemplate::Storage, {}, {kCmdMount, kCmdOpen, kCmdRemove, kCmdRefresh}, 0},
        {"storage and device", {Storage(5, 7), Usb(1, 1)}, false, MenuTemplate::RefreshOnly, {kCmdRefresh}, {}, 0},
    };
    for (const MenuCase& c : cases) {
        SCOPED_TRACE(c.name);
        const MenuPlan plan = ListMenuPlan(c.rows, c.locked);
        EXPECT_EQ(plan.kind, c.kind);
        for (uint32_t id : c.enabled) EXPECT_EQ(plan.StateOf(id), kItemEnabled) << id;
        for (uint32_t id : c.disabled) EXPECT_EQ(plan.StateOf(id), kItemDisabled) << id;
        EXPECT_EQ(plan.defaultId, c.defaultId);
    }
    EXPECT_EQ(TreeItemMenuPlan(Usb(1, 1), false).defaultId, kCmdConnect);
}

TEST(MenuPlans, ServerMenuFollowsItsDevicesStorageAndModel) {
    ServerModel inUse;
    inUse.devices = {Usb(1, 3), Usb(2, 3)};
    MenuPlan plan = ServerMenuPlan(inUse, false);
    EXPECT_EQ(plan.kind, MenuTemplate::Server);
    EXPECT_EQ(plan.StateOf(kCmdAllConnect), kItemDisabled);
    EXPECT_EQ(plan.StateOf(kCmdAllDisconnect), kItemDisabled);
    EXPECT_EQ(plan.StateOf(kCmdServerPage), kItemEnabled);

    ServerModel shuttle;
    shuttle.devices = {Usb(1, 1)};
    shuttle.shuttle = true;
    plan = ServerMenuPlan(shuttle, false);
    EXPECT_EQ(plan.StateOf(kCmdAllConnect), kItemEnabled);
    EXPECT_EQ(plan.StateOf(kCmdServerPage), kItemDisabled);

    ServerModel storageOnly;
    storageOnly.storage = {Storage(5, 2), Storage(6, 7)};
    storageOnly.status = 0x0008;
    plan = ServerMenuPlan(storageOnly, false);
    EXPECT_EQ(plan.kind, MenuTemplate::ServerStorage);
    EXPECT_EQ(plan.StateOf(kCmdAllMount), kItemEnabled);
    EXPECT_EQ(plan.StateOf(kCmdServerPage), kItemDisabled);
    storageOnly.devices = {Usb(1, 1)};
    EXPECT_EQ(ServerMenuPlan(storageOnly, false).kind, MenuTemplate::ServerAll);
}

TEST(MenuPlans, HelpMenuHoldsOnlyTheItemsWithValues) {
    auto keys = [](const std::vector<HelpItem>& items) {
        std::wstring out;
        for (const HelpItem& item : items) out += (item.key[0] ? item.key : L"-") + std::wstring(L" ");
        return out;
    };
    EXPECT_EQ(keys(HelpMenuItems(false, false, false, true)), L"HELP_VERSION ");
    EXPECT_EQ(keys(HelpMenuItems(false, true, false, true)), L"HELP_COMPANY - HELP_VERSION ");
    EXPECT_EQ(keys(HelpMenuItems(true, true, true, true)), L"HELP_MAIN - HELP_COMPANY HELP_SUPPORT - HELP_VERSION ");
    EXPECT_EQ(HelpMenuItems(true, false, false, true)[0].command, kCmdHelpMain);
}

TrayRow Tray(uint64_t handle, uint16_t status, bool storage = false, bool blocked = false) {
    TrayRow row;
    row.handle = handle;
    row.status = status;
    row.storage = storage;
    row.requestBlocked = blocked;
    return row;
}

TEST(TrayMenuModel, IdsRunFromTheLastRowAndStaleIdsNeverAct) {
    std::vector<TrayRow> rows = {Tray(10, 1), Tray(11, 0), Tray(12, 2), Tray(13, 0, true), Tray(14, 3, false, true)};
    std::vector<TrayIds> ids;
    TrayMenuPlan plan = PlanTrayMenu(rows, ids);
    ASSERT_TRUE(plan.separatorOnTop);
    ASSERT_EQ(plan.entries.size(), 4u);
    EXPECT_EQ(plan.entries[0].row, 0u);  // list order
    EXPECT_EQ(plan.entries[3].row, 4u);
    EXPECT_EQ(ids[4].ids[0], 0x8320u);
    EXPECT_EQ(ids[3].ids[0], 0x8324u);
    EXPECT_EQ(ids[3].ids[3], 0u);  // storage rows take three ids
    EXPECT_EQ(ids[2].ids[0], 0x8327u);
    EXPECT_EQ(ids[1].ids[0], 0u);  // unlisted
    EXPECT_EQ(ids[0].ids[3], 0x832Eu);
    const bool expected[4][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {1, 1, 1, 0}, {0, 0, 0, 1}};
    for (int e = 0; e < 4; ++e) {
        for (int k = 0; k < 4; ++k) EXPECT_EQ(plan.entries[e].enabled[k], expected[e][k]) << e << "," << k;
    }
    std::vector<bool> storage = {false, false, false, true, false};
    TrayHit hit = FindTrayCommand(ids, storage, 0x8325);
    EXPECT_EQ(hit.handle, 13u);
    EXPECT_EQ(hit.action, TrayAction::Open);
    hit = FindTrayCommand(ids, storage, 0x8328);
    EXPECT_EQ(hit.handle, 12u);
    EXPECT_EQ(hit.action, TrayAction::Disconnect);
    EXPECT_EQ(FindTrayCommand(ids, storage, 0x832F).action, TrayAction::None);
    EXPECT_EQ(FindTrayCommand(ids, storage, 0).action, TrayAction::None);

    // Row 10 is no longer listed in the next menu: its old ids must not reach it.
    const uint32_t oldConnect = ids[0].ids[0];
    rows[0].status = 0;
    rows[2].status = 0;
    plan = PlanTrayMenu(rows, ids);
    EXPECT_EQ(plan.entries.size(), 2u);
    for (const TrayIds& row : ids) {
        if (row.handle == 10 || row.handle == 12) {
            for (uint32_t id : row.ids) EXPECT_EQ(id, 0u);
        }
    }
    EXPECT_NE(FindTrayCommand(ids, storage, oldConnect).handle, 10u);
    EXPECT_FALSE(PlanTrayMenu({Tray(1, 0), Tray(2, 5)}, ids).separatorOnTop);
}

// A scripted world for the progress dialog's phase rules.
class Script : public ProgressHooks {
public:
    bool com = false;
    bool permitMessage = true;
    bool requestOpen = false;
    INT_PTR answer = IDOK;
    int confirms = 0;
    std::vector<std::wstring> errors, log, labels;
    std::vector<int> told;
    int stops = 0, interruptions = 0;
    ButtonPlan buttons;

    std::wstring FavouriteName(uint64_t) override { return L"Office Printer"; }
    std::wstring ShareName(uint64_t) override { return L"USB-DISK"; }
    bool IsComPortDevice(uint64_t) override { return com; }
    bool RequestDialogOpen() override { return requestOpen; }
    bool PermitMessageOn() override { return permitMessage; }
    INT_PTR Confirm(uint64_t) override {
        ++confirms;
        return answer;
    }
    void ErrorMessage(const wchar_t* key, const std::wstring& name) override { errors.push_back(key + (L":" + name)); }
    void TellRequestDialogs(uint64_t, int code) override { told.push_back(code); }
    void Buttons(const ButtonPlan& plan) override { buttons = plan; }
    void Label(int control, const wchar_t* key) override { labels.push_back(std::to_wstring(control) + L"=" + key); }
    void ConnectStop() override { ++stops; }
    void DisconnectInterruption(uint64_t, uint16_t) override { ++interruptions; }
    void Repaint() override {}
    void Log(const std::wstring& line) override { log.push_back(line); }
};

ConnectEvent Event(uint16_t phase, uint16_t result = 0, uint16_t action = kActionButton) {
    ConnectEvent event{};
    event.phase = phase;
    event.result = result;
    event.action = action;
    return event;
}

struct PermitCase {
    const char* name;
    UINT message;
    bool com;
    bool permitMessage;
    bool requestOpen;
    uint16_t action;
    uint8_t batchKind;
    INT_PTR answer;
    LRESULT expected;
    int confirms;
};

TEST(ProgressEvents, PermitIsAnsweredByTheUserOnlyWhereAsked) {
    const std::vector<PermitCase> cases = {
        {"disconnect, PermitMessage on, OK", PNXN_DISCONNECT, false, true, false, 1, kBatchPlain, IDOK, 1, 1},
        {"disconnect, PermitMessage on, Cancel", PNXN_DISCONNECT, false, true, false, 1, kBatchPlain, IDCANCEL, 0, 1},
        {"disconnect, PermitMessage off", PNXN_DISCONNECT, false, false, false, 1, kBatchPlain, IDCANCEL, 1, 0},
        {"COM connect confirmed goes on", PNXN_CONNECT, true, false, false, 1, kBatchPlain, IDOK, 1, 1},
        {"COM connect refused", PNXN_CONNECT, true, false, false, 1, kBatchPlain, IDCANCEL, 0, 1},
        {"COM disconnect confirmed", PNXN_DISCONNECT, true, true, false, 4, kBatchPlain, IDOK, 1, 1},
        {"application never asks", PNXN_DISCONNECT, true, true, false, kActionApplication, kBatchPlain, IDCANCEL, 1, 0},
        {"keep-alive never asks", PNXN_DISCONNECT, false, true, false, kActionKeepAlive, kBatchPlain, IDCANCEL, 1, 0},
        {"request dialog open", PNXN_DISCONNECT, false, true, true, 1, kBatchPlain, IDCANCEL, 1, 0},
        {"kind 3 never asks", PNXN_DISCONNECT, false, true, false, 1, kBatchPropertyLike, IDCANCEL, 1, 0},
        {"property batch goes on", PNXN_DISCONNECT, true, true, false, 1, kBatchPropertyDialog, IDCANCEL, 1, 0},
    };
    for (const PermitCase& c : cases) {
        SCOPED_TRACE(c.name);
        Script script;
        script.com = c.com;
        script.permitMessage = c.permitMessage;
        script.requestOpen = c.requestOpen;
        script.answer = c.answer;
        ProgressState state;
        state.batchKind = c.batchKind;
        HandleConnectEvent(state, c.message, Event(kPhaseStart, 0, c.action), 7, script);
        EXPECT_EQ(HandleConnectEvent(state, c.message, Event(kPhasePermit, 0, c.action), 7, script), c.expected);
        EXPECT_EQ(script.confirms, c.confirms);
        EXPECT_EQ(state.statusStep, kStepPermit);
    }
}

TEST(ProgressEvents, PlainBatchReportsResultsAndLogsEveryPhase) {
    struct Case {
        UINT message;
        uint16_t result;
        std::vector<std::wstring> errors;
        int told;
    };
    const std::vector<Case> cases = {
        {PNXN_CONNECT, 0, {}, 1},
        {PNXN_CONNECT, 4, {}, 1},  // already connected by this PC counts as done
        {PNXN_CONNECT, 9, {L"MESSAGE12:Office Printer"}, 2},
        {PNXN_DISCONNECT, 6, {L"MESSAGE13:Office Printer"}, 2},
        {PNXN_DISCONNECT, 7, {L"MESSAGE19:Office Printer"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        Script script;
        ProgressState state;
        for (uint16_t phase : {kPhaseStart, kPhaseResult, kPhaseEnd}) {
            EXPECT_EQ(HandleConnectEvent(state, c.message, Event(phase, phase == kPhaseResult ? c.result : 0), 7, script), 1);
            if (phase == kPhaseStart) {
                EXPECT_EQ(state.operationCode, c.message == PNXN_CONNECT ? DEVOP_CONNECT : DEVOP_DISCONNECT);
                EXPECT_EQ(state.displayName, L"Office Printer");
            }
        }
        EXPECT_EQ(script.errors, c.errors);
        EXPECT_EQ(script.told, std::vector<int>{c.told});
        EXPECT_TRUE(state.displayName.empty());
        ASSERT_EQ(script.log.size(), 4u);
        EXPECT_EQ(script.log[0], c.message == PNXN_CONNECT ? L"*** Connect Event(Other) ***" : L"*** Disconnect Event(Other) ***");
        EXPECT_EQ(script.log[1], L"  Office Printer: Event: Start., Error: No error., Action: By Button.");
    }
}

TEST(ProgressEvents, GuidedBatchesHoldAndOfferTheirButtons) {
    Script script;
    ProgressState state;
    state.batchKind = kBatchPropertyDialog;
    EXPECT_EQ(HandleConnectEvent(state, PNXN_CONNECT, Event(kPhaseStart), 7, script), 1);
    EXPECT_EQ(script.buttons.show, kBtnCancel);
    EXPECT_EQ(script.buttons.enable, 0);
    EXPECT_EQ(HandleConnectEvent(state, PNXN_CONNECT, Event(kPhaseResult, 4), 7, script), 1);
    EXPECT_EQ(script.interruptions, 1);
    EXPECT_EQ(HandleConnectEvent(state, PNXN_CONNECT, Event(kPhaseEnd), 7, script), 1);
    EXPECT_EQ(script.stops, 1);
    EXPECT_EQ(script.labels.back(), L"1104=OK");
    EXPECT_EQ(script.buttons.show, kBtnClose);
    EXPECT_EQ(PlanStatusText(state).key, std::wstring(L"PROPERTY_01"));

    Script printer;
    ProgressState auto_;
    auto_.batchKind = kBatchAutoPrinter;
    EXPECT_EQ(HandleConnectEvent(auto_, PNXN_CONNECT, Event(kPhaseStart, 0, kActionNewAutoPrintDevice), 7, printer), 0);
    EXPECT_EQ(printer.stops, 1);
    EXPECT_EQ(printer.buttons.show, kBtnYes | kBtnCancel);
    EXPECT_EQ(printer.buttons.focus, IDC_PROGRESS_YES);
    EXPECT_EQ(PlanStatusText(auto_).key, std::wstring(L"AUTOPRN_START"));
    auto_.declined = true;
    HandleConnectEvent(auto_, PNXN_CONNECT, Event(kPhaseResult), 7, printer);
    HandleConnectEvent(auto_, PNXN_CONNECT, Event(kPhaseEnd), 7, printer);
    EXPECT_EQ(printer.buttons.show, kBtnCancel);  // declined: no OK offered
    EXPECT_EQ(printer.stops, 1);
}

TEST(ProgressEvents, StorageRemovalAsksAndReportsFailure) {
    Script script;
    script.answer = IDCANCEL;
    ProgressState state;
    HandleStorageEvent(state, PNXN_NAS_REMOVE, Event(kPhaseStart), 9, script);
    EXPECT_EQ(state.operationCode, DEVOP_NAS_REMOVE);
    EXPECT_EQ(HandleStorageEvent(state, PNXN_NAS_REMOVE, Event(kPhasePermit), 9, script), 0);
    HandleStorageEvent(state, PNXN_NAS_REMOVE, Event(kPhaseResult, 6), 9, script);
    EXPECT_EQ(script.errors, std::vector<std::wstring>{L"MESSAGE25:USB-DISK"});
    EXPECT_EQ(script.log[0], L"*** NAS Disconnect Event ***");
}

TEST(ProgressEvents, TextsFramesAndNameFitting) {
    EXPECT_EQ(FormatConnectEventText(Event(3, 8, 7)), L"Event: Execued., Error: Not Safe Remove., Action: By Broadcast.");
    EXPECT_EQ(FormatConnectEventText(Event(5, 9, 0)), L"Event: (0x0005), Error: (0x0009), Action: (0x0000)");

    std::vector<size_t> tried;
    const std::wstring name(30, L'a');
    std::wstring fitted = FitDisplayName(name, [&](const std::wstring& s) {
        tried.push_back(s.size());
        return s.size() <= 16;
    });
    EXPECT_EQ(tried, (std::vector<size_t>{30, 32, 24, 16}));  // 29+3, then 8 fewer each try
    EXPECT_EQ(fitted, std::wstring(13, L'a') + L"...");
    EXPECT_EQ(FitDisplayName(name, [](const std::wstring&) { return false; }), L"...");

    const int* frames = ProgressFrames(DEVOP_CONNECT);
    EXPECT_EQ(frames[0], 138);
    EXPECT_EQ(frames[21], 159);
    EXPECT_EQ(frames[24], 159);
    EXPECT_EQ(frames[25], 0);
    EXPECT_EQ(ProgressFrames(DEVOP_DISCONNECT)[24], 181);
}

}  // namespace
