// The application object: the one settings store, start-up and exit.
#pragma once

#include "framework/WinApp.h"
#include "settings/RegistrySettings.h"
#include "ui/AboutDlg.h"

#include <memory>

class CProdletApp : public CWinApp {
public:
    CProdletApp();
    ~CProdletApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // The About command (also the view's, which passes it here): the About
    // box with the view's local address and the time since launch.
    void OnAppAbout();
    // The command's steps around a dialog the caller made: the handler passes
    // its own, tests one they can reach while it is open.
    void RunAboutDlg(CAboutDlg& dlg);
    // Another start of the program on this display: the window comes forward
    // as the tray menu's Restore brings it (the same command, posted to the
    // view). FALSE while there is no window yet to restore.
    BOOL RestoreFromAnotherStart();

    // The one settings store, from the first step of start-up to the exit step.
    std::unique_ptr<CRegistrySettings> m_pSettings;
    // Whether the About box's links were followed in this run; never stored.
    BOOL m_bMailLinkVisited = FALSE;
    BOOL m_bWebLinkVisited = FALSE;

    DECLARE_MESSAGE_MAP()
};

// The About box's time since launch: whole seconds below two minutes, then
// whole minutes; the tick counter may have wrapped in between.
CString TimeSinceLaunchText(DWORD dwLaunchTick, DWORD dwNowTick);

// Where the program keeps its settings below HKEY_LOCAL_MACHINE.
CString ProdletBaseKeyPath(const CString& strAppName);
