#include "platform/WinsockState.h"

#include "framework/WinApp.h"
#include "framework/Wnd.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

CWinsockState::~CWinsockState()
{
    std::unique_lock lock(m_mutex);
    StopPoller(lock);
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

bool CWinsockState::EnsurePoller(std::unique_lock<std::mutex>& /*lock*/)
{
    if (m_poller.joinable())
        return true;
    m_fdWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_fdWake < 0)
        return false;
    m_bStopPoller = false;
    try {
        m_poller = std::thread([this] { PollLoop(); });
    } catch (const std::system_error&) {
        ::close(m_fdWake);
        m_fdWake = -1;
        return false;
    }
    return true;
}

void CWinsockState::WakePoller(std::unique_lock<std::mutex>& /*lock*/)
{
    if (m_fdWake < 0)
        return;
    std::uint64_t nOne = 1;
    // A full counter still wakes the poller, so a failed write changes nothing.
    [[maybe_unused]] ssize_t n = ::write(m_fdWake, &nOne, sizeof(nOne));
}

void CWinsockState::WaitForPoller(std::unique_lock<std::mutex>& lock)
{
    if (!m_bInPoll)
        return;
    WakePoller(lock);
    unsigned long nPass = m_nPass;
    m_cvPass.wait(lock, [&] { return m_nPass != nPass; });
}

void CWinsockState::StopPoller(std::unique_lock<std::mutex>& lock)
{
    if (!m_poller.joinable())
        return;
    m_bStopPoller = true;
    WakePoller(lock);
    std::thread poller = std::move(m_poller);
    lock.unlock();
    poller.join();
    lock.lock();
    ::close(m_fdWake);
    m_fdWake = -1;
    m_bStopPoller = false;
}

void CWinsockState::PollLoop()
{
    std::vector<pollfd> fds;
    std::vector<SOCKET> handles;
    std::vector<CSocketEvent> events;
    std::shared_ptr<CWinsockState> pSelf = shared_from_this();
    std::unique_lock lock(m_mutex);
    while (!m_bStopPoller) {
        fds.assign(1, pollfd{m_fdWake, POLLIN, 0});
        handles.assign(1, INVALID_SOCKET);
        for (const auto& [s, entry] : m_sockets) {
            if (!entry.hWnd || entry.bClosed)
                continue;
            short nEvents = 0;
            if (entry.bReadArmed && (entry.lEvent & (FD_READ | FD_CLOSE)))
                nEvents |= POLLIN;
            if (entry.bWantWrite)
                nEvents |= POLLOUT;
            if (nEvents) {
                fds.push_back(pollfd{entry.nFd, nEvents, 0});
                handles.push_back(s);
            }
        }
        m_bInPoll = true;
        lock.unlock();
        int nReady = ::poll(fds.data(), fds.size(), -1);
        lock.lock();
        m_bInPoll = false;
        ++m_nPass;
        m_cvPass.notify_all();
        if (nReady <= 0)
            continue;
        if (fds[0].revents) {
            std::uint64_t nCount;
            [[maybe_unused]] ssize_t n = ::read(m_fdWake, &nCount, sizeof(nCount));
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            auto it = m_sockets.find(handles[i]);
            // Closed while we polled: closesocket is waiting for us and the
            // descriptor is still its own, but it is none of our business now.
            if (fds[i].revents && it != m_sockets.end() && it->second.nFd == fds[i].fd)
                CheckSocket(handles[i], it->second, fds[i].revents, events);
        }
        if (!events.empty()) {
            std::vector<CSocketEvent> batch;
            batch.swap(events);
            lock.unlock();
            for (const CSocketEvent& ev : batch)
                AfxRunOnUiThread([pSelf, ev] { pSelf->DeliverEvent(ev); });
            lock.lock();
        }
    }
}

void CWinsockState::CheckSocket(SOCKET s, CSocketEntry& entry, short nRevents, std::vector<CSocketEvent>& events)
{
    auto Report = [&](long lEvent, int nError) {
        if (entry.lEvent & lEvent)
            events.push_back(CSocketEvent{s, entry.nSerial, entry.hWnd, entry.nMsg,
                                          MAKELPARAM(static_cast<WORD>(lEvent), static_cast<WORD>(nError))});
    };
    if (entry.bWantWrite && (nRevents & POLLOUT)) {
        entry.bWantWrite = false;
        Report(FD_WRITE, 0);
    }
    if (entry.bReadArmed && (nRevents & (POLLIN | POLLHUP | POLLERR))) {
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
        } else if (nRevents & (POLLERR | POLLHUP)) {
            int nSoError = 0;
            socklen_t nLen = sizeof(nSoError);
            ::getsockopt(entry.nFd, SOL_SOCKET, SO_ERROR, &nSoError, &nLen);
            entry.bClosed = true;
            Report(FD_CLOSE, nSoError ? ErrorFromErrno(nSoError) : 0);
        }
    } else if (nRevents & (POLLERR | POLLHUP)) {
        // Only writing was asked for and it will never be possible; the close
        // is reported once reading is armed again.
        entry.bWantWrite = false;
    }
}

void CWinsockState::DeliverEvent(const CSocketEvent& ev)
{
    {
        std::lock_guard lock(m_mutex);
        auto it = m_sockets.find(ev.s);
        if (m_nStartups == 0 || it == m_sockets.end() || it->second.nSerial != ev.nSerial)
            return;
    }
    ev.hWnd->SendMessage(ev.nMsg, static_cast<WPARAM>(ev.s), ev.lParam);
}
