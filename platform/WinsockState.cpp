#include "platform/WinsockState.h"

#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "platform/HostLookup.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

// ---- the resolver thread

bool CResolver::Resolve(const std::string& strName, Callback fnDone)
{
    std::lock_guard lock(m_mutex);
    if (!m_bStarted) {
        try {
            std::thread([pSelf = shared_from_this()] { pSelf->Run(); }).detach();
        } catch (const std::system_error&) {
            return false;
        }
        m_bStarted = true;
    }
    m_requests.emplace_back(strName, std::move(fnDone));
    m_cv.notify_one();
    return true;
}

void CResolver::Stop()
{
    std::lock_guard lock(m_mutex);
    m_bStop = true;
    m_requests.clear();
    m_cv.notify_one();
}

void CResolver::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [this] { return m_bStop || !m_requests.empty(); });
        if (m_bStop)
            return;
        auto [strName, fnDone] = std::move(m_requests.front());
        m_requests.pop_front();
        lock.unlock();
        CHostAnswer answer = CHostLookup::Resolve(strName);
        fnDone(std::move(answer));
        lock.lock();
    }
}

// ---- the state

CWinsockState::CWinsockState() : m_pResolver(std::make_shared<CResolver>()) {}

CWinsockState::~CWinsockState()
{
    m_pResolver->Stop();
    for (auto& [s, entry] : m_sockets) {
        Unwatch(entry);
        ::close(entry.nFd);
    }
}

int CWinsockState::ErrorFromErrno(int nErrno)
{
    switch (nErrno) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
        return WSAEWOULDBLOCK;
    case EINPROGRESS: return WSAEINPROGRESS;
    case EALREADY: return WSAEALREADY;
    case EBADF:
    case ENOTSOCK: return WSAENOTSOCK;
    case EFAULT: return WSAEFAULT;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE: return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTUNREACH:
    case EHOSTDOWN: return WSAEHOSTUNREACH;
    case EMFILE:
    case ENFILE: return WSAEMFILE;
    default: return WSAEINVAL;
    }
}

void CWinsockState::UpdateWatch(SOCKET s, CSocketEntry& entry)
{
    short nEvents = 0;
    if (entry.hWnd && entry.bConnecting) {
        // Writable once connected or refused; nothing else counts before the
        // connect's outcome (a refusal also reads as a hang-up).
        nEvents = AFX_FD_WRITE;
    } else if (entry.hWnd && !entry.bClosed) {
        if (entry.bReadArmed && (entry.lEvent & (FD_READ | FD_CLOSE)))
            nEvents |= AFX_FD_READ;
        if (entry.bWantWrite)
            nEvents |= AFX_FD_WRITE;
    }
    if (entry.watch == 0 && nEvents != 0) {
        std::weak_ptr<CWinsockState> pWeak = weak_from_this();
        entry.watch = AfxWatchDescriptor(entry.nFd, nEvents, [pWeak, s](short nReady) {
            if (auto pSelf = pWeak.lock())
                pSelf->OnReady(s, nReady);
        });
    } else if (entry.watch != 0) {
        AfxChangeDescriptorWatch(entry.watch, nEvents);
    }
}

void CWinsockState::StartConnectWait(SOCKET s, CSocketEntry& entry)
{
    entry.bConnecting = true;
    const unsigned nSerial = entry.nSerial;
    std::weak_ptr<CWinsockState> pWeak = weak_from_this();
    entry.connectTimer = AfxSetCallbackTimer(static_cast<UINT>(m_nConnectTimeoutMs), [pWeak, s, nSerial] {
        auto pSelf = pWeak.lock();
        if (!pSelf)
            return;
        auto it = pSelf->m_sockets.find(s);
        if (it == pSelf->m_sockets.end() || it->second.nSerial != nSerial || !it->second.bConnecting)
            return;
        CSocketEntry& timedOut = it->second;
        timedOut.connectTimer = 0;
        timedOut.bConnecting = false;
        timedOut.bWantWrite = false;
        pSelf->QueueEvent(s, timedOut, FD_CONNECT, WSAETIMEDOUT);
        pSelf->UpdateWatch(s, timedOut);
    });
    UpdateWatch(s, entry);
}

void CWinsockState::StopConnectWait(CSocketEntry& entry)
{
    if (entry.connectTimer != 0)
        AfxKillCallbackTimer(entry.connectTimer);
    entry.connectTimer = 0;
    entry.bConnecting = false;
}

void CWinsockState::Unwatch(CSocketEntry& entry)
{
    StopConnectWait(entry);
    if (entry.watch != 0)
        AfxUnwatchDescriptor(entry.watch);
    entry.watch = 0;
}

void CWinsockState::CloseAll()
{
    ++m_nGeneration;
    m_lookups.clear();
    std::map<SOCKET, CSocketEntry> sockets;
    sockets.swap(m_sockets);
    for (auto& [s, entry] : sockets) {
        Unwatch(entry);
        ::close(entry.nFd);
    }
}

void CWinsockState::WindowDestroyed(HWND hWnd)
{
    std::erase_if(m_lookups, [hWnd](const auto& item) { return item.second.hWnd == hWnd; });
    for (auto& [s, entry] : m_sockets) {
        if (entry.hWnd == hWnd) {
            // As a selection of no events: nothing more is reported.
            entry.hWnd = nullptr;
            entry.lEvent = 0;
            entry.nSerial = m_nextSerial++;
            Unwatch(entry);
        }
    }
}

void CWinsockState::LookupDone(HANDLE hLookup, unsigned nGeneration, const CHostAnswer& answer)
{
    if (m_nStartups == 0 || m_nGeneration != nGeneration)
        return;  // cleaned up since: the buffer may be gone
    auto it = m_lookups.find(hLookup);
    if (it == m_lookups.end())
        return;
    const CPendingLookup lookup = it->second;
    m_lookups.erase(it);
    // The buffer belongs to the window's object: written only while it lives.
    if (CWnd::FromHandle(lookup.hWnd) == nullptr)
        return;
    int nError = 0;
    const int nSize = CHostLookup::LayOut(answer, lookup.pBuf, lookup.nBufLen, nError);
    AfxPostMessage(lookup.hWnd, lookup.nMsg, static_cast<WPARAM>(hLookup),
                   MAKELPARAM(static_cast<WORD>(nSize), static_cast<WORD>(nError)));
}

void CWinsockState::OnReady(SOCKET s, short nReady)
{
    auto it = m_sockets.find(s);
    if (it == m_sockets.end())
        return;
    CSocketEntry& entry = it->second;
    auto Report = [&](long lEvent, int nError) { QueueEvent(s, entry, lEvent, nError); };
    if (entry.bConnecting) {
        if ((nReady & AFX_FD_WRITE) == 0)
            return;
        int nSoError = 0;
        socklen_t nLen = sizeof(nSoError);
        if (::getsockopt(entry.nFd, SOL_SOCKET, SO_ERROR, &nSoError, &nLen) != 0)
            nSoError = errno;
        StopConnectWait(entry);
        // Refused or unreachable: as with Winsock, nothing follows.
        if (nSoError != 0) {
            entry.bWantWrite = false;
            entry.bClosed = true;
        }
        Report(FD_CONNECT, nSoError ? ErrorFromErrno(nSoError) : 0);
        UpdateWatch(s, entry);
        return;  // what follows the connect is reported on the next readiness
    }
    if (entry.bWantWrite && (nReady & AFX_FD_WRITE)) {
        entry.bWantWrite = false;
        Report(FD_WRITE, 0);
    }
    if (entry.bReadArmed && (nReady & AFX_FD_READ)) {
        // A peek tells data (FD_READ) from an orderly shutdown with nothing
        // left to read (FD_CLOSE) and from a reset.
        char c;
        ssize_t n = ::recv(entry.nFd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) {
            entry.bReadArmed = false;
            Report(FD_READ, 0);
        } else if (n == 0) {
            entry.bClosed = true;
            Report(FD_CLOSE, 0);
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            entry.bClosed = true;
            Report(FD_CLOSE, ErrorFromErrno(errno));
        }
    }
    UpdateWatch(s, entry);
}

void CWinsockState::QueueEvent(SOCKET s, const CSocketEntry& entry, long lEvent, int nError)
{
    if ((entry.lEvent & lEvent) == 0)
        return;
    const CSocketEvent ev{s, entry.nSerial, entry.hWnd, entry.nMsg,
                          MAKELPARAM(static_cast<WORD>(lEvent), static_cast<WORD>(nError))};
    // In turn with everything else waiting for the user-interface thread.
    AfxRunOnUiThread([pSelf = shared_from_this(), ev] { pSelf->DeliverEvent(ev); });
}

void CWinsockState::DeliverEvent(const CSocketEvent& ev)
{
    auto it = m_sockets.find(ev.s);
    if (m_nStartups == 0 || it == m_sockets.end() || it->second.nSerial != ev.nSerial)
        return;
    if (CWnd* pWnd = CWnd::FromHandle(ev.hWnd))
        pWnd->SendMessage(ev.nMsg, static_cast<WPARAM>(ev.s), ev.lParam);
}
