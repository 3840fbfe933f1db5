// Resource, control and message ids of the uninstaller.
#pragma once

#define IDI_UNINSTALL 120

#define IDD_UNINSTALL 101
#define IDD_FINISH 105
#define IDD_FRAME 144
#define IDD_RESTART 145
#define IDD_WELCOME 146

// Frame 144.
#define IDC_BACK 1020
#define IDC_NEXT 1021
#define IDC_LINE_UPPER 1022
#define IDC_LINE_LOWER 1023

// Pages.
#define IDC_PROGRESS 1000
#define IDC_FINISH_HEADING 1006
#define IDC_FINISH_TEXT 1009
#define IDC_RESTART_TEXT 1010
#define IDC_UNINSTALL_TEXT1 1023
#define IDC_UNINSTALL_TEXT2 1024
#define IDC_STEP_LABEL 1025
#define IDC_RESTART_NOW 1026
#define IDC_RESTART_LATER 1027
#define IDC_WELCOME_HEADING 1028
#define IDC_WELCOME_TEXT1 1029
#define IDC_WELCOME_TEXT2 1030

#ifndef RC_INVOKED
#include "wizard_pages.h"

// Page indexes of the page table.
enum UninstallPage { kPageWelcome, kPageUninstall, kPageFinish, kPageRestart, kUninstallPageCount };
#endif
