// Private window messages, timer ids and child control ids of the library's hidden windows.
// The numbers are fixed: other programs and older builds of the library post some of them.
#pragma once

#include <windows.h>

// --- Service window messages ---------------------------------------------------------------
constexpr UINT PNXM_SEARCH_SOCKET = 1074;        // a search reply is waiting (socket notice)
constexpr UINT PNXM_SEARCH_SENT = 1076;          // posted after a search was sent; ignored
constexpr UINT PNXM_SEARCH_NOW = 0x8191;         // run one search cycle
constexpr UINT PNXM_RENEW = 0x8192;              // server window: renew the device list
constexpr UINT PNXM_SESSION_TIMERS = 0x8193;     // server window: wParam 0 stop, 1 renew
constexpr UINT PNXM_AUTO_PRINTER = 0x8194;       // server window: suspend/resume automation
constexpr UINT PNXM_QUEUE_START = 0x8195;        // start the connect-queue worker
constexpr UINT PNXM_QUEUE_END = 0x8196;          // the connect-queue worker ended
constexpr UINT PNXM_FREE_DEVICE_COPY = 0x8197;   // free a device-entry copy handed back
constexpr UINT PNXM_PRINTER_CHANGE = 0x838E;     // the printer watcher saw a printer come or go
constexpr UINT PNXM_PRINTER_WATCH_END = 0x838F;  // ignored
constexpr UINT PNXM_PROCESS_WATCH_END = 0x83E8;  // ignored
constexpr UINT PNXM_KEEPALIVE_SOCKET = 0x83E9;   // service window: keep-alive socket notice
constexpr UINT PNXM_RUN_APPLICATION = 0x83E9;    // server window: start a device's applications
constexpr UINT PNXM_ADDRESS_WATCH_END = 0x83F2;  // ignored

// --- Server window messages ----------------------------------------------------------------
constexpr UINT PNXM_ANALYSIS_START = 0x812D;     // posted when the server was created
constexpr UINT PNXM_CHANNELS_OPEN = 0x812F;      // channels are open: go on with the analysis
constexpr UINT PNXM_OTHER_PC_NAME = 0x8130;      // look up the PC name of a device's user
constexpr UINT PNXM_PC_NAME_FOUND = 0x8131;      // a PC-name look-up has a result waiting
constexpr UINT PNXM_AUTO_PRINTER_END = 0x844C;   // ignored

// --- Server window timers ----------------------------------------------------------------------
// The session timer waits either for an answer (TimeOut) or for the next poll (Status): one
// timer, restarted in place with the other interval when the wait changes; its ticks go by
// the record's timer kind. kTimerStatus is a Status tick sent to the window directly.
constexpr UINT_PTR kTimerTimeOut = 1;            // the session timer
constexpr UINT_PTR kTimerStatus = 2;             // poll the device list again
constexpr UINT_PTR kTimerKeepAlive = 5;          // keep-alive datagram
constexpr UINT_PTR kTimerBlackout = 7;           // blackout query
constexpr UINT kTimeOutInterval = 2000;          // ms
constexpr UINT kKeepAliveInterval = 8000;        // ms

// --- Service window timers -------------------------------------------------------------------
constexpr UINT_PTR kTimerAutoSearch = 4;
constexpr UINT_PTR kTimerLostServerSweep = 6;
constexpr UINT kLostServerSweepDelay = 10000;    // ms

// --- Service window children -----------------------------------------------------------------
constexpr int kIdServerList = 1001;
constexpr int kIdDeviceList = 1002;               // child of a server window
constexpr int kIdConnectQueue = 1003;
constexpr int kIdPrinterList = 1004;
constexpr int kIdProcessList = 1005;
constexpr int kIdNasList = 1006;                  // child of a server window
constexpr int kIdLogList = 150;
constexpr int kIdDetectedServers = 107;

// --- Window classes --------------------------------------------------------------------------
constexpr const char* kServiceWindowClass = "PNX_SERVICE_CONTROL_DLL";
constexpr const char* kServiceWindowTitle = "Server List";
constexpr const char* kServerWindowClass = "MARDANE_TECH_ZKUPTP";

// --- Monitor channel reply messages (to a channel window, then posted to its owner) ----------
// wParam of the posted message is the channel window, lParam its reassembly buffer.
constexpr UINT PNXM_MONITOR_NOTICE = 1224;            // a channel notice the session ignores
constexpr UINT PNXM_MONITOR_SYSTEM = 1225;            // the "SYSTEM" channel's first notice
constexpr UINT PNXM_MONITOR_DEVICE_LIST = 1229;       // "GET USB_DEVICE_LIST"
constexpr UINT PNXM_MONITOR_STORAGE_LIST = 1236;      // "GET STORAGE_LIST"
constexpr UINT PNXM_MONITOR_DEVICE_LIST_EX = 1246;    // "GET USB_DEVICE_LIST_EX"
constexpr UINT PNXM_MONITOR_DEVICE_LIST_EX_II = 1247; // "GET USB_DEVICE_LIST_EX_II"
constexpr const char* kMonitorWindowClass = "HIDE.MONITOR.CLASS.TW";
