#include "platform/PosixWinsock.h"

#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "platform/HostLookup.h"
#include "platform/WinsockState.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

// Like Winsock's, the last error is per thread.
static thread_local int t_nLastError = 0;

static int Fail(int nError)
{
    t_nLastError = nError;
    return SOCKET_ERROR;
}

CPosixWinsock::CPosixWinsock() : m_pState(std::make_shared<CWinsockState>())
{
    // A window that goes takes its selections and look-ups with it.
    std::weak_ptr<CWinsockState> pWeak = m_pState;
    AfxAddWindowDestroyedHook([pWeak](HWND hWnd) {
        if (auto pState = pWeak.lock())
            pState->WindowDestroyed(hWnd);
    });
}

CPosixWinsock::~CPosixWinsock()
{
    // Queued deliveries keep the state alive; they must find nothing to do.
    m_pState->m_nStartups = 0;
    m_pState->CloseAll();
    m_pState->m_pResolver->Stop();
}

int CPosixWinsock::WSAStartup(WORD wVersionRequested, WSADATA* lpWSAData)
{
    const int nMajor = wVersionRequested & 0xFF, nMinor = wVersionRequested >> 8;
    if (nMajor < 1)
        return WSAVERNOTSUPPORTED;
    if (!lpWSAData)
        return WSAEFAULT;
    std::memset(lpWSAData, 0, sizeof(*lpWSAData));
    lpWSAData->wVersion = (nMajor == 1 && nMinor == 0) ? 0x0001 : 0x0101;
    lpWSAData->wHighVersion = 0x0101;
    std::snprintf(lpWSAData->szDescription, sizeof(lpWSAData->szDescription), "Windows Sockets 1.1 on POSIX");
    std::snprintf(lpWSAData->szSystemStatus, sizeof(lpWSAData->szSystemStatus), "Running");
    ++m_pState->m_nStartups;
    return 0;
}

int CPosixWinsock::WSACleanup()
{
    if (m_pState->m_nStartups == 0)
        return Fail(WSANOTINITIALISED);
    if (--m_pState->m_nStartups > 0)
        return 0;
    m_pState->CloseAll();
    return 0;
}

int CPosixWinsock::gethostname(char* name, int namelen)
{
    if (m_pState->m_nStartups == 0)
        return Fail(WSANOTINITIALISED);
    if (!name || namelen <= 0)
        return Fail(WSAEFAULT);
    int nResult = ::gethostname(name, static_cast<std::size_t>(namelen));
    name[namelen - 1] = '\0';
    return nResult == 0 ? 0 : Fail(WSAEFAULT);
}

HANDLE CPosixWinsock::WSAAsyncGetHostByName(HWND hWnd, UINT wMsg, const char* name, char* buf, int buflen)
{
    CWinsockState& state = *m_pState;
    if (state.m_nStartups == 0) {
        t_nLastError = WSANOTINITIALISED;
        return 0;
    }
    if (!hWnd || !name || !buf || buflen <= 0) {
        t_nLastError = WSAEINVAL;
        return 0;
    }
    const HANDLE hLookup = state.m_nextLookup++;
    const unsigned nGeneration = state.m_nGeneration;
    std::weak_ptr<CWinsockState> pWeak = m_pState;
    const bool bQueued = state.m_pResolver->Resolve(name, [pWeak, hLookup, nGeneration](CHostAnswer answer) {
        // On the resolver thread: hand the answer over, touch nothing else.
        AfxRunOnUiThread([pWeak, hLookup, nGeneration, answer = std::move(answer)] {
            if (auto pState = pWeak.lock())
                pState->LookupDone(hLookup, nGeneration, answer);
        });
    });
    if (!bQueued) {
        t_nLastError = WSAENOBUFS;
        return 0;
    }
    state.m_lookups[hLookup] = CPendingLookup{hWnd, wMsg, buf, buflen};
    return hLookup;
}

std::vector<IN_ADDR> CPosixWinsock::GetInterfaceAddresses()
{
    std::vector<IN_ADDR> addrs;
    ifaddrs* pList = nullptr;
    if (::getifaddrs(&pList) != 0)
        return addrs;
    for (const ifaddrs* p = pList; p; p = p->ifa_next) {
        if (!p->ifa_addr || p->ifa_addr->sa_family != AF_INET || !(p->ifa_flags & IFF_UP))
            continue;
        sockaddr_in sin;
        std::memcpy(&sin, p->ifa_addr, sizeof(sin));
        addrs.push_back(IN_ADDR{sin.sin_addr.s_addr});
    }
    ::freeifaddrs(pList);
    return addrs;
}

std::uint32_t CPosixWinsock::inet_addr(const char* cp)
{
    constexpr std::uint32_t kNone = 0xFFFFFFFF;
    if (!cp)
        return kNone;
    BYTE bytes[4];
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && *cp++ != '.')
            return kNone;
        int nValue = 0, nDigits = 0;
        for (; *cp >= '0' && *cp <= '9'; ++cp) {
            nValue = nValue * 10 + (*cp - '0');
            if (++nDigits > 3 || nValue > 255)
                return kNone;
        }
        if (nDigits == 0)
            return kNone;
        bytes[i] = static_cast<BYTE>(nValue);
    }
    if (*cp != '\0')
        return kNone;
    std::uint32_t nAddr;
    std::memcpy(&nAddr, bytes, sizeof(nAddr));
    return nAddr;
}

CString CPosixWinsock::inet_ntoa(IN_ADDR in)
{
    BYTE bytes[4];
    std::memcpy(bytes, &in.S_addr, sizeof(bytes));
    return AfxFormat("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

SOCKET CPosixWinsock::socket(int af, int type, int protocol)
{
    if (m_pState->m_nStartups == 0)
        return Fail(WSANOTINITIALISED);
    if (af != AF_INET_)
        return Fail(WSAEAFNOSUPPORT);
    if (type != SOCK_STREAM_ || (protocol != 0 && protocol != IPPROTO_TCP_))
        return Fail(WSAEPROTONOSUPPORT);
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return Fail(CWinsockState::ErrorFromErrno(errno));
    // Handles are never reused, so a late event can never match a newer socket.
    SOCKET s = m_pState->m_nextSocket++;
    m_pState->m_sockets[s].nFd = fd;
    return s;
}

// The entry of s, or null with the error set.
static CSocketEntry* FindEntry(CWinsockState& state, SOCKET s)
{
    if (state.m_nStartups == 0) {
        Fail(WSANOTINITIALISED);
        return nullptr;
    }
    auto it = state.m_sockets.find(s);
    if (it == state.m_sockets.end()) {
        Fail(WSAENOTSOCK);
        return nullptr;
    }
    return &it->second;
}

// The descriptor of s, or -1 with the error set.
static int FindSocket(CWinsockState& state, SOCKET s, bool* pbNonBlocking = nullptr)
{
    CSocketEntry* pEntry = FindEntry(state, s);
    if (!pEntry)
        return SOCKET_ERROR;
    if (pbNonBlocking)
        *pbNonBlocking = pEntry->bNonBlocking;
    return pEntry->nFd;
}

// Waits for a non-blocking connect to finish; 0 or the error.
static int WaitConnected(int fd, int nTimeoutMs)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(nTimeoutMs);
    for (;;) {
        auto nLeft = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (nLeft < 0)
            nLeft = 0;
        pollfd pfd{fd, POLLOUT, 0};
        int n = ::poll(&pfd, 1, static_cast<int>(nLeft));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return CWinsockState::ErrorFromErrno(errno);
        if (n == 0)
            return WSAETIMEDOUT;
        int nSoError = 0;
        socklen_t nLen = sizeof(nSoError);
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &nSoError, &nLen) != 0)
            return CWinsockState::ErrorFromErrno(errno);
        return nSoError ? CWinsockState::ErrorFromErrno(nSoError) : 0;
    }
}

int CPosixWinsock::connect(SOCKET s, const SOCKADDR_IN* name, int namelen)
{
    bool bNonBlocking = false;
    int fd = FindSocket(*m_pState, s, &bNonBlocking);
    if (fd < 0)
        return SOCKET_ERROR;
    if (!name || namelen < static_cast<int>(sizeof(SOCKADDR_IN)))
        return Fail(WSAEFAULT);
    if (name->sin_family != AF_INET_)
        return Fail(WSAEAFNOSUPPORT);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = name->sin_port;
    sin.sin_addr.s_addr = name->sin_addr.S_addr;
    const auto* pAddr = reinterpret_cast<const sockaddr*>(&sin);

    if (bNonBlocking) {
        if (::connect(fd, pAddr, sizeof(sin)) == 0)
            return 0;
        if (errno != EINPROGRESS)
            return Fail(CWinsockState::ErrorFromErrno(errno));
        // Selected for FD_CONNECT: the outcome comes as that event.
        CSocketEntry& entry = m_pState->m_sockets[s];
        if (entry.hWnd && (entry.lEvent & FD_CONNECT))
            m_pState->StartConnectWait(s, entry);
        return Fail(WSAEWOULDBLOCK);
    }

    // Blocking for the caller, but never longer than the time-out (the
    // system's own can take minutes).
    const int nTimeoutMs = m_pState->m_nConnectTimeoutMs;
    int nFlags = ::fcntl(fd, F_GETFL);
    if (nFlags < 0 || ::fcntl(fd, F_SETFL, nFlags | O_NONBLOCK) < 0)
        return Fail(CWinsockState::ErrorFromErrno(errno));
    int nError = 0;
    if (::connect(fd, pAddr, sizeof(sin)) != 0) {
        if (errno == EINPROGRESS || errno == EINTR)
            nError = WaitConnected(fd, nTimeoutMs);
        else
            nError = CWinsockState::ErrorFromErrno(errno);
    }
    ::fcntl(fd, F_SETFL, nFlags);
    return nError ? Fail(nError) : 0;
}

int CPosixWinsock::setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen)
{
    int fd = FindSocket(*m_pState, s);
    if (fd < 0)
        return SOCKET_ERROR;
    if (level != SOL_SOCKET_)
        return Fail(WSAEINVAL);
    if (!optval)
        return Fail(WSAEFAULT);
    int nResult;
    if (optname == SO_LINGER_) {
        // Winsock's linger is two 16-bit fields.
        WORD fields[2];
        if (optlen < static_cast<int>(sizeof(fields)))
            return Fail(WSAEFAULT);
        std::memcpy(fields, optval, sizeof(fields));
        linger lg{fields[0] != 0, fields[1]};
        nResult = ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof(lg));
    } else if (optname == SO_REUSEADDR_ || optname == SO_KEEPALIVE_) {
        int nValue;
        if (optlen < static_cast<int>(sizeof(nValue)))
            return Fail(WSAEFAULT);
        std::memcpy(&nValue, optval, sizeof(nValue));
        nValue = nValue != 0;
        nResult = ::setsockopt(fd, SOL_SOCKET, optname == SO_REUSEADDR_ ? SO_REUSEADDR : SO_KEEPALIVE, &nValue,
                               sizeof(nValue));
    } else {
        return Fail(WSAENOPROTOOPT);
    }
    return nResult == 0 ? 0 : Fail(CWinsockState::ErrorFromErrno(errno));
}

int CPosixWinsock::WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, long lEvent)
{
    CSocketEntry* pEntry = FindEntry(*m_pState, s);
    if (!pEntry)
        return SOCKET_ERROR;
    if (lEvent != 0 && !hWnd)
        return Fail(WSAEINVAL);
    CSocketEntry& entry = *pEntry;
    if (!entry.bNonBlocking) {
        int nFlags = ::fcntl(entry.nFd, F_GETFL);
        if (nFlags < 0 || ::fcntl(entry.nFd, F_SETFL, nFlags | O_NONBLOCK) < 0)
            return Fail(CWinsockState::ErrorFromErrno(errno));
        entry.bNonBlocking = true;
    }
    // A new selection replaces the old one; the new serial drops what the
    // old one still has queued.
    entry.nSerial = m_pState->m_nextSerial++;
    entry.hWnd = lEvent != 0 ? hWnd : nullptr;
    entry.nMsg = wMsg;
    entry.lEvent = lEvent;
    entry.bWantWrite = (lEvent & FD_WRITE) != 0;
    entry.bReadArmed = (lEvent & (FD_READ | FD_CLOSE)) != 0;
    entry.bClosed = false;
    m_pState->UpdateWatch(s, entry);
    if (lEvent != 0 && entry.watch == 0)
        return Fail(WSAENOBUFS);
    return 0;
}

int CPosixWinsock::send(SOCKET s, const char* buf, int len, int flags)
{
    int fd = FindSocket(*m_pState, s);
    if (fd < 0)
        return SOCKET_ERROR;
    if (!buf || len < 0)
        return Fail(WSAEFAULT);
    // MSG_OOB and MSG_DONTROUTE have the same values on both sides.
    ssize_t n = ::send(fd, buf, static_cast<std::size_t>(len), (flags & (MSG_OOB | MSG_DONTROUTE)) | MSG_NOSIGNAL);
    if (n >= 0)
        return static_cast<int>(n);
    int nError = CWinsockState::ErrorFromErrno(errno);
    if (nError == WSAEWOULDBLOCK) {
        // As with Winsock, FD_WRITE comes again once there is room.
        auto it = m_pState->m_sockets.find(s);
        if (it != m_pState->m_sockets.end() && (it->second.lEvent & FD_WRITE) && !it->second.bWantWrite) {
            it->second.bWantWrite = true;
            m_pState->UpdateWatch(s, it->second);
        }
    }
    return Fail(nError);
}

int CPosixWinsock::recv(SOCKET s, char* buf, int len, int flags)
{
    int fd = FindSocket(*m_pState, s);
    if (fd < 0)
        return SOCKET_ERROR;
    if (!buf || len < 0)
        return Fail(WSAEFAULT);
    ssize_t n = ::recv(fd, buf, static_cast<std::size_t>(len), flags & (MSG_OOB | MSG_PEEK));
    int nErrno = errno;
    // As with Winsock, a recv re-enables FD_READ (and lets FD_CLOSE follow).
    auto it = m_pState->m_sockets.find(s);
    if (it != m_pState->m_sockets.end() && it->second.hWnd && !it->second.bReadArmed) {
        it->second.bReadArmed = true;
        m_pState->UpdateWatch(s, it->second);
    }
    return n >= 0 ? static_cast<int>(n) : Fail(CWinsockState::ErrorFromErrno(nErrno));
}

int CPosixWinsock::closesocket(SOCKET s)
{
    CSocketEntry* pEntry = FindEntry(*m_pState, s);
    if (!pEntry)
        return SOCKET_ERROR;
    m_pState->Unwatch(*pEntry);
    const int fd = pEntry->nFd;
    m_pState->m_sockets.erase(s);
    ::close(fd);
    return 0;
}

int CPosixWinsock::WSAGetLastError() { return t_nLastError; }

void CPosixWinsock::SetConnectTimeout(int nMilliseconds) { m_pState->m_nConnectTimeoutMs = nMilliseconds; }

static CWinsock* g_pWinsock = nullptr;

CWinsock& Winsock()
{
    if (g_pWinsock)
        return *g_pWinsock;
    // Made at the first use and never destroyed: its sockets must not be
    // closed behind the back of a window during static destruction.
    static auto* s_pWinsock = new CPosixWinsock;
    return *s_pWinsock;
}

void SetWinsock(CWinsock* pWinsock) { g_pWinsock = pWinsock; }
