// Resource ids, control ids and private messages of QuelboZovu.exe.
#pragma once

#define IDI_PROGRAM 101
#define IDD_MAIN 1001
#define IDD_OPTIONS 1003
#define IDD_OPTION_GENERAL 1009
#define IDD_OPTION_BROADCAST 1010
#define IDD_OPTION_DISPLAY 1012
#define IDA_MAIN 900
#define IDD_PROPERTY 1005
#define IDD_PRINTERS 1006
#define IDD_REQUEST 1008
#define IDD_PROPERTY_DEVICE 1011
#define IDD_PROPERTY_OPTIONS 1013

#define IDC_PROPERTY 1018
#define IDC_CONNECT 1019
#define IDC_DISCONNECT 1020
#define IDC_OPTION 1021
#define IDC_HELPBUTTON 1022
#define IDC_REQUEST 1023
#define IDC_REFRESH 1024
#define IDC_APPLY 1025
#define IDC_ADD 1026
#define IDC_DELETE 1027
#define IDC_SHOW 1033
#define IDC_HIDE 1034
#define IDC_DOWN 1035
#define IDC_UP 1036
#define IDC_EFFECT 1037
#define IDC_PAGE_ICON 1040
#define IDC_OPT_STARTUP 1044
#define IDC_OPT_MINI 1045
#define IDC_OPT_ERROR 1046
#define IDC_OPT_MESSAGEOFF 1047
#define IDC_OPT_BROADCAST 1048
#define IDC_OPT_AUTOCONNECT 1051
#define IDC_PAGE_TEXT 1058
#define IDC_RANGE_LABEL 1059
#define IDC_TIMER_LABEL 1060
#define IDC_DISPLAY_LABEL 1070
#define IDC_WIDTH_LABEL 1071
#define IDC_TIMER_FIELD 1072
#define IDC_WIDTH_FIELD 1081
#define IDC_DEVICE_LIST 1082
#define IDC_ADDRESS_LIST 1083
#define IDC_COLUMN_LIST 1084
#define IDC_GROUP 1086
#define IDC_GROUP_TIMER 1087
#define IDC_TIMER_UPDOWN 1088
#define IDC_ADDRESS 1089
#define IDC_SWITCH 1095
#define IDC_TAB 1095
#define IDC_TREE 1099

#define IDM_REFRESH 1024

// Device property, printer selection and request dialogs.
#define IDC_ANSWER_NO 1029
#define IDC_ANSWER_YES 1030
#define IDC_SERVER_PAGE 1031
#define IDC_REFERENCE 1038
#define IDC_PRINTER_SETUP 1039
#define IDC_PRINTER_ICON 1042
#define IDC_ENCRYPTION 1043
#define IDC_BEGIN_APPLI 1049
#define IDC_END_APPLI 1050
#define IDC_ERROR_CONNECT 1052
#define IDC_LABEL_DEVICE 1061
#define IDC_LABEL_SPEED 1062
#define IDC_LABEL_SERVER 1063
#define IDC_LABEL_HOST 1064
#define IDC_LABEL_IPADDRESS 1065
#define IDC_LABEL_ETHERNET 1066
#define IDC_LABEL_DISPNAME 1067
#define IDC_PRINTER_TEXT 1068
#define IDC_PRINTER_CHECK 1069
#define IDC_FIELD_DEVICE 1073
#define IDC_FIELD_SPEED 1074
#define IDC_FIELD_SERVER 1075
#define IDC_FIELD_HOST 1076
#define IDC_FIELD_IPADDRESS 1077
#define IDC_FIELD_ETHERNET 1078
#define IDC_DISPNAME 1079
#define IDC_APPLICATION 1080
#define IDC_PRINTER_LIST 1085
#define IDC_AUTO_FREE 1090
#define IDC_AUTO_PRINTER 1091
#define IDC_AUTO_ON 1096
#define IDC_REQ_DISCONNECT 1101
#define IDC_REQ_TIMEOUT 1102
#define IDC_GROUP_REQUEST 1103
#define IDC_TOAST_TITLE 1110
#define IDC_TOAST_MESSAGE 1111
#define IDC_TOAST_LOWER 1112

#ifndef RC_INVOKED
#include <windows.h>

constexpr UINT UM_START_WORK = 0x81F4;
constexpr UINT UM_ACTIVATE_INSTANCE = 0x81F5;
constexpr UINT UM_TRAY_CALLBACK = 0x81F6;
constexpr UINT UM_SHOW_MAIN = 0x81F7;
constexpr UINT UM_HIDE_MAIN = 0x81F8;
constexpr UINT UM_EXIT = 0x81F9;
constexpr UINT UM_PAGE_CHANGED = 0x81FA;
constexpr UINT UM_SHOW_COMMAND = 0x81FB;
constexpr UINT UM_TRAY_MENU = 0x81FC;
constexpr UINT UM_UPDATE_COMMANDS = 0x81FD;
constexpr UINT UM_REQUEST_RESULT_POST = 0x820B;
constexpr UINT UM_REQUEST_RESULT = 0x820C;
constexpr UINT UM_ACTIVATE_MAIN = 0x820D;
constexpr UINT UM_COLUMN_REFRESH = 0x8258;

constexpr WPARAM kShowCommandShow = 0x81FE;
constexpr WPARAM kShowCommandHide = 0x81FF;
constexpr UINT kCommandOptions = 0x8259;
constexpr UINT kCommandExit = 0x825C;
// Storage actions: on the list selection or the tree's selected entry, then on every entry
// of the tree's selected server.
constexpr UINT kCommandStorageMount = 0x8205;
constexpr UINT kCommandStorageExplore = 0x8206;
constexpr UINT kCommandStorageRemove = 0x8207;
constexpr UINT kCommandStorageMountAll = 0x8208;
constexpr UINT kCommandStorageExploreAll = 0x8209;
constexpr UINT kCommandStorageRemoveAll = 0x820A;
#endif
