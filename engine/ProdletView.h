// The form view that fills the main frame, and the keep-alive engine it owns:
// the interval and host controls, the option flags, the one-second countdown,
// the probe cycle over asynchronous sockets and the statistics counters.
#pragma once

#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "platform/Winsock.h"
#include "res/resource.h"
#include "ui/TrayNotifyIcon.h"

class COptionsDlg;
class CStatisticsDlg;
class CEditNamesDlg;

// Private messages of the view.
constexpr UINT WM_SOCKET_EVENT = WM_APP + 0x08;
constexpr UINT WM_HOST_RESOLVED = WM_APP + 0x10;
constexpr UINT WM_LOCAL_RESOLVED = WM_APP + 0x18;
constexpr UINT WM_TRAY_NOTIFY = WM_APP + 0x64;

// Timers of the view.
constexpr UINT IDT_TICK = 101;
constexpr UINT IDT_AUTOSTART = 103;

// What OpenSocket returns while a connect is under way; FD_CONNECT brings
// its outcome.
constexpr SOCKET SOCKET_CONNECTING = -2;

// What RecordProblem counts.
constexpr int PROBLEM_HTTP = 0;
constexpr int PROBLEM_DNS = 1;
constexpr int PROBLEM_SOCKET = 2;

// What the statistics count since the program started.
struct PROBE_COUNTS {
    int nSuccesses = 0;
    int nDnsFailures = 0;
    int nHttpFailures = 0;
    int nSocketFailures = 0;
};

class CProdletView : public CFormView {
    DECLARE_DYNCREATE(CProdletView)

public:
    CProdletView();
    ~CProdletView() override;

    void OnInitialUpdate() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // ---- message and command handlers (the message map, the frame and the
    // service reach the engine through these)
    void OnStart();
    void OnTimer(UINT nIDEvent);
    void OnDestroy();
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnSocketEvent(WPARAM wParam, LPARAM lParam);
    LRESULT OnHostResolved(WPARAM wParam, LPARAM lParam);
    LRESULT OnLocalHostResolved(WPARAM wParam, LPARAM lParam);
    void OnReturnToTray();
    void OnRestore();
    void OnExit();
    void OnShutdown();
    void OnAbout();
    void OnEditNames();
    void OnOptions();
    void OnStatistics();

    // The dialog commands' steps around a dialog that the caller made: the
    // handlers pass their own, tests one they can reach while it is open.
    void RunEditNamesDlg(CEditNamesDlg& dlg);
    void RunOptionsDlg(COptionsDlg& dlg);
    void RunStatisticsDlg(CStatisticsDlg& dlg);

    // ---- what the engine shows to the frame, the service and the About box
    PROBE_COUNTS GetCounts() const;
    // The size the frame was fitted to; FALSE before the initial update did it.
    BOOL GetFrameSize(CSize& size) const;
    // GetTickCount() when the view was made.
    DWORD GetLaunchTick() const { return m_dwLaunchTick; }
    // The machine's own address as the last local look-up found it, or
    // "no address yet".
    const CString& GetLocalIP() const { return m_strLocalIP; }
    // The host the regular probes go to: the one that last connected.
    const CString& GetCurrentHost() const { return m_strCurrentHost; }
    // Whether the countdown runs (after a start, until a stop).
    BOOL IsCounting() const { return HasTimer(IDT_TICK); }

    // The request a probe sends, for the local address strLocalIP.
    static CString BuildRequest(const CString& strLocalIP);
    // The countdown text for nSecondsLeft ("24:59", " 1:05").
    static CString FormatCountdown(int nSecondsLeft);

private:
    // The tests' one way in where no input of the program reaches (defined
    // only in tests/).
    friend class CProdletViewTestPeer;

    // ---- scheduling
    void ApplyInterval();
    void StopRunning(BOOL bNotifyTray);
    void PickRandomTarget();
    void PickRandomHost();
    void SetNextTarget();
    void ShowCountdown();
    CString TimeStampFooter() const;
    void ComputeFrameRect();

    // ---- probe cycle
    void GetLocalAddress();
    void ValidateHostName();
    void TryNextHost(BOOL bAfterLookup, const CString& strHost);
    void WaitForNextRound();
    void RunTheJob(BOOL bUseNewHost);
    void FinishTheJob(SOCKET s, const CString& strHost);
    SOCKET ConnectToHost(const CString& strHost);
    SOCKET OpenSocket(const CString& strHost, const CString& strPort);
    void ConnectFailed(SOCKET s, const CString& strHost, const CString& strPort);
    void ConnectMade(const CString& strHost);
    void CloseProbeSocket();
    void SendRequest();
    void RecordProblem(int nKind, const CString& strHost);

    // ---- host-name list
    void LoadHostNames();
    void SaveHostNames(const CString& strHost);

    // ---- members, in the order the engine's description gives them
    CTrayNotifyIcon m_TrayIcon;
    HICON m_hIcons[2];
    CButton m_btnStart;
    CComboBox m_cbHostNames;
    CEdit m_editOften;
    CStatic m_stNextLabel;
    CStatic m_stCountdown;
    CStatic m_stStatus;
    DWORD m_dwLaunchTick;
    CString m_strLaunchTime;
    BOOL m_bHaveLocalIP;
    SOCKET m_socket;
    CString m_strLocalIP;
    CSize m_sizeFrame;
    BOOL m_bFrameSizeValid;
    BOOL m_bWaiting;
    char m_recvBuf[1026];
    int m_nElapsed;
    int m_nIntervalSecs;
    int m_nTargetSecs;
    CString m_strOften;
    CString m_strCurrentHost;
    int m_nHostSel;
    CString m_strNewHost;
    BOOL m_bUseNewHost;
    BOOL m_bBusy;
    BOOL m_bTickTimer;
    BOOL m_bAutoStartTimer;
    BOOL m_bFreshStart;
    BOOL m_bIgnore;
    BOOL m_bRandomName;
    BOOL m_bRandomTime;
    BOOL m_bAutoStart;
    BOOL m_bDebug;
    int m_nDnsFailures;
    int m_nHttpFailures;
    int m_nSocketFailures;
    int m_nSuccesses;
    BOOL m_bNewProblem;
    CString m_strLastProblemHost;
    alignas(HOSTENT) char m_hostBuf[MAXGETHOSTSTRUCT];
    // A connect under way (m_socket), and the host it goes to.
    BOOL m_bConnecting;
    CString m_strConnectHost;
    // Failed look-ups and connects in a row with Ignore on; once every entry
    // of the list has failed, the next round waits for the interval.
    int m_nFailuresInRow;
    BOOL m_bWaitingForRound;
    // The box saying there is no notification area is open (start-up).
    BOOL m_bTrayBoxOpen;

    DECLARE_MESSAGE_MAP()
};
