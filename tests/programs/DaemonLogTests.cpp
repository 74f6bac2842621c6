// prodletd's log: which of the program's changes become lines, how they
// read, how often the countdown is written, and when its owner hears of a
// probe's end and of a stop.
#include "programs/DaemonLog.h"

#include "framework/Resources.h"
#include "res/resource.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class DaemonLogTest : public testing::Test {
protected:
    void SetUp() override
    {
        AfxSetResources(&ProdletResources());
        m_pFile = std::tmpfile();
        ASSERT_NE(m_pFile, nullptr);
        m_pLog = std::make_unique<CDaemonLog>(m_pFile);
        m_pLog->m_fnProbeEnded = [this] { m_events.push_back("probe ended"); };
        m_pLog->m_fnStopped = [this] { m_events.push_back("stopped"); };
    }
    void TearDown() override { std::fclose(m_pFile); }

    std::vector<std::string> Lines()
    {
        std::fflush(m_pFile);
        std::rewind(m_pFile);
        std::vector<std::string> lines;
        char buf[512];
        while (std::fgets(buf, sizeof(buf), m_pFile)) {
            std::string str(buf);
            if (!str.empty() && str.back() == '\n')
                str.pop_back();
            lines.push_back(str);
        }
        return lines;
    }
    void Icon(UINT nId) { m_pLog->OnTrayIcon(AfxLoadIcon(nId)); }
    void Status(const char* pszText) { m_pLog->OnControlText(IDD_PRODLET_FORM, IDC_STATUS, pszText); }

    CFakeClock m_clock;  // local time 10:20:30 on the first day of 1970
    std::FILE* m_pFile = nullptr;
    std::unique_ptr<CDaemonLog> m_pLog;
    std::vector<std::string> m_events;
};

}  // namespace

TEST_F(DaemonLogTest, StatusTextsAndIconChangesAreTimestampedLines)
{
    Status("Starting Connection");
    m_pLog->OnControlText(IDD_PRODLET_FORM, IDC_COUNTDOWN, " 0:15");  // the tooltip tells it
    m_pLog->OnControlText(IDD_OPTIONS, IDC_STATUS, "not the form's");
    Icon(IDI_IDLE);
    Icon(IDI_IDLE);  // no change, no line
    Icon(IDI_PROBING);
    Icon(IDI_STOPPED);
    m_pLog->OnTrayIcon(nullptr);
    m_clock.Advance(61000);
    Status("Prodlet completed at 10:21:31");

    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "1970-01-01 10:20:30 status: Starting Connection",
                           "1970-01-01 10:20:30 icon: idle",
                           "1970-01-01 10:20:30 icon: probing",
                           "1970-01-01 10:20:30 icon: stopped",
                           "1970-01-01 10:20:30 icon: none",
                           "1970-01-01 10:21:31 status: Prodlet completed at 10:21:31",
                       }));
}

TEST_F(DaemonLogTest, CountdownIsWrittenAtMostOnceAMinuteOtherTipsAtOnce)
{
    m_pLog->OnTrayTip("Prodlet");
    for (int nLeft = 15; nLeft > 0; --nLeft) {
        m_pLog->OnTrayTip(AfxFormat("Prodlet in %2d:%02d", 0, nLeft));
        m_clock.Advance(1000);
    }
    // Another kind of text is news, whenever it comes.
    m_pLog->OnTrayTip("Prodlet in  0:01   Please check the Statistics dialog box");
    m_pLog->OnTrayTip("Prodlet has stopped");
    m_pLog->OnTrayTip("Prodlet in 24:59");
    for (int i = 0; i < 120; ++i) {
        m_clock.Advance(1000);
        m_pLog->OnTrayTip(AfxFormat("Prodlet in %2d:%02d", (1498 - i) / 60, (1498 - i) % 60));
    }

    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "1970-01-01 10:20:30 tip: Prodlet",
                           "1970-01-01 10:20:30 tip: Prodlet in  0:15",
                           "1970-01-01 10:20:45 tip: Prodlet in  0:01   Please check the Statistics dialog box",
                           "1970-01-01 10:20:45 tip: Prodlet has stopped",
                           "1970-01-01 10:20:45 tip: Prodlet in 24:59",
                           "1970-01-01 10:21:45 tip: Prodlet in 23:59",
                           "1970-01-01 10:22:45 tip: Prodlet in 22:59",
                       }));
}

TEST_F(DaemonLogTest, OwnerHearsOfProbesAndStopsOnlyOnceArmed)
{
    // Without Auto-Start the program shows the stopped icon at once: that
    // is no failure.
    Icon(IDI_IDLE);
    Icon(IDI_STOPPED);
    Icon(IDI_IDLE);
    EXPECT_TRUE(m_events.empty());

    m_pLog->Arm();
    Icon(IDI_PROBING);
    Icon(IDI_IDLE);
    Icon(IDI_PROBING);
    Icon(IDI_STOPPED);  // a stop while probing is a stop, not a probe's end
    EXPECT_EQ(m_events, (std::vector<std::string>{"probe ended", "stopped"}));

    EXPECT_FALSE(m_pLog->BoxShown());
    m_pLog->OnMessageBox("Prodlet: Cannot connect");
    EXPECT_TRUE(m_pLog->BoxShown());
}
