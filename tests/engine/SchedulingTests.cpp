// Start, apply, stop, the countdown and its random variants.
#include "tests/engine/EngineFixture.h"

#include <clocale>
#include <cstdlib>
#include <set>

using Scheduling = EngineTest;

TEST_F(Scheduling, InitialUpdateReadsSettingsAndArmsAutoStart)
{
    Store("Often", "7");
    CProdletView& v = MakeView();

    EXPECT_EQ(v.m_editOften.GetWindowText(), "7");
    EXPECT_EQ(v.m_strOften, "7");
    EXPECT_EQ(v.m_nIntervalSecs, 420);
    EXPECT_EQ(Status(), "PLEASE START ME");
    EXPECT_TRUE(v.m_btnStart.IsWindowEnabled());
    EXPECT_FALSE(v.m_stNextLabel.IsWindowEnabled());
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
    EXPECT_TRUE(v.m_TrayIcon.IsCreated());
    EXPECT_TRUE(v.HasTimer(IDT_AUTOSTART));
    EXPECT_EQ(Status(), "PLEASE START ME");
}

TEST_F(Scheduling, StoredIntervalAboveSixtyIsCappedProvisionally)
{
    Store("Often", "90");
    EXPECT_EQ(MakeView().m_nIntervalSecs, 3600);
}

TEST_F(Scheduling, AutoStartPressesStartOneSecondAfterInitialUpdate)
{
    CProdletView& v = MakeView();
    v.SendMessage(WM_TIMER, IDT_AUTOSTART, 0);

    EXPECT_FALSE(v.HasTimer(IDT_AUTOSTART));
    EXPECT_FALSE(v.m_bAutoStartTimer);
    EXPECT_EQ(Status(), "Determining Local IP Address");
    EXPECT_FALSE(v.m_btnStart.IsWindowEnabled());
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
    View().StopRunning(TRUE);
    EXPECT_EQ(m_tray.size(), nCalls);
}

TEST_F(Scheduling, ApplyIntervalAcceptsOneToSixtyTruncatingFractions)
{
    CProdletView& v = MakeView();
    struct Case {
        const char* pszText;
        int nSecs;
    } cases[] = {{"1", 60}, {"1.5", 90}, {"60", 3600}, {"60.9", 3654}, {"  25 minutes", 1500}, {"+2", 120}};
    for (const Case& c : cases) {
        v.m_editOften.SetWindowText(c.pszText);
        v.ApplyInterval();
        EXPECT_EQ(v.m_nIntervalSecs, c.nSecs) << c.pszText;
        EXPECT_EQ(v.m_nTargetSecs, c.nSecs) << c.pszText;
        EXPECT_EQ(v.m_nElapsed, c.nSecs - 1) << c.pszText;
        EXPECT_EQ(v.m_strOften, c.pszText);
        EXPECT_TRUE(v.HasTimer(IDT_TICK));
        EXPECT_TRUE(v.m_stNextLabel.IsWindowEnabled());
        EXPECT_TRUE(v.m_bUseNewHost);
        EXPECT_TRUE(v.m_bFreshStart);
    }
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(Scheduling, EveryIntervalIsItsExactNumberOfSecondsTruncated)
{
    CProdletView& v = MakeView();
    // Every entry with two decimals: minutes x 60, truncated, to the second.
    for (int nMinutes = 1; nMinutes <= 60; ++nMinutes)
        for (int nHundredths = 0; nHundredths < 100; ++nHundredths) {
            const std::string strText = AfxFormat("%d.%02d", nMinutes, nHundredths);
            v.m_editOften.SetWindowText(strText);
            v.ApplyInterval();
            EXPECT_EQ(v.m_nIntervalSecs, nMinutes * 60 + nHundredths * 60 / 100) << strText;
        }
    const struct {
        const char* pszText;
        int nSecs;
    } cases[] = {{"2.35", 141},     {"2.05", 123}, {"32.05", 1923}, {"0.5e1", 300},
                 {"1.5E+1", 900},   {"6e1", 3600}, {"600e-1", 3600}, {"1.01666666666666667", 61},
                 {"1.0166666666666666", 60},       {"60.99999999999999999999", 3659}, {"\t+2.35abc", 141},
                 {"1.", 60},        {"001.50", 90}};
    for (const auto& c : cases) {
        v.m_editOften.SetWindowText(c.pszText);
        v.ApplyInterval();
        EXPECT_EQ(v.m_nIntervalSecs, c.nSecs) << c.pszText;
    }
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(Scheduling, ApplyIntervalRejectsOutOfRangeAndRestoresLastText)
{
    CProdletView& v = MakeView();
    v.m_editOften.SetWindowText("5");
    v.ApplyInterval();
    ASSERT_EQ(v.m_nIntervalSecs, 300);

    for (const char* pszBad :
         {"0", "61", "-5", "abc", "", "0.99", "1e300", ". 5", "0.99999999999999999999", "61e0", "-0.5", "1e-300"}) {
        m_boxes.clear();
        v.m_editOften.SetWindowText(pszBad);
        v.ApplyInterval();
        ASSERT_EQ(m_boxes.size(), 1u) << pszBad;
        EXPECT_EQ(m_boxes[0].strText, "Prodlet: Time period must be between 1 and 60") << pszBad;
        EXPECT_EQ(v.m_editOften.GetWindowText(), "5") << pszBad;
        EXPECT_EQ(v.m_strOften, "5");
        EXPECT_EQ(v.m_nIntervalSecs, 300);
        EXPECT_FALSE(v.HasTimer(IDT_TICK)) << pszBad;
        EXPECT_EQ(Status(), "NOT RUNNING");
        EXPECT_EQ(LastTip(), "Prodlet has stopped");
        EXPECT_EQ(LastIcon(), AfxLoadIcon(IDI_STOPPED));
    }
}

TEST_F(Scheduling, DebugAcceptsAnythingAsFifteenSeconds)
{
    Store("Debug", "1");
    CProdletView& v = MakeView();
    for (const char* pszText : {"abc", "0", "61", "25"}) {
        v.m_editOften.SetWindowText(pszText);
        v.ApplyInterval();
        EXPECT_EQ(v.m_nIntervalSecs, 15) << pszText;
        EXPECT_EQ(v.m_strOften, pszText);
    }
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(Scheduling, IntervalIgnoresTheProcessLocale)
{
    const char* pszOld = std::setlocale(LC_ALL, nullptr);
    std::string strOld = pszOld ? pszOld : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    CProdletView& v = MakeView();
    v.m_editOften.SetWindowText("1.5");
    v.ApplyInterval();
    std::setlocale(LC_ALL, strOld.c_str());
    EXPECT_EQ(v.m_nIntervalSecs, 90);
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
    EXPECT_EQ(v.m_stCountdown.GetWindowText(), " 1:00");
    EXPECT_EQ(LastTip(), "Prodlet in  1:00");

    Tick();
    EXPECT_EQ(v.m_stCountdown.GetWindowText(), " 0:59");
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
    EXPECT_FALSE(v.m_stNextLabel.IsWindowEnabled());
    EXPECT_EQ(Status(), "Validating Domain Name");
    ASSERT_EQ(m_net.m_lookups.size(), nLookups + 1);  // the local address is not asked again
    EXPECT_EQ(m_net.m_lookups.back().strName, "host.test");

    m_net.AnswerLastLookup({"192.0.2.10"});
    EXPECT_TRUE(v.HasTimer(IDT_TICK));
    EXPECT_EQ(v.m_nElapsed, v.m_nIntervalSecs - 1);
}

TEST_F(Scheduling, RandomTargetGivesExactlyTheThirtyOneOffsets)
{
    CProdletView& v = MakeView();
    v.m_nIntervalSecs = 600;
    std::set<int> seen;
    std::srand(1);
    for (int i = 0; i < 20000; ++i) {
        v.PickRandomTarget();
        seen.insert(v.m_nTargetSecs - 600);
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
    v.m_nIntervalSecs = 15;
    std::set<int> seen;
    std::srand(2);
    for (int i = 0; i < 5000; ++i) {
        v.PickRandomTarget();
        seen.insert(v.m_nTargetSecs - 15);
    }
    EXPECT_EQ(seen, (std::set<int>{-1, 2, -3, 4, -5, 5}));
}

TEST_F(Scheduling, RandomTargetNeverLengthensSixtyMinutes)
{
    CProdletView& v = MakeView();
    v.m_nIntervalSecs = 3600;
    std::srand(3);
    int nMax = 0;
    for (int i = 0; i < 20000; ++i) {
        v.PickRandomTarget();
        nMax = std::max(nMax, v.m_nTargetSecs);
        ASSERT_LE(v.m_nTargetSecs, 3600);
        ASSERT_GE(v.m_nTargetSecs, 3570);
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
    EXPECT_NE(v.m_nTargetSecs, v.m_nIntervalSecs);
    EXPECT_LE(std::abs(v.m_nTargetSecs - v.m_nIntervalSecs), 30);
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
        int nBefore = v.m_cbHostNames.GetCurSel();
        v.PickRandomHost();
        int nAfter = v.m_cbHostNames.GetCurSel();
        ASSERT_NE(nAfter, nBefore);
        EXPECT_EQ(v.m_nHostSel, nAfter);
        CString strEntry;
        v.m_cbHostNames.GetLBText(nAfter, strEntry);
        EXPECT_EQ(v.m_strNewHost, strEntry);
        seen.insert(nAfter);
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(Scheduling, RandomHostWithOneEntryPicksIt)
{
    Store("ComboName0", "only.test");
    CProdletView& v = MakeView();
    v.PickRandomHost();
    EXPECT_EQ(v.m_cbHostNames.GetCurSel(), 0);
    EXPECT_EQ(v.m_strNewHost, "only.test");
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

    Tick(v.m_nTargetSecs);  // next expiry: another entry, restarted
    EXPECT_EQ(m_net.m_connects.size(), 1u);
    EXPECT_EQ(v.m_cbHostNames.GetCurSel(), 1);
    Tick();  // the probe to it follows one tick after the restart
    ASSERT_EQ(m_net.m_connects.size(), 2u);
    EXPECT_EQ(m_net.m_connects[1], "192.0.2.2:80");
}

TEST_F(Scheduling, TooltipHintNeedsIgnoreAFailureAndANewProblem)
{
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeView();
    StartCounting();
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
        v.m_bIgnore = c.bIgnore;
        v.m_nSocketFailures = c.nFailures;
        v.m_bNewProblem = c.bNew;
        v.ShowCountdown();
        std::string strTip = LastTip();
        EXPECT_EQ(strTip.find(strHint) != std::string::npos, c.bHint) << strTip;
        EXPECT_EQ(strTip.rfind("Prodlet in ", 0), 0u);
        EXPECT_LE(strTip.size(), 63u);
    }
    v.m_nSocketFailures = 0;
    v.m_nDnsFailures = 2;
    v.m_bNewProblem = TRUE;
    v.m_bIgnore = TRUE;
    v.ShowCountdown();
    EXPECT_NE(LastTip().find(strHint), std::string::npos);
}

TEST_F(Scheduling, StopRunningResetsTheFormAndClosesTheSocket)
{
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeView();
    StartCounting();
    Tick();
    SOCKET s = v.m_socket;
    ASSERT_NE(s, INVALID_SOCKET);

    v.StopRunning(FALSE);
    EXPECT_EQ(v.m_socket, INVALID_SOCKET);
    EXPECT_FALSE(v.m_bWaiting);
    EXPECT_EQ(m_net.m_open.count(s), 0u);
    EXPECT_EQ(Status(), "NOT RUNNING");
    EXPECT_EQ(v.m_stCountdown.GetWindowText(), "");
    EXPECT_FALSE(v.m_stNextLabel.IsWindowEnabled());
    EXPECT_TRUE(v.m_btnStart.IsWindowEnabled());
    EXPECT_FALSE(v.HasTimer(IDT_TICK));
    EXPECT_NE(LastTip(), "Prodlet has stopped");  // no notification asked for
}

TEST_F(Scheduling, FooterNamesLaunchAndMessageTimes)
{
    CProdletView& v = MakeView();
    m_clock.m_time += 65;
    EXPECT_EQ(v.TimeStampFooter(),
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
    ASSERT_TRUE(v.m_bFrameSizeValid);
    CRect rcStart, rcReturn, rcFrame;
    v.m_btnStart.GetWindowRect(&rcStart);
    v.GetDlgItem(IDC_RETURN_TO_TRAY)->GetWindowRect(&rcReturn);
    m_pFrame->GetWindowRect(&rcFrame);
    EXPECT_EQ(v.m_sizeFrame.cx, rcStart.Width() + 2 * rcStart.Height());
    EXPECT_EQ(rcFrame.Width(), v.m_sizeFrame.cx);
    EXPECT_GT(v.m_sizeFrame.cy, 0);
    // Everything of the form lies inside the fitted frame.
    EXPECT_LE(rcReturn.bottom, rcFrame.bottom);
    EXPECT_LE(rcStart.right, rcFrame.right);
}

TEST_F(Scheduling, StartDisablingItselfHandsTheFocusToReturnToTrayNotShutdown)
{
    CProdletView& v = MakeView();
    v.SendMessage(WM_COMMAND, ID_RESTORE, 0);
    v.m_btnStart.SetFocus();
    ASSERT_EQ(AfxGetFocusForTesting(&v), v.GetDlgItem(IDC_START));
    // Space on the focused button: Start, which disables it while it runs.
    AfxClickForTesting(&v.m_btnStart);
    EXPECT_FALSE(v.m_btnStart.IsWindowEnabled());
    EXPECT_EQ(AfxGetFocusForTesting(&v), v.GetDlgItem(IDC_RETURN_TO_TRAY));
}
