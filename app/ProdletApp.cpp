#include "app/ProdletApp.h"

#include "app/MainFrame.h"
#include "app/ProdletDoc.h"
#include "engine/ProdletView.h"
#include "framework/Resources.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "platform/Clock.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CProdletApp, CWinApp)
    ON_COMMAND(ID_APP_ABOUT, &CProdletApp::OnAppAbout)
    ON_COMMAND(ID_FILE_NEW, &CWinApp::OnFileNew)
    ON_COMMAND(ID_FILE_OPEN, &CWinApp::OnFileOpen)
END_MESSAGE_MAP()

CString ProdletBaseKeyPath(const CString& strAppName) { return "Software\\Quorvane Software\\" + strAppName; }

CProdletApp::CProdletApp()
{
    // The title comes from the string table, so the tables go in first.
    AfxSetResources(&ProdletResources());
    AfxLoadString(AFX_IDS_APP_TITLE, m_pszAppName);
}

CProdletApp::~CProdletApp()
{
    if (GetAppSettings() == m_pSettings.get())
        SetAppSettings(nullptr);
}

BOOL CProdletApp::InitInstance()
{
    // The first write that fails (read-only folder, full disk) is shown once,
    // from the message loop: not in the middle of the write that failed.
    SetSettingsFailureReporter([](const CString& strFile, const CString& strReason) {
        const CString strText = SettingsFailureText(strFile, strReason);
        AfxRunOnUiThread([strText] { AfxMessageBox(strText, MB_OK); });
    });
    m_pSettings = std::make_unique<CRegistrySettings>();
    SetAppSettings(m_pSettings.get());

    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    CString strBasePath = ProdletBaseKeyPath(m_pszAppName);
    if (m_pSettings->CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, strBasePath.c_str())) {
        if (dwDisposition == REG_CREATED_NEW_KEY)
            m_pSettings->ImportIniFile(hKey);
        RegCloseKey(hKey);
    }

    Enable3dControls();
    LoadStdProfileSettings(4);

    AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CProdletDoc), RUNTIME_CLASS(CMainFrame),
                                          RUNTIME_CLASS(CProdletView)));

    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    if (!ProcessShellCommand(cmdInfo))
        return FALSE;
    return TRUE;
}

int CProdletApp::ExitInstance()
{
    if (m_pSettings) {
        SetAppSettings(nullptr);
        m_pSettings.reset();
    }
    SetSettingsFailureReporter(nullptr);
    return CWinApp::ExitInstance();
}

CString TimeSinceLaunchText(DWORD dwLaunchTick, DWORD dwNowTick)
{
    // Unsigned 32-bit: one wrap of the counter (49.7 days) still subtracts right.
    const DWORD dwSeconds = (dwNowTick - dwLaunchTick) / 1000;
    if (dwSeconds < 120)
        return AfxFormat("%d seconds", static_cast<int>(dwSeconds));
    return AfxFormat("%d minutes", static_cast<int>(dwSeconds / 60));
}

void CProdletApp::OnAppAbout()
{
    CAboutDlg aboutDlg(m_bMailLinkVisited, m_bWebLinkVisited);
    RunAboutDlg(aboutDlg);
}

void CProdletApp::RunAboutDlg(CAboutDlg& dlg)
{
    auto* pFrame = dynamic_cast<CFrameWnd*>(m_pMainWnd);
    // Both routes to the command come through the view, so it is there; the
    // box still opens, with empty texts, should it ever not be.
    if (auto* pView = dynamic_cast<CProdletView*>(pFrame != nullptr ? pFrame->GetActiveView() : nullptr)) {
        dlg.m_strIpAddress = pView->GetLocalIP();
        dlg.m_strTimeSinceLaunch = TimeSinceLaunchText(pView->GetLaunchTick(), GetTickCount());
    }
    // Fixed for as long as the box is open, though the engine runs on.
    dlg.DoModal();
}

BOOL CProdletApp::RestoreFromAnotherStart()
{
    auto* pFrame = dynamic_cast<CFrameWnd*>(m_pMainWnd);
    CView* pView = pFrame != nullptr && pFrame->IsWindow() ? pFrame->GetActiveView() : nullptr;
    if (pView == nullptr || !pView->IsWindow())
        return FALSE;
    return pView->PostMessage(WM_COMMAND, ID_RESTORE, 0);
}
