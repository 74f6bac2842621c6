// The engine over the real sockets against an HTTP server on 127.0.0.1:80.
// Runs inside a private network namespace (tests/netns/in-netns.sh), where
// the machine is called "localhost" and loopback is the only interface.
#include "tests/engine/EngineFixture.h"

#include "framework/WinApp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

// Answers each connection with a small reply once the request's blank line
// has arrived, then closes it. Serves at most nMaxConnections, then stops.
class CLoopbackHttpServer {
public:
    explicit CLoopbackHttpServer(int nMaxConnections) : m_nMax(nMaxConnections)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int nOn = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof(nOn));
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(80);
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_bListening = ::bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0 && ::listen(m_fd, 16) == 0;
        if (m_bListening)
            m_thread = std::thread([this] { Serve(); });
    }
    ~CLoopbackHttpServer()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_fd);
    }
    bool Listening() const { return m_bListening; }
    std::vector<std::string> Requests()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    void Serve()
    {
        for (int n = 0; n < m_nMax && !m_bStop;) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, 100) <= 0)
                continue;
            int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                continue;
            ++n;
            std::string strRequest;
            char buf[512];
            while (strRequest.find("\r\n\r\n") == std::string::npos && strRequest.size() < 4096) {
                pollfd cfd{c, POLLIN, 0};
                if (::poll(&cfd, 1, 10000) <= 0)
                    break;
                ssize_t r = ::recv(c, buf, sizeof(buf), 0);
                if (r <= 0)
                    break;
                strRequest.append(buf, static_cast<size_t>(r));
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(strRequest);
            }
            static const char kReply[] = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
            ::send(c, kReply, sizeof(kReply) - 1, MSG_NOSIGNAL);
            ::close(c);
        }
    }

    int m_fd = -1;
    int m_nMax;
    bool m_bListening = false;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
};

using Peer = CProdletViewTestPeer;

class LoopbackProbe : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        SetWinsock(nullptr);  // the real sockets, not the scripted ones
        Store("AutoStart", "0");
        Store("ComboName0", "127.0.0.1");
    }
};

}  // namespace

TEST_F(LoopbackProbe, ServerReceivesExactlyTheRequestAndOneSuccessIsCounted)
{
    CLoopbackHttpServer server(10);
    ASSERT_TRUE(server.Listening()) << "port 80 of 127.0.0.1 must be free (run inside in-netns.sh)";
    CProdletView& v = MakeView();

    v.OnStart();
    ASSERT_TRUE(AfxPumpUntil([&] { return Counts().nSuccesses == 1; }, 60000)) << "status: " << Status();
    EXPECT_EQ(v.GetLocalIP(), "127.0.0.1");  // loopback is all this machine has here
    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], CProdletView::BuildRequest("127.0.0.1"));
    EXPECT_EQ(requests[0].size(), 122u + 9u);
    EXPECT_EQ(Failures(), 0);
    EXPECT_EQ(Stored("ComboName0"), "127.0.0.1");
    EXPECT_EQ(Stored("ComboNameSel"), "0");
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(LoopbackProbe, NoDescriptorIsLeakedOverAThousandProbes)
{
    const int kProbes = 1000;
    CLoopbackHttpServer server(kProbes + 1);
    ASSERT_TRUE(server.Listening());
    CProdletView& v = MakeView();
    ASSERT_EQ(v.GetCurrentHost(), "127.0.0.1");

    // One probe first, as Start makes it, so that whatever the sockets and the
    // look-up set up once is counted in.
    v.OnStart();
    ASSERT_TRUE(AfxPumpUntil([&] { return Counts().nSuccesses == 1 && !Peer::HasProbeSocket(v); }, 60000))
        << "status: " << Status();
    int nBefore = CountOpenDescriptors();

    // The rest one after the other, without waiting out the interval.
    for (int i = 2; i <= kProbes; ++i) {
        Peer::ProbeNow(v);
        ASSERT_TRUE(AfxPumpUntil([&] { return Counts().nSuccesses == i; }, 30000)) << "probe " << i;
    }
    ASSERT_TRUE(AfxPumpUntil([&] { return !Peer::HasProbeSocket(v); }, 30000));
    EXPECT_EQ(Counts().nHttpFailures + Counts().nSocketFailures, 0);
    EXPECT_EQ(CountOpenDescriptors(), nBefore);
}

TEST_F(LoopbackProbe, RefusedConnectIsCountedAndTheSocketReleased)
{
    // No server: port 80 refuses.
    Store("Ignore", "0");
    CProdletView& v = MakeView();
    v.OnStart();
    // The machine's own address first; the probe follows at the first tick.
    ASSERT_TRUE(AfxPumpUntil([&] { return v.IsCounting(); }, 30000)) << "status: " << Status();
    ASSERT_EQ(Counts().nSocketFailures, 0);
    int nBefore = CountOpenDescriptors();
    // The outcome of the connect comes as an event.
    ASSERT_TRUE(AfxPumpUntil([&] { return Counts().nSocketFailures > 0; }, 30000));
    EXPECT_EQ(Counts().nHttpFailures, 1);
    EXPECT_EQ(Counts().nSocketFailures, 1);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].strText.rfind("Prodlet: Cannot connect to 127.0.0.1 on port 80.", 0), 0u);
    EXPECT_EQ(CountOpenDescriptors(), nBefore);
}
