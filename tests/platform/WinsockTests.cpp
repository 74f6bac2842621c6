// The POSIX sockets against servers the tests start on 127.0.0.1, with a
// window of the real framework receiving the messages.
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "platform/PosixWinsock.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include "tests/support/TestEnv.h"
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>
#include <thread>

namespace {

constexpr UINT WM_TEST_SOCKET = WM_APP + 1;
constexpr UINT WM_TEST_LOOKUP = WM_APP + 2;
constexpr int kWaitMs = 30000;

struct CRecorded {
    UINT nMsg;
    WPARAM wParam;
    LPARAM lParam;
    std::vector<char> watched;  // the watched buffer as it was when the message came
};

class CRecorderWnd : public CFrameWnd {
public:
    LRESULT WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) override
    {
        if (nMessage < WM_APP)
            return CFrameWnd::WindowProc(nMessage, wParam, lParam);
        m_recorded.push_back({nMessage, wParam, lParam, std::vector<char>(m_pWatch, m_pWatch + m_nWatch)});
        return 0;
    }
    int Count(SOCKET s, long lEvent) const
    {
        int n = 0;
        for (const CRecorded& r : m_recorded)
            n += r.nMsg == WM_TEST_SOCKET && static_cast<SOCKET>(r.wParam) == s && WSAGETSELECTEVENT(r.lParam) == lEvent;
        return n;
    }
    const CRecorded* Find(UINT nMsg, WPARAM wParam) const
    {
        for (const CRecorded& r : m_recorded)
            if (r.nMsg == nMsg && r.wParam == wParam)
                return &r;
        return nullptr;
    }
    std::vector<CRecorded> m_recorded;
    const char* m_pWatch = nullptr;
    std::size_t m_nWatch = 0;
};

// Accepts connections one after another and hands each to handler on its own
// thread; the connection is closed when the handler returns.
class CLoopbackServer {
public:
    explicit CLoopbackServer(std::function<void(int)> handler = {}) : m_handler(std::move(handler))
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sin{};
        sin.sin_family = AF_INET;
        sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t nLen = sizeof(sin);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin)) == 0 && ::listen(m_fd, 128) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sin), &nLen) == 0)
            m_nPort = ntohs(sin.sin_port);
        m_thread = std::thread([this] {
            for (;;) {
                int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0)
                    return;
                if (m_handler)
                    m_handler(fd);
                ::close(fd);
                ++m_nServed;
            }
        });
    }
    ~CLoopbackServer()
    {
        ::shutdown(m_fd, SHUT_RDWR);  // wakes accept
        m_thread.join();
        ::close(m_fd);
    }
    WORD Port() const { return m_nPort; }
    int Served() const { return m_nServed; }

private:
    std::function<void(int)> m_handler;
    int m_fd = -1;
    WORD m_nPort = 0;
    std::atomic<int> m_nServed{0};
    std::thread m_thread;
};

// Reads until n bytes came or the peer is gone; gives up after long.
std::string ReadBytes(int fd, std::size_t n)
{
    std::string str;
    char buf[256];
    while (str.size() < n) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, kWaitMs) <= 0)
            break;
        ssize_t nGot = ::recv(fd, buf, std::min(sizeof(buf), n - str.size()), 0);
        if (nGot <= 0)
            break;
        str.append(buf, static_cast<std::size_t>(nGot));
    }
    return str;
}

SOCKADDR_IN Loopback(WORD nPort)
{
    SOCKADDR_IN sa{};
    sa.sin_family = AF_INET_;
    sa.sin_port = (CWinsock::htons)(nPort);  // parenthesised: <arpa/inet.h> may make htons a macro
    sa.sin_addr.S_addr = htonl(INADDR_LOOPBACK);
    return sa;
}

class WinsockTest : public testing::Test {
protected:
    void SetUp() override
    {
        WSADATA data;
        ASSERT_EQ(0, m_ws.WSAStartup(0x0101, &data));
        ASSERT_TRUE(m_wnd.CreateBare("Winsock test", CRect{0, 0, 200, 100}));
    }
    void TearDown() override
    {
        m_ws.WSACleanup();
        m_wnd.DestroyWindow();
    }

    // A socket connected to nPort and selected for all three events.
    SOCKET Connect(WORD nPort, bool bSelect = true)
    {
        SOCKET s = m_ws.socket(AF_INET_, SOCK_STREAM_, IPPROTO_TCP_);
        EXPECT_NE(INVALID_SOCKET, s);
        SOCKADDR_IN sa = Loopback(nPort);
        EXPECT_EQ(0, m_ws.connect(s, &sa, sizeof(sa))) << m_ws.WSAGetLastError();
        if (bSelect) {
            EXPECT_EQ(0, m_ws.WSAAsyncSelect(s, m_wnd.GetSafeHwnd(), WM_TEST_SOCKET, FD_READ | FD_WRITE | FD_CLOSE));
        }
        return s;
    }
    static bool Pump(const std::function<bool()>& pred) { return AfxPumpUntil(pred, kWaitMs); }
    // Lets whatever is already queued arrive; a check after it can only catch
    // a fault, never flag a slow machine.
    static void Settle()
    {
        for (int i = 0; i < 20; ++i)
            AfxPumpMessages();
    }

    CPosixWinsock m_ws;
    CRecorderWnd m_wnd;
};

}  // namespace

TEST(WinsockStartup, CallsFailUntilStartupAndAfterLastCleanup)
{
    CPosixWinsock ws;
    char buf[MAXGETHOSTSTRUCT];
    EXPECT_EQ(INVALID_SOCKET, ws.socket(AF_INET_, SOCK_STREAM_, 0));
    EXPECT_EQ(WSANOTINITIALISED, ws.WSAGetLastError());
    EXPECT_EQ(0u, ws.WSAAsyncGetHostByName(nullptr, WM_TEST_LOOKUP, "localhost", buf, sizeof(buf)));
    EXPECT_EQ(WSANOTINITIALISED, ws.WSAGetLastError());
    EXPECT_EQ(SOCKET_ERROR, ws.WSACleanup());

    WSADATA data;
    ASSERT_EQ(0, ws.WSAStartup(0x0101, &data));
    EXPECT_EQ(0x0101, data.wVersion);
    EXPECT_EQ(0x0101, data.wHighVersion);
    ASSERT_EQ(0, ws.WSAStartup(0x0101, &data));
    SOCKET s = ws.socket(AF_INET_, SOCK_STREAM_, 0);
    EXPECT_NE(INVALID_SOCKET, s);
    EXPECT_EQ(0, ws.WSACleanup());
    EXPECT_EQ(0, ws.closesocket(s)) << "still started after the first of two clean-ups";
    EXPECT_EQ(0, ws.WSACleanup());
    EXPECT_EQ(INVALID_SOCKET, ws.socket(AF_INET_, SOCK_STREAM_, 0));
    EXPECT_EQ(WSANOTINITIALISED, ws.WSAGetLastError());
}

TEST(WinsockStartup, TheRealOneUnlessReplaced)
{
    CPosixWinsock other;
    EXPECT_NE(nullptr, dynamic_cast<CPosixWinsock*>(&Winsock()));
    SetWinsock(&other);
    EXPECT_EQ(&other, &Winsock());
    SetWinsock(nullptr);
    EXPECT_NE(&other, &Winsock());
}

TEST(WinsockText, DottedQuadsBothWays)
{
    CPosixWinsock ws;
    const BYTE expected[4] = {192, 168, 0, 7};
    std::uint32_t nAddr = ws.inet_addr("192.168.0.7");
    EXPECT_EQ(0, std::memcmp(&nAddr, expected, 4)) << "network byte order";
    EXPECT_EQ("192.168.0.7", ws.inet_ntoa(IN_ADDR{nAddr}));
    EXPECT_EQ("0.0.0.0", ws.inet_ntoa(IN_ADDR{ws.inet_addr("0.0.0.0")}));
    for (const char* psz : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4x", "a.b.c.d", "1..2.3", "1.2.3.1000"})
        EXPECT_EQ(0xFFFFFFFFu, ws.inet_addr(psz)) << psz;
}

TEST_F(WinsockTest, HostNameAndInterfaces)
{
    char szExpected[256] = {};
    ASSERT_EQ(0, ::gethostname(szExpected, sizeof(szExpected) - 1));
    char szName[100];
    std::memset(szName, 'x', sizeof(szName));
    EXPECT_EQ(0, m_ws.gethostname(szName, 99));
    EXPECT_STREQ(szExpected, szName);

    char szTiny[4] = {'x', 'x', 'x', 'x'};
    m_ws.gethostname(szTiny, 2);
    EXPECT_EQ('\0', szTiny[1]);
    EXPECT_EQ('x', szTiny[2]) << "nothing written past the length";

    bool bLoopback = false;
    for (IN_ADDR addr : m_ws.GetInterfaceAddresses())
        bLoopback |= addr.S_addr == htonl(INADDR_LOOPBACK);
    EXPECT_TRUE(bLoopback);
}

TEST_F(WinsockTest, LocalhostAnswerIsInTheBufferWhenTheMessageComes)
{
    std::vector<char> buf(MAXGETHOSTSTRUCT, '\xAB');
    m_wnd.m_pWatch = buf.data();
    m_wnd.m_nWatch = buf.size();
    HANDLE h = m_ws.WSAAsyncGetHostByName(m_wnd.GetSafeHwnd(), WM_TEST_LOOKUP, "localhost", buf.data(), static_cast<int>(buf.size()));
    ASSERT_NE(0u, h);
    ASSERT_TRUE(Pump([&] { return m_wnd.Find(WM_TEST_LOOKUP, h) != nullptr; }));
    const CRecorded& r = *m_wnd.Find(WM_TEST_LOOKUP, h);
    ASSERT_EQ(0, WSAGETASYNCERROR(r.lParam));
    EXPECT_EQ(r.watched, buf) << "written before the message was sent";

    const char* pBegin = buf.data();
    const char* pEnd = pBegin + LOWORD(r.lParam);
    ASSERT_LE(LOWORD(r.lParam), buf.size());
    auto Inside = [&](const void* p) { return p >= pBegin && p < pEnd; };
    HOSTENT entry;
    std::memcpy(&entry, pBegin, sizeof(entry));
    EXPECT_EQ(AF_INET_, entry.h_addrtype);
    EXPECT_EQ(4, entry.h_length);
    ASSERT_TRUE(Inside(entry.h_name));
    ASSERT_TRUE(Inside(entry.h_aliases));
    ASSERT_TRUE(Inside(entry.h_addr_list));
    EXPECT_NE('\0', entry.h_name[0]);
    EXPECT_EQ(nullptr, entry.h_aliases[0]);

    bool bLoopback = false;
    int nAddrs = 0;
    const char* pLast = nullptr;
    for (char** pp = entry.h_addr_list; *pp; ++pp, ++nAddrs) {
        ASSERT_TRUE(Inside(*pp));
        bLoopback |= std::memcmp(*pp, "\x7f\x00\x00\x01", 4) == 0;
        pLast = *pp;
    }
    EXPECT_TRUE(bLoopback);
    EXPECT_EQ(pLast + 4, entry.h_name) << "the program finds the last address right before the name";
}

TEST_F(WinsockTest, UnresolvableNameAndTooSmallBuffer)
{
    std::vector<char> buf(MAXGETHOSTSTRUCT, '\xAB');
    HANDLE hBad = m_ws.WSAAsyncGetHostByName(m_wnd.GetSafeHwnd(), WM_TEST_LOOKUP, "no-such-host.invalid", buf.data(),
                                             static_cast<int>(buf.size()));
    std::vector<char> tiny(64, '\xCD');
    HANDLE hTiny = m_ws.WSAAsyncGetHostByName(m_wnd.GetSafeHwnd(), WM_TEST_LOOKUP, "localhost", tiny.data(), 16);
    ASSERT_NE(0u, hBad);
    ASSERT_NE(0u, hTiny);
    EXPECT_NE(hBad, hTiny);
    ASSERT_TRUE(Pump([&] { return m_wnd.Find(WM_TEST_LOOKUP, hBad) && m_wnd.Find(WM_TEST_LOOKUP, hTiny); }));

    int nError = WSAGETASYNCERROR(m_wnd.Find(WM_TEST_LOOKUP, hBad)->lParam);
    EXPECT_TRUE(nError == WSAHOST_NOT_FOUND || nError == WSATRY_AGAIN || nError == WSANO_DATA) << nError;
    EXPECT_EQ(WSAENOBUFS, WSAGETASYNCERROR(m_wnd.Find(WM_TEST_LOOKUP, hTiny)->lParam));
    EXPECT_EQ(std::vector<char>(64, '\xCD'), tiny) << "nothing written when the entry does not fit";
}

TEST_F(WinsockTest, CleanupDropsPendingAnswers)
{
    std::vector<char> stale(MAXGETHOSTSTRUCT, '\xAB');
    HANDLE hStale = m_ws.WSAAsyncGetHostByName(m_wnd.GetSafeHwnd(), WM_TEST_LOOKUP, "localhost", stale.data(),
                                               static_cast<int>(stale.size()));
    ASSERT_NE(0u, hStale);
    ASSERT_EQ(0, m_ws.WSACleanup());
    WSADATA data;
    ASSERT_EQ(0, m_ws.WSAStartup(0x0101, &data));

    // A second look-up of the same name, issued later, as a marker.
    std::vector<char> fresh(MAXGETHOSTSTRUCT);
    HANDLE hFresh = m_ws.WSAAsyncGetHostByName(m_wnd.GetSafeHwnd(), WM_TEST_LOOKUP, "localhost", fresh.data(),
                                               static_cast<int>(fresh.size()));
    ASSERT_TRUE(Pump([&] { return m_wnd.Find(WM_TEST_LOOKUP, hFresh) != nullptr; }));
    Settle();
    EXPECT_EQ(nullptr, m_wnd.Find(WM_TEST_LOOKUP, hStale));
    EXPECT_EQ(std::vector<char>(MAXGETHOSTSTRUCT, '\xAB'), stale);
}

TEST_F(WinsockTest, EchoGivesOneReadThenOneCloseAfterTheDataIsRead)
{
    std::atomic<bool> bServerClosed{false};
    CLoopbackServer server([&](int fd) {
        std::string str = ReadBytes(fd, 5);
        ::send(fd, str.data(), str.size(), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR);
        bServerClosed = true;
        ReadBytes(fd, 1);  // until our side closes
    });
    SOCKET s = Connect(server.Port());
    ASSERT_TRUE(Pump([&] { return m_wnd.Count(s, FD_WRITE) == 1; }));
    ASSERT_EQ(5, m_ws.send(s, "hello", 5, 0));

    ASSERT_TRUE(Pump([&] { return m_wnd.Count(s, FD_READ) == 1 && bServerClosed; }));
    Settle();
    EXPECT_EQ(1, m_wnd.Count(s, FD_READ)) << "no second FD_READ before recv";
    EXPECT_EQ(0, m_wnd.Count(s, FD_CLOSE)) << "unread data holds FD_CLOSE back";

    char buf[64];
    ASSERT_EQ(5, m_ws.recv(s, buf, sizeof(buf), 0));
    EXPECT_EQ(0, std::memcmp(buf, "hello", 5));
    ASSERT_TRUE(Pump([&] { return m_wnd.Count(s, FD_CLOSE) == 1; }));
    Settle();
    EXPECT_EQ(1, m_wnd.Count(s, FD_WRITE));
    EXPECT_EQ(1, m_wnd.Count(s, FD_READ));
    EXPECT_EQ(1, m_wnd.Count(s, FD_CLOSE));
    for (const CRecorded& r : m_wnd.m_recorded)
        EXPECT_EQ(0, WSAGETSELECTERROR(r.lParam));
    EXPECT_EQ(0, m_ws.recv(s, buf, sizeof(buf), 0));
    EXPECT_EQ(0, m_ws.closesocket(s));
}

TEST_F(WinsockTest, ResetReportsConnReset)
{
    CLoopbackServer server([](int fd) {
        ReadBytes(fd, 1);
        linger lg{1, 0};  // close with a reset
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof(lg));
    });
    SOCKET s = Connect(server.Port());
    ASSERT_EQ(1, m_ws.send(s, "x", 1, 0));
    ASSERT_TRUE(Pump([&] { return m_wnd.Count(s, FD_CLOSE) == 1; }));
    for (const CRecorded& r : m_wnd.m_recorded)
        if (WSAGETSELECTEVENT(r.lParam) == FD_CLOSE) {
            EXPECT_EQ(WSAECONNRESET, WSAGETSELECTERROR(r.lParam));
        }
}

TEST_F(WinsockTest, ConnectRefusedAndOptionCalls)
{
    // Bound but not listening: the port stays ours and refuses.
    int fdBound = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLen = sizeof(sin);
    ASSERT_EQ(0, ::bind(fdBound, reinterpret_cast<sockaddr*>(&sin), sizeof(sin)));
    ASSERT_EQ(0, ::getsockname(fdBound, reinterpret_cast<sockaddr*>(&sin), &nLen));

    SOCKET s = m_ws.socket(AF_INET_, SOCK_STREAM_, 0);
    SOCKADDR_IN sa = Loopback(ntohs(sin.sin_port));
    EXPECT_EQ(SOCKET_ERROR, m_ws.connect(s, &sa, sizeof(sa)));
    EXPECT_EQ(WSAECONNREFUSED, m_ws.WSAGetLastError());
    ::close(fdBound);

    EXPECT_EQ(SOCKET_ERROR, m_ws.setsockopt(s, SOL_SOCKET_, SO_LINGER_, nullptr, 0));
    EXPECT_EQ(WSAEFAULT, m_ws.WSAGetLastError());
    const int nOn = 1;
    EXPECT_EQ(0, m_ws.setsockopt(s, SOL_SOCKET_, SO_KEEPALIVE_, reinterpret_cast<const char*>(&nOn), sizeof(nOn)));
    const WORD linger[2] = {1, 5};
    EXPECT_EQ(0, m_ws.setsockopt(s, SOL_SOCKET_, SO_LINGER_, reinterpret_cast<const char*>(linger), sizeof(linger)));
    EXPECT_EQ(0, m_ws.closesocket(s));
    EXPECT_EQ(SOCKET_ERROR, m_ws.closesocket(s));
    EXPECT_EQ(WSAENOTSOCK, m_ws.WSAGetLastError());
    char c;
    EXPECT_EQ(SOCKET_ERROR, m_ws.recv(s, &c, 1, 0));
    EXPECT_EQ(WSAENOTSOCK, m_ws.WSAGetLastError());
}

TEST_F(WinsockTest, ClosedSocketGetsNoEventsAndHandlesAreNeverReused)
{
    CLoopbackServer server([](int fd) { ::send(fd, "data", 4, MSG_NOSIGNAL); });
    SOCKET sOld = Connect(server.Port());
    // Give the poller the chance to queue the old socket's events first.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(0, m_ws.closesocket(sOld));

    SOCKET sNew = Connect(server.Port());
    EXPECT_GT(sNew, sOld);
    ASSERT_TRUE(Pump([&] { return m_wnd.Count(sNew, FD_READ) == 1; }));
    char buf[8];
    m_ws.recv(sNew, buf, sizeof(buf), 0);
    ASSERT_TRUE(Pump([&] { return m_wnd.Count(sNew, FD_CLOSE) == 1; }));
    Settle();
    for (const CRecorded& r : m_wnd.m_recorded)
        EXPECT_EQ(sNew, static_cast<SOCKET>(r.wParam));

    ASSERT_EQ(0, m_ws.WSACleanup());
    WSADATA data;
    ASSERT_EQ(0, m_ws.WSAStartup(0x0101, &data));
    SOCKET sAfter = m_ws.socket(AF_INET_, SOCK_STREAM_, 0);
    EXPECT_GT(sAfter, sNew) << "not reused after a clean-up either";
}

TEST_F(WinsockTest, WouldBlockUntilThePeerReadsThenWriteAgain)
{
    std::atomic<bool> bDrain{false};
    CLoopbackServer server([&](int fd) {
        while (!bDrain)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        while (ReadBytes(fd, 65536).size() > 0) {
        }
    });
    SOCKET s = Connect(server.Port());
    char c;
    EXPECT_EQ(SOCKET_ERROR, m_ws.recv(s, &c, 1, 0));
    EXPECT_EQ(WSAEWOULDBLOCK, m_ws.WSAGetLastError());
    ASSERT_TRUE(Pump([&] { return m_wnd.Count(s, FD_WRITE) == 1; }));

    std::vector<char> chunk(65536, 'z');
    int nResult = 0;
    for (int i = 0; i < 100000 && nResult != SOCKET_ERROR; ++i)
        nResult = m_ws.send(s, chunk.data(), static_cast<int>(chunk.size()), 0);
    ASSERT_EQ(SOCKET_ERROR, nResult);
    EXPECT_EQ(WSAEWOULDBLOCK, m_ws.WSAGetLastError());
    bDrain = true;
    EXPECT_TRUE(Pump([&] { return m_wnd.Count(s, FD_WRITE) == 2; })) << "FD_WRITE again once there is room";
    EXPECT_EQ(0, m_ws.closesocket(s));
}

TEST_F(WinsockTest, ThousandSocketsLeaveNoDescriptorBehind)
{
    CLoopbackServer server;
    ASSERT_EQ(0, m_ws.WSACleanup());
    const int nBefore = CountOpenDescriptors();
    WSADATA data;
    ASSERT_EQ(0, m_ws.WSAStartup(0x0101, &data));
    SOCKET sPrev = INVALID_SOCKET;
    for (int i = 0; i < 1000; ++i) {
        SOCKET s = Connect(server.Port(), i % 2 == 0);
        ASSERT_GT(s, sPrev);
        sPrev = s;
        ASSERT_EQ(0, m_ws.closesocket(s));
        if (i % 100 == 0)
            AfxPumpMessages();
    }
    SOCKET sLeft = Connect(server.Port());  // closed by the clean-up
    ASSERT_TRUE(Pump([&] { return server.Served() == 1001; }));
    ASSERT_EQ(0, m_ws.WSACleanup());
    (void)sLeft;
    // Another thread (a look-up of an earlier test) may hold a descriptor for
    // a moment; a leak stays.
    EXPECT_TRUE(Pump([&] { return CountOpenDescriptors() == nBefore; })) << CountOpenDescriptors() << " vs " << nBefore;
    ASSERT_EQ(0, m_ws.WSAStartup(0x0101, &data));
}

TEST_F(WinsockTest, ConnectGivesUpAfterTheTimeOut)
{
    // A listener whose accept queue is full drops further handshakes, so a
    // connect to it never completes. Where the system lets one through
    // anyway, there is nothing to test.
    int fdListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLen = sizeof(sin);
    ASSERT_EQ(0, ::bind(fdListen, reinterpret_cast<sockaddr*>(&sin), sizeof(sin)));
    ASSERT_EQ(0, ::listen(fdListen, 0));
    ASSERT_EQ(0, ::getsockname(fdListen, reinterpret_cast<sockaddr*>(&sin), &nLen));
    std::vector<int> fillers;
    bool bFull = false;
    for (int i = 0; i < 8 && !bFull; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        fillers.push_back(fd);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin)) == 0)
            continue;
        pollfd pfd{fd, POLLOUT, 0};
        bFull = ::poll(&pfd, 1, 500) == 0;
    }
    if (bFull) {
        m_ws.SetConnectTimeout(300);
        SOCKET s = m_ws.socket(AF_INET_, SOCK_STREAM_, 0);
        SOCKADDR_IN sa = Loopback(ntohs(sin.sin_port));
        EXPECT_EQ(SOCKET_ERROR, m_ws.connect(s, &sa, sizeof(sa)));
        EXPECT_EQ(WSAETIMEDOUT, m_ws.WSAGetLastError());

        // Selected, the connect returns at once and the time-out comes as
        // FD_CONNECT, with nothing after it.
        SOCKET sSelected = m_ws.socket(AF_INET_, SOCK_STREAM_, 0);
        ASSERT_EQ(0, m_ws.WSAAsyncSelect(sSelected, m_wnd.GetSafeHwnd(), WM_TEST_SOCKET,
                                         FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE));
        EXPECT_EQ(SOCKET_ERROR, m_ws.connect(sSelected, &sa, sizeof(sa)));
        EXPECT_EQ(WSAEWOULDBLOCK, m_ws.WSAGetLastError());
        ASSERT_TRUE(Pump([&] { return m_wnd.Count(sSelected, FD_CONNECT) == 1; }));
        Settle();
        ASSERT_EQ(m_wnd.m_recorded.size(), 1u);
        EXPECT_EQ(WSAETIMEDOUT, WSAGETSELECTERROR(m_wnd.m_recorded[0].lParam));
        EXPECT_EQ(0, m_ws.closesocket(sSelected));
    }
    for (int fd : fillers)
        ::close(fd);
    ::close(fdListen);
    if (!bFull)
        GTEST_SKIP() << "the listener's queue never filled";
}

// ---- windows that go before their answers or events

TEST_F(WinsockTest, LookupAnswerForAWindowThatWentWritesNothing)
{
    std::vector<char> orphaned(MAXGETHOSTSTRUCT, '\xAB');
    auto pDoomed = std::make_unique<CRecorderWnd>();
    ASSERT_TRUE(pDoomed->CreateBare("Doomed", CRect{0, 0, 100, 100}));
    HANDLE hOrphaned = m_ws.WSAAsyncGetHostByName(pDoomed->GetSafeHwnd(), WM_TEST_LOOKUP, "localhost",
                                                  orphaned.data(), static_cast<int>(orphaned.size()));
    ASSERT_NE(0u, hOrphaned);
    pDoomed.reset();  // the window and the object that owns the buffer go

    // A later look-up of the same name, answered after the first, as a marker.
    std::vector<char> marker(MAXGETHOSTSTRUCT);
    HANDLE hMarker = m_ws.WSAAsyncGetHostByName(m_wnd.GetSafeHwnd(), WM_TEST_LOOKUP, "localhost", marker.data(),
                                                static_cast<int>(marker.size()));
    ASSERT_TRUE(Pump([&] { return m_wnd.Find(WM_TEST_LOOKUP, hMarker) != nullptr; }));
    Settle();
    EXPECT_EQ(std::vector<char>(MAXGETHOSTSTRUCT, '\xAB'), orphaned) << "nothing written for a window that went";
    EXPECT_EQ(nullptr, m_wnd.Find(WM_TEST_LOOKUP, hOrphaned));
}

TEST_F(WinsockTest, SocketEventsOfAWindowThatWentAreDroppedAndTheSocketGoesOn)
{
    CLoopbackServer server([](int fd) {
        ::send(fd, "x", 1, MSG_NOSIGNAL);
        ReadBytes(fd, 1);  // until our side closes
    });
    std::vector<CRecorded> seenByDoomed;
    {
        CRecorderWnd doomed;
        ASSERT_TRUE(doomed.CreateBare("Doomed", CRect{0, 0, 100, 100}));
        SOCKET s = m_ws.socket(AF_INET_, SOCK_STREAM_, IPPROTO_TCP_);
        SOCKADDR_IN sa = Loopback(server.Port());
        ASSERT_EQ(0, m_ws.connect(s, &sa, sizeof(sa)));
        ASSERT_EQ(0, m_ws.WSAAsyncSelect(s, doomed.GetSafeHwnd(), WM_TEST_SOCKET, FD_READ | FD_WRITE | FD_CLOSE));
        // Readiness may be queued already; the window goes before it is delivered.
        AfxPumpMessages();
        doomed.m_recorded.clear();
        doomed.DestroyWindow();
        Settle();
        seenByDoomed = doomed.m_recorded;

        // The socket itself is intact: selected anew for a living window, its
        // data is reported there.
        ASSERT_EQ(0, m_ws.WSAAsyncSelect(s, m_wnd.GetSafeHwnd(), WM_TEST_SOCKET, FD_READ | FD_CLOSE));
        ASSERT_TRUE(Pump([&] { return m_wnd.Count(s, FD_READ) == 1; }));
        char ch = 0;
        EXPECT_EQ(1, m_ws.recv(s, &ch, 1, 0));
        EXPECT_EQ('x', ch);
        EXPECT_EQ(0, m_ws.closesocket(s));
    }
    EXPECT_TRUE(seenByDoomed.empty()) << seenByDoomed.size() << " events reached a destroyed window";
}

// ---- connects that do not hold the window up

namespace {

// A port that is bound but not listening: it refuses.
struct CRefusingPort {
    CRefusingPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sin{};
        sin.sin_family = AF_INET;
        sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t nLen = sizeof(sin);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin)) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sin), &nLen) == 0)
            m_nPort = ntohs(sin.sin_port);
    }
    ~CRefusingPort() { ::close(m_fd); }
    int m_fd;
    WORD m_nPort = 0;
};

}  // namespace

TEST_F(WinsockTest, SelectedConnectReportsItsOutcomeAsAnEvent)
{
    CLoopbackServer server([](int fd) { ReadBytes(fd, 1); });
    SOCKET s = m_ws.socket(AF_INET_, SOCK_STREAM_, IPPROTO_TCP_);
    ASSERT_EQ(0, m_ws.WSAAsyncSelect(s, m_wnd.GetSafeHwnd(), WM_TEST_SOCKET, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE));
    SOCKADDR_IN sa = Loopback(server.Port());
    const int nResult = m_ws.connect(s, &sa, sizeof(sa));
    if (nResult == SOCKET_ERROR) {
        ASSERT_EQ(WSAEWOULDBLOCK, m_ws.WSAGetLastError());
        ASSERT_TRUE(Pump([&] { return m_wnd.Count(s, FD_CONNECT) == 1; }));
        const CRecorded* pConnect = m_wnd.Find(WM_TEST_SOCKET, static_cast<WPARAM>(s));
        ASSERT_NE(pConnect, nullptr);
        EXPECT_EQ(FD_CONNECT, WSAGETSELECTEVENT(pConnect->lParam)) << "FD_CONNECT comes first";
        EXPECT_EQ(0, WSAGETSELECTERROR(pConnect->lParam));
    }
    // Connected either way: FD_WRITE follows once.
    ASSERT_TRUE(Pump([&] { return m_wnd.Count(s, FD_WRITE) == 1; }));
    EXPECT_EQ(1, m_ws.send(s, "x", 1, 0));
    EXPECT_EQ(0, m_ws.closesocket(s));
}

TEST_F(WinsockTest, SelectedConnectToARefusingPortReportsTheRefusalAndNothingElse)
{
    CRefusingPort port;
    ASSERT_NE(port.m_nPort, 0);
    SOCKET s = m_ws.socket(AF_INET_, SOCK_STREAM_, IPPROTO_TCP_);
    ASSERT_EQ(0, m_ws.WSAAsyncSelect(s, m_wnd.GetSafeHwnd(), WM_TEST_SOCKET, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE));
    SOCKADDR_IN sa = Loopback(port.m_nPort);
    if (m_ws.connect(s, &sa, sizeof(sa)) == SOCKET_ERROR && m_ws.WSAGetLastError() == WSAECONNREFUSED)
        GTEST_SKIP() << "the system refused at once";
    ASSERT_EQ(WSAEWOULDBLOCK, m_ws.WSAGetLastError());
    ASSERT_TRUE(Pump([&] { return m_wnd.Count(s, FD_CONNECT) == 1; }));
    Settle();
    ASSERT_EQ(m_wnd.m_recorded.size(), 1u) << "nothing follows a refused connect";
    EXPECT_EQ(WSAECONNREFUSED, WSAGETSELECTERROR(m_wnd.m_recorded[0].lParam));
    EXPECT_EQ(0, m_ws.closesocket(s));
}
