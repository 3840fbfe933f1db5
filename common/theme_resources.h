// Resource ids of a theme library: the utility loads every icon and bitmap by these ids from
// the theme's module, so every theme must hold them all. All resources are in language 1041.
#pragma once

namespace theme {

constexpr WORD kLanguage = 1041;

// Icons.
constexpr int kIconProgram = 101;  // program, tray and dialog icon
constexpr int kCursorGroup = 102;
constexpr int kIconAbout = 103;
constexpr int kIconStateFree = 104;
constexpr int kIconConnect = 105;
constexpr int kIconDisconnect = 106;
constexpr int kIconStateOther = 107;
constexpr int kIconStateServerError = 108;
constexpr int kIconStateConnected = 109;  // also: the device has printers
constexpr int kIconNoPrinters = 110;
constexpr int kIconStateDeviceError = 111;
constexpr int kIconRequest = 112;
constexpr int kIconRefresh = 113;
constexpr int kIconFileMissing = 114;
constexpr int kIconHelp = 115;
constexpr int kIconBroadcastPage = 116;
// Device classes: the class icon, and one higher its option-page twin.
constexpr int kIconImage = 117;
constexpr int kIconAudio = 119;
constexpr int kIconHid = 121;
constexpr int kIconMfp = 123;
constexpr int kIconPrinter = 125;
constexpr int kIconStorage = 127;
constexpr int kIconOtherUsb = 129;
constexpr int kIconVideo = 131;
constexpr int kIconSortDescending = 133;
constexpr int kIconSortAscending = 134;
constexpr int kIconStateReceiving = 135;
constexpr int kIconDisplayPage = 136;
constexpr int kIconGeneralPage = 137;
constexpr int kIconConnectAnimFirst = 138;     // 138-159
constexpr int kIconDisconnectAnimFirst = 160;  // 160-181
constexpr int kProgressAnimFrames = 22;
constexpr int kIconTrayErrorFirst = 182;       // 182-191
constexpr int kIconTrayRequestFirst = 192;     // 192-201
constexpr int kTrayAnimFrames = 10;
constexpr int kIconServerOther = 205;          // 205-210: plain, then state 1, per kind
constexpr int kIconServerHvq = 207;
constexpr int kIconServerJxk = 209;
constexpr int kIconTreeCollapsed = 211;
constexpr int kIconTreeExpanded = 212;

// Bitmaps.
constexpr int kBmpRefreshButton = 215;
constexpr int kBmpFrameLeft = 216;
constexpr int kBmpFrameRight = 217;
constexpr int kBmpFrameBottom = 218;
constexpr int kBmpFrameTop = 219;
constexpr int kBmpHeaderPressed = 220;
constexpr int kBmpHeaderNormal = 221;
constexpr int kBmpHeaderSorted = 222;
constexpr int kBmpListSelFocus = 223;
constexpr int kBmpListSel = 224;
constexpr int kBmpCancelButton = 225;  // request dialog Cancel; progress Cancel and Close
constexpr int kBmpYesButton = 226;
constexpr int kBmpNoButton = 227;
constexpr int kBmpSwitchButton = 228;
constexpr int kBmpProgressSmall = 229;    // progress dialog without buttons
constexpr int kBmpProgressButtons = 230;  // progress dialog with buttons
constexpr int kBmpOptionButton = 231;
constexpr int kBmpHelpButton = 232;
constexpr int kBmpConnectButton = 233;
constexpr int kBmpDisconnectButton = 234;
constexpr int kBmpPropertyButton = 235;
constexpr int kBmpToast = 236;
constexpr int kBmpFrameTopLeft = 237;
constexpr int kBmpFrameTopRight = 238;
constexpr int kBmpFrameBottomLeft = 239;
constexpr int kBmpFrameBottomRight = 240;
constexpr int kBmpLogo = 241;
constexpr int kBmpTreeSelFocus = 242;
constexpr int kBmpTreeSel = 243;
constexpr int kBmpRequestButton = 244;

}  // namespace theme
