#include "device_operations.h"

#include "app.h"
#include "pnx_api.h"
#include "progress_dialog.h"

namespace {

// Batches of the property dialog leave the library's background work as it is.
bool SuspendsLibrary(uint8_t kind) { return kind != kBatchPropertyDialog && kind != kBatchPropertyLike; }

}  // namespace

void RunDeviceOperations(HWND caller, HWND owner, DeviceOperationList& list) {
    // An empty batch would issue nothing, so no PNXN_COMPLETE would ever end the dialog.
    if (list.count <= 0 || !list.operations) {
        FreeOperations(list);
        return;
    }
    LockLists();
    if (HWND running = GetProgressDialogWindow()) {
        for (int i = 0; i < list.count; ++i) ExecuteDeviceOperation(running, list.operations[i], list.batchKind);
        FreeOperations(list);
        UnlockLists();
        return;
    }
    const bool suspend = SuspendsLibrary(list.batchKind) && g_app.service;
    if (suspend) g_pnx.PnxSuspendService(g_app.service, 1);
    RunProgressHost(owner ? owner : caller, list);
    FreeOperations(list);  // when the dialog could not start, the operations were never issued
    if (HWND view = ShownMainView()) SetFocus(view);
    if (suspend) g_pnx.PnxResumeService(g_app.service, nullptr);
    UnlockLists();
}
