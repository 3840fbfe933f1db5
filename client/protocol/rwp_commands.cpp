#include "rwp_commands.h"

#include <atomic>
#include <iterator>

namespace {

// Order matters: callers pick rows by index.
constexpr const char* kCommandTable[] = {
    "GET CONTEXT", "GET MENU_DATA", "GET ENUM_DATA", "GET EEP_DATA", "GET PORT_NAME",
    "GET STATUS:", "POLLING", "CHK PASSWORD", "SET DEFAULT_DATA", "SAVE EEP_DATA",
    "SET IP_ADDR:", "EXEC REBOOT SYSTEM:", "EXEC REBOOT LOADER:", "EXEC PRINT DIAGNOSTIC:",
    "EXEC PRINT CONFIGDATA:", "EXEC CLEAR EEP_DATA:", "EXEC SCANNER CONNECT:",
    "EXEC SCANNER DISCONNECT:", "GET SCANNER PORT_NAME", "GET SCANNER_STATUS:",
    "GET PRINTER_LIST", "EXEC CONFIG WIRELESS_DATA:", "EXEC RESTART WIRELESS:",
    "GET PORT_NAME_EX", "GET USB_DEVICE_LIST", "GETP CONTEXT", "GETP MENU_DATA",
    "GETP ENUM_DATA", "GETP EEP_DATA", "SETP DEFAULT_DATA", "SAVEP EEP_DATA",
    "SSL GET_CONTEXT", "SSL GET_MENU_DATA", "SSL GET_ENUM_DATA", "SSL GET_EEP_DATA",
    "SSL GET_CSR_DATA", "SSL SAVE_EEP_DATA", "SSL SAVE_CA_DATA", "GET SSL_STATUS:",
    "EXEC SSL REQUEST:", "GET STORAGE PORT_NAME", "GET STORAGE_STATUS:", "GET ALL PORT_NAME",
    "SET LABEL NAME", "GET LABEL NAME", "GET USB_PORT_NAME", "WPA SAVE_CERT_DATA",
    "EXEC WPA REQUEST:", "WPA GET_CERT_DATA", "GET WPA_STATUS", "GET HTTP_PORT_NUM",
    "GET DOCK_STATUS", "EXEC WNETWORK_SCAN:", "GET WNETWORK_LIST", "GET PHYSICAL_PORT_STATUS",
    "EXEC PHYSICAL PORT RESET:", "EXEC SET ADDRESS:", "GET USBDS_CONNECTINFO:",
    "GET STORAGE_LIST", "GET STORAGE_INFO:", "EXEC SAFE REMOVE:", "GET WANJOB_LIST",
    "GET WANJOB_INFO:", "SET WAN_JOB:", "EXEC DEL WANJOB:", "EXEC CANCEL WANJOB:",
    "EXEC UPLOAD WANJOB:", "GET WAN_OPTION", "SET WAN_OPTION:", "GET PICTJOB_LIST",
    "GET PICTJOB_INFO:", "SET PICT_JOB:", "GET PICT_OPTION", "SET PICT_OPTION:",
    "EXEC DEL PICTJOB:", "EXEC CANCEL PICTJOB:", "EXEC UPLOAD PICTJOB:", "GET PICT_USERLIST:",
    "GET PICT_LOGLIST:", "CHK PASSWORD:", "EXEC POWER SAVING:", "SET PWSAVING TIMER:",
    "SET PSDS_MODE:", "GET USB_DEVICE_LIST_EX", "SET MONITOR_BRIGHTNESS:",
    "SET MONITOR_POWER:", "SET SOUND_MUTE:", "GET USB_DEVICE_LIST_EX_II",
};
static_assert(std::size(kCommandTable) == 88);

std::atomic<uint32_t> g_rwpTimeout{kRwpDefaultTimeout};
std::atomic<size_t> g_rwpReassemblySize{kRwpReassemblyBeforeInit};

}  // namespace

const char* RwpCommandText(int index) {
    if (index < 0 || static_cast<size_t>(index) >= std::size(kCommandTable)) return nullptr;
    return kCommandTable[index];
}

size_t RwpCommandCount() { return std::size(kCommandTable); }

void SetRwpTimeout(uint32_t milliseconds) {
    g_rwpTimeout = milliseconds ? milliseconds : kRwpDefaultTimeout;
}

uint32_t RwpTimeout() { return g_rwpTimeout; }

void SetRwpReassemblySize(size_t bytes) {
    g_rwpReassemblySize = bytes ? bytes : kRwpReassemblyBeforeInit;
}

size_t RwpReassemblySize() { return g_rwpReassemblySize; }
