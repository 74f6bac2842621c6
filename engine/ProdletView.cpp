// The view's life and the engine's scheduling: construction, initial update,
// start, apply and stop, the two timers, the random interval and host, the
// countdown text and tooltip, and the small commands.
#include "engine/ProdletView.h"

#include "engine/ViewSettings.h"
#include "framework/Resources.h"
#include "platform/Clock.h"
#include "platform/Random.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

IMPLEMENT_DYNCREATE(CProdletView)

BEGIN_MESSAGE_MAP(CProdletView, CFormView)
    ON_BN_CLICKED(IDC_START, &CProdletView::OnStart)
    ON_BN_CLICKED(IDC_RETURN_TO_TRAY, &CProdletView::OnReturnToTray)
    ON_BN_CLICKED(IDC_SHUTDOWN, &CProdletView::OnShutdown)
    ON_COMMAND(ID_RESTORE, &CProdletView::OnRestore)
    ON_COMMAND(ID_EXIT, &CProdletView::OnExit)
    ON_COMMAND(ID_APP_ABOUT, &CProdletView::OnAbout)
    ON_COMMAND(ID_EDIT_NAMES, &CProdletView::OnEditNames)
    ON_COMMAND(ID_OPTIONS, &CProdletView::OnOptions)
    ON_COMMAND(ID_STATISTICS, &CProdletView::OnStatistics)
    ON_WM_TIMER(&CProdletView::OnTimer)
    ON_WM_DESTROY(&CProdletView::OnDestroy)
    ON_MESSAGE(WM_TRAY_NOTIFY, &CProdletView::OnTrayNotify)
    ON_MESSAGE(WM_SOCKET_EVENT, &CProdletView::OnSocketEvent)
    ON_MESSAGE(WM_HOST_RESOLVED, &CProdletView::OnHostResolved)
    ON_MESSAGE(WM_LOCAL_RESOLVED, &CProdletView::OnLocalHostResolved)
END_MESSAGE_MAP()

CProdletView::CProdletView()
    : CFormView(IDD_PRODLET_FORM),
      m_hIcons{AfxLoadIcon(IDI_IDLE), AfxLoadIcon(IDI_STOPPED)},
      m_dwLaunchTick(0),
      m_bHaveLocalIP(FALSE),
      m_socket(INVALID_SOCKET),
      m_strLocalIP("no address yet"),
      m_bFrameSizeValid(FALSE),
      m_bWaiting(FALSE),
      m_recvBuf{},
      m_nElapsed(0),
      m_nIntervalSecs(0),
      m_nTargetSecs(0),
      m_nHostSel(0),
      m_bUseNewHost(FALSE),
      m_bBusy(FALSE),
      m_bTickTimer(FALSE),
      m_bAutoStartTimer(FALSE),
      m_bFreshStart(FALSE),
      m_nDnsFailures(0),
      m_nHttpFailures(0),
      m_nSocketFailures(0),
      m_nSuccesses(0),
      m_bNewProblem(FALSE),
      m_hostBuf{},
      m_bConnecting(FALSE),
      m_nFailuresInRow(0),
      m_bWaitingForRound(FALSE),
      m_bTrayBoxOpen(FALSE)
{
    Random().Seed(static_cast<unsigned>(Clock().Time()));

    WSADATA wsaData{};
    int nStartup = Winsock().WSAStartup(0x0101, &wsaData);
    // The network layer was given a moment to settle before the first use.
    Sleep(1000);
    if (nStartup != 0)
        AfxMessageBox("Prodlet: WSAStartup failed", MB_OK);

    m_bIgnore = ReadSettingInt("Ignore", 1);
    m_bRandomName = ReadSettingInt("RandomName", 0);
    m_bRandomTime = ReadSettingInt("RandomTime", 0);
    m_bAutoStart = ReadSettingInt("AutoStart", 1);
    m_bDebug = ReadSettingInt("Debug", 0);

    m_strLaunchTime = FormatLocalTime("%H:%M:%S");
    m_dwLaunchTick = GetTickCount();
}

CProdletView::~CProdletView()
{
    Winsock().WSACleanup();
    // m_TrayIcon removes the icon as it goes.
}

void CProdletView::DoDataExchange(CDataExchange* pDX)
{
    CFormView::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_START, m_btnStart);
    DDX_Control(pDX, IDC_HOSTNAMES, m_cbHostNames);
    DDX_Control(pDX, IDC_OFTEN, m_editOften);
    DDX_Control(pDX, IDC_NEXT_LABEL, m_stNextLabel);
    DDX_Control(pDX, IDC_COUNTDOWN, m_stCountdown);
    DDX_Control(pDX, IDC_STATUS, m_stStatus);
}

void CProdletView::OnInitialUpdate()
{
    CFormView::OnInitialUpdate();

    // A second initial update (a new document) makes the icon again; the
    // shell refuses to add one that is still there, which would leave an
    // error box and an icon nobody can change or remove.
    m_TrayIcon.DeleteIcon();
    const BOOL bCreated = m_TrayIcon.Create(this, IDR_TRAY_MENU, "Prodlet", m_hIcons, 2, 500, WM_TRAY_NOTIFY);
    // Without an icon too: the record keeps it for an area that comes later.
    if (!m_bAutoStart)
        m_TrayIcon.SetIcon(static_cast<UINT>(IDI_STOPPED));
    if (!bCreated) {
        // At a login the panel often comes up after us: an area that appears
        // while the box is open adds the icon and closes the box.
        m_bTrayBoxOpen = TRUE;
        AfxMessageBox("Failed to create tray icon", MB_OK | MB_ICONSTOP);
        m_bTrayBoxOpen = FALSE;
        // Without a notification area the frame is the only way to reach the
        // program, so it is shown instead of starting hidden.
        if (!m_TrayIcon.IsCreated()) {
            if (CWinApp* pApp = AfxGetApp())
                pApp->m_nCmdShow = SW_SHOW;
        }
    }

    ComputeFrameRect();

    m_btnStart.EnableWindow(TRUE);
    m_bBusy = FALSE;

    m_strOften = ReadSettingString("Often", "25");
    m_editOften.SetWindowText(m_strOften);

    LoadHostNames();

    m_stStatus.SetWindowText("PLEASE START ME");

    // Provisional: ApplyInterval sets the real values before the countdown runs.
    m_nElapsed = 0;
    int nMinutes = static_cast<int>(std::strtol(m_strOften.c_str(), nullptr, 10));
    if (nMinutes > 60)
        nMinutes = 60;
    m_nIntervalSecs = nMinutes * 60;
    m_nTargetSecs = m_nIntervalSecs;

    if (m_bAutoStart) {
        SetTimer(IDT_AUTOSTART, 1000);
        m_bAutoStartTimer = TRUE;
    }
}

void CProdletView::ComputeFrameRect()
{
    CFrameWnd* pFrame = GetParentFrame();
    CWnd* pReturn = GetDlgItem(IDC_RETURN_TO_TRAY);
    if (!pFrame || !pReturn)
        return;

    CRect rcFrame, rcStart, rcReturn;
    pFrame->GetWindowRect(&rcFrame);
    m_btnStart.GetWindowRect(&rcStart);
    pReturn->GetWindowRect(&rcReturn);

    CRect rc;
    rc.left = rcFrame.left;
    rc.top = rcFrame.top;
    rc.right = rc.left + rcStart.Width() + 2 * rcStart.Height();
    rc.bottom = rcReturn.bottom + rcReturn.Height() + rcReturn.Height() / 2 + 10;
    pFrame->MoveWindow(rc, TRUE);

    m_sizeFrame.cx = rc.Width();
    m_sizeFrame.cy = rc.Height();
    m_bFrameSizeValid = TRUE;
}

void CProdletView::OnStart()
{
    StopRunning(FALSE);
    m_TrayIcon.SetIcon(static_cast<UINT>(IDI_IDLE));
    m_btnStart.EnableWindow(FALSE);
    m_bBusy = TRUE;
    m_stStatus.SetWindowText("Starting Connection");

    if (!m_bHaveLocalIP) {
        m_stStatus.SetWindowText("Getting Local IP Address");
        BeginWaitCursor();
        GetLocalAddress();
    } else {
        ValidateHostName();
    }
}

// The leading number of an interval text: white space skipped, an optional
// sign, digits with an optional fraction and exponent, the rest ignored;
// independent of the process locale, so "1.5" is one and a half everywhere.
// It is read exactly, on its decimal digits: a binary double cannot hold most
// decimal fractions, and minutes x 60 that land a hair below a whole second
// would truncate to the second before ("2.05" would give 122 s, not 123).
// nWhole is the number truncated toward zero (held at LLONG_MAX), nSecs the
// number x 60 truncated, for numbers below a million minutes.
struct INTERVAL_TEXT {
    bool bNegative = false;
    long long nWhole = 0;
    long long nSecs = 0;
};

static bool ParseInterval(const CString& strText, INTERVAL_TEXT& number)
{
    const char* p = strText.c_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    number = INTERVAL_TEXT{};
    if (*p == '+' || *p == '-')
        number.bNegative = *p++ == '-';

    std::string strDigits;  // every digit, the point left out
    long long nPoint = 0;   // how many of them stand before the point
    for (; *p >= '0' && *p <= '9'; ++p, ++nPoint)
        strDigits += *p;
    if (*p == '.')
        for (++p; *p >= '0' && *p <= '9'; ++p)
            strDigits += *p;
    if (strDigits.empty())
        return false;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        bool bNegExp = false;
        if (*q == '+' || *q == '-')
            bNegExp = *q++ == '-';
        long long nExp = 0;
        for (; *q >= '0' && *q <= '9'; ++q)
            nExp = nExp < 100000 ? nExp * 10 + (*q - '0') : nExp;
        nPoint += bNegExp ? -nExp : nExp;
    }
    size_t nLead = 0;
    while (nLead < strDigits.size() && strDigits[nLead] == '0')
        ++nLead;
    strDigits.erase(0, nLead);
    nPoint -= static_cast<long long>(nLead);
    if (strDigits.empty())
        return true;  // zero

    if (nPoint > 18) {
        number.nWhole = LLONG_MAX;
        return true;
    }
    for (long long i = 0; i < nPoint; ++i)
        number.nWhole = number.nWhole * 10 + (i < static_cast<long long>(strDigits.size()) ? strDigits[i] - '0' : 0);
    if (number.nWhole >= 1000000)
        return true;
    // 60 x 0.fraction, truncated: the product's carry, worked from the last
    // digit to the first. A fraction below 0.01 gives less than a second.
    long long nCarry = 0;
    if (nPoint > -2)
        for (long long i = static_cast<long long>(strDigits.size()) - 1; i >= std::max(nPoint, 0LL); --i)
            nCarry = ((strDigits[i] - '0') * 60 + nCarry) / 10;
    // Digits that stood after the point, led by -nPoint zeros: one more
    // division by ten for each of those zeros.
    for (long long i = nPoint; i < 0; ++i)
        nCarry /= 10;
    number.nSecs = number.nWhole * 60 + nCarry;
    return true;
}

void CProdletView::ApplyInterval()
{
    CString strText = m_editOften.GetWindowText();
    INTERVAL_TEXT number;
    bool bNumber = ParseInterval(strText, number);
    // Truncated toward zero, 1 to 60 inclusive.
    bool bInRange = bNumber && !number.bNegative && number.nWhole >= 1 && number.nWhole <= 60;

    if (!bInRange && !m_bDebug) {
        StopRunning(TRUE);
        m_editOften.SetWindowText(m_strOften);
        AfxMessageBox("Prodlet: Time period must be between 1 and 60", MB_OK);
        return;
    }

    m_strOften = strText;
    // Debug: a quarter of a minute, whatever was typed.
    m_nIntervalSecs = m_bDebug ? 15 : static_cast<int>(number.nSecs);
    m_nTargetSecs = m_nIntervalSecs;
    m_nElapsed = m_nIntervalSecs - 1;

    m_strNewHost = m_cbHostNames.GetWindowText();
    m_stNextLabel.EnableWindow(TRUE);
    m_bFreshStart = TRUE;
    SetTimer(IDT_TICK, 1000);
    m_bTickTimer = TRUE;
    m_bUseNewHost = TRUE;
}

void CProdletView::StopRunning(BOOL bNotifyTray)
{
    m_btnStart.EnableWindow(TRUE);
    m_bBusy = FALSE;

    if (m_bTickTimer)
        KillTimer(IDT_TICK);
    if (m_bAutoStartTimer)
        KillTimer(IDT_AUTOSTART);

    m_stStatus.SetWindowText("NOT RUNNING");
    m_stCountdown.SetWindowText("");
    m_stNextLabel.EnableWindow(FALSE);
    m_bWaitingForRound = FALSE;

    CloseProbeSocket();

    if (bNotifyTray) {
        m_TrayIcon.SetTip("Prodlet has stopped");
        m_TrayIcon.SetIcon(static_cast<UINT>(IDI_STOPPED));
    }

    m_socket = INVALID_SOCKET;
    m_bWaiting = FALSE;
}

void CProdletView::OnTimer(UINT nIDEvent)
{
    if (nIDEvent == IDT_AUTOSTART) {
        KillTimer(IDT_AUTOSTART);
        m_bAutoStartTimer = FALSE;
        OnStart();
        return;
    }
    if (nIDEvent != IDT_TICK)
        return;

    if (!m_bBusy)
        m_btnStart.EnableWindow(TRUE);

    if (++m_nElapsed == m_nTargetSecs) {
        m_nElapsed = 0;
        if (m_bWaitingForRound) {
            // Every entry had failed: the next round starts where the last
            // one left the selection.
            m_bWaitingForRound = FALSE;
            OnStart();
            return;
        }
        if (!m_bRandomName) {
            SetNextTarget();
            RunTheJob(m_bUseNewHost);
        } else if (!m_bFreshStart) {
            PickRandomHost();
            OnStart();
        } else {
            m_bFreshStart = FALSE;
            SetNextTarget();
            RunTheJob(m_bUseNewHost);
        }
    }

    if (m_stNextLabel.IsWindowEnabled())
        ShowCountdown();
}

void CProdletView::SetNextTarget()
{
    if (m_bRandomTime)
        PickRandomTarget();
    else
        m_nTargetSecs = m_nIntervalSecs;
}

void CProdletView::PickRandomHost()
{
    int nCount = m_cbHostNames.GetCount();
    if (nCount <= 0)
        return;
    int r = Random().Next() % nCount;
    if (nCount > 1) {
        while (r == m_cbHostNames.GetCurSel())
            r = Random().Next() % nCount;
    }
    m_nHostSel = r;
    m_cbHostNames.SetCurSel(r);
    m_strNewHost = m_cbHostNames.GetWindowText();
}

void CProdletView::PickRandomTarget()
{
    int nLimit = m_bDebug ? 5 : 30;
    int c = 0;
    int d = 0;
    do {
        c = Random().Next();
        d = c & 31;
        if (d > nLimit)
            d = nLimit;
    } while (d <= 0);
    if (c & 1)
        d = -d;
    // A 60-minute interval is only ever shortened.
    if (m_nIntervalSecs == 3600 && d > 0)
        d = -d;
    m_nTargetSecs = m_nIntervalSecs + d;
}

CString CProdletView::FormatCountdown(int nSecondsLeft)
{
    int m = nSecondsLeft / 60;
    int s = nSecondsLeft - 60 * m;
    CString strText = AfxFormat("%2d:%2d", m, s);
    if (strText.size() != 5)
        strText.insert(0, 1, ' ');
    if (strText.size() > 3 && strText[3] == ' ')
        strText[3] = '0';
    return strText;
}

void CProdletView::ShowCountdown()
{
    CString strText = FormatCountdown(m_nTargetSecs - m_nElapsed);
    m_stCountdown.SetWindowText(strText);

    CString strTip = "Prodlet in " + strText;
    BOOL bFailures = m_nDnsFailures != 0 || m_nHttpFailures != 0 || m_nSocketFailures != 0;
    if (bFailures && m_bIgnore && m_bNewProblem)
        strTip += "   Please check the Statistics dialog box";
    m_TrayIcon.SetTip(strTip.c_str());
}

CString CProdletView::TimeStampFooter() const
{
    return "\n\nProdlet launched at time " + m_strLaunchTime + "\nThis message created at time " +
           FormatLocalTime("%H:%M:%S");
}

void CProdletView::OnDestroy() { StopRunning(FALSE); }

LRESULT CProdletView::OnTrayNotify(WPARAM wParam, LPARAM lParam)
{
    const BOOL bHadIcon = m_TrayIcon.IsCreated();
    const LRESULT lResult = m_TrayIcon.OnNotification(wParam, lParam);
    // The icon is there after all: the box that said it could not be is out
    // of date. A frame the user already has in front of them stays.
    if (!bHadIcon && m_TrayIcon.IsCreated() && m_bTrayBoxOpen)
        AfxCloseMessageBoxes();
    return lResult;
}

void CProdletView::OnReturnToTray()
{
    // Without a notification area, a hidden window could never come back
    // while the program probes on unseen: it is minimised instead.
    if (CFrameWnd* pFrame = GetParentFrame())
        pFrame->ShowWindow(m_TrayIcon.IsCreated() ? SW_HIDE : SW_MINIMIZE);
}

void CProdletView::OnRestore()
{
    if (CFrameWnd* pFrame = GetParentFrame()) {
        pFrame->ShowWindow(SW_SHOW);
        pFrame->SetForegroundWindow();
    }
}

void CProdletView::OnExit()
{
    if (CFrameWnd* pFrame = GetParentFrame())
        pFrame->SendMessage(WM_CLOSE);
}

void CProdletView::OnShutdown() { OnExit(); }

void CProdletView::OnAbout()
{
    if (CWinApp* pApp = AfxGetApp())
        pApp->OnCmdMsg(ID_APP_ABOUT);
}

PROBE_COUNTS CProdletView::GetCounts() const
{
    return {m_nSuccesses, m_nDnsFailures, m_nHttpFailures, m_nSocketFailures};
}

BOOL CProdletView::GetFrameSize(CSize& size) const
{
    if (m_bFrameSizeValid)
        size = m_sizeFrame;
    return m_bFrameSizeValid;
}
