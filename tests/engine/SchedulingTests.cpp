// Start, apply, stop, the countdown and its random variants.
#include "tests/engine/EngineFixture.h"

#include <clocale>
#include <cstdlib>
#include <set>

using Scheduling = EngineTest;
using Peer = CProdletViewTestPeer;

TEST_F(Scheduling, InitialUpdateReadsSettingsAndArmsAutoStart)
{
    Store("Often", "7");
    CProdletView& v = MakeView();

    EXPECT_EQ(OftenEdit().GetWindowText(), "7");
    EXPECT_EQ(Peer::AcceptedOften(v), "7");
    EXPECT_EQ(Peer::IntervalSecs(v), 420);
    EXPECT_EQ(Status(), "PLEASE START ME");
    EXPECT_TRUE(StartButton().IsWindowEnabled());
    EXPECT_FALSE(NextLabel().IsWindowEnabled());
    EXPECT_TRUE(v.HasTimer(IDT_AUTOSTART));
    EXPECT_FALSE(v.HasTimer(IDT_TICK));
    ASSERT_FALSE(m_tray.empty());
    EXPECT_EQ(m_tray.front().dwMessage, NIM_ADD);
    EXPECT_EQ(m_tray.front().uID, 129u);
    EXPECT_EQ(m_tray.front().strTip, "Prodlet");
    EXPECT_EQ(m_tray.front().hIcon, AfxLoadIcon(IDI_IDLE));
    // Nothing is asked of the network before a start.
    EXPECT_TRUE(m_net.m_lookups.empty());
    EXPECT_EQ(m_clock.m_dwSlept, 1000u);
}

TEST_F(Scheduling, SecondInitialUpdateRepeatsEveryStepWithOneWorkingIcon)
{
    CProdletView& v = MakeView();
    v.SendMessage(WM_TIMER, IDT_AUTOSTART, 0);
    m_tray.clear();
    v.OnInitialUpdate();

    // The shell is asked to drop the old icon before the new one is added.
    ASSERT_GE(m_tray.size(), 2u);
    EXPECT_EQ(m_tray[0].dwMessage, NIM_DELETE);
    EXPECT_EQ(m_tray[1].dwMessage, NIM_ADD);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(v.HasTimer(IDT_AUTOSTART));
    EXPECT_EQ(Status(), "PLEASE START ME");
    // The new icon is the one that works: a stop reaches the shell.
    PressStart();
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);
    EXPECT_EQ(LastTip(), "Prodlet has stopped");
    EXPECT_EQ(LastIcon(), AfxLoadIcon(IDI_STOPPED));
    EXPECT_EQ(m_tray.back().dwMessage, NIM_MODIFY);
}

TEST_F(Scheduling, StoredIntervalAboveSixtyIsCappedProvisionally)
{
    Store("Often", "90");
    EXPECT_EQ(Peer::IntervalSecs(MakeView()), 3600);
}

TEST_F(Scheduling, AutoStartPressesStartOneSecondAfterInitialUpdate)
{
    CProdletView& v = MakeView();
    v.SendMessage(WM_TIMER, IDT_AUTOSTART, 0);

    EXPECT_FALSE(v.HasTimer(IDT_AUTOSTART));
    EXPECT_EQ(Status(), "Determining Local IP Address");
    EXPECT_FALSE(StartButton().IsWindowEnabled());
    ASSERT_EQ(m_net.m_lookups.size(), 1u);
    EXPECT_EQ(m_net.m_lookups[0].strName, "testhost");
    EXPECT_EQ(m_net.m_lookups[0].nMsg, WM_LOCAL_RESOLVED);
}

TEST_F(Scheduling, WithoutAutoStartTheIconShowsStoppedAndNothingStarts)
{
    Store("AutoStart", "0");
    CProdletView& v = MakeView();

    EXPECT_FALSE(v.HasTimer(IDT_AUTOSTART));
    EXPECT_EQ(LastIcon(), AfxLoadIcon(IDI_STOPPED));
    EXPECT_EQ(Status(), "PLEASE START ME");
    EXPECT_TRUE(m_net.m_lookups.empty());
}

TEST_F(Scheduling, FailedTrayIconIsReportedWithoutFooter)
{
    m_bTrayAvailable = FALSE;
    MakeView();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].strText, "Failed to create tray icon");
    EXPECT_EQ(m_boxes[0].strCaption, "Prodlet");
    EXPECT_TRUE(m_boxes[0].nType & MB_ICONSTOP);
    // Later changes of icon and tooltip do not reach the shell.
    size_t nCalls = m_tray.size();
    PressStart();
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);  // stops, asking for the stopped icon and tip
    EXPECT_EQ(Status(), "NOT RUNNING");
    EXPECT_EQ(m_tray.size(), nCalls);
}

TEST_F(Scheduling, ApplyIntervalAcceptsOneToSixtyTruncatingFractions)
{
    Store("ComboName0", "192.0.2.7");  // an address: applied as Start is pressed
    CProdletView& v = MakeView();
    struct Case {
        const char* pszText;
        int nSecs;
    } cases[] = {{"1", 60}, {"1.5", 90}, {"60", 3600}, {"60.9", 3654}, {"  25 minutes", 1500}, {"+2", 120}};
    for (const Case& c : cases) {
        TypeIntervalAndStart(c.pszText);
        EXPECT_EQ(Peer::IntervalSecs(v), c.nSecs) << c.pszText;
        EXPECT_EQ(Peer::TargetSecs(v), c.nSecs) << c.pszText;
        EXPECT_EQ(Peer::Elapsed(v), c.nSecs - 1) << c.pszText;
        EXPECT_EQ(Peer::AcceptedOften(v), c.pszText);
        EXPECT_TRUE(v.HasTimer(IDT_TICK));
        EXPECT_TRUE(NextLabel().IsWindowEnabled());
        EXPECT_TRUE(Peer::UsesNewHost(v));
        EXPECT_TRUE(Peer::FreshStart(v));
    }
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(Scheduling, EveryIntervalIsItsExactNumberOfSecondsTruncated)
{
    Store("ComboName0", "192.0.2.7");  // an address: applied as Start is pressed
    CProdletView& v = MakeView();
    // Every entry with two decimals: minutes x 60, truncated, to the second.
    for (int nMinutes = 1; nMinutes <= 60; ++nMinutes)
        for (int nHundredths = 0; nHundredths < 100; ++nHundredths) {
            const std::string strText = AfxFormat("%d.%02d", nMinutes, nHundredths);
            TypeIntervalAndStart(strText);
            EXPECT_EQ(Peer::IntervalSecs(v), nMinutes * 60 + nHundredths * 60 / 100) << strText;
        }
    const struct {
        const char* pszText;
        int nSecs;
    } cases[] = {{"2.35", 141},     {"2.05", 123}, {"32.05", 1923}, {"0.5e1", 300},
                 {"1.5E+1", 900},   {"6e1", 3600}, {"600e-1", 3600}, {"1.01666666666666667", 61},
                 {"1.0166666666666666", 60},       {"60.99999999999999999999", 3659}, {"\t+2.35abc", 141},
                 {"1.", 60},        {"001.50", 90}};
    for (const auto& c : cases) {
        TypeIntervalAndStart(c.pszText);
        EXPECT_EQ(Peer::IntervalSecs(v), c.nSecs) << c.pszText;
    }
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(Scheduling, ApplyIntervalRejectsOutOfRangeAndRestoresLastText)
{
    Store("ComboName0", "192.0.2.7");  // an address: applied as Start is pressed
    CProdletView& v = MakeView();
    TypeIntervalAndStart("5");
    ASSERT_EQ(Peer::IntervalSecs(v), 300);

    for (const char* pszBad :
         {"0", "61", "-5", "abc", "", "0.99", "1e300", ". 5", "0.99999999999999999999", "61e0", "-0.5", "1e-300"}) {
        m_boxes.clear();
        TypeIntervalAndStart(pszBad);
        ASSERT_EQ(m_boxes.size(), 1u) << pszBad;
        EXPECT_EQ(m_boxes[0].strText, "Prodlet: Time period must be between 1 and 60") << pszBad;
        EXPECT_EQ(OftenEdit().GetWindowText(), "5") << pszBad;
        EXPECT_EQ(Peer::AcceptedOften(v), "5");
        EXPECT_EQ(Peer::IntervalSecs(v), 300);
        EXPECT_FALSE(v.HasTimer(IDT_TICK)) << pszBad;
        EXPECT_EQ(Status(), "NOT RUNNING");
        EXPECT_EQ(LastTip(), "Prodlet has stopped");
        EXPECT_EQ(LastIcon(), AfxLoadIcon(IDI_STOPPED));
    }
}

TEST_F(Scheduling, DebugAcceptsAnythingAsFifteenSeconds)
{
    Store("Debug", "1");
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeView();
    for (const char* pszText : {"abc", "0", "61", "25"}) {
        TypeIntervalAndStart(pszText);
        EXPECT_EQ(Peer::IntervalSecs(v), 15) << pszText;
        EXPECT_EQ(Peer::AcceptedOften(v), pszText);
    }
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(Scheduling, IntervalIgnoresTheProcessLocale)
{
    Store("ComboName0", "192.0.2.7");  // an address: applied as Start is pressed
    const char* pszOld = std::setlocale(LC_ALL, nullptr);
    std::string strOld = pszOld ? pszOld : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    CProdletView& v = MakeView();
    TypeIntervalAndStart("1.5");
    std::setlocale(LC_ALL, strOld.c_str());
    EXPECT_EQ(Peer::IntervalSecs(v), 90);
}

TEST(Countdown, TextPadsMinutesAndZeroFillsSeconds)
{
    EXPECT_EQ(CProdletView::FormatCountdown(1499), "24:59");
    EXPECT_EQ(CProdletView::FormatCountdown(3600), "60:00");
    EXPECT_EQ(CProdletView::FormatCountdown(65), " 1:05");
    EXPECT_EQ(CProdletView::FormatCountdown(5), " 0:05");
    EXPECT_EQ(CProdletView::FormatCountdown(600), "10:00");
    EXPECT_EQ(CProdletView::FormatCountdown(3684), "61:24");
}

TEST_F(Scheduling, FirstProbeRunsAtFirstTickAndShowsTheFullNextPeriod)
{
    Store("Often", "1");
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeView();
    StartCounting();
    ASSERT_TRUE(v.HasTimer(IDT_TICK));
    EXPECT_TRUE(m_net.m_connects.empty());

    Tick();
    ASSERT_EQ(m_net.m_connects.size(), 1u);
    EXPECT_EQ(m_net.m_connects[0], "192.0.2.7:80");
    EXPECT_EQ(CountdownText(), " 1:00");
    EXPECT_EQ(LastTip(), "Prodlet in  1:00");

    Tick();
    EXPECT_EQ(CountdownText(), " 0:59");
    Tick(58);
    EXPECT_EQ(m_net.m_connects.size(), 1u);
    Tick();
    EXPECT_EQ(m_net.m_connects.size(), 2u);
}

TEST_F(Scheduling, StartWhileCountingRestartsTheCycle)
{
    Store("ComboName0", "host.test");
    CProdletView& v = MakeView();
    StartCounting();
    Tick(3);
    size_t nLookups = m_net.m_lookups.size();

    v.SendMessage(WM_COMMAND, IDC_START, 0);
    EXPECT_FALSE(v.HasTimer(IDT_TICK));
    EXPECT_FALSE(NextLabel().IsWindowEnabled());
    EXPECT_EQ(Status(), "Validating Domain Name");
    ASSERT_EQ(m_net.m_lookups.size(), nLookups + 1);  // the local address is not asked again
    EXPECT_EQ(m_net.m_lookups.back().strName, "host.test");

    m_net.AnswerLastLookup({"192.0.2.10"});
    EXPECT_TRUE(v.HasTimer(IDT_TICK));
    EXPECT_EQ(Peer::Elapsed(v), Peer::IntervalSecs(v) - 1);
}

TEST_F(Scheduling, RandomTargetGivesExactlyTheThirtyOneOffsets)
{
    CProdletView& v = MakeView();
    Peer::SetIntervalSecs(v, 600);
    std::set<int> seen;
    std::srand(1);
    for (int i = 0; i < 20000; ++i) {
        Peer::PickRandomTarget(v);
        seen.insert(Peer::TargetSecs(v) - 600);
    }
    std::set<int> expected = {-30, 30};
    for (int d = 1; d < 30; d += 2)
        expected.insert(-d);
    for (int d = 2; d < 30; d += 2)
        expected.insert(d);
    EXPECT_EQ(expected.size(), 31u);
    EXPECT_EQ(seen, expected);
}

TEST_F(Scheduling, RandomTargetInDebugHasSixOffsets)
{
    Store("Debug", "1");
    CProdletView& v = MakeView();
    Peer::SetIntervalSecs(v, 15);
    std::set<int> seen;
    std::srand(2);
    for (int i = 0; i < 5000; ++i) {
        Peer::PickRandomTarget(v);
        seen.insert(Peer::TargetSecs(v) - 15);
    }
    EXPECT_EQ(seen, (std::set<int>{-1, 2, -3, 4, -5, 5}));
}

TEST_F(Scheduling, RandomTargetNeverLengthensSixtyMinutes)
{
    CProdletView& v = MakeView();
    Peer::SetIntervalSecs(v, 3600);
    std::srand(3);
    int nMax = 0;
    for (int i = 0; i < 20000; ++i) {
        Peer::PickRandomTarget(v);
        nMax = std::max(nMax, Peer::TargetSecs(v));
        ASSERT_LE(Peer::TargetSecs(v), 3600);
        ASSERT_GE(Peer::TargetSecs(v), 3570);
    }
    EXPECT_EQ(nMax, 3599);
}

TEST_F(Scheduling, RandomTimeSetsTheTargetAtEachExpiry)
{
    Store("RandomTime", "1");
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeView();
    StartCounting();
    Tick();
    EXPECT_NE(Peer::TargetSecs(v), Peer::IntervalSecs(v));
    EXPECT_LE(std::abs(Peer::TargetSecs(v) - Peer::IntervalSecs(v)), 30);
}

TEST_F(Scheduling, RandomHostNeverPicksTheCurrentSelection)
{
    Store("ComboName0", "a.test");
    Store("ComboName1", "b.test");
    Store("ComboName2", "c.test");
    CProdletView& v = MakeView();
    std::srand(4);
    std::set<int> seen;
    for (int i = 0; i < 300; ++i) {
        int nBefore = HostBox().GetCurSel();
        Peer::PickRandomHost(v);
        int nAfter = HostBox().GetCurSel();
        ASSERT_NE(nAfter, nBefore);
        CString strEntry;
        HostBox().GetLBText(nAfter, strEntry);
        EXPECT_EQ(Peer::NewHost(v), strEntry);
        seen.insert(nAfter);
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(Scheduling, RandomHostWithOneEntryPicksIt)
{
    Store("ComboName0", "only.test");
    CProdletView& v = MakeView();
    Peer::PickRandomHost(v);
    EXPECT_EQ(HostBox().GetCurSel(), 0);
    EXPECT_EQ(Peer::NewHost(v), "only.test");
}

TEST_F(Scheduling, RandomHostModeRestartsWithAnotherEntryAtLaterExpiries)
{
    Store("RandomName", "1");
    Store("ComboName0", "192.0.2.1");
    Store("ComboName1", "192.0.2.2");
    CProdletView& v = MakeView();
    StartCounting();
    Tick();  // fresh start: the validated host is probed
    ASSERT_EQ(m_net.m_connects.size(), 1u);
    EXPECT_EQ(m_net.m_connects[0], "192.0.2.1:80");

    Tick(Peer::TargetSecs(v));  // next expiry: another entry, restarted
    EXPECT_EQ(m_net.m_connects.size(), 1u);
    EXPECT_EQ(HostBox().GetCurSel(), 1);
    Tick();  // the probe to it follows one tick after the restart
    ASSERT_EQ(m_net.m_connects.size(), 2u);
    EXPECT_EQ(m_net.m_connects[1], "192.0.2.2:80");
}

TEST_F(Scheduling, TooltipHintNeedsIgnoreAFailureAndANewProblem)
{
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeView();
    StartCounting();
    Tick();  // the first probe; later ticks only count down
    const std::string strHint = "   Please check the Statistics dialog box";

    struct Case {
        BOOL bIgnore;
        int nFailures;
        BOOL bNew;
        bool bHint;
    } cases[] = {{TRUE, 1, TRUE, true},
                 {FALSE, 1, TRUE, false},
                 {TRUE, 0, TRUE, false},
                 {TRUE, 1, FALSE, false}};
    for (const Case& c : cases) {
        PROBE_COUNTS counts;
        counts.nSocketFailures = c.nFailures;
        Peer::SetHintConditions(v, c.bIgnore, counts, c.bNew);
        Tick();
        std::string strTip = LastTip();
        EXPECT_EQ(strTip.find(strHint) != std::string::npos, c.bHint) << strTip;
        EXPECT_EQ(strTip.rfind("Prodlet in ", 0), 0u);
        EXPECT_LE(strTip.size(), 63u);
    }
    PROBE_COUNTS dnsOnly;
    dnsOnly.nDnsFailures = 2;
    Peer::SetHintConditions(v, TRUE, dnsOnly, TRUE);
    Tick();
    EXPECT_NE(LastTip().find(strHint), std::string::npos);
}

TEST_F(Scheduling, StopRunningResetsTheFormAndClosesTheSocket)
{
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeView();
    StartCounting();
    Tick();
    SOCKET s = ProbeSocket();
    ASSERT_NE(s, INVALID_SOCKET);
    ASSERT_EQ(m_net.m_open.count(s), 1u);

    // What the window's closing runs.
    v.SendMessage(WM_DESTROY);
    EXPECT_EQ(m_net.m_open.count(s), 0u);
    // No longer waiting: a late reply counts nothing.
    v.SendMessage(WM_SOCKET_EVENT, static_cast<WPARAM>(s), MAKELPARAM(FD_READ, 0));
    EXPECT_EQ(Counts().nSuccesses, 0);
    EXPECT_EQ(Status(), "NOT RUNNING");
    EXPECT_EQ(CountdownText(), "");
    EXPECT_FALSE(NextLabel().IsWindowEnabled());
    EXPECT_TRUE(StartButton().IsWindowEnabled());
    EXPECT_FALSE(v.HasTimer(IDT_TICK));
    EXPECT_NE(LastTip(), "Prodlet has stopped");  // no notification asked for
}

TEST_F(Scheduling, FooterNamesLaunchAndMessageTimes)
{
    MakeView();
    m_clock.m_time += 65;
    PressStart();
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].strText, "Unable to get local IP address.\nHave you dialed your ISP?"
                                  "\n\nProdlet launched at time 10:20:30\nThis message created at time 10:21:35");
}

TEST_F(Scheduling, ReturnToTrayAndRestoreHideAndShowTheFrame)
{
    CProdletView& v = MakeView();
    v.SendMessage(WM_COMMAND, ID_RESTORE, 0);
    EXPECT_TRUE(m_pFrame->IsWindowVisible());
    v.SendMessage(WM_COMMAND, IDC_RETURN_TO_TRAY, 0);
    EXPECT_FALSE(m_pFrame->IsWindowVisible());
}

TEST_F(Scheduling, WithoutATrayReturnToTrayMinimisesInsteadOfHiding)
{
    m_bTrayAvailable = FALSE;
    CProdletView& v = MakeView();
    v.SendMessage(WM_COMMAND, ID_RESTORE, 0);
    v.SendMessage(WM_COMMAND, IDC_RETURN_TO_TRAY, 0);
    // Still reachable from the taskbar, never hidden for good.
    EXPECT_TRUE(m_pFrame->IsWindowVisible());
    EXPECT_TRUE(m_pFrame->IsIconic());
    v.SendMessage(WM_COMMAND, ID_RESTORE, 0);
    EXPECT_TRUE(m_pFrame->IsWindowVisible());
}

TEST_F(Scheduling, InitialUpdateFitsTheFrameToTheForm)
{
    CProdletView& v = MakeView();
    CSize sizeFrame;
    ASSERT_TRUE(v.GetFrameSize(sizeFrame));
    CRect rcStart, rcReturn, rcFrame;
    StartButton().GetWindowRect(&rcStart);
    v.GetDlgItem(IDC_RETURN_TO_TRAY)->GetWindowRect(&rcReturn);
    m_pFrame->GetWindowRect(&rcFrame);
    EXPECT_EQ(sizeFrame.cx, rcStart.Width() + 2 * rcStart.Height());
    EXPECT_EQ(rcFrame.Width(), sizeFrame.cx);
    EXPECT_GT(sizeFrame.cy, 0);
    // Everything of the form lies inside the fitted frame.
    EXPECT_LE(rcReturn.bottom, rcFrame.bottom);
    EXPECT_LE(rcStart.right, rcFrame.right);
}

TEST_F(Scheduling, StartDisablingItselfHandsTheFocusToReturnToTrayNotShutdown)
{
    CProdletView& v = MakeView();
    v.SendMessage(WM_COMMAND, ID_RESTORE, 0);
    StartButton().SetFocus();
    ASSERT_EQ(AfxGetFocusForTesting(&v), v.GetDlgItem(IDC_START));
    // Space on the focused button: Start, which disables it while it runs.
    AfxClickForTesting(&StartButton());
    EXPECT_FALSE(StartButton().IsWindowEnabled());
    EXPECT_EQ(AfxGetFocusForTesting(&v), v.GetDlgItem(IDC_RETURN_TO_TRAY));
}
