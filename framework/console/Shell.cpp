// The desktop's own things without a desktop: the notification area is a
// record whose changes go to the listener, message boxes are written to
// standard error and answered at once, popup menus and file dialogs are
// closed without a choice.
#include "framework/console/ConsoleBridge.h"

#include <cstdio>

namespace {

struct CConsoleTray {
    HICON hIcon = nullptr;
};

CConsoleTray* TrayOf(AFX_PORTTRAY tray) { return reinterpret_cast<CConsoleTray*>(tray); }

IConsoleListener* g_pListener = nullptr;

CString& ProgramName()
{
    static auto* s_pName = new CString;
    return *s_pName;
}

}  // namespace

const CString& ConsoleProgramName() { return ProgramName(); }

IConsoleListener* ConsoleListener() { return g_pListener; }

void AfxConsoleSetListener(IConsoleListener* pListener) { g_pListener = pListener; }

void AfxConsoleSetProgramName(const CString& strName) { ProgramName() = strName; }

// There is always somewhere for the icon to go: the program then runs as it
// does with a tray, and what the icon shows reaches the listener.
BOOL CConsolePort::TrayAvailable() { return TRUE; }

// No one opens the icon's menu, neither the desktop nor the owner.
BOOL CConsolePort::DesktopShowsTrayMenu() { return FALSE; }

AFX_PORTTRAY CConsolePort::TrayAdd(AFX_TOKEN /*token*/, std::span<const AFX_MENUITEM> /*contextMenu*/,
                                   int /*nDefaultPos*/)
{
    return reinterpret_cast<AFX_PORTTRAY>(new CConsoleTray);
}

void CConsolePort::TraySetIcon(AFX_PORTTRAY tray, HICON hIcon)
{
    CConsoleTray* pTray = TrayOf(tray);
    if (pTray->hIcon == hIcon)
        return;
    pTray->hIcon = hIcon;
    if (g_pListener != nullptr)
        g_pListener->OnTrayIcon(hIcon);
}

void CConsolePort::TraySetTip(AFX_PORTTRAY /*tray*/, const CString& strTip)
{
    if (g_pListener != nullptr)
        g_pListener->OnTrayTip(strTip);
}

void CConsolePort::TrayDelete(AFX_PORTTRAY tray) { delete TrayOf(tray); }

UINT CConsolePort::TrackPopupMenu(std::span<const AFX_MENUITEM> /*items*/, int /*nDefaultPos*/, CPoint /*pt*/)
{
    return 0;
}

// The box's text on standard error, its first line after the program's name;
// no one is there to press OK, so it is pressed at once.
int CConsolePort::MessageBox(AFX_PORTWND /*pwOwner*/, const CString& /*strCaption*/, const CString& strText,
                             UINT /*nType*/)
{
    CString strOut = ProgramName().empty() ? strText : ProgramName() + ": " + strText;
    if (strOut.empty() || strOut.back() != '\n')
        strOut += '\n';
    std::fflush(stdout);  // so that the box lands after the lines that led to it
    std::fwrite(strOut.data(), 1, strOut.size(), stderr);
    std::fflush(stderr);
    if (g_pListener != nullptr)
        g_pListener->OnMessageBox(strText);
    return IDOK;
}

// Boxes are answered as they come; none stays open.
void CConsolePort::CloseModalWindows() {}

CString CConsolePort::FileDialog(BOOL /*bOpen*/, const CString& /*strCaption*/) { return CString(); }
