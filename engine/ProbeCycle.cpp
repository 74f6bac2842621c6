// One keep-alive probe: the machine's own address, the host look-up, the
// blocking connect to port 80, the request, the reply, and the accounting of
// every failure.
#include "engine/ProdletView.h"

#include "platform/Clock.h"
#include "platform/Random.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

static const char kIgnoreHint[] =
    "\n\n(The \"Ignore Connection Failures\" option in the Options Dialog might help prevent this in the future.)";

static bool StartsWithDigit(const CString& str) { return !str.empty() && str[0] >= '0' && str[0] <= '9'; }

// A host text is taken as an address only when it is a whole dotted quad:
// four decimal parts of one to three digits, each at most 255. Any other
// text, "9gag.com" or "1nvalid.example" among them, is a name to look up.
static bool IsDottedQuad(const CString& str)
{
    const char* p = str.c_str();
    for (int nPart = 0; nPart < 4; ++nPart) {
        if (nPart > 0 && *p++ != '.')
            return false;
        int nValue = 0, nDigits = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            nValue = nValue * 10 + (*p - '0');
            if (++nDigits > 3 || nValue > 255)
                return false;
        }
        if (nDigits == 0)
            return false;
    }
    return *p == '\0';
}

static bool IsLoopback(IN_ADDR addr)
{
    const auto* pBytes = reinterpret_cast<const BYTE*>(&addr.S_addr);
    return pBytes[0] == 127;
}

// A look-up answer starts with its host entry; clearing the whole entry (not
// just the first pointer) keeps a failed look-up from leaving a stale one.
static void ClearHostEntry(char* pBuf) { std::memset(pBuf, 0, sizeof(HOSTENT)); }

static const HOSTENT* HostEntry(const char* pBuf) { return reinterpret_cast<const HOSTENT*>(pBuf); }

// The IPv4 addresses of a host entry, in its order.
static std::vector<IN_ADDR> EntryAddresses(const HOSTENT* pEntry)
{
    std::vector<IN_ADDR> addrs;
    if (pEntry->h_addrtype != AF_INET_ || pEntry->h_length != sizeof(IN_ADDR) || !pEntry->h_addr_list)
        return addrs;
    for (char** pp = pEntry->h_addr_list; *pp; ++pp) {
        IN_ADDR addr;
        std::memcpy(&addr, *pp, sizeof(addr));
        addrs.push_back(addr);
    }
    return addrs;
}

CString CProdletView::BuildRequest(const CString& strLocalIP)
{
    return "GET / HTTP/1.0\r\nConnection: Keep-Alive\r\nUser-Agent: Mozilla/3.0 (Win95; I)\r\nHost: " + strLocalIP +
           "\r\nAccept: image/gif, image/jpeg, */*\r\n\r\n";
}

void CProdletView::GetLocalAddress()
{
    m_strLocalIP = "no address yet";
    char szHostName[100] = {};
    Winsock().gethostname(szHostName, sizeof(szHostName) - 1);
    ClearHostEntry(m_hostBuf);
    Winsock().WSAAsyncGetHostByName(GetSafeHwnd(), WM_LOCAL_RESOLVED, szHostName, m_hostBuf, MAXGETHOSTSTRUCT);
    m_stStatus.SetWindowText("Determining Local IP Address");
}

LRESULT CProdletView::OnLocalHostResolved(WPARAM /*wParam*/, LPARAM lParam)
{
    EndWaitCursor();

    const HOSTENT* pEntry = HostEntry(m_hostBuf);
    bool bOk = WSAGETASYNCERROR(lParam) == 0 && pEntry->h_name != nullptr;
    if (bOk) {
        // The machine's own name often resolves to loopback only (127.0.1.1 on
        // Debian), which no server could answer to: prefer a real address from
        // the look-up, then one of the interfaces, and only then loopback.
        std::vector<IN_ADDR> addrs = EntryAddresses(pEntry);
        const IN_ADDR* pChosen = nullptr;
        for (const IN_ADDR& addr : addrs)
            if (!pChosen && !IsLoopback(addr))
                pChosen = &addr;
        std::vector<IN_ADDR> ifaddrs;
        if (!pChosen) {
            ifaddrs = Winsock().GetInterfaceAddresses();
            for (const IN_ADDR& addr : ifaddrs)
                if (!pChosen && !IsLoopback(addr))
                    pChosen = &addr;
        }
        if (!pChosen && !addrs.empty())
            pChosen = &addrs.front();

        if (pChosen) {
            m_strLocalIP = Winsock().inet_ntoa(*pChosen);
            if (StartsWithDigit(m_strLocalIP)) {
                m_bHaveLocalIP = TRUE;
                ValidateHostName();
                return 0;
            }
        }
    }

    m_stStatus.SetWindowText("NOT RUNNING");
    StopRunning(TRUE);
    AfxMessageBox("Unable to get local IP address.\nHave you dialed your ISP?" + TimeStampFooter(), MB_OK);
    return 0;
}

void CProdletView::ValidateHostName()
{
    m_strNewHost = m_cbHostNames.GetWindowText();
    if (IsDottedQuad(m_strNewHost)) {
        ApplyInterval();
        return;
    }
    ClearHostEntry(m_hostBuf);
    BeginWaitCursor();
    Winsock().WSAAsyncGetHostByName(GetSafeHwnd(), WM_HOST_RESOLVED, m_strNewHost.c_str(), m_hostBuf, MAXGETHOSTSTRUCT);
    m_stStatus.SetWindowText("Validating Domain Name");
}

LRESULT CProdletView::OnHostResolved(WPARAM /*wParam*/, LPARAM lParam)
{
    EndWaitCursor();
    if (WSAGETASYNCERROR(lParam) == 0) {
        ApplyInterval();
        return 0;
    }

    RecordProblem(PROBLEM_DNS, m_strNewHost);
    if (!m_bIgnore) {
        StopRunning(TRUE);
        AfxMessageBox("Prodlet: Name " + m_strNewHost + " Not Found." + kIgnoreHint + TimeStampFooter(), MB_OK);
    } else {
        m_stStatus.SetWindowText("Last domain resolution failed");
        TryNextHost(TRUE, m_strNewHost);
    }
    return 0;
}

void CProdletView::TryNextHost(BOOL bAfterLookup, const CString& strHost)
{
    m_strLastProblemHost = strHost;

    int nCount = m_cbHostNames.GetCount();
    int nFailed = -1;
    if (bAfterLookup) {
        nFailed = m_cbHostNames.GetCurSel();
        if (nFailed < 0 && nCount > 0) {
            nFailed = Random().Next() % nCount;
            m_cbHostNames.SetCurSel(nFailed);
        }
    } else {
        nFailed = m_cbHostNames.FindStringExact(-1, strHost);
    }

    int nNext = nFailed + 1;
    if (nNext == nCount)
        nNext = 0;
    m_cbHostNames.SetCurSel(nNext);

    // On to the next entry at once, but not round and round: once every
    // entry has failed in a row, the next round waits for the interval.
    if (++m_nFailuresInRow >= std::max(nCount, 1)) {
        m_nFailuresInRow = 0;
        WaitForNextRound();
        return;
    }
    OnStart();
}

void CProdletView::WaitForNextRound()
{
    CloseProbeSocket();
    m_bWaiting = FALSE;
    m_bBusy = FALSE;
    m_btnStart.EnableWindow(TRUE);
    // The interval chosen, as after a success; before the first one was
    // applied, what the stored setting says.
    int nSecs = m_bDebug ? 15 : m_nIntervalSecs;
    if (nSecs <= 0)
        nSecs = 60;
    m_nTargetSecs = nSecs;
    m_nElapsed = 0;
    m_bWaitingForRound = TRUE;
    m_stNextLabel.EnableWindow(TRUE);
    SetTimer(IDT_TICK, 1000);
    m_bTickTimer = TRUE;
}

void CProdletView::RunTheJob(BOOL bUseNewHost)
{
    m_btnStart.EnableWindow(FALSE);
    m_bBusy = TRUE;

    CString strHost = m_strCurrentHost;
    if (bUseNewHost) {
        strHost = m_strNewHost;
        m_bUseNewHost = FALSE;
    }

    SOCKET s = ConnectToHost(strHost);
    // The connect goes on without holding up the window; FD_CONNECT
    // finishes the job.
    if (s == SOCKET_CONNECTING)
        return;
    FinishTheJob(s, strHost);
}

void CProdletView::FinishTheJob(SOCKET s, const CString& strHost)
{
    if (s == INVALID_SOCKET) {
        RecordProblem(PROBLEM_SOCKET, strHost);
        if (!m_bIgnore)
            StopRunning(TRUE);
        return;
    }

    m_bWaiting = TRUE;
    m_TrayIcon.SetIcon(static_cast<UINT>(IDI_PROBING));
    SendRequest();
}

void CProdletView::CloseProbeSocket()
{
    // The previous probe's socket is no longer of interest; release it
    // rather than leak it when its server has not closed it yet.
    if (m_socket != INVALID_SOCKET)
        Winsock().closesocket(m_socket);
    m_socket = INVALID_SOCKET;
    if (m_bConnecting) {
        m_bConnecting = FALSE;
        EndWaitCursor();
    }
}

SOCKET CProdletView::ConnectToHost(const CString& strHost)
{
    CloseProbeSocket();

    // The wait cursor shows while the connect runs.
    BeginWaitCursor();
    SOCKET s = OpenSocket(strHost, "80");
    if (s == SOCKET_CONNECTING)
        return s;
    EndWaitCursor();

    m_socket = s;
    if (s != INVALID_SOCKET)
        ConnectMade(strHost);
    return s;
}

void CProdletView::ConnectMade(const CString& strHost)
{
    m_nFailuresInRow = 0;
    m_stStatus.SetWindowText("Connection made OK");
    SaveHostNames(strHost);
}

SOCKET CProdletView::OpenSocket(const CString& strHostIn, const CString& strPort)
{
    int nPort = static_cast<int>(std::strtol(strPort.c_str(), nullptr, 10));
    CString strHost = strHostIn.substr(std::min(strHostIn.find_first_not_of(' '), strHostIn.size()));
    if (strHost.empty() || nPort == 0)
        return INVALID_SOCKET;

    SOCKADDR_IN sa{};
    sa.sin_family = AF_INET_;
    sa.sin_port = CWinsock::htons(static_cast<WORD>(nPort));
    bool bHaveAddress = true;
    if (IsDottedQuad(strHost)) {
        sa.sin_addr.S_addr = Winsock().inet_addr(strHost.c_str());
    } else {
        // The address of the last look-up; an entry that holds none (a look-up
        // that failed or never ran) fails like a refused connect instead of
        // sending the probe to whatever the buffer happens to hold.
        std::vector<IN_ADDR> addrs = EntryAddresses(HostEntry(m_hostBuf));
        bHaveAddress = !addrs.empty();
        if (bHaveAddress)
            sa.sin_addr = addrs.front();
    }

    SOCKET s = Winsock().socket(AF_INET_, SOCK_STREAM_, 0);
    if (s == INVALID_SOCKET) {
        RecordProblem(PROBLEM_SOCKET, strHost);
        if (!m_bIgnore)
            AfxMessageBox("Prodlet: Error opening stream socket" + TimeStampFooter(), MB_OK);
        return INVALID_SOCKET;
    }
    if (!bHaveAddress) {
        ConnectFailed(s, strHost, strPort);
        return INVALID_SOCKET;
    }

    // Selected before the connect, so that its outcome comes as FD_CONNECT
    // instead of blocking the window for as long as the connect takes.
    Winsock().WSAAsyncSelect(s, GetSafeHwnd(), WM_SOCKET_EVENT, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE);
    if (Winsock().connect(s, &sa, sizeof(sa)) == 0)
        return s;
    if (Winsock().WSAGetLastError() == WSAEWOULDBLOCK) {
        m_socket = s;
        m_bConnecting = TRUE;
        m_strConnectHost = strHost;
        return SOCKET_CONNECTING;
    }
    ConnectFailed(s, strHost, strPort);
    return INVALID_SOCKET;
}

void CProdletView::ConnectFailed(SOCKET s, const CString& strHost, const CString& strPort)
{
    Winsock().closesocket(s);
    RecordProblem(PROBLEM_HTTP, strHost);
    if (!m_bIgnore) {
        AfxMessageBox("Prodlet: Cannot connect to " + strHost + " on port " + strPort + "." + kIgnoreHint +
                          TimeStampFooter(),
                      MB_OK);
    } else {
        m_stStatus.SetWindowText("Last connection failed");
        TryNextHost(FALSE, strHost);
    }
}

void CProdletView::SendRequest()
{
    CString strRequest = BuildRequest(m_strLocalIP);
    Winsock().send(m_socket, strRequest.data(), static_cast<int>(strRequest.size()), 0);
    m_stStatus.SetWindowText("Prodlet was sent");
}

LRESULT CProdletView::OnSocketEvent(WPARAM wParam, LPARAM lParam)
{
    if (static_cast<SOCKET>(wParam) != m_socket || m_socket == INVALID_SOCKET)
        return 0;

    switch (WSAGETSELECTEVENT(lParam)) {
    case FD_CONNECT: {
        if (!m_bConnecting)
            break;
        // The connect's outcome, handled where a blocking connect's was.
        const CString strHost = m_strConnectHost;
        SOCKET s = m_socket;
        m_bConnecting = FALSE;
        EndWaitCursor();
        if (WSAGETSELECTERROR(lParam) != 0) {
            m_socket = INVALID_SOCKET;
            ConnectFailed(s, strHost, "80");
            s = INVALID_SOCKET;
        } else {
            ConnectMade(strHost);
        }
        FinishTheJob(s, strHost);
        break;
    }
    case FD_READ:
        std::memset(m_recvBuf, 0, sizeof(m_recvBuf));
        m_recvBuf[sizeof(m_recvBuf) - 1] = '\n';
        Winsock().recv(m_socket, m_recvBuf, 1024, 0);
        if (m_bWaiting) {
            m_bWaiting = FALSE;
            m_bBusy = FALSE;
            m_TrayIcon.SetIcon(static_cast<UINT>(IDI_IDLE));
            m_stStatus.SetWindowText("Prodlet completed at " + FormatLocalTime("%H:%M:%S"));
            ++m_nSuccesses;
            m_nFailuresInRow = 0;
        }
        break;
    case FD_CLOSE:
        Winsock().closesocket(m_socket);
        m_socket = INVALID_SOCKET;
        break;
    default:
        break;
    }
    return 0;
}

void CProdletView::RecordProblem(int nKind, const CString& strHost)
{
    m_TrayIcon.SetIcon(static_cast<UINT>(IDI_IDLE));
    m_strLastProblemHost = strHost;
    m_bNewProblem = TRUE;
    switch (nKind) {
    case PROBLEM_HTTP:
        ++m_nHttpFailures;
        break;
    case PROBLEM_DNS:
        ++m_nDnsFailures;
        break;
    case PROBLEM_SOCKET:
        ++m_nSocketFailures;
        break;
    default:
        break;
    }
}
