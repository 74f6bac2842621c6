#include "platform/InstanceChannel.h"

#include "framework/WinApp.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// A request or an answer is one short word; anything longer is not ours.
constexpr std::size_t kMaxLine = 256;
// A client that connects and says nothing is let go after this.
constexpr UINT kIdleMs = 5000;
constexpr int kRetryMs = 100;

BOOL MakeAddress(const CString& strPath, sockaddr_un& addr)
{
    std::memset(&addr, 0, sizeof(addr));
    addr.sun_family = AF_UNIX;
    if (strPath.empty() || strPath.size() >= sizeof(addr.sun_path))
        return FALSE;
    std::memcpy(addr.sun_path, strPath.c_str(), strPath.size() + 1);
    return TRUE;
}

BOOL IsSameUser(int fd)
{
    ucred cred {};
    socklen_t nLength = sizeof(cred);
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &nLength) == 0 && cred.uid == geteuid();
}

}  // namespace

CInstanceServer::~CInstanceServer() { Stop(); }

BOOL CInstanceServer::Listen(const CString& strPath, CString& strError)
{
    Stop();
    sockaddr_un addr {};
    if (!MakeAddress(strPath, addr)) {
        strError = strPath + ": the path is too long for a socket";
        return FALSE;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        strError = CString("socket: ") + std::strerror(errno);
        return FALSE;
    }
    // Left by a copy that was killed: bind would fail with EADDRINUSE.
    if (unlink(strPath.c_str()) != 0 && errno != ENOENT) {
        strError = strPath + ": " + std::strerror(errno);
        close(fd);
        return FALSE;
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0 || listen(fd, 8) != 0) {
        strError = strPath + ": " + std::strerror(errno);
        close(fd);
        return FALSE;
    }
    chmod(strPath.c_str(), 0600);
    m_fdListen = fd;
    m_strPath = strPath;
    return TRUE;
}

void CInstanceServer::Serve(Handler fnHandler)
{
    m_fnHandler = std::move(fnHandler);
    if (m_fdListen >= 0 && m_watch == 0)
        m_watch = AfxWatchDescriptor(m_fdListen, AFX_FD_READ, [this](short) { OnAcceptable(); });
}

void CInstanceServer::Stop()
{
    while (!m_connections.empty())
        CloseConnection(m_connections.begin()->first);
    if (m_watch != 0) {
        AfxUnwatchDescriptor(m_watch);
        m_watch = 0;
    }
    if (m_fdListen >= 0) {
        close(m_fdListen);
        m_fdListen = -1;
        unlink(m_strPath.c_str());
    }
    m_strPath.clear();
}

void CInstanceServer::OnAcceptable()
{
    for (;;) {
        const int fd = accept4(m_fdListen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;  // EAGAIN: all taken; anything else: the next wake tries again
        }
        if (!IsSameUser(fd)) {
            close(fd);
            continue;
        }
        CConnection& conn = m_connections[fd];
        conn.watch = AfxWatchDescriptor(fd, AFX_FD_READ, [this, fd](short) { OnReadable(fd); });
        conn.timer = AfxSetCallbackTimer(kIdleMs, [this, fd] {
            if (auto it = m_connections.find(fd); it != m_connections.end()) {
                it->second.timer = 0;  // spent
                CloseConnection(fd);
            }
        });
    }
}

void CInstanceServer::OnReadable(int fd)
{
    auto it = m_connections.find(fd);
    if (it == m_connections.end())
        return;
    char aBuf[128];
    const ssize_t nRead = read(fd, aBuf, sizeof(aBuf));
    if (nRead < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (nRead <= 0) {
        CloseConnection(fd);  // gone before it said anything whole
        return;
    }
    CString& strReceived = it->second.strReceived;
    strReceived.append(aBuf, static_cast<std::size_t>(nRead));
    const auto nEnd = strReceived.find('\n');
    if (nEnd == CString::npos) {
        if (strReceived.size() > kMaxLine)
            CloseConnection(fd);
        return;
    }
    const CString strRequest = strReceived.substr(0, nEnd);
    // Out of the table before the handler runs: it may pump messages, and
    // this connection must not be read again meanwhile.
    const int fdAnswer = dup(fd);
    CloseConnection(fd);
    if (fdAnswer < 0)
        return;
    const CString strAnswer = (m_fnHandler ? m_fnHandler(strRequest) : CString()) + "\n";
    // One short line into an empty socket buffer: it never has to wait.
    if (send(fdAnswer, strAnswer.data(), strAnswer.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) {
        // The asker has gone; it tries again or gives up on its own.
    }
    close(fdAnswer);
}

void CInstanceServer::CloseConnection(int fd)
{
    auto it = m_connections.find(fd);
    if (it == m_connections.end())
        return;
    if (it->second.watch != 0)
        AfxUnwatchDescriptor(it->second.watch);
    if (it->second.timer != 0)
        AfxKillCallbackTimer(it->second.timer);
    m_connections.erase(it);
    close(fd);
}

CString AskRunningInstance(const CString& strPath, const CString& strRequest, int nTimeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    auto MsLeft = [&deadline] {
        return static_cast<int>(
            std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
    };
    sockaddr_un addr {};
    if (!MakeAddress(strPath, addr))
        return CString();
    const CString strLine = strRequest + "\n";
    for (;;) {
        CString strAnswer;
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return CString();
        if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0 &&
            send(fd, strLine.data(), strLine.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(strLine.size())) {
            for (;;) {
                pollfd pfd {fd, POLLIN, 0};
                const int nReady = poll(&pfd, 1, MsLeft());
                if (nReady < 0 && errno == EINTR)
                    continue;
                if (nReady <= 0)
                    break;
                char aBuf[64];
                const ssize_t nRead = read(fd, aBuf, sizeof(aBuf));
                if (nRead < 0 && errno == EINTR)
                    continue;
                if (nRead <= 0)
                    break;
                strAnswer.append(aBuf, static_cast<std::size_t>(nRead));
                if (strAnswer.find('\n') != CString::npos || strAnswer.size() > kMaxLine)
                    break;
            }
        }
        close(fd);
        const auto nEnd = strAnswer.find('\n');
        if (nEnd != CString::npos && strAnswer.compare(0, nEnd, kInstanceAnswerWait) != 0)
            return strAnswer.substr(0, nEnd);
        // No one listens yet, the copy is still starting, or it went away
        // without a word: again, while there is time.
        if (MsLeft() <= kRetryMs)
            return CString();
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
    }
}
