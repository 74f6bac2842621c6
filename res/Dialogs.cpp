// Dialog templates of the program, in dialog units and in template (tab) order.
#include "res/ResourceTables.h"
#include "res/resource.h"

namespace {

constexpr const char* kFont = "MS Sans Serif";
constexpr int kPointSize = 8;

using K = AfxControl;

// The form inside the main frame.
constexpr AFX_DLGITEM kFormItems[] = {
    {K::DefPushButton, IDC_RETURN_TO_TRAY, "Return To Tray", 75, 115, 60, 15, WS_TABSTOP},
    {K::Edit, IDC_OFTEN, "", 10, 10, 20, 12, WS_BORDER | WS_TABSTOP | ES_RIGHT},
    {K::ComboDropDown, IDC_HOSTNAMES, "", 10, 40, 125, 60, WS_VSCROLL | WS_TABSTOP},
    {K::PushButton, IDC_START, "Start or Apply Changes", 10, 95, 125, 15, WS_DISABLED | WS_TABSTOP},
    {K::PushButton, IDC_SHUTDOWN, "Shutdown Prodlet", 10, 115, 60, 15, WS_TABSTOP},
    {K::Static, -1, "Prodlet how often? (minutes)", 33, 11, 90, 10},
    {K::Static, -1, "Domain Name or IP Address", 10, 30, 120, 8},
    {K::Static, -1, "(Type into box above to add a name)", 10, 55, 120, 8},
    {K::Static, -1, "Status:", 10, 70, 25, 8},
    {K::Static, IDC_STATUS, " ", 35, 70, 100, 8},
    {K::Static, IDC_NEXT_LABEL, "Time until next prodlet:", 10, 80, 70, 8, WS_DISABLED},
    {K::Static, IDC_COUNTDOWN, " ", 85, 80, 35, 8},
};

// Only OK is a tab stop, so it takes the focus when the box opens.
constexpr AFX_DLGITEM kAboutItems[] = {
    {K::IconStatic, -1, "", 145, 130, 20, 20, SS_CENTER, IDR_MAINFRAME},
    {K::Static, -1, "Prodlet Version 1.9", 145, 15, 70, 8, SS_CENTER},
    {K::Static, -1, "(c) Quorvane Software", 135, 25, 90, 8, SS_CENTER},
    {K::DefPushButton, IDOK, "OK", 181, 132, 39, 14, WS_TABSTOP},
    {K::GroupBox, -1, "What Prodlet Does", 5, 5, 97, 35},
    {K::Static, -1, "Keeps your ISP connection alive", 15, 17, 74, 17, SS_CENTER},
    {K::GroupBox, -1, "Legal", 5, 45, 97, 45},
    {K::Static, -1, "Free to use and to copy.\nNo warranty is given.", 9, 57, 84, 24, SS_CENTER},
    {K::Static, -1, "A 32 bit application\n\nby\n\nQuorvane Software", 145, 36, 72, 39, SS_CENTER},
    {K::GroupBox, -1, "Your Current IP Address", 5, 95, 97, 30},
    {K::Static, IDC_IP_ADDRESS, "ip", 15, 109, 74, 10, SS_CENTER},
    {K::GroupBox, -1, "Time Since Launch", 5, 130, 97, 30},
    {K::Static, IDC_TIME_SINCE_LAUNCH, "ip", 15, 144, 74, 10, SS_CENTER},
    {K::Static, IDC_MAIL_LINK, PRODLET_MAIL_ADDRESS, 135, 90, 90, 10, SS_CENTER},
    {K::Static, IDC_WEB_LINK, PRODLET_WEB_ADDRESS, 120, 110, 120, 10, SS_CENTER},
    {K::GroupBox, -1, "Fun Facts", 110, 5, 140, 155},
};

constexpr AFX_DLGITEM kOptionsItems[] = {
    {K::DefPushButton, IDOK, "OK", 10, 145, 50, 14, WS_TABSTOP},
    {K::PushButton, IDCANCEL, "Cancel", 80, 145, 50, 14, WS_TABSTOP},
    {K::CheckBox, IDC_AUTOSTART, "Auto-Start", 20, 25, 60, 10, WS_TABSTOP},
    {K::GroupBox, -1, "Automatic Function", 10, 10, 120, 30},
    {K::CheckBox, IDC_RANDOM_NAME, "Randomize Domain Name", 20, 65, 100, 10, WS_TABSTOP},
    {K::CheckBox, IDC_RANDOM_TIME, "Randomize Prodlet Time", 20, 80, 100, 10, WS_TABSTOP},
    {K::GroupBox, -1, "Randomized Functions", 10, 50, 120, 50},
    {K::GroupBox, -1, "Retry Function", 10, 105, 120, 30},
    {K::CheckBox, IDC_IGNORE, "Ignore Connection Failures", 20, 120, 100, 10, WS_TABSTOP},
};

// Dragging entries comes from the dialog's CDragListBox member, not the template.
constexpr AFX_DLGITEM kEditNamesItems[] = {
    {K::DefPushButton, IDOK, "OK", 125, 60, 60, 14, WS_TABSTOP},
    {K::PushButton, IDCANCEL, "Cancel", 125, 80, 60, 14, WS_TABSTOP},
    {K::PushButton, IDC_DELETE_SELECTION, "Delete Selection", 125, 20, 60, 14, WS_TABSTOP},
    {K::PushButton, IDC_RESTORE_DEFAULT, "Restore Default", 125, 40, 60, 14, WS_TABSTOP},
    {K::ListBox, IDC_NAMES_LIST, "", 5, 20, 105, 75, WS_BORDER | WS_VSCROLL | WS_TABSTOP},
    {K::Static, -1, "Click and Drag names if you wish to re-order them.", 5, 5, 175, 10},
};

constexpr AFX_DLGITEM kStatisticsItems[] = {
    {K::DefPushButton, IDOK, "OK", 90, 95, 50, 14, WS_TABSTOP},
    {K::Static, -1, "Number of successful Prodlets:", 5, 6, 100, 10, SS_RIGHT},
    {K::Static, -1, "Number of HTTP failures:", 5, 20, 100, 10, SS_RIGHT},
    {K::Static, -1, "Number of DNS failures:", 5, 35, 100, 10, SS_RIGHT},
    {K::Static, IDC_STAT_SUCCESSES, "Static", 110, 6, 30, 10, SS_RIGHT},
    {K::Static, IDC_STAT_HTTP, "Static", 110, 20, 30, 10, SS_RIGHT},
    {K::Static, IDC_STAT_DNS, "Static", 110, 35, 30, 10, SS_RIGHT},
    {K::Static, -1, "Number of Socket failures:", 5, 50, 100, 10, SS_RIGHT},
    {K::Static, IDC_STAT_SOCKET, "Static", 110, 50, 30, 10, SS_RIGHT},
    {K::Static, IDC_LAST_PROBLEM_CAPTION, "The last Prodlet problem occurred with:", 5, 65, 135, 10, SS_LEFT},
    {K::Static, IDC_LAST_PROBLEM_HOST, "", 15, 80, 125, 10, SS_LEFT},
};

constexpr AFX_DLGTEMPLATE kDialogs[] = {
    {IDD_ABOUTBOX, "About Prodlet", 34, 22, 257, 167, kFont, kPointSize, FALSE, kAboutItems},
    {IDD_PRODLET_FORM, "", 0, 0, 146, 141, kFont, kPointSize, TRUE, kFormItems},
    {IDD_OPTIONS, "Options", 0, 0, 142, 166, kFont, kPointSize, FALSE, kOptionsItems},
    {IDD_EDIT_NAMES, "Edit Names", 0, 0, 197, 106, kFont, kPointSize, FALSE, kEditNamesItems},
    {IDD_STATISTICS, "Statistics Snapshot", 0, 0, 147, 116, kFont, kPointSize, FALSE, kStatisticsItems},
};

}  // namespace

std::span<const AFX_DLGTEMPLATE> ProdletDialogs()
{
    return kDialogs;
}
