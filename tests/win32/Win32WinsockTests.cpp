// Windows Sockets on ws2_32, against a server of the test's own on
// 127.0.0.1, with a window of the real framework (on the Win32 port)
// receiving the messages through the port's message-only window.
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "platform/win32/Win32Winsock.h"
#include "tests/win32/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

namespace {

constexpr UINT WM_TEST_SOCKET = WM_APP + 1;
constexpr UINT WM_TEST_LOOKUP = WM_APP + 2;
constexpr int kWaitMs = 30000;

struct CRecorded {
    UINT nMsg;
    WPARAM wParam;
    LPARAM lParam;
};

class CRecorderWnd : public CFrameWnd {
public:
    LRESULT WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) override
    {
        if (nMessage < WM_APP)
            return CFrameWnd::WindowProc(nMessage, wParam, lParam);
        m_recorded.push_back({nMessage, wParam, lParam});
        return 0;
    }
    const CRecorded* Event(SOCKET s, long lEvent) const
    {
        for (const CRecorded& r : m_recorded)
            if (r.nMsg == WM_TEST_SOCKET && static_cast<SOCKET>(r.wParam) == s && WSAGETSELECTEVENT(r.lParam) == lEvent)
                return &r;
        return nullptr;
    }
    std::vector<CRecorded> m_recorded;
};

SOCKADDR_IN Loopback(CWinsock& ws, std::uint16_t nPort)
{
    SOCKADDR_IN sin{};
    sin.sin_family = AF_INET_;
    sin.sin_port = CWinsock::htons(nPort);
    sin.sin_addr.S_addr = ws.inet_addr("127.0.0.1");
    return sin;
}

class Win32WinsockTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_wnd.CreateBare("sockets", CRect{0, 0, 100, 100}));
        WSADATA data{};
        ASSERT_EQ(m_ws.WSAStartup(0x0101, &data), 0);
        EXPECT_EQ(data.wVersion, 0x0101);
    }
    void TearDown() override
    {
        m_ws.WSACleanup();
        if (m_wnd.IsWindow())
            m_wnd.DestroyWindow();
    }
    CWin32Winsock m_ws;
    CRecorderWnd m_wnd;
};

TEST_F(Win32WinsockTest, ASelectedConnectSendsAndReceivesThroughTheWindowsMessages)
{
    const std::string strRequest = "GET / HTTP/1.0\r\n\r\n";
    CWin32LoopbackServer server(strRequest.size(), "HTTP/1.0 200 OK\r\n\r\nok");
    ASSERT_NE(server.Port(), 0);
    const SOCKET s = m_ws.socket(AF_INET_, SOCK_STREAM_, IPPROTO_TCP_);
    ASSERT_NE(s, INVALID_SOCKET);
    ASSERT_EQ(m_ws.WSAAsyncSelect(s, m_wnd.GetSafeHwnd(), WM_TEST_SOCKET, FD_CONNECT | FD_WRITE | FD_READ | FD_CLOSE), 0);
    const SOCKADDR_IN sin = Loopback(m_ws, server.Port());
    if (m_ws.connect(s, &sin, sizeof(sin)) != 0) {
        EXPECT_EQ(m_ws.WSAGetLastError(), WSAEWOULDBLOCK);
    }

    ASSERT_TRUE(AfxPumpUntil([&] { return m_wnd.Event(s, FD_CONNECT) != nullptr; }, kWaitMs));
    EXPECT_EQ(WSAGETSELECTERROR(m_wnd.Event(s, FD_CONNECT)->lParam), 0);
    ASSERT_TRUE(AfxPumpUntil([&] { return m_wnd.Event(s, FD_WRITE) != nullptr; }, kWaitMs));
    ASSERT_EQ(m_ws.send(s, strRequest.data(), static_cast<int>(strRequest.size()), 0),
              static_cast<int>(strRequest.size()));

    ASSERT_TRUE(AfxPumpUntil([&] { return m_wnd.Event(s, FD_READ) != nullptr; }, kWaitMs));
    std::string strReply;
    ASSERT_TRUE(AfxPumpUntil(
        [&] {
            char buf[64];
            const int n = m_ws.recv(s, buf, sizeof(buf), 0);
            if (n > 0)
                strReply.append(buf, static_cast<std::size_t>(n));
            return m_wnd.Event(s, FD_CLOSE) != nullptr && n <= 0;
        },
        kWaitMs));
    EXPECT_EQ(strReply, "HTTP/1.0 200 OK\r\n\r\nok");
    EXPECT_EQ(server.Received(), strRequest);  // byte for byte
    EXPECT_EQ(m_ws.closesocket(s), 0);
    EXPECT_EQ(m_ws.closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(m_ws.WSAGetLastError(), WSAENOTSOCK);
}

TEST_F(Win32WinsockTest, ARefusedConnectIsReportedAndABlockingOneReturnsPromptly)
{
    const std::uint16_t nClosed = CWin32LoopbackServer::ClosedPort();
    ASSERT_NE(nClosed, 0);
    const SOCKADDR_IN sin = Loopback(m_ws, nClosed);

    const SOCKET s = m_ws.socket(AF_INET_, SOCK_STREAM_, 0);
    ASSERT_EQ(m_ws.WSAAsyncSelect(s, m_wnd.GetSafeHwnd(), WM_TEST_SOCKET, FD_CONNECT | FD_READ | FD_CLOSE), 0);
    m_ws.connect(s, &sin, sizeof(sin));
    ASSERT_TRUE(AfxPumpUntil([&] { return m_wnd.Event(s, FD_CONNECT) != nullptr; }, kWaitMs));
    EXPECT_EQ(WSAGETSELECTERROR(m_wnd.Event(s, FD_CONNECT)->lParam), WSAECONNREFUSED);
    m_ws.closesocket(s);

    // Not selected: the caller waits, but for the answer, not the system's minutes.
    m_ws.SetConnectTimeout(5000);
    const SOCKET b = m_ws.socket(AF_INET_, SOCK_STREAM_, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_ws.connect(b, &sin, sizeof(sin)), SOCKET_ERROR);
    EXPECT_EQ(m_ws.WSAGetLastError(), WSAECONNREFUSED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    m_ws.closesocket(b);
}

TEST_F(Win32WinsockTest, ALookUpIsLaidOutInTheCallersBufferOnlyWhileItsWindowLives)
{
    std::vector<char> buf(MAXGETHOSTSTRUCT, '\x5A');
    const HANDLE h = m_ws.WSAAsyncGetHostByName(m_wnd.GetSafeHwnd(), WM_TEST_LOOKUP, "localhost", buf.data(),
                                                static_cast<int>(buf.size()));
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(AfxPumpUntil([&] { return !m_wnd.m_recorded.empty(); }, kWaitMs));
    const CRecorded& answer = m_wnd.m_recorded.front();
    EXPECT_EQ(answer.nMsg, WM_TEST_LOOKUP);
    EXPECT_EQ(static_cast<HANDLE>(answer.wParam), h);
    ASSERT_EQ(WSAGETASYNCERROR(answer.lParam), 0);
    EXPECT_GT(LOWORD(answer.lParam), sizeof(HOSTENT));
    HOSTENT entry;
    std::memcpy(&entry, buf.data(), sizeof(entry));
    ASSERT_NE(entry.h_addr_list, nullptr);
    char* pAddr = nullptr;
    std::memcpy(&pAddr, entry.h_addr_list, sizeof(pAddr));
    ASSERT_NE(pAddr, nullptr);
    IN_ADDR addr{};
    std::memcpy(&addr.S_addr, pAddr, sizeof(addr.S_addr));
    EXPECT_EQ(m_ws.inet_ntoa(addr), "127.0.0.1");

    // A window that goes takes its pending look-up with it: the buffer of
    // its object is never written.
    CRecorderWnd gone;
    ASSERT_TRUE(gone.CreateBare("gone", CRect{0, 0, 100, 100}));
    std::vector<char> untouched(MAXGETHOSTSTRUCT, '\x5A');
    ASSERT_NE(m_ws.WSAAsyncGetHostByName(gone.GetSafeHwnd(), WM_TEST_LOOKUP, "localhost", untouched.data(),
                                         static_cast<int>(untouched.size())),
              0u);
    gone.DestroyWindow();
    AfxPumpUntil([] { return false; }, 1500);
    EXPECT_EQ(untouched, std::vector<char>(MAXGETHOSTSTRUCT, '\x5A'));
}

TEST_F(Win32WinsockTest, AddressesAndNamesAsWindowsSockets11HasThem)
{
    EXPECT_EQ(m_ws.inet_addr("10.1.2.3"), 0x0302010Au);
    EXPECT_EQ(m_ws.inet_addr("not an address"), 0xFFFFFFFFu);
    EXPECT_EQ(m_ws.inet_ntoa(IN_ADDR{0x0302010Au}), "10.1.2.3");
    char szName[256] = {};
    EXPECT_EQ(m_ws.gethostname(szName, sizeof(szName)), 0);
    EXPECT_GT(std::strlen(szName), 0u);
    EXPECT_EQ(m_ws.socket(AF_INET_ + 1, SOCK_STREAM_, 0), INVALID_SOCKET);
    EXPECT_EQ(m_ws.WSAGetLastError(), WSAEAFNOSUPPORT);
}

}  // namespace
