// Names, private messages, control ids and timings of the printer helper service.
#pragma once

#include <windows.h>

constexpr const char* kHelperServiceName = "Orvik Quelbo Plus Helper";
constexpr const char* kHelperWindowClass = "ORVIK ZOVU TVHELPER CLASS";
constexpr const char* kMessageIniName = "Pnxmsg.ini";
constexpr const char* kHelperLogName = "usbhelper.log";
constexpr long long kHelperLogMaxBytes = 1 << 20;

// The pair table, a list view on the hidden window.
constexpr int kPairTableId = 0x8064;
constexpr DWORD kPairTableStyle = 0x54018009;  // child, visible, clip siblings, tab stop, report, show selection, no sort header

// Posted to the hidden window by the worker threads when they end.
constexpr UINT WM_HELPER_PIPE_ENDED = 0x80C8;
constexpr UINT WM_HELPER_WATCH_ENDED = 0x80C9;

// The pipe: the service makes every instance there may be and serves them side by side.
constexpr DWORD kPipeInstances = 8;
constexpr DWORD kPipeBufferSize = 4096;
constexpr DWORD kPipeTimeoutMs = 1000;     // also how long a client may take to deliver its record
constexpr DWORD kStopPipeWaitMs = 5000;    // how long the stop record waits for a busy pipe

constexpr DWORD kWorkerStackSize = 16384;
constexpr DWORD kWatchIntervalMs = 15000;
constexpr DWORD kCommentTextSize = 512;
// More pairs than any PC has printer ports; records beyond it are refused.
constexpr int kMaxPairRows = 256;

// Service status wait hints.
constexpr DWORD kStartWaitHint = 8000;
constexpr DWORD kStartWaitHint2 = 10000;
constexpr DWORD kStopWaitHint = 5000;
constexpr DWORD kShutdownWaitHint = 10000;
constexpr DWORD kCheckpointWrap = 99999;
