// The progress dialog's answers to the library's connect phases, without a window: the state
// of the running request, the permit decision, the result texts and the button plans. The
// dialog (progress_dialog.cpp) supplies the world through ProgressHooks.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "device_operations.h"
#include "pnx_api.h"

constexpr uint16_t kPhaseStart = 1;
constexpr uint16_t kPhasePermit = 2;
constexpr uint16_t kPhaseResult = 3;
constexpr uint16_t kPhaseEnd = 4;

constexpr int kStepStart = 0;
constexpr int kStepPermit = 4;
constexpr int kStepResult = 5;
constexpr int kStepEnd = 6;

constexpr uint16_t kResultPrinterJobs = 7;
constexpr uint16_t kResultAlreadyConnectedHere = 4;

// The progress dialog's three buttons, as bits of ButtonPlan masks.
constexpr int IDC_PROGRESS_YES = 1030;
constexpr int IDC_PROGRESS_CANCEL = 1032;
constexpr int IDC_PROGRESS_CLOSE = 1104;
constexpr uint8_t kBtnYes = 1, kBtnCancel = 2, kBtnClose = 4;

struct ButtonPlan {
    uint8_t show = 0;
    uint8_t enable = 0;
    int focus = 0;  // control id, 0 leaves the focus
};

// What the dialog knows of the running request (the context's request part).
struct ProgressState {
    uint32_t operationCode = DEVOP_CONNECT;
    uint8_t batchKind = kBatchPlain;
    uint16_t phase = 0;
    uint16_t result = 0;
    bool cancelPressed = false;
    int statusStep = kStepStart;
    bool declined = false;
    uint64_t device = 0;
    std::wstring displayName;
};

// The dialog's side effects, so the rules can be run against a script.
class ProgressHooks {
public:
    virtual ~ProgressHooks() = default;
    virtual std::wstring FavouriteName(uint64_t device) = 0;
    virtual std::wstring ShareName(uint64_t entry) = 0;
    // The device's first location begins with "R" or "r": it is reached as a COM port.
    virtual bool IsComPortDevice(uint64_t device) = 0;
    virtual bool RequestDialogOpen() = 0;
    virtual bool PermitMessageOn() = 0;
    // The confirmation dialog for a device or storage entry: IDOK or another button id.
    virtual INT_PTR Confirm(uint64_t handle) = 0;
    virtual void ErrorMessage(const wchar_t* key, const std::wstring& name) = 0;
    // Tells the request dialogs the device's outcome: 1 succeeded, 2 failed.
    virtual void TellRequestDialogs(uint64_t device, int code) = 0;
    virtual void Buttons(const ButtonPlan& plan) = 0;
    virtual void Label(int control, const wchar_t* buttonKey) = 0;
    virtual void ConnectStop() = 0;
    virtual void DisconnectInterruption(uint64_t device, uint16_t action) = 0;
    virtual void Repaint() = 0;
    virtual void Log(const std::wstring& line) = 0;
};

// "Event: %s, Error: %s, Action: %s"; values outside the tables as "(0x%04x)".
std::wstring FormatConnectEventText(const ConnectEvent& event);

// The answer to one PNXN_CONNECT / PNXN_DISCONNECT (1 goes on, 0 holds or refuses) for the
// state's batch kind.
LRESULT HandleConnectEvent(ProgressState& state, UINT message, const ConnectEvent& event, uint64_t device,
                           ProgressHooks& hooks);
// The answer to PNXN_NAS_CONNECT / PNXN_NAS_REMOVE.
LRESULT HandleStorageEvent(ProgressState& state, UINT message, const ConnectEvent& event, uint64_t entry,
                           ProgressHooks& hooks);

// Whether the plain batch asks the user at Permit for this request.
bool PermitAsks(const ProgressState& state, uint16_t action, bool requestDialogOpen);

// The status text's parts: [section] key of the main line (with the display name as
// argument when `withName`) and whether WAIT follows.
struct StatusTextPlan {
    const wchar_t* section = L"CONNECT";
    const wchar_t* key = L"PREPARE";
    bool withName = false;
    bool appendWait = true;
};
StatusTextPlan PlanStatusText(const ProgressState& state);

// The display name cut until `fits` accepts the text built from it: first length - 1
// characters and "...", then 8 characters fewer on each further try, until the name is used up.
template <typename Fits>
std::wstring FitDisplayName(const std::wstring& name, Fits fits) {
    if (fits(name)) return name;
    for (long keep = static_cast<long>(name.size()) - 1; keep > 0; keep -= 8) {
        std::wstring cut = name.substr(0, static_cast<size_t>(keep)) + L"...";
        if (fits(cut)) return cut;
    }
    return L"...";
}

// The animation's icon ids, ending with 0: connects 138-159 then 159 three times more,
// every other operation 160-181 then 181 three times more.
const int* ProgressFrames(uint32_t operationCode);
