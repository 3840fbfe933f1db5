// Resource, control and message ids of the setup program.
#pragma once

#define IDI_SETUP 108

#define IDD_FRAME 101
#define IDD_WELCOME 102
#define IDD_LICENSE 103
#define IDD_FOLDER 104
#define IDD_INSTALL 105
#define IDD_FINISH 106
#define IDD_STARTMENU 107
#define IDD_COMPONENT 125
#define IDD_MESSAGE 141
#define IDD_LANGUAGE 111
#define IDD_CHECK 112
#define IDD_APPLICATIONS 119
#define IDD_RESTART 129
#define IDD_PRINTERS 130
#define IDD_CONNECT 142

#define IDC_BACK 1068
#define IDC_NEXT 1069
#define IDC_LINE_UPPER 1074
#define IDC_LINE_LOWER 1075
#define IDC_LICENSE_TEXT 1008
#define IDC_BROWSE 1011
#define IDC_MENU_NAME 1014
#define IDC_PROGRESS 1016
#define IDC_INSTALL_LABEL 1019
#define IDC_LANGUAGE_LIST 1073
#define IDC_RUN_FROM_MEDIUM 1081
#define IDC_PRINTER_CHECK 1100
#define IDC_CONNECT_FIRST 1105
#define IDC_PAGE_TEXT 1200
#define IDC_COMPONENT_LABEL 1094
#define IDC_MESSAGE_ICON 1100
#define IDC_MESSAGE_TEXT 1101

#ifndef RC_INVOKED
constexpr unsigned kWizardInit = 1124;
constexpr unsigned kWizardShown = 1126;
constexpr unsigned kWizardNext = 1127;
constexpr unsigned kWizardBack = 1128;
constexpr unsigned kWizardClose = 1129;
constexpr unsigned kInstallStart = 1130;
constexpr unsigned kInstallDone = 1131;
constexpr unsigned kInstallFailed = 1132;
constexpr unsigned kComponentStart = 1224;
constexpr unsigned kComponentEnd = 1225;
#endif
