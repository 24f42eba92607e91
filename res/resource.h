// Resource and command identifiers shared by the executable, its resource
// script and the language libraries.
#pragma once

// Strings
#define IDS_PRODUCT_NAME        103
#define IDS_ABOUT               104
#define IDS_SOFTWARE_VERSION    105
#define IDS_FIRMWARE_VERSION    106
#define IDS_NOT_ATTACHED        107
#define IDS_OPTIONS             108
#define IDS_APP_NAME            109
#define IDS_HOTKEY_SEQUENCE     110
#define IDS_ENABLE_HOTKEYS      111
#define IDS_ENABLE_SOUNDS       112
#define IDS_KEY_CTRL_CTRL       113
#define IDS_KEY_NUMLOCK         114
#define IDS_KEY_SCROLL          115
#define IDS_KEY_CTRL_CTRL_SHIFT 116
#define IDS_SWITCH_HOST         117
#define IDS_EXIT                118
#define IDS_OK                  119
#define IDS_CANCEL              120
#define IDS_NOTICE              121
#define IDS_ALT_NOTE            122
#define IDS_PRODUCT_NAME2       123
#define IDS_NOT_ATTACHED2       124
#define IDS_APP_NAME2           125
#define IDS_KEY_COMBINATIONS    126
#define IDS_COMBINATION_TAKEN   127

// Menus and accelerators
#define IDR_MAIN_MENU           109
#define IDR_ACCELERATORS        109
#define IDR_TRAY_MENU           129

// Dialogs and their controls
#define IDD_ABOUT               103
#define IDD_OPTIONS             131
#define IDC_SOFTWARE_VERSION    1000
#define IDC_FIRMWARE_VERSION    1001
#define IDC_KEY_GROUP           1001
#define IDC_ENABLE_KEYS         1002
#define IDC_KEY_CTRL_CTRL_SHIFT 1003
#define IDC_KEY_NUMLOCK         1004
#define IDC_KEY_SCROLL          1005
#define IDC_ENABLE_SOUNDS       1006
#define IDC_KEY_CTRL_CTRL       1007
#define IDC_ALT_NOTE            32781
// The key combinations: group, then per command (All, Video, Audio) its
// label, its hotkey control and its note that another program holds it.
#define IDC_COMBINATION_GROUP   1010
#define IDC_COMBINATION_LABEL   1011  // 1011-1013
#define IDC_COMBINATION         1014  // 1014-1016
#define IDC_COMBINATION_TAKEN   1017  // 1017-1019

// Icons
#define IDI_APP                 107
#define IDI_APP_SMALL           108
#define IDI_ATTACHED            130
#define IDI_NOT_ATTACHED        134

// Menu commands
#define IDM_ABOUT               104
#define IDM_EXIT                105
#define IDM_SWITCH_ALL          32773
#define IDM_OPTIONS             32776
#define IDM_SWITCH_AUDIO        32779
#define IDM_SWITCH_VIDEO        32780
