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

CPosixWinsock::CPosixWinsock() : m_pState(std::make_shared<CWinsockState>()) {}

CPosixWinsock::~CPosixWinsock()
{
    // Queued deliveries keep the state alive; they must find nothing to do.
    std::unique_lock lock(m_pState->m_mutex);
    m_pState->m_nStartups = 0;
    ++m_pState->m_nGeneration;
    std::map<SOCKET, CSocketEntry> sockets;
    sockets.swap(m_pState->m_sockets);
    m_pState->StopPoller(lock);
    for (const auto& [s, entry] : sockets)
        ::close(entry.nFd);
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
    std::lock_guard lock(m_pState->m_mutex);
    ++m_pState->m_nStartups;
    return 0;
}

int CPosixWinsock::WSACleanup()
{
    std::unique_lock lock(m_pState->m_mutex);
    if (m_pState->m_nStartups == 0)
        return Fail(WSANOTINITIALISED);
    if (--m_pState->m_nStartups > 0)
        return 0;
    ++m_pState->m_nGeneration;
    std::map<SOCKET, CSocketEntry> sockets;
    sockets.swap(m_pState->m_sockets);
    // The poller is gone before any of its descriptors is closed.
    m_pState->StopPoller(lock);
    lock.unlock();
    for (const auto& [s, entry] : sockets)
        ::close(entry.nFd);
    return 0;
}

int CPosixWinsock::gethostname(char* name, int namelen)
{
    {
        std::lock_guard lock(m_pState->m_mutex);
        if (m_pState->m_nStartups == 0)
            return Fail(WSANOTINITIALISED);
    }
    if (!name || namelen <= 0)
        return Fail(WSAEFAULT);
    int nResult = ::gethostname(name, static_cast<std::size_t>(namelen));
    name[namelen - 1] = '\0';
    return nResult == 0 ? 0 : Fail(WSAEFAULT);
}

HANDLE CPosixWinsock::WSAAsyncGetHostByName(HWND hWnd, UINT wMsg, const char* name, char* buf, int buflen)
{
    std::shared_ptr<CWinsockState> pState = m_pState;
    HANDLE hLookup;
    unsigned nGeneration;
    {
        std::lock_guard lock(pState->m_mutex);
        if (pState->m_nStartups == 0) {
            t_nLastError = WSANOTINITIALISED;
            return 0;
        }
        if (!hWnd || !name || !buf || buflen <= 0) {
            t_nLastError = WSAEINVAL;
            return 0;
        }
        hLookup = pState->m_nextLookup++;
        nGeneration = pState->m_nGeneration;
    }
    // One detached worker per look-up: a resolver that hangs holds only its
    // own thread and never the program's exit.
    std::string strName = name;
    try {
        std::thread([pState, strName, hWnd, wMsg, buf, buflen, hLookup, nGeneration] {
            CHostAnswer answer = CHostLookup::Resolve(strName);
            AfxRunOnUiThread([pState, answer = std::move(answer), hWnd, wMsg, buf, buflen, hLookup, nGeneration] {
                {
                    std::lock_guard lock(pState->m_mutex);
                    if (pState->m_nStartups == 0 || pState->m_nGeneration != nGeneration)
                        return;  // cleaned up since: the buffer may be gone
                }
                int nError = 0;
                int nSize = CHostLookup::LayOut(answer, buf, buflen, nError);
                hWnd->PostMessage(wMsg, static_cast<WPARAM>(hLookup),
                                  MAKELPARAM(static_cast<WORD>(nSize), static_cast<WORD>(nError)));
            });
        }).detach();
    } catch (const std::system_error&) {
        t_nLastError = WSAENOBUFS;
        return 0;
    }
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
    std::lock_guard lock(m_pState->m_mutex);
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

// The descriptor of s, or -1 with the error set. Only the calling thread
// closes sockets, so the descriptor stays valid for the rest of the call.
// The entry of s, or null with the error set; the caller holds the lock.
static CSocketEntry* LockedEntry(CWinsockState& state, SOCKET s)
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

static int FindSocket(CWinsockState& state, SOCKET s, bool* pbNonBlocking = nullptr)
{
    std::lock_guard lock(state.m_mutex);
    CSocketEntry* pEntry = LockedEntry(state, s);
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
        return Fail(errno == EINPROGRESS ? WSAEWOULDBLOCK : CWinsockState::ErrorFromErrno(errno));
    }

    // Blocking for the caller, but never longer than the time-out (the
    // system's own can take minutes).
    int nTimeoutMs;
    {
        std::lock_guard lock(m_pState->m_mutex);
        nTimeoutMs = m_pState->m_nConnectTimeoutMs;
    }
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
    std::unique_lock lock(m_pState->m_mutex);
    CSocketEntry* pEntry = LockedEntry(*m_pState, s);
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
    if (lEvent != 0 && !m_pState->EnsurePoller(lock))
        return Fail(WSAENOBUFS);
    // A new selection replaces the old one; the new serial drops what the
    // old one still has queued.
    entry.nSerial = m_pState->m_nextSerial++;
    entry.hWnd = lEvent != 0 ? hWnd : nullptr;
    entry.nMsg = wMsg;
    entry.lEvent = lEvent;
    entry.bWantWrite = (lEvent & FD_WRITE) != 0;
    entry.bReadArmed = (lEvent & (FD_READ | FD_CLOSE)) != 0;
    entry.bClosed = false;
    m_pState->WakePoller(lock);
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
        std::unique_lock lock(m_pState->m_mutex);
        auto it = m_pState->m_sockets.find(s);
        if (it != m_pState->m_sockets.end() && (it->second.lEvent & FD_WRITE) && !it->second.bWantWrite) {
            it->second.bWantWrite = true;
            m_pState->WakePoller(lock);
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
    {
        // As with Winsock, a recv re-enables FD_READ (and lets FD_CLOSE follow).
        std::unique_lock lock(m_pState->m_mutex);
        auto it = m_pState->m_sockets.find(s);
        if (it != m_pState->m_sockets.end() && it->second.hWnd && !it->second.bReadArmed) {
            it->second.bReadArmed = true;
            m_pState->WakePoller(lock);
        }
    }
    return n >= 0 ? static_cast<int>(n) : Fail(CWinsockState::ErrorFromErrno(nErrno));
}

int CPosixWinsock::closesocket(SOCKET s)
{
    std::unique_lock lock(m_pState->m_mutex);
    CSocketEntry* pEntry = LockedEntry(*m_pState, s);
    if (!pEntry)
        return SOCKET_ERROR;
    int fd = pEntry->nFd;
    m_pState->m_sockets.erase(s);
    m_pState->WaitForPoller(lock);
    lock.unlock();
    ::close(fd);
    return 0;
}

int CPosixWinsock::WSAGetLastError() { return t_nLastError; }

void CPosixWinsock::SetConnectTimeout(int nMilliseconds)
{
    std::lock_guard lock(m_pState->m_mutex);
    m_pState->m_nConnectTimeoutMs = nMilliseconds;
}

static CWinsock* g_pWinsock = nullptr;

CWinsock& Winsock()
{
    static CPosixWinsock s_winsock;
    return g_pWinsock ? *g_pWinsock : s_winsock;
}

void SetWinsock(CWinsock* pWinsock) { g_pWinsock = pWinsock; }
