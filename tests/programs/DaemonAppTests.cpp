// prodletd's application on the console backend, run whole (AfxWinMain and
// its loop) against a scripted network: it starts at once, ends with 1 when
// the engine stops after a failure, with 0 on SIGTERM, and --once ends after
// the first probe.
#include "programs/DaemonApp.h"

#include "engine/ProdletView.h"
#include "framework/console/ConsolePort.h"
#include "tests/engine/ScriptedWinsock.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A network that answers every look-up (the machine's own name with
// 10.1.2.3, any other with 192.0.2.10) and every request at once; it can also
// be told to send SIGTERM once it has answered, as a service manager would.
class CAnsweringWinsock : public CScriptedWinsock {
public:
    HANDLE WSAAsyncGetHostByName(HWND hWnd, UINT wMsg, const char* name, char* buf, int buflen) override
    {
        const HANDLE hLookup = CScriptedWinsock::WSAAsyncGetHostByName(hWnd, wMsg, name, buf, buflen);
        char szLocal[100] = {};
        gethostname(szLocal, sizeof(szLocal) - 1);
        const std::string strAddr = std::string(name) == szLocal ? "10.1.2.3" : "192.0.2.10";
        AfxRunOnUiThread([this, nIndex = m_lookups.size() - 1, strAddr] { AnswerLookup(nIndex, {strAddr}); });
        return hLookup;
    }
    int send(SOCKET s, const char* buf, int len, int flags) override
    {
        const int n = CScriptedWinsock::send(s, buf, len, flags);
        AfxRunOnUiThread([this, s] {
            DeliverEvent(s, FD_READ);
            if (m_bTerminateAfterReply)
                std::raise(SIGTERM);
        });
        return n;
    }
    bool m_bTerminateAfterReply = false;
};

CProdletView* MainView()
{
    auto* pFrame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd());
    return pFrame ? dynamic_cast<CProdletView*>(pFrame->GetActiveView()) : nullptr;
}

class DaemonAppTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_pOut = std::tmpfile();
        ASSERT_NE(m_pOut, nullptr);
        AfxConsoleSetProgramName("prodletd");
    }
    void TearDown() override
    {
        AfxConsoleSetListener(nullptr);
        std::fclose(m_pOut);
    }

    // The seed of a first run: Debug (15 s), no Auto-Start, one host.
    void Seed(const std::string& strExtra)
    {
        m_files.Dir().Write("Prodlet.INI",
                            "[Settings]\nDebug=1\nAutoStart=0\nComboName0=192.0.2.10\nComboNameSel=0\n" + strExtra);
    }

    // Runs the whole program; fnAfterStart sees the view right after
    // start-up, before the loop delivers anything.
    int Run(BOOL bOnce, std::function<void(CProdletView&)> fnAfterStart = nullptr)
    {
        CDaemonLog log(m_pOut);
        AfxConsoleSetListener(&log);
        CDaemonApp app(log, bOnce);
        if (fnAfterStart) {
            AfxRunOnUiThread([fnAfterStart] {
                if (CProdletView* pView = MainView())
                    fnAfterStart(*pView);
            });
        }
        char szProg[] = "prodletd";
        char* argv[] = {szProg, nullptr};
        CCapturedStderr err;
        const int nResult = AfxWinMain(1, argv);
        m_strErr = err.Text();
        AfxConsoleSetListener(nullptr);
        return nResult;
    }

    std::string Out()
    {
        std::fflush(m_pOut);
        std::rewind(m_pOut);
        std::string str;
        char buf[512];
        while (std::fgets(buf, sizeof(buf), m_pOut))
            str += buf;
        return str;
    }

    CScopedPlatformFiles m_files;
    CFakeClock m_clock;  // the view's second of sleep passes at once
    CAnsweringWinsock m_net;
    std::FILE* m_pOut = nullptr;
    std::string m_strErr;
};

}  // namespace

TEST_F(DaemonAppTest, StartsAtOnceAndEndsWithOneWhenTheEngineStopsAfterAFailure)
{
    Seed("Ignore=0\n");
    m_net.m_refusedAddresses = {"192.0.2.10"};
    BOOL bAutoStartPending = TRUE;
    EXPECT_EQ(Run(FALSE, [&](CProdletView& view) { bAutoStartPending = view.HasTimer(IDT_AUTOSTART); }), 1);

    // Started without Auto-Start and without anyone pressing Start.
    EXPECT_FALSE(bAutoStartPending);
    ASSERT_EQ(m_net.m_lookups.size(), 1u);
    EXPECT_EQ(m_net.m_connects, (std::vector<std::string>{"192.0.2.10:80"}));
    const std::string strOut = Out();
    for (const char* pszLine : {" status: Starting Connection\n", " status: Determining Local IP Address\n",
                                " tip: Prodlet has stopped\n", " icon: stopped\n",
                                " exit: 1, the engine stopped after a failure\n"})
        EXPECT_NE(strOut.find(pszLine), std::string::npos) << pszLine << "\n" << strOut;
    // The box's text, its first line after the program's name, and nothing else.
    EXPECT_EQ(m_strErr.rfind("prodletd: Prodlet: Cannot connect to 192.0.2.10 on port 80.\n", 0), 0u) << m_strErr;
    EXPECT_EQ(m_strErr.find("prodletd: ", 1), std::string::npos) << m_strErr;
}

TEST_F(DaemonAppTest, TerminateSignalEndsWithZeroAndTheAutoStartDoesNotStartAgain)
{
    Seed("AutoStart=1\n");
    m_net.m_bTerminateAfterReply = true;
    BOOL bAutoStartPending = TRUE;
    EXPECT_EQ(Run(FALSE, [&](CProdletView& view) { bAutoStartPending = view.HasTimer(IDT_AUTOSTART); }), 0);

    EXPECT_FALSE(bAutoStartPending);  // used up by the start, so no second start follows
    EXPECT_EQ(m_net.m_lookups.size(), 1u);
    ASSERT_EQ(m_net.m_sent.size(), 1u);
    EXPECT_EQ(m_net.m_sent[0].strData, CProdletView::BuildRequest("10.1.2.3"));
    const std::string strOut = Out();
    EXPECT_NE(strOut.find(" status: Prodlet completed at "), std::string::npos) << strOut;
    EXPECT_EQ(strOut.find(" exit: "), std::string::npos) << strOut;
    EXPECT_TRUE(m_strErr.empty()) << m_strErr;
    // The connect stored the list, as in the desktop program.
    EXPECT_NE(m_files.HiveText().find("\"ComboName0\"=\"192.0.2.10\""), std::string::npos);
}

TEST_F(DaemonAppTest, OnceEndsAfterTheReplyWithZero)
{
    Seed("");
    EXPECT_EQ(Run(TRUE), 0);
    EXPECT_EQ(m_net.m_sent.size(), 1u);
    EXPECT_NE(Out().find(" exit: 0, the probe was answered\n"), std::string::npos) << Out();
    EXPECT_TRUE(m_strErr.empty()) << m_strErr;
}

TEST_F(DaemonAppTest, OnceEndsWithOneAndTheReasonWhenTheHostRefuses)
{
    // Ignore is off, as the private settings of --once have it.
    Seed("Ignore=0\n");
    m_net.m_refusedAddresses = {"192.0.2.10"};
    EXPECT_EQ(Run(TRUE), 1);
    EXPECT_NE(Out().find(" exit: 1, the probe failed\n"), std::string::npos) << Out();
    EXPECT_EQ(m_strErr.rfind("prodletd: Prodlet: Cannot connect to 192.0.2.10 on port 80.\n", 0), 0u) << m_strErr;
}

TEST_F(DaemonAppTest, AStopWithoutABoxStillSaysWhyOnStandardError)
{
    // No entry selected, so an empty host: the engine counts a socket
    // failure and stops, with no box of its own.
    Seed("Ignore=0\nComboNameSel=-1\n");
    EXPECT_EQ(Run(FALSE), 1);
    EXPECT_TRUE(m_net.m_connects.empty());
    EXPECT_EQ(m_strErr, "prodletd: the engine stopped after a failure\n");
}
