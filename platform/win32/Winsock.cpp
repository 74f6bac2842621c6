#include "platform/win32/Win32Winsock.h"

#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "framework/win32/shim/Win32Shim.h"
#include "platform/HostLookup.h"
#include "platform/win32/shim/Win32Net.h"

#include <cstdio>
#include <cstring>
#include <map>

// Like Winsock's, the last error is per thread.
static thread_local int t_nLastError = 0;

static int Fail(int nError)
{
    t_nLastError = nError;
    return SOCKET_ERROR;
}

struct CWin32Socket {
    std::uintptr_t native = 0;
    HWND hWnd = nullptr;  // the selection; null while there is none
    UINT nMsg = 0;
    long lEvent = 0;
    unsigned nSerial = 0;  // new with each selection: events of an older one are dropped
    bool bConnecting = false;
    std::uintptr_t connectTimer = 0;
};

struct CWin32Lookup {
    HWND hWnd;
    UINT nMsg;
    char* pBuf;
    int nBufLen;
    std::uintptr_t hTask;
    // Where the system writes its host entry. It may write there until its
    // answer comes, even after a cancel: the buffer stays until then.
    std::unique_ptr<char[]> pSystemBuf;
    bool bOrphaned = false;  // the window or the start-up went: the answer is dropped
};

class CWin32WinsockState : public std::enable_shared_from_this<CWin32WinsockState> {
public:
    int m_nStartups = 0;
    SOCKET m_nextSocket = 1;
    HANDLE m_nextLookup = 1;
    unsigned m_nextSerial = 1;
    int m_nConnectTimeoutMs = 20000;
    unsigned m_nSocketMsg = 0, m_nLookupMsg = 0;  // the port window's messages for us
    std::map<SOCKET, CWin32Socket> m_sockets;
    std::map<HANDLE, CWin32Lookup> m_lookups;

    void EnsureMessages()
    {
        if (m_nSocketMsg != 0)
            return;
        // Handlers outlive us: they find the state through a weak pointer.
        auto* pWeakSocket = new std::weak_ptr<CWin32WinsockState>(weak_from_this());
        m_nSocketMsg = w32::RegisterHandler(
            [](void* p, std::uintptr_t wParam, std::intptr_t lParam) {
                if (auto pSelf = static_cast<std::weak_ptr<CWin32WinsockState>*>(p)->lock())
                    pSelf->OnSocketEvent(wParam, lParam);
            },
            pWeakSocket);
        auto* pWeakLookup = new std::weak_ptr<CWin32WinsockState>(weak_from_this());
        m_nLookupMsg = w32::RegisterHandler(
            [](void* p, std::uintptr_t wParam, std::intptr_t lParam) {
                if (auto pSelf = static_cast<std::weak_ptr<CWin32WinsockState>*>(p)->lock())
                    pSelf->OnLookupDone(wParam, lParam);
            },
            pWeakLookup);
    }

    CWin32Socket* Find(SOCKET s)
    {
        if (m_nStartups == 0) {
            Fail(WSANOTINITIALISED);
            return nullptr;
        }
        auto it = m_sockets.find(s);
        if (it == m_sockets.end()) {
            Fail(WSAENOTSOCK);
            return nullptr;
        }
        return &it->second;
    }

    void StopConnectWait(CWin32Socket& entry)
    {
        if (entry.connectTimer != 0)
            AfxKillCallbackTimer(entry.connectTimer);
        entry.connectTimer = 0;
        entry.bConnecting = false;
    }

    void Deselect(CWin32Socket& entry)
    {
        StopConnectWait(entry);
        if (entry.hWnd != nullptr)
            w32net::AsyncSelect(entry.native, w32::MessageWindow(), 0, 0);
        entry.hWnd = nullptr;
        entry.lEvent = 0;
        entry.nSerial = m_nextSerial++;
    }

    void CloseEntry(CWin32Socket& entry)
    {
        StopConnectWait(entry);
        w32net::Close(entry.native);
    }

    void CloseAll()
    {
        for (auto& [hLookup, lookup] : m_lookups)
            lookup.bOrphaned = true;
        std::map<SOCKET, CWin32Socket> sockets;
        sockets.swap(m_sockets);
        for (auto& [s, entry] : sockets)
            CloseEntry(entry);
    }

    void WindowDestroyed(HWND hWnd)
    {
        for (auto& [hLookup, lookup] : m_lookups) {
            if (lookup.hWnd == hWnd)
                lookup.bOrphaned = true;
        }
        for (auto& [s, entry] : m_sockets) {
            if (entry.hWnd == hWnd)
                Deselect(entry);
        }
    }

    void StartConnectWait(SOCKET s, CWin32Socket& entry)
    {
        entry.bConnecting = true;
        const unsigned nSerial = entry.nSerial;
        std::weak_ptr<CWin32WinsockState> pWeak = weak_from_this();
        entry.connectTimer = AfxSetCallbackTimer(static_cast<UINT>(m_nConnectTimeoutMs), [pWeak, s, nSerial] {
            auto pSelf = pWeak.lock();
            if (!pSelf)
                return;
            auto it = pSelf->m_sockets.find(s);
            if (it == pSelf->m_sockets.end() || it->second.nSerial != nSerial || !it->second.bConnecting)
                return;
            CWin32Socket& timedOut = it->second;
            timedOut.connectTimer = 0;
            timedOut.bConnecting = false;
            const HWND hWnd = timedOut.hWnd;
            const UINT nMsg = timedOut.nMsg;
            // Nothing more of this connect: its late answer is dropped.
            pSelf->Deselect(timedOut);
            pSelf->Queue(s, timedOut.nSerial, hWnd, nMsg, FD_CONNECT, WSAETIMEDOUT);
        });
    }

    void Queue(SOCKET s, unsigned nSerial, HWND hWnd, UINT nMsg, long lEvent, int nError)
    {
        const LPARAM lParam = MAKELPARAM(static_cast<WORD>(lEvent), static_cast<WORD>(nError));
        // In turn with everything else waiting for the user-interface thread.
        AfxRunOnUiThread([pSelf = shared_from_this(), s, nSerial, hWnd, nMsg, lParam] {
            auto it = pSelf->m_sockets.find(s);
            if (pSelf->m_nStartups == 0 || it == pSelf->m_sockets.end() || it->second.nSerial != nSerial)
                return;
            if (CWnd* pWnd = CWnd::FromHandle(hWnd))
                pWnd->SendMessage(nMsg, static_cast<WPARAM>(s), lParam);
        });
    }

    void OnSocketEvent(std::uintptr_t native, std::intptr_t lParam)
    {
        for (auto& [s, entry] : m_sockets) {
            if (entry.native != native)
                continue;
            if (entry.hWnd == nullptr)
                return;
            const long lEvent = LOWORD(lParam);
            if (lEvent == FD_CONNECT) {
                if (!entry.bConnecting && entry.connectTimer == 0 && (entry.lEvent & FD_CONNECT) == 0)
                    return;
                StopConnectWait(entry);
            }
            if ((entry.lEvent & lEvent) != 0)
                Queue(s, entry.nSerial, entry.hWnd, entry.nMsg, lEvent, HIWORD(lParam));
            return;
        }
    }

    void OnLookupDone(std::uintptr_t hTask, std::intptr_t lParam)
    {
        for (auto it = m_lookups.begin(); it != m_lookups.end(); ++it) {
            if (it->second.hTask != hTask)
                continue;
            const HANDLE hLookup = it->first;
            CWin32Lookup lookup = std::move(it->second);
            m_lookups.erase(it);
            // The buffer belongs to the window's object: written only while it lives.
            if (lookup.bOrphaned || m_nStartups == 0 || CWnd::FromHandle(lookup.hWnd) == nullptr)
                return;
            CHostAnswer answer;
            const int nSystemError = WSAGETASYNCERROR(lParam);
            if (nSystemError == 0) {
                w32net::ReadHostEntry(lookup.pSystemBuf.get(), answer.strName, answer.addrs);
                if (answer.addrs.empty())
                    answer.nError = WSANO_DATA;
            } else {
                answer.nError = nSystemError == WSATRY_AGAIN || nSystemError == WSAHOST_NOT_FOUND ? nSystemError
                                                                                                 : WSANO_DATA;
            }
            int nError = 0;
            const int nSize = CHostLookup::LayOut(answer, lookup.pBuf, lookup.nBufLen, nError);
            AfxPostMessage(lookup.hWnd, lookup.nMsg, static_cast<WPARAM>(hLookup),
                           MAKELPARAM(static_cast<WORD>(nSize), static_cast<WORD>(nError)));
            return;
        }
    }
};

CWin32Winsock::CWin32Winsock() : m_pState(std::make_shared<CWin32WinsockState>())
{
    std::weak_ptr<CWin32WinsockState> pWeak = m_pState;
    AfxAddWindowDestroyedHook([pWeak](HWND hWnd) {
        if (auto pState = pWeak.lock())
            pState->WindowDestroyed(hWnd);
    });
}

CWin32Winsock::~CWin32Winsock()
{
    if (m_pState->m_nStartups > 0) {
        m_pState->CloseAll();
        w32net::Cleanup();
    }
    m_pState->m_nStartups = 0;
    // Answers still on their way write into these: they are never freed.
    for (auto& [hLookup, lookup] : m_pState->m_lookups)
        static_cast<void>(lookup.pSystemBuf.release());
}

int CWin32Winsock::WSAStartup(WORD wVersionRequested, WSADATA* lpWSAData)
{
    if ((wVersionRequested & 0xFF) < 1)
        return WSAVERNOTSUPPORTED;
    if (!lpWSAData)
        return WSAEFAULT;
    std::uint16_t wGranted = 0, wHigh = 0;
    std::string strDescription, strStatus;
    const int nResult = w32net::Startup(wVersionRequested, wGranted, wHigh, strDescription, strStatus);
    if (nResult != 0)
        return nResult;
    std::memset(lpWSAData, 0, sizeof(*lpWSAData));
    lpWSAData->wVersion = wGranted;
    lpWSAData->wHighVersion = wHigh;
    std::snprintf(lpWSAData->szDescription, sizeof(lpWSAData->szDescription), "%s", strDescription.c_str());
    std::snprintf(lpWSAData->szSystemStatus, sizeof(lpWSAData->szSystemStatus), "%s", strStatus.c_str());
    m_pState->EnsureMessages();
    ++m_pState->m_nStartups;
    return 0;
}

int CWin32Winsock::WSACleanup()
{
    if (m_pState->m_nStartups == 0)
        return Fail(WSANOTINITIALISED);
    if (--m_pState->m_nStartups == 0)
        m_pState->CloseAll();
    w32net::Cleanup();
    return 0;
}

int CWin32Winsock::gethostname(char* name, int namelen)
{
    if (m_pState->m_nStartups == 0)
        return Fail(WSANOTINITIALISED);
    if (!name || namelen <= 0)
        return Fail(WSAEFAULT);
    const int nError = w32net::GetHostName(name, namelen);
    name[namelen - 1] = '\0';
    return nError == 0 ? 0 : Fail(nError);
}

HANDLE CWin32Winsock::WSAAsyncGetHostByName(HWND hWnd, UINT wMsg, const char* name, char* buf, int buflen)
{
    CWin32WinsockState& state = *m_pState;
    if (state.m_nStartups == 0) {
        t_nLastError = WSANOTINITIALISED;
        return 0;
    }
    if (!hWnd || !name || !buf || buflen <= 0) {
        t_nLastError = WSAEINVAL;
        return 0;
    }
    CWin32Lookup lookup{hWnd, wMsg, buf, buflen, 0, std::make_unique<char[]>(MAXGETHOSTSTRUCT)};
    int nError = 0;
    lookup.hTask = w32net::AsyncGetHostByName(w32::MessageWindow(), state.m_nLookupMsg, name,
                                              lookup.pSystemBuf.get(), MAXGETHOSTSTRUCT, nError);
    if (lookup.hTask == 0) {
        t_nLastError = nError != 0 ? nError : WSAENOBUFS;
        return 0;
    }
    const HANDLE hLookup = state.m_nextLookup++;
    state.m_lookups.emplace(hLookup, std::move(lookup));
    return hLookup;
}

std::vector<IN_ADDR> CWin32Winsock::GetInterfaceAddresses()
{
    std::vector<IN_ADDR> addrs;
    for (std::uint32_t nAddr : w32net::InterfaceAddresses())
        addrs.push_back(IN_ADDR{nAddr});
    return addrs;
}

std::uint32_t CWin32Winsock::inet_addr(const char* cp) { return cp ? w32net::InetAddr(cp) : 0xFFFFFFFF; }

CString CWin32Winsock::inet_ntoa(IN_ADDR in) { return w32net::InetNtoa(in.S_addr); }

SOCKET CWin32Winsock::socket(int af, int type, int protocol)
{
    if (m_pState->m_nStartups == 0)
        return Fail(WSANOTINITIALISED);
    if (af != AF_INET_)
        return Fail(WSAEAFNOSUPPORT);
    if (type != SOCK_STREAM_ || (protocol != 0 && protocol != IPPROTO_TCP_))
        return Fail(WSAEPROTONOSUPPORT);
    std::uintptr_t native = 0;
    if (const int nError = w32net::Socket(native))
        return Fail(nError);
    // Handles of ours are never reused, so a late event can never match a newer socket.
    const SOCKET s = m_pState->m_nextSocket++;
    m_pState->m_sockets[s].native = native;
    return s;
}

int CWin32Winsock::connect(SOCKET s, const SOCKADDR_IN* name, int namelen)
{
    CWin32Socket* pEntry = m_pState->Find(s);
    if (!pEntry)
        return SOCKET_ERROR;
    if (!name || namelen < static_cast<int>(sizeof(SOCKADDR_IN)))
        return Fail(WSAEFAULT);
    if (name->sin_family != AF_INET_)
        return Fail(WSAEAFNOSUPPORT);
    if (pEntry->hWnd == nullptr) {
        // Blocking for the caller, but never longer than the time-out (the
        // system's own can take minutes).
        const int nError = w32net::ConnectBounded(pEntry->native, name->sin_addr.S_addr, name->sin_port,
                                                  m_pState->m_nConnectTimeoutMs);
        return nError ? Fail(nError) : 0;
    }
    const int nError = w32net::Connect(pEntry->native, name->sin_addr.S_addr, name->sin_port);
    if (nError == 0)
        return 0;
    if (nError == WSAEWOULDBLOCK && (pEntry->lEvent & FD_CONNECT))
        m_pState->StartConnectWait(s, *pEntry);
    return Fail(nError);
}

int CWin32Winsock::setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen)
{
    CWin32Socket* pEntry = m_pState->Find(s);
    if (!pEntry)
        return SOCKET_ERROR;
    if (level != SOL_SOCKET_)
        return Fail(WSAEINVAL);
    if (!optval)
        return Fail(WSAEFAULT);
    if (optname != SO_LINGER_ && optname != SO_REUSEADDR_ && optname != SO_KEEPALIVE_)
        return Fail(WSAENOPROTOOPT);
    // Winsock's own layout: the linger's two 16-bit fields, a BOOL otherwise.
    const int nError = w32net::SetOption(pEntry->native, level, optname, optval, optlen);
    return nError ? Fail(nError) : 0;
}

int CWin32Winsock::WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, long lEvent)
{
    CWin32Socket* pEntry = m_pState->Find(s);
    if (!pEntry)
        return SOCKET_ERROR;
    if (lEvent != 0 && !hWnd)
        return Fail(WSAEINVAL);
    // A new selection replaces the old one; the new serial drops what the
    // old one still has queued.
    m_pState->StopConnectWait(*pEntry);
    pEntry->nSerial = m_pState->m_nextSerial++;
    pEntry->hWnd = lEvent != 0 ? hWnd : nullptr;
    pEntry->nMsg = wMsg;
    pEntry->lEvent = lEvent;
    const int nError = w32net::AsyncSelect(pEntry->native, w32::MessageWindow(), m_pState->m_nSocketMsg,
                                           lEvent & (FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE));
    return nError ? Fail(nError) : 0;
}

int CWin32Winsock::send(SOCKET s, const char* buf, int len, int flags)
{
    CWin32Socket* pEntry = m_pState->Find(s);
    if (!pEntry)
        return SOCKET_ERROR;
    if (!buf || len < 0)
        return Fail(WSAEFAULT);
    int nSent = 0;
    const int nError = w32net::Send(pEntry->native, buf, len, flags, nSent);
    return nError ? Fail(nError) : nSent;
}

int CWin32Winsock::recv(SOCKET s, char* buf, int len, int flags)
{
    CWin32Socket* pEntry = m_pState->Find(s);
    if (!pEntry)
        return SOCKET_ERROR;
    if (!buf || len < 0)
        return Fail(WSAEFAULT);
    int nReceived = 0;
    const int nError = w32net::Recv(pEntry->native, buf, len, flags, nReceived);
    return nError ? Fail(nError) : nReceived;
}

int CWin32Winsock::closesocket(SOCKET s)
{
    CWin32Socket* pEntry = m_pState->Find(s);
    if (!pEntry)
        return SOCKET_ERROR;
    m_pState->CloseEntry(*pEntry);
    m_pState->m_sockets.erase(s);
    return 0;
}

int CWin32Winsock::WSAGetLastError() { return t_nLastError; }

void CWin32Winsock::SetConnectTimeout(int nMilliseconds) { m_pState->m_nConnectTimeoutMs = nMilliseconds; }

static CWinsock* g_pWinsock = nullptr;

CWinsock& Winsock()
{
    if (g_pWinsock)
        return *g_pWinsock;
    // Made at the first use and never destroyed: its sockets must not be
    // closed behind the back of a window during static destruction.
    static auto* s_pWinsock = new CWin32Winsock;
    return *s_pWinsock;
}

void SetWinsock(CWinsock* pWinsock) { g_pWinsock = pWinsock; }
