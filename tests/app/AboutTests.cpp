// The About box of the running application: its two texts, the links'
// visited state over the run, the routes of the About command, and Help
// Topics opening the manual.
#include "app/MainFrame.h"
#include "app/ProdletApp.h"
#include "engine/ProdletView.h"
#include "framework/Resources.h"
#include "framework/Shell.h"
#include "framework/ShellPrivate.h"
#include "framework/Testing.h"
#include "tests/support/DialogUser.h"
#include "tests/engine/ScriptedWinsock.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

struct SeenBox {
    std::string strIp;
    std::string strTime;
    std::optional<COLORREF> crMail;
    std::optional<COLORREF> crWeb;
};

std::optional<COLORREF> LinkColour(CWnd& dlg, int nID)
{
    AFX_STATICLOOK look;
    if (!AfxStaticLookForTesting(dlg.GetDlgItem(nID), look))
        return std::nullopt;
    return look.crText;
}

SeenBox Read(CDialog& dlg)
{
    SeenBox seen;
    seen.strIp = dlg.GetDlgItem(IDC_IP_ADDRESS)->GetWindowText();
    seen.strTime = dlg.GetDlgItem(IDC_TIME_SINCE_LAUNCH)->GetWindowText();
    seen.crMail = LinkColour(dlg, IDC_MAIL_LINK);
    seen.crWeb = LinkColour(dlg, IDC_WEB_LINK);
    return seen;
}

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kPurple = RGB(128, 0, 128);

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // No auto-start: nothing looks up the local address by itself.
        m_files.Dir().Write("Prodlet.INI", "[Settings]\nAutoStart=0\n");
        AfxSetMessageBoxHook([this](const CString&, const CString& strText, UINT) {
            m_boxes.push_back(strText);
            return IDOK;
        });
        AfxSetNotifyIconHook([](DWORD, const NOTIFYICONDATA&) { return TRUE; });
        AfxSetShellExecuteHook([this](const CString& strUrl) {
            m_opened.push_back(strUrl);
            return TRUE;
        });
        AfxSetMessageBeepHook([this](UINT) { ++m_nBeeps; });
    }
    void TearDown() override
    {
        AfxSetMessageBeepHook(nullptr);
        AfxSetShellExecuteHook(nullptr);
        AfxSetNotifyIconHook(nullptr);
        AfxSetMessageBoxHook(nullptr);
    }

    CProdletView* Start(CProdletApp& app)
    {
        static char szName[] = "prodlet";
        static char* s_argv[] = {szName, nullptr};
        app.m_argc = 1;
        app.m_argv = s_argv;
        if (!app.InitInstance())
            return nullptr;
        auto* pFrame = dynamic_cast<CMainFrame*>(app.m_pMainWnd);
        return pFrame ? dynamic_cast<CProdletView*>(pFrame->GetActiveView()) : nullptr;
    }

    // Presses Start; the network answers the look-up of the machine's own
    // name with strAddress.
    void AnswerLocalLookup(CProdletView* pView, const std::string& strAddress)
    {
        pView->SendMessage(WM_COMMAND, IDC_START, 0);
        ASSERT_FALSE(m_net.m_lookups.empty());
        ASSERT_EQ(m_net.m_lookups.back().nMsg, static_cast<UINT>(WM_LOCAL_RESOLVED));
        m_net.AnswerLastLookup({strAddress});
    }

    static void Exit(CProdletApp& app, CProdletView* pView)
    {
        if (pView)
            pView->SendMessage(WM_COMMAND, ID_EXIT, 0);
        AfxPumpMessages();
        app.ExitInstance();
    }

    // Opens the About box through the application's command steps; fn acts
    // while it is open, then OK closes it.
    SeenBox OpenAbout(CProdletApp& app, const std::function<void(CAboutDlg&)>& fn = nullptr)
    {
        CAboutDlg dlg(app.m_bMailLinkVisited, app.m_bWebLinkVisited);
        SeenBox seen;
        CModalDriver user(dlg, [&] {
            seen = Read(dlg);
            if (fn)
                fn(dlg);
            AfxClickForTesting(dlg.GetDlgItem(IDOK));
        });
        app.RunAboutDlg(dlg);
        return seen;
    }

    // Runs fn and answers the About box that opens meanwhile (or from what was
    // queued before): what it showed, or nothing if no About box opened.
    static std::optional<SeenBox> AboutOpenedBy(const std::function<void()>& fn)
    {
        std::optional<SeenBox> seen;
        bool bAsked = false;
        AfxRunOnUiThread([&] {
            bAsked = true;
            if (auto* pDlg = dynamic_cast<CAboutDlg*>(AfxGetModalDialogForTesting())) {
                seen = Read(*pDlg);
                pDlg->EndDialog(IDOK);
            }
        });
        fn();
        // A command that opened nothing leaves the question in the queue.
        AfxPumpUntil([&] { return bAsked; }, 10000);
        return seen;
    }

    CScopedPlatformFiles m_files;
    CFakeClock m_clock;
    CScriptedWinsock m_net;
    std::vector<std::string> m_boxes;
    std::vector<CString> m_opened;
    int m_nBeeps = 0;
};

}  // namespace

TEST_F(AboutTest, TimeSinceLaunchInWholeSecondsThenWholeMinutes)
{
    struct Case {
        DWORD dwElapsedMs;
        const char* pszText;
    } cases[] = {
        {1500, "1 seconds"},       {5000, "5 seconds"},        {119900, "119 seconds"},
        {120000, "2 minutes"},     {179000, "2 minutes"},      {180000, "3 minutes"},
        {30 * 3600 * 1000, "1800 minutes"},
    };
    CProdletApp app;
    CProdletView* pView = Start(app);
    ASSERT_NE(pView, nullptr);
    EXPECT_EQ(pView->GetLaunchTick(), m_clock.m_dwTick);
    for (const Case& c : cases) {
        m_clock.m_dwTick = pView->GetLaunchTick() + c.dwElapsedMs;
        EXPECT_EQ(OpenAbout(app).strTime, c.pszText) << c.dwElapsedMs;
    }
    Exit(app, pView);
}

TEST_F(AboutTest, TimeSinceLaunchCountsOverTheTickCounterWrapping)
{
    m_clock.m_dwTick = 0xFFFFF000u;  // launched just before the counter wraps
    CProdletApp app;
    CProdletView* pView = Start(app);
    ASSERT_NE(pView, nullptr);
    ASSERT_EQ(pView->GetLaunchTick(), 0xFFFFF000u);
    m_clock.m_dwTick = 0x00001000u;
    EXPECT_EQ(OpenAbout(app).strTime, "8 seconds");
    Exit(app, pView);
}

TEST_F(AboutTest, TheAddressIsTheViewsNoAddressYetBeforeALocalLookUp)
{
    CProdletApp app;
    CProdletView* pView = Start(app);
    ASSERT_NE(pView, nullptr);
    EXPECT_EQ(OpenAbout(app).strIp, "no address yet");
    AnswerLocalLookup(pView, "192.0.2.7");
    EXPECT_EQ(OpenAbout(app).strIp, "192.0.2.7");
    Exit(app, pView);
}

TEST_F(AboutTest, AFollowedLinkStaysVisitedForTheRunOnly)
{
    {
        CProdletApp app;
        CProdletView* pView = Start(app);
        ASSERT_NE(pView, nullptr);
        const SeenBox first = OpenAbout(app, [](CAboutDlg& dlg) { AfxClickForTesting(&dlg.m_linkWeb); });
        EXPECT_EQ(first.crMail, kBlue);
        EXPECT_EQ(first.crWeb, kBlue);
        EXPECT_EQ(m_opened, (std::vector<CString>{PRODLET_WEB_ADDRESS}));

        // Opened again: the web link is purple, the e-mail link still blue.
        const SeenBox second = OpenAbout(app, [](CAboutDlg& dlg) { AfxClickForTesting(&dlg.m_linkMail); });
        EXPECT_EQ(second.crWeb, kPurple);
        EXPECT_EQ(second.crMail, kBlue);
        EXPECT_EQ(m_opened, (std::vector<CString>{PRODLET_WEB_ADDRESS, "mailto:" PRODLET_MAIL_ADDRESS}));
        EXPECT_TRUE(app.m_bMailLinkVisited);
        EXPECT_TRUE(app.m_bWebLinkVisited);
        Exit(app, pView);
    }
    // The next run starts with both unvisited.
    CProdletApp app;
    CProdletView* pView = Start(app);
    ASSERT_NE(pView, nullptr);
    const SeenBox next = OpenAbout(app);
    EXPECT_EQ(next.crMail, kBlue);
    EXPECT_EQ(next.crWeb, kBlue);
    EXPECT_EQ(m_nBeeps, 0);
    Exit(app, pView);
}

// From the Help menu the frame routes the command to the view first; the tray
// posts it to the view. Both end in the application's About box.
TEST_F(AboutTest, TheHelpMenuAndTheTrayMenuOpenTheAboutBox)
{
    CProdletApp app;
    CProdletView* pView = Start(app);
    ASSERT_NE(pView, nullptr);
    AnswerLocalLookup(pView, "192.0.2.8");
    m_clock.m_dwTick = pView->GetLaunchTick() + 7000;

    const std::optional<SeenBox> fromHelp =
        AboutOpenedBy([&] { app.m_pMainWnd->SendMessage(WM_COMMAND, ID_APP_ABOUT, 0); });
    ASSERT_TRUE(fromHelp.has_value());
    EXPECT_EQ(fromHelp->strIp, "192.0.2.8");
    EXPECT_EQ(fromHelp->strTime, "7 seconds");

    // Posted as the tray posts it, ahead of the question that answers the box.
    pView->PostMessage(WM_COMMAND, ID_APP_ABOUT, 0);
    const std::optional<SeenBox> fromTray = AboutOpenedBy([] {});
    ASSERT_TRUE(fromTray.has_value());
    EXPECT_EQ(fromTray->strIp, "192.0.2.8");
    Exit(app, pView);
}

TEST_F(AboutTest, HelpTopicsOpensTheManualOrSaysWhereItIs)
{
    CProdletApp app;
    CProdletView* pView = Start(app);
    ASSERT_NE(pView, nullptr);
    app.m_pszHelpFilePath = m_files.Dir().File("index.html");

    app.m_pMainWnd->SendMessage(WM_COMMAND, ID_HELP_FINDER, 0);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], "Prodlet could not open its manual.\n\nThe manual is the file\n" + app.m_pszHelpFilePath);
    EXPECT_TRUE(m_opened.empty());

    m_files.Dir().Write("index.html", "<html></html>");
    app.m_pMainWnd->SendMessage(WM_COMMAND, ID_HELP_FINDER, 0);
    ASSERT_EQ(m_opened.size(), 1u);
    // On Windows the path has a drive: file:///C:/...
    const std::filesystem::path manual = std::filesystem::absolute(app.m_pszHelpFilePath).lexically_normal();
    const bool bDrive = std::filesystem::path::preferred_separator == '\\';
    EXPECT_EQ(m_opened[0], (bDrive ? "file:///" : "file://") + manual.generic_string());
    EXPECT_EQ(m_boxes.size(), 1u);
    Exit(app, pView);
}
