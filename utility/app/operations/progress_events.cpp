#include "progress_events.h"

#include <cwchar>

#include "theme_resources.h"

namespace {

const wchar_t* const kPhaseTexts[] = {nullptr, L"Start.", L"Permit.", L"Execued.", L"End."};
const wchar_t* const kResultTexts[] = {L"No error.",      L"No Server.",          L"No Device.",
                                       L"Not Available.", L"You are connected.",  L"Not Force Disconnect.",
                                       L"Error Execued.", L"You have Printer Jobs.", L"Not Safe Remove."};
const wchar_t* const kActionTexts[] = {nullptr,       L"By Button.", L"By Application.",
                                       L"By Printer.", L"By Auto.",  L"By ZKA.",
                                       L"By New AutoPrint Device.", L"By Broadcast."};

template <size_t N>
std::wstring TableText(const wchar_t* const (&table)[N], uint16_t value) {
    if (value < N && table[value]) return table[value];
    wchar_t text[16];
    std::swprintf(text, 16, L"(0x%04x)", value);
    return text;
}

bool IsConnect(const ProgressState& state) { return state.operationCode == DEVOP_CONNECT; }

void LogEvent(ProgressHooks& hooks, const std::wstring& name, const ConnectEvent& event) {
    hooks.Log(L"  " + name + L": " + FormatConnectEventText(event));
}

void BeginRequest(ProgressState& state, UINT message, uint64_t device, ProgressHooks& hooks) {
    state.device = device;
    state.phase = kPhaseStart;
    state.statusStep = kStepStart;
    state.result = 0;
    state.displayName = hooks.FavouriteName(device);
    state.operationCode = message == PNXN_CONNECT ? DEVOP_CONNECT : DEVOP_DISCONNECT;
    hooks.Repaint();
}

std::wstring Heading(UINT message, const wchar_t* kind) {
    return std::wstring(L"*** ") + (message == PNXN_CONNECT ? L"Connect" : L"Disconnect") + L" Event(" + kind + L") ***";
}

ButtonPlan Only(uint8_t button, bool enabled, int focus = 0) { return ButtonPlan{button, enabled ? button : uint8_t(0), focus}; }

void StoreResult(ProgressState& state, uint16_t result) {
    state.result = result == kResultAlreadyConnectedHere ? 0 : result;
}

LRESULT PlainPermit(ProgressState& state, const ConnectEvent& event, ProgressHooks& hooks) {
    state.phase = kPhasePermit;
    state.statusStep = kStepPermit;
    if (!PermitAsks(state, event.action, hooks.RequestDialogOpen())) return 1;
    // A COM-port device is always asked about; any other device only with PermitMessage on.
    // Either way the request goes on only when the user answered OK.
    if (!hooks.IsComPortDevice(state.device) && !hooks.PermitMessageOn()) return 1;
    return hooks.Confirm(state.device) == IDOK ? 1 : 0;
}

void PlainResult(ProgressState& state, const ConnectEvent& event, ProgressHooks& hooks) {
    state.phase = kPhaseResult;
    StoreResult(state, event.result);
    if (state.result == 0) {
        hooks.TellRequestDialogs(state.device, 1);
        return;
    }
    const wchar_t* key = state.result == kResultPrinterJobs ? L"MESSAGE19"
                         : IsConnect(state)                 ? L"MESSAGE12"
                                                            : L"MESSAGE13";
    hooks.ErrorMessage(key, state.displayName);
    hooks.TellRequestDialogs(state.device, 2);
}

LRESULT PlainEvent(ProgressState& state, UINT message, const ConnectEvent& event, uint64_t device,
                   ProgressHooks& hooks) {
    LRESULT answer = 1;
    switch (event.phase) {
        case kPhaseStart:
            BeginRequest(state, message, device, hooks);
            hooks.Log(Heading(message, L"Other"));
            break;
        case kPhasePermit:
            answer = PlainPermit(state, event, hooks);
            break;
        case kPhaseResult:
            PlainResult(state, event, hooks);
            break;
        case kPhaseEnd:
            state.phase = kPhaseEnd;
            break;
        default:
            break;
    }
    std::wstring name = state.displayName;
    if (event.phase == kPhaseEnd) {
        state.displayName.clear();
        hooks.Repaint();
    }
    LogEvent(hooks, name, event);
    return answer;
}

// Property (kind 1) and automatic printer (kind 2) batches share everything but Start and
// the OK offer at the end.
LRESULT GuidedEvent(ProgressState& state, UINT message, const ConnectEvent& event, uint64_t device,
                    ProgressHooks& hooks) {
    const bool printer = state.batchKind == kBatchAutoPrinter;
    LRESULT answer = 1;
    switch (event.phase) {
        case kPhaseStart:
            BeginRequest(state, message, device, hooks);
            hooks.Log(Heading(message, printer ? L"Auto Printer" : L"Property"));
            state.cancelPressed = false;
            state.declined = false;
            if (printer && message == PNXN_CONNECT) {
                hooks.ConnectStop();
                hooks.Label(IDC_PROGRESS_YES, L"YES");
                hooks.Label(IDC_PROGRESS_CANCEL, L"NO");
                hooks.Buttons(ButtonPlan{kBtnYes | kBtnCancel, kBtnYes | kBtnCancel, IDC_PROGRESS_YES});
                answer = 0;
            } else {
                hooks.Buttons(Only(kBtnCancel, false));
            }
            break;
        case kPhasePermit:
            state.phase = kPhasePermit;
            state.statusStep = kStepPermit;
            break;
        case kPhaseResult:
            state.phase = kPhaseResult;
            state.statusStep = kStepResult;
            StoreResult(state, event.result);
            if (IsConnect(state)) {
                hooks.Buttons(Only(kBtnCancel, true, IDC_PROGRESS_CANCEL));
                if (state.result == 0) hooks.DisconnectInterruption(device, event.action);
            }
            break;
        case kPhaseEnd:
            state.phase = kPhaseEnd;
            state.statusStep = kStepEnd;
            if (state.result != 0) {
                hooks.ConnectStop();
                hooks.Label(IDC_PROGRESS_CLOSE, L"CLOSE");
                hooks.Buttons(Only(kBtnClose, true, IDC_PROGRESS_CLOSE));
            } else {
                state.displayName.clear();
                if (IsConnect(state)) {
                    if (!state.cancelPressed && !(printer && state.declined)) {
                        hooks.ConnectStop();
                        hooks.Label(IDC_PROGRESS_CLOSE, L"OK");
                        hooks.Buttons(Only(kBtnClose, true, IDC_PROGRESS_CLOSE));
                    } else {
                        hooks.Buttons(Only(kBtnCancel, false));
                    }
                }
            }
            hooks.Repaint();
            break;
        default:
            break;
    }
    LogEvent(hooks, state.displayName, event);
    return answer;
}

}  // namespace

std::wstring FormatConnectEventText(const ConnectEvent& event) {
    return L"Event: " + TableText(kPhaseTexts, event.phase) + L", Error: " + TableText(kResultTexts, event.result) +
           L", Action: " + TableText(kActionTexts, event.action);
}

bool PermitAsks(const ProgressState& state, uint16_t action, bool requestDialogOpen) {
    if (requestDialogOpen || state.batchKind == kBatchPropertyLike) return false;
    // Applications, printers, keep-alive and broadcast never ask.
    return action == 0 || action == kActionButton || action == kActionAuto || action == kActionNewAutoPrintDevice ||
           action > kActionBroadcast;
}

LRESULT HandleConnectEvent(ProgressState& state, UINT message, const ConnectEvent& event, uint64_t device,
                           ProgressHooks& hooks) {
    if (state.batchKind == kBatchPropertyDialog || state.batchKind == kBatchAutoPrinter) {
        return GuidedEvent(state, message, event, device, hooks);
    }
    return PlainEvent(state, message, event, device, hooks);
}

LRESULT HandleStorageEvent(ProgressState& state, UINT message, const ConnectEvent& event, uint64_t entry,
                           ProgressHooks& hooks) {
    const bool mount = message == PNXN_NAS_CONNECT;
    LRESULT answer = 1;
    switch (event.phase) {
        case kPhaseStart:
            state.device = entry;
            state.phase = kPhaseStart;
            state.statusStep = kStepStart;
            state.result = 0;
            state.displayName = hooks.ShareName(entry);
            state.operationCode = mount ? DEVOP_NAS_MOUNT : DEVOP_NAS_REMOVE;
            hooks.Repaint();
            hooks.Log(mount ? L"*** NAS Connect Event ***" : L"*** NAS Disconnect Event ***");
            break;
        case kPhasePermit:
            state.phase = kPhasePermit;
            if (!mount) answer = hooks.Confirm(entry) == IDOK ? 1 : 0;
            break;
        case kPhaseResult:
            state.phase = kPhaseResult;
            state.result = event.result;
            if (event.result != 0) hooks.ErrorMessage(mount ? L"MESSAGE24" : L"MESSAGE25", state.displayName);
            break;
        case kPhaseEnd:
            state.phase = kPhaseEnd;
            state.displayName.clear();
            hooks.Repaint();
            break;
        default:
            break;
    }
    return answer;
}

StatusTextPlan PlanStatusText(const ProgressState& state) {
    StatusTextPlan plan;
    if (!state.displayName.empty()) {
        plan.withName = true;
        switch (state.operationCode) {
            case DEVOP_CONNECT: plan.key = L"CONNECT"; break;
            case DEVOP_DISCONNECT: plan.key = L"DISCONNECT"; break;
            case DEVOP_NAS_MOUNT: plan.key = L"MAPPING"; break;
            default: plan.key = L"REMOVE"; break;
        }
    }
    auto endText = [&](StatusTextPlan& p) {
        p.appendWait = false;
        p.withName = false;
        p.key = L"PROPERTY_01";
        if (state.result != 0) {
            p.section = L"ERROR";
            p.key = IsConnect(state) ? L"MESSAGE12" : L"MESSAGE13";
            p.withName = true;
        }
    };
    if (state.batchKind == kBatchPropertyDialog) {
        if (IsConnect(state) && state.phase == kPhaseResult) {
            plan = StatusTextPlan{L"CONNECT", L"PROPERTY_00", false, false};
        } else if (state.phase == kPhaseEnd && (IsConnect(state) || state.result != 0)) {
            endText(plan);
        }
    } else if (state.batchKind == kBatchAutoPrinter) {
        if (state.declined) {
            plan = StatusTextPlan{};
        } else if (IsConnect(state) && (state.statusStep == kStepPermit || state.statusStep == kStepResult)) {
            plan = StatusTextPlan{L"CONNECT", L"PROPERTY_00", false, false};
        } else if (state.statusStep == kStepEnd) {
            endText(plan);
        } else if (state.statusStep == kStepStart && IsConnect(state) && !state.displayName.empty()) {
            plan = StatusTextPlan{L"CONNECT", L"AUTOPRN_START", true, false};
        }
    }
    return plan;
}

const int* ProgressFrames(uint32_t operationCode) {
    static int connect[theme::kProgressAnimFrames + 4];
    static int other[theme::kProgressAnimFrames + 4];
    if (connect[0] == 0) {
        for (int i = 0; i < theme::kProgressAnimFrames + 3; ++i) {
            const int at = i < theme::kProgressAnimFrames ? i : theme::kProgressAnimFrames - 1;
            connect[i] = theme::kIconConnectAnimFirst + at;
            other[i] = theme::kIconDisconnectAnimFirst + at;
        }
    }
    return operationCode == DEVOP_CONNECT ? connect : other;
}
