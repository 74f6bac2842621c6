// Resource ids of the program: dialogs, controls, menus, commands, strings,
// icons and the cursor.
#pragma once

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_PRODLET_FORM 101
#define IDD_OPTIONS 133
#define IDD_EDIT_NAMES 134
#define IDD_STATISTICS 138

// Shared by document string, frame menu, accelerators and main icon
#define IDR_MAINFRAME 128
// Tray icon id and tray popup menu
#define IDR_TRAY_MENU 129

// Icons
#define IDI_IDLE 128
#define IDI_STOPPED 130
#define IDI_PROBING 131

// Cursor
#define IDC_HAND_CURSOR 119

// Controls of the form
#define IDC_OFTEN 1000
#define IDC_HOSTNAMES 1001
#define IDC_START 1003
#define IDC_STATUS 1004
#define IDC_RETURN_TO_TRAY 1005
#define IDC_NEXT_LABEL 1006
#define IDC_COUNTDOWN 1007
#define IDC_SHUTDOWN 1008

// Controls of the dialogs
#define IDC_NAMES_LIST 1010
#define IDC_AUTOSTART 1011
#define IDC_IP_ADDRESS 1012
#define IDC_TIME_SINCE_LAUNCH 1013
#define IDC_RANDOM_NAME 1013
#define IDC_RANDOM_TIME 1014
#define IDC_IGNORE 1015
#define IDC_STAT_SUCCESSES 1013
#define IDC_STAT_HTTP 1014
#define IDC_STAT_DNS 1015
#define IDC_STAT_SOCKET 1016
#define IDC_LAST_PROBLEM_CAPTION 1018
#define IDC_LAST_PROBLEM_HOST 1019
#define IDC_MAIL_LINK 1022
#define IDC_WEB_LINK 1023
#define IDC_DELETE_SELECTION 4
#define IDC_RESTORE_DEFAULT 3

// Commands
#define ID_EDIT_NAMES 32771
#define ID_OPTIONS 32772
#define ID_RESTORE 32773
#define ID_EXIT 32774
#define ID_STATISTICS 32775
#define ID_FILE_NEW 57600
#define ID_FILE_OPEN 57601
#define ID_FILE_SAVE 57603
#define ID_EDIT_UNDO 57643
#define ID_APP_ABOUT 57664
#define ID_HELP_FINDER 57667
#define ID_CONTEXT_HELP 57669
#define ID_HELP 57670
#define ID_DEFAULT_HELP 57671
#define ID_NEXT_PANE 57680
#define ID_PREV_PANE 57681

// Strings
#define AFX_IDS_APP_TITLE 57344
// The framework's text when Help cannot open the manual (%1: its path)
#define AFX_IDP_FAILED_TO_LAUNCH_HELP 0xF107

// The maker's addresses in the About box. The e-mail link recognises its
// target by the mailbox followed by '@'.
#define PRODLET_MAIL_BOX "prodlet"
#define PRODLET_MAIL_ADDRESS PRODLET_MAIL_BOX "@example.com"
#define PRODLET_WEB_ADDRESS "https://www.example.com/prodlet"

// The five host names of a new list, in their order (name, name, dotted-quad
// literal, name, name).
extern const char* const g_aszDefaultHostNames[5];

// The program's resource tables (dialogs, menus, accelerators, strings, icons).
struct AFX_RESOURCES;
const AFX_RESOURCES& ProdletResources();
