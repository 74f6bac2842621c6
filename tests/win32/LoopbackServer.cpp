#include "tests/win32/LoopbackServer.h"

#include <winsock2.h>

#include <mutex>
#include <thread>

struct CWin32LoopbackServer::CState {
    SOCKET listener = INVALID_SOCKET;
    std::uint16_t nPort = 0;
    std::size_t nExpect = 0;
    std::string strReply;
    mutable std::mutex mutex;
    std::string strReceived;
    std::thread thread;
};

namespace {

SOCKET Bound(std::uint16_t& nPort)
{
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int nLen = sizeof(sin);
    if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&sin), sizeof(sin)) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&sin), &nLen) != 0)
        return INVALID_SOCKET;
    nPort = ntohs(sin.sin_port);
    return s;
}

struct CStartup {
    CStartup()
    {
        WSADATA data;
        ::WSAStartup(0x0202, &data);
    }
};

}  // namespace

CWin32LoopbackServer::CWin32LoopbackServer(std::size_t nExpect, std::string strReply)
    : m_pState(std::make_shared<CState>())
{
    static CStartup s_startup;
    CState& state = *m_pState;
    state.nExpect = nExpect;
    state.strReply = std::move(strReply);
    state.listener = Bound(state.nPort);
    if (state.listener == INVALID_SOCKET || ::listen(state.listener, 16) != 0) {
        state.nPort = 0;
        return;
    }
    state.thread = std::thread([pState = m_pState] {
        for (;;) {
            SOCKET conn = ::accept(pState->listener, nullptr, nullptr);
            if (conn == INVALID_SOCKET)
                return;
            std::string str;
            char buf[256];
            while (str.size() < pState->nExpect) {
                const int n = ::recv(conn, buf, sizeof(buf), 0);
                if (n <= 0)
                    break;
                str.append(buf, static_cast<std::size_t>(n));
            }
            {
                std::lock_guard lock(pState->mutex);
                pState->strReceived += str;
            }
            ::send(conn, pState->strReply.data(), static_cast<int>(pState->strReply.size()), 0);
            ::shutdown(conn, SD_SEND);
            ::closesocket(conn);
        }
    });
}

CWin32LoopbackServer::~CWin32LoopbackServer()
{
    ::closesocket(m_pState->listener);  // wakes accept
    if (m_pState->thread.joinable())
        m_pState->thread.join();
}

std::uint16_t CWin32LoopbackServer::Port() const { return m_pState->nPort; }

std::string CWin32LoopbackServer::Received() const
{
    std::lock_guard lock(m_pState->mutex);
    return m_pState->strReceived;
}

std::uint16_t CWin32LoopbackServer::ClosedPort()
{
    static CStartup s_startup;
    std::uint16_t nPort = 0;
    static SOCKET s_held = Bound(nPort);  // kept bound so that no one else takes it
    static std::uint16_t s_nPort = nPort;
    (void)s_held;
    return s_nPort;
}
