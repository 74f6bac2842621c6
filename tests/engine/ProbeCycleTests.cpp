// The probe cycle over the scripted network and its table of failures.
#include "tests/engine/EngineFixture.h"

using ProbeCycle = EngineTest;
using Peer = CProdletViewTestPeer;

namespace {
const char kHint[] =
    "\n\n(The \"Ignore Connection Failures\" option in the Options Dialog might help prevent this in the future.)";
const char kFooter[] = "\n\nProdlet launched at time 10:20:30\nThis message created at time 10:20:30";
}  // namespace

TEST(Request, IsByteForByteTheKeepAliveRequest)
{
    std::string strRequest = CProdletView::BuildRequest("10.1.2.3");
    EXPECT_EQ(strRequest,
              "GET / HTTP/1.0\r\nConnection: Keep-Alive\r\nUser-Agent: Mozilla/3.0 (Win95; I)\r\nHost: 10.1.2.3\r\n"
              "Accept: image/gif, image/jpeg, */*\r\n\r\n");
    EXPECT_EQ(strRequest.size(), 122u + 8u);
}

TEST_F(ProbeCycle, SuccessfulProbeSendsTheRequestAndCountsTheReply)
{
    Store("ComboName0", "www.host.test");
    CProdletView& v = MakeView();
    StartCounting("10.1.2.3", "192.0.2.10");
    EXPECT_EQ(v.GetLocalIP(), "10.1.2.3");
    Tick();

    ASSERT_EQ(m_net.m_connects.size(), 1u);
    EXPECT_EQ(m_net.m_connects[0], "192.0.2.10:80");
    ASSERT_EQ(m_net.m_sent.size(), 1u);
    EXPECT_EQ(m_net.m_sent[0].strData, CProdletView::BuildRequest("10.1.2.3"));
    EXPECT_EQ(m_net.m_selectedEvents[ProbeSocket()], FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE);
    EXPECT_EQ(Status(), "Prodlet was sent");
    EXPECT_EQ(LastIcon(), AfxLoadIcon(IDI_PROBING));
    EXPECT_FALSE(StartButton().IsWindowEnabled());

    SOCKET s = ProbeSocket();
    m_net.DeliverEvent(s, FD_WRITE);
    EXPECT_EQ(Counts().nSuccesses, 0);
    m_net.DeliverEvent(s, FD_READ);
    EXPECT_EQ(Counts().nSuccesses, 1);
    EXPECT_EQ(LastIcon(), AfxLoadIcon(IDI_IDLE));
    EXPECT_EQ(Status(), "Prodlet completed at 10:20:30");

    // More data of the same reply is only drained.
    m_net.DeliverEvent(s, FD_READ);
    EXPECT_EQ(Counts().nSuccesses, 1);
    EXPECT_EQ(m_net.m_nRecvs, 2);

    m_net.DeliverEvent(s, FD_CLOSE);
    EXPECT_EQ(m_net.m_open.count(s), 0u);
    // Forgotten: a late event of it reads nothing.
    const int nRecvs = m_net.m_nRecvs;
    v.SendMessage(WM_SOCKET_EVENT, static_cast<WPARAM>(s), MAKELPARAM(FD_READ, 0));
    EXPECT_EQ(m_net.m_nRecvs, nRecvs);

    // The Start button comes back at the next tick, and the host and interval are stored.
    Tick();
    EXPECT_TRUE(StartButton().IsWindowEnabled());
    EXPECT_EQ(Stored("Often"), "25");
    EXPECT_EQ(Stored("ComboName0"), "www.host.test");
    EXPECT_EQ(Stored("ComboNameSel"), "0");
    EXPECT_EQ(Failures(), 0);
}

TEST_F(ProbeCycle, EventsOfAnOlderSocketAreIgnored)
{
    Store("Often", "1");
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeView();
    StartCounting();
    Tick();
    SOCKET sOld = ProbeSocket();
    Tick(60);
    SOCKET sNew = ProbeSocket();
    ASSERT_NE(sOld, sNew);
    // The replaced socket was released, not leaked.
    EXPECT_EQ(m_net.m_open.count(sOld), 0u);
    EXPECT_EQ(m_net.m_open.size(), 1u);

    v.SendMessage(WM_SOCKET_EVENT, static_cast<WPARAM>(sOld), MAKELPARAM(FD_READ, 0));
    v.SendMessage(WM_SOCKET_EVENT, static_cast<WPARAM>(sOld), MAKELPARAM(FD_CLOSE, 0));
    EXPECT_EQ(Counts().nSuccesses, 0);
    // The new socket is the one the view waits on.
    m_net.DeliverEvent(sNew, FD_READ);
    EXPECT_EQ(Counts().nSuccesses, 1);
}

TEST_F(ProbeCycle, CloseBeforeReplyLeavesTheProbeUncountedAndReadAfterStopCountsNothing)
{
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeView();
    StartCounting();
    Tick();
    SOCKET s = ProbeSocket();
    m_net.DeliverEvent(s, FD_CLOSE);
    EXPECT_EQ(m_net.m_open.count(s), 0u);
    const int nRecvs = m_net.m_nRecvs;
    v.SendMessage(WM_SOCKET_EVENT, static_cast<WPARAM>(s), MAKELPARAM(FD_READ, 0));
    EXPECT_EQ(m_net.m_nRecvs, nRecvs);  // forgotten, not read
    EXPECT_EQ(Counts().nSuccesses, 0);
    EXPECT_EQ(Failures(), 0);
}

TEST_F(ProbeCycle, LookupFailureWithIgnoreOffStopsWithItsBox)
{
    Store("Ignore", "0");
    Store("ComboName0", "nowhere.test");
    CProdletView& v = MakeView();
    v.OnStart();
    m_net.AnswerLastLookup({"10.1.2.3"});
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);

    EXPECT_EQ(Counts().nDnsFailures, 1);
    EXPECT_EQ(Peer::LastProblemHost(v), "nowhere.test");
    EXPECT_TRUE(Peer::NewProblem(v));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].strText, std::string("Prodlet: Name nowhere.test Not Found.") + kHint + kFooter);
    EXPECT_EQ(Status(), "NOT RUNNING");
    EXPECT_EQ(LastTip(), "Prodlet has stopped");
    EXPECT_EQ(LastIcon(), AfxLoadIcon(IDI_STOPPED));
    EXPECT_FALSE(v.HasTimer(IDT_TICK));
}

TEST_F(ProbeCycle, LookupFailureWithIgnoreOnMovesToTheNextEntry)
{
    Store("ComboName0", "first.test");
    Store("ComboName1", "second.test");
    CProdletView& v = MakeView();
    v.OnStart();
    m_net.AnswerLastLookup({"10.1.2.3"});
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);

    EXPECT_EQ(Counts().nDnsFailures, 1);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(HostBox().GetCurSel(), 1);
    EXPECT_EQ(m_net.m_lookups.back().strName, "second.test");
    EXPECT_EQ(Status(), "Validating Domain Name");

    // Failing again wraps round to the first entry.
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);
    EXPECT_EQ(HostBox().GetCurSel(), 0);
    EXPECT_EQ(Counts().nDnsFailures, 2);
    EXPECT_EQ(Peer::LastProblemHost(v), "second.test");
}

TEST_F(ProbeCycle, TypedNameThatFailsLookupStartsFromARandomEntry)
{
    Store("ComboName0", "a.test");
    Store("ComboName1", "b.test");
    Store("ComboName2", "c.test");
    CProdletView& v = MakeView();
    HostBox().SetCurSel(-1);
    HostBox().SetWindowText("typed.test");
    v.OnStart();
    m_net.AnswerLastLookup({"10.1.2.3"});
    ASSERT_EQ(m_net.m_lookups.back().strName, "typed.test");
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);
    int nSel = HostBox().GetCurSel();
    EXPECT_GE(nSel, 0);
    EXPECT_EQ(Counts().nDnsFailures, 1);
    EXPECT_EQ(HostBox().GetCount(), 3);  // never joins the list
    EXPECT_NE(m_net.m_lookups.back().strName, "typed.test");
}

TEST_F(ProbeCycle, SocketThatCannotBeCreatedCountsTwice)
{
    Store("Ignore", "0");
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeView();
    StartCounting();
    m_net.m_bSocketFails = true;
    Tick();

    EXPECT_EQ(Counts().nSocketFailures, 2);
    EXPECT_EQ(Counts().nHttpFailures, 0);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].strText, std::string("Prodlet: Error opening stream socket") + kFooter);
    EXPECT_EQ(Status(), "NOT RUNNING");
    EXPECT_FALSE(v.HasTimer(IDT_TICK));
}

TEST_F(ProbeCycle, SocketThatCannotBeCreatedWithIgnoreOnLetsTheCountdownGoOn)
{
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeView();
    StartCounting();
    m_net.m_bSocketFails = true;
    Tick();
    EXPECT_EQ(Counts().nSocketFailures, 2);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(v.HasTimer(IDT_TICK));
    EXPECT_TRUE(NextLabel().IsWindowEnabled());
}

TEST_F(ProbeCycle, FailedConnectWithIgnoreOffShowsOneBoxThenStops)
{
    Store("Ignore", "0");
    Store("ComboName0", "192.0.2.7");
    MakeView();
    StartCounting();
    m_net.m_refusedAddresses.insert("192.0.2.7");
    Tick();

    EXPECT_EQ(Counts().nHttpFailures, 1);
    EXPECT_EQ(Counts().nSocketFailures, 1);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].strText, std::string("Prodlet: Cannot connect to 192.0.2.7 on port 80.") + kHint + kFooter);
    EXPECT_EQ(Status(), "NOT RUNNING");
    EXPECT_EQ(LastTip(), "Prodlet has stopped");
    EXPECT_TRUE(m_net.m_open.empty());  // the failed socket was closed
    EXPECT_EQ(HostBox().GetCurSel(), 0);
}

TEST_F(ProbeCycle, FailedConnectWithIgnoreOnMovesOnAndWrapsRound)
{
    Store("ComboName0", "192.0.2.1");
    Store("ComboName1", "192.0.2.2");
    Store("ComboName2", "192.0.2.3");
    Store("ComboNameSel", "1");
    CProdletView& v = MakeView();
    StartCounting();
    m_net.m_refusedAddresses = {"192.0.2.2", "192.0.2.3"};
    Tick();

    EXPECT_EQ(Counts().nHttpFailures, 1);
    EXPECT_EQ(Counts().nSocketFailures, 1);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(HostBox().GetCurSel(), 2);
    EXPECT_EQ(Peer::LastProblemHost(v), "192.0.2.2");
    EXPECT_TRUE(v.HasTimer(IDT_TICK));

    Tick();  // the next entry is probed one tick after its validation
    ASSERT_EQ(m_net.m_connects.back(), "192.0.2.3:80");
    EXPECT_EQ(HostBox().GetCurSel(), 0);
    Tick();
    EXPECT_EQ(m_net.m_connects.back(), "192.0.2.1:80");
    EXPECT_EQ(Counts().nHttpFailures, 2);
    EXPECT_TRUE(m_net.m_open.size() == 1u);
}

TEST_F(ProbeCycle, ConnectFailureOfAHostNotInTheListSelectsTheFirstEntry)
{
    Store("ComboName0", "192.0.2.1");
    Store("ComboName1", "192.0.2.2");
    Store("ComboNameSel", "1");
    MakeView();
    HostBox().SetCurSel(-1);
    HostBox().SetWindowText("192.0.2.99");
    StartCounting();
    m_net.m_refusedAddresses.insert("192.0.2.99");
    Tick();
    EXPECT_EQ(HostBox().GetCurSel(), 0);
    EXPECT_EQ(HostBox().GetCount(), 2);
}

TEST_F(ProbeCycle, EmptyHostCountsASocketFailureWithoutABox)
{
    Store("Ignore", "0");
    Store("Often", "1");
    Store("ComboName0", "192.0.2.7");
    Store("ComboNameSel", "-1");
    CProdletView& v = MakeView();
    EXPECT_EQ(v.GetCurrentHost(), "");
    // A typed address is probed first; its connect never ends, so no host
    // becomes current and the regular probe a minute later has none.
    HostBox().SetWindowText("192.0.2.8");
    StartCounting();
    m_net.m_bConnectsTakeTime = true;
    Tick();
    ASSERT_EQ(m_net.m_connects.size(), 1u);
    ASSERT_EQ(Failures(), 0);
    Tick(60);
    EXPECT_EQ(Counts().nSocketFailures, 1);
    EXPECT_EQ(Counts().nHttpFailures, 0);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(m_net.m_connects.size(), 1u);  // nothing to connect to
    EXPECT_EQ(LastTip(), "Prodlet has stopped");
}

TEST_F(ProbeCycle, LocalLookupFailureStopsAndIsRetriedAtTheNextStart)
{
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeView();
    v.OnStart();
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].strText, std::string("Unable to get local IP address.\nHave you dialed your ISP?") + kFooter);
    EXPECT_EQ(Failures(), 0);
    EXPECT_EQ(v.GetLocalIP(), "no address yet");
    EXPECT_EQ(Status(), "NOT RUNNING");
    EXPECT_EQ(LastIcon(), AfxLoadIcon(IDI_STOPPED));

    v.OnStart();
    ASSERT_EQ(m_net.m_lookups.size(), 2u);
    EXPECT_EQ(m_net.m_lookups[1].nMsg, WM_LOCAL_RESOLVED);
    m_net.AnswerLastLookup({"10.9.8.7"});
    EXPECT_EQ(v.GetLocalIP(), "10.9.8.7");

    // Known from now on: later starts go straight to the host.
    v.OnStart();
    EXPECT_EQ(m_net.m_lookups.size(), 2u);
}

TEST_F(ProbeCycle, LocalAddressPrefersARealAddressOverLoopback)
{
    CProdletView& v = MakeView();
    v.OnStart();
    m_net.AnswerLastLookup({"127.0.1.1", "10.0.0.5"});
    EXPECT_EQ(v.GetLocalIP(), "10.0.0.5");
}

TEST_F(ProbeCycle, LoopbackOnlyLookupFallsBackToTheInterfaces)
{
    m_net.m_interfaceAddresses = {"127.0.0.1", "192.168.7.20"};
    CProdletView& v = MakeView();
    v.OnStart();
    m_net.AnswerLastLookup({"127.0.1.1"});
    EXPECT_EQ(v.GetLocalIP(), "192.168.7.20");
}

TEST_F(ProbeCycle, LoopbackIsTakenWhenThereIsNothingElse)
{
    m_net.m_interfaceAddresses = {"127.0.0.1"};
    CProdletView& v = MakeView();
    v.OnStart();
    m_net.AnswerLastLookup({"127.0.1.1"});
    EXPECT_EQ(v.GetLocalIP(), "127.0.1.1");
    // Taken as known: the next start asks only for the host.
    const size_t nLookups = m_net.m_lookups.size();
    v.OnStart();
    ASSERT_EQ(m_net.m_lookups.size(), nLookups + 1);
    EXPECT_EQ(m_net.m_lookups.back().nMsg, static_cast<UINT>(WM_HOST_RESOLVED));
}

TEST_F(ProbeCycle, LookupThatCannotBeIssuedWaitsWithStartDisabled)
{
    m_net.m_bLookupsIssued = false;
    CProdletView& v = MakeView();
    v.OnStart();
    EXPECT_EQ(Status(), "Determining Local IP Address");
    EXPECT_FALSE(StartButton().IsWindowEnabled());
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(ProbeCycle, HostNamesAreNeverUsedAsFormats)
{
    Store("Ignore", "0");
    Store("ComboName0", "%s%n%x.test");
    CProdletView& v = MakeView();
    v.OnStart();
    m_net.AnswerLastLookup({"10.1.2.3"});
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].strText.rfind("Prodlet: Name %s%n%x.test Not Found.", 0), 0u);
}

TEST_F(ProbeCycle, ProbeToANameUsesTheAddressOfItsLookup)
{
    Store("Often", "1");
    Store("ComboName0", "one.test");
    CProdletView& v = MakeView();
    StartCounting("10.1.2.3", "192.0.2.44");
    Tick();
    ASSERT_EQ(m_net.m_connects.size(), 1u);
    EXPECT_EQ(m_net.m_connects[0], "192.0.2.44:80");
    EXPECT_EQ(v.GetCurrentHost(), "one.test");
    Tick(60);  // the next regular probe goes to the host that last connected
    ASSERT_EQ(m_net.m_connects.size(), 2u);
    EXPECT_EQ(m_net.m_connects[1], "192.0.2.44:80");
}

// ---- a connect that takes its time never holds the window up

TEST_F(ProbeCycle, ConnectUnderWayFinishesTheJobWhenItsEventComes)
{
    Store("ComboName0", "192.0.2.10");
    CProdletView& v = MakeView();
    StartCounting();
    m_net.m_bConnectsTakeTime = true;
    const int nWaitBefore = CCmdTarget::WaitCursorDepthForTesting();
    Tick();

    // Under way: nothing sent or stored yet, the wait cursor shows, and the
    // countdown goes on meanwhile.
    ASSERT_EQ(m_net.m_connects.size(), 1u);
    EXPECT_TRUE(m_net.m_sent.empty());
    EXPECT_EQ(CCmdTarget::WaitCursorDepthForTesting(), nWaitBefore + 1);
    EXPECT_EQ(Stored("Often", ""), "");
    EXPECT_TRUE(v.HasTimer(IDT_TICK));
    Tick();

    m_net.DeliverEvent(ProbeSocket(), FD_CONNECT);
    EXPECT_EQ(CCmdTarget::WaitCursorDepthForTesting(), nWaitBefore);
    ASSERT_EQ(m_net.m_sent.size(), 1u);
    EXPECT_EQ(Status(), "Prodlet was sent");
    EXPECT_EQ(LastIcon(), AfxLoadIcon(IDI_PROBING));
    EXPECT_EQ(Stored("Often", ""), "25");
    m_net.DeliverEvent(ProbeSocket(), FD_READ);
    EXPECT_EQ(Counts().nSuccesses, 1);
}

TEST_F(ProbeCycle, ConnectRefusedLaterIsCountedAndAnsweredAsARefusedConnect)
{
    Store("Ignore", "0");
    Store("ComboName0", "192.0.2.10");
    CProdletView& v = MakeView();
    StartCounting();
    m_net.m_bConnectsTakeTime = true;
    const int nWaitBefore = CCmdTarget::WaitCursorDepthForTesting();
    Tick();
    SOCKET s = ProbeSocket();
    m_net.DeliverEvent(s, FD_CONNECT, WSAECONNREFUSED);

    EXPECT_EQ(Counts().nHttpFailures, 1);
    EXPECT_EQ(Counts().nSocketFailures, 1);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].strText, std::string("Prodlet: Cannot connect to 192.0.2.10 on port 80.") + kHint + kFooter);
    EXPECT_EQ(m_net.m_open.count(s), 0u);
    const int nRecvs = m_net.m_nRecvs;
    v.SendMessage(WM_SOCKET_EVENT, static_cast<WPARAM>(s), MAKELPARAM(FD_READ, 0));
    EXPECT_EQ(m_net.m_nRecvs, nRecvs);  // forgotten
    EXPECT_EQ(LastTip(), "Prodlet has stopped");
    EXPECT_EQ(CCmdTarget::WaitCursorDepthForTesting(), nWaitBefore);
    EXPECT_TRUE(m_net.m_sent.empty());
}

TEST_F(ProbeCycle, OutcomeOfAConnectThatWasGivenUpIsIgnored)
{
    Store("ComboName0", "192.0.2.10");
    CProdletView& v = MakeView();
    StartCounting();
    m_net.m_bConnectsTakeTime = true;
    const int nWaitBefore = CCmdTarget::WaitCursorDepthForTesting();
    Tick();
    SOCKET s = ProbeSocket();
    // Stopped while the connect runs (Start pressed again, the window closing).
    PressStart();
    EXPECT_EQ(CCmdTarget::WaitCursorDepthForTesting(), nWaitBefore);
    EXPECT_EQ(m_net.m_open.count(s), 0u);
    v.SendMessage(WM_SOCKET_EVENT, static_cast<WPARAM>(s), MAKELPARAM(FD_CONNECT, 0));
    EXPECT_TRUE(m_net.m_sent.empty());
    EXPECT_EQ(Stored("Often", ""), "");
    EXPECT_EQ(CCmdTarget::WaitCursorDepthForTesting(), nWaitBefore);
}

// ---- with Ignore on, a network that is down is tried round the list once,
// then after the interval

TEST_F(ProbeCycle, NamesThatNeverResolveAreTriedOnceRoundThenAfterTheInterval)
{
    Store("Debug", "1");  // 15 seconds
    Store("ComboName0", "a.test");
    Store("ComboName1", "b.test");
    Store("ComboName2", "c.test");
    CProdletView& v = MakeView();
    v.OnStart();
    m_net.AnswerLastLookup({"10.1.2.3"});  // the machine's own address
    for (int i = 0; i < 3; ++i)
        m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);
    EXPECT_EQ(Counts().nDnsFailures, 3);
    ASSERT_EQ(m_net.m_lookups.size(), 4u) << "no fourth look-up at once";
    EXPECT_EQ(HostBox().GetCurSel(), 0);
    EXPECT_TRUE(StartButton().IsWindowEnabled());

    // The countdown runs as after a success; the next round starts at its end.
    Tick(14);
    EXPECT_EQ(m_net.m_lookups.size(), 4u);
    EXPECT_EQ(CountdownText(), " 0:01");
    Tick();
    ASSERT_EQ(m_net.m_lookups.size(), 5u);
    EXPECT_EQ(m_net.m_lookups.back().strName, "a.test");

    // A round again: three look-ups at once, then the wait.
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);
    EXPECT_EQ(m_net.m_lookups.size(), 7u);
    EXPECT_EQ(Counts().nDnsFailures, 6);
}

TEST_F(ProbeCycle, RefusingHostsAreTriedOnceRoundAndASuccessEndsTheRound)
{
    Store("Debug", "1");
    Store("ComboName0", "192.0.2.1");
    Store("ComboName1", "192.0.2.2");
    MakeView();
    StartCounting();
    m_net.m_refusedAddresses = {"192.0.2.1", "192.0.2.2"};
    Tick();  // 192.0.2.1 refuses: on to .2 at once
    Tick();  // .2 refuses: every entry has failed
    ASSERT_EQ(m_net.m_connects.size(), 2u);
    Tick(5);
    EXPECT_EQ(m_net.m_connects.size(), 2u) << "no connect every second while the network is down";
    EXPECT_EQ(Counts().nHttpFailures, 2);

    // After the interval .1 answers; a failure after it starts a new round.
    m_net.m_refusedAddresses = {"192.0.2.2"};
    Tick(10);  // the round's countdown ends: validation of .1
    Tick();    // and its probe
    ASSERT_EQ(m_net.m_connects.size(), 3u);
    EXPECT_EQ(m_net.m_connects.back(), "192.0.2.1:80");
    m_net.DeliverEvent(ProbeSocket(), FD_READ);
    EXPECT_EQ(Counts().nSuccesses, 1);
}

TEST_F(ProbeCycle, OnlyAWholeDottedQuadIsTakenAsAnAddress)
{
    Store("Often", "1");
    for (const char* pszName : {"9gag.example", "1nvalid.example", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4x",
                                "1234.1.1.1", "1..2.3"}) {
        Store("ComboName0", pszName);
        MakeView();
        StartCounting("10.1.2.3", "192.0.2.44");
        ASSERT_FALSE(m_net.m_lookups.empty());
        EXPECT_EQ(m_net.m_lookups.back().strName, pszName);
        EXPECT_EQ(m_net.m_lookups.back().nMsg, static_cast<UINT>(WM_HOST_RESOLVED)) << pszName;
        m_net.m_connects.clear();
        Tick();
        ASSERT_EQ(m_net.m_connects.size(), 1u) << pszName;
        EXPECT_EQ(m_net.m_connects[0], "192.0.2.44:80") << pszName;
    }
    for (const char* pszAddress : {"192.0.2.7", "203.0.113.255", "0.0.0.0"}) {
        Store("ComboName0", pszAddress);
        MakeView();
        const size_t nLookups = m_net.m_lookups.size();
        StartCounting("10.1.2.3", "192.0.2.44");
        EXPECT_EQ(m_net.m_lookups.size(), nLookups + 1) << pszAddress;  // only the machine's own name
        m_net.m_connects.clear();
        Tick();
        ASSERT_EQ(m_net.m_connects.size(), 1u) << pszAddress;
        EXPECT_EQ(m_net.m_connects[0], std::string(pszAddress) + ":80");
    }
}
