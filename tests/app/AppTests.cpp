// Start-up, the main frame and shut-down of the application object.
#include "app/MainFrame.h"
#include "app/ProdletApp.h"
#include "engine/ProdletView.h"
#include "framework/Resources.h"
#include "framework/Shell.h"
#include "tests/engine/ScriptedWinsock.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

TEST(MainFrame, CentredGeometryIsAQuarterByThreeTenthsOfTheScreen)
{
    struct Case {
        int cxScreen, cyScreen, x, y, cx, cy;
    } cases[] = {{640, 480, 240, 168, 160, 144}, {800, 600, 300, 210, 200, 180}, {1024, 768, 384, 269, 256, 230}};
    for (const Case& c : cases) {
        CREATESTRUCT cs = CMainFrame::CentredGeometry(c.cxScreen, c.cyScreen);
        EXPECT_EQ(cs.cx, c.cx) << c.cxScreen;
        EXPECT_EQ(cs.cy, c.cy) << c.cyScreen;
        EXPECT_EQ(cs.x, c.x) << c.cxScreen;
        EXPECT_EQ(cs.y, c.y) << c.cyScreen;
        EXPECT_EQ(cs.style, WS_BORDER);
    }
}

namespace {

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxSetMessageBoxHook([this](const CString&, const CString& strText, UINT) {
            m_boxes.push_back(strText);
            return IDOK;
        });
        AfxSetNotifyIconHook([this](DWORD dwMessage, const NOTIFYICONDATA&) {
            m_trayMessages.push_back(dwMessage);
            return dwMessage == NIM_ADD ? m_bTray : TRUE;
        });
    }
    void TearDown() override
    {
        AfxSetNotifyIconHook(nullptr);
        AfxSetMessageBoxHook(nullptr);
    }

    void WriteIni(const std::string& strText) { m_files.Dir().Write("Prodlet.INI", strText); }

    // Runs InitInstance of a fresh application with the given arguments.
    BOOL Start(CProdletApp& app, std::vector<std::string> args = {})
    {
        m_args = {"prodlet"};
        m_args.insert(m_args.end(), args.begin(), args.end());
        m_argv.clear();
        for (std::string& str : m_args)
            m_argv.push_back(str.data());
        m_argv.push_back(nullptr);
        app.m_argc = static_cast<int>(m_args.size());
        app.m_argv = m_argv.data();
        return app.InitInstance();
    }

    static CMainFrame* Frame(CProdletApp& app) { return dynamic_cast<CMainFrame*>(app.m_pMainWnd); }
    static CProdletView* View(CProdletApp& app)
    {
        CMainFrame* pFrame = Frame(app);
        return pFrame ? dynamic_cast<CProdletView*>(pFrame->GetActiveView()) : nullptr;
    }

    // Exit from the tray menu, then the application's exit step.
    int Exit(CProdletApp& app)
    {
        if (CProdletView* pView = View(app))
            pView->SendMessage(WM_COMMAND, ID_EXIT, 0);
        AfxPumpMessages();  // what the message loop would go on to do
        return app.ExitInstance();
    }

    CScopedPlatformFiles m_files;
    CFakeClock m_clock;
    std::vector<std::string> m_boxes;
    std::vector<DWORD> m_trayMessages;
    BOOL m_bTray = TRUE;
    std::vector<std::string> m_args;
    std::vector<char*> m_argv;
};

}  // namespace

TEST_F(AppTest, FirstRunImportsTheIniFileAndLaterRunsDoNot)
{
    WriteIni("[Settings]\nOften=7\nAutoStart=0\nComboName0=127.0.0.1\n");
    {
        CProdletApp app;
        ASSERT_TRUE(Start(app));
        CProdletView* pView = View(app);
        ASSERT_NE(pView, nullptr);
        // The store was there before the view: the view already sees the import.
        EXPECT_EQ(pView->GetDlgItem(IDC_OFTEN)->GetWindowText(), "7");
        EXPECT_FALSE(pView->HasTimer(IDT_AUTOSTART));  // Auto-Start off
        EXPECT_EQ(pView->GetCurrentHost(), "127.0.0.1");
        EXPECT_EQ(Exit(app), 0);
    }
    std::string strHive = m_files.HiveText();
    EXPECT_NE(strHive.find("[HKEY_LOCAL_MACHINE\\Software\\Quorvane Software\\Prodlet\\Settings]"), std::string::npos);
    EXPECT_NE(strHive.find("\"Often\"=\"7\""), std::string::npos);

    WriteIni("[Settings]\nOften=9\n");
    {
        CProdletApp app;
        ASSERT_TRUE(Start(app));
        EXPECT_EQ(View(app)->GetDlgItem(IDC_OFTEN)->GetWindowText(), "7");
        Exit(app);
    }
}

TEST_F(AppTest, WithoutArgumentsOnlyTheTrayIconShows)
{
    CProdletApp app;
    ASSERT_TRUE(Start(app));
    CMainFrame* pFrame = Frame(app);
    ASSERT_NE(pFrame, nullptr);
    EXPECT_FALSE(pFrame->IsWindowVisible());
    ASSERT_FALSE(m_trayMessages.empty());
    EXPECT_EQ(m_trayMessages.front(), NIM_ADD);
    EXPECT_TRUE(m_boxes.empty());

    // Restore shows the fitted frame; Return To Tray hides it again.
    View(app)->SendMessage(WM_COMMAND, ID_RESTORE, 0);
    EXPECT_TRUE(pFrame->IsWindowVisible());
    View(app)->SendMessage(WM_COMMAND, IDC_RETURN_TO_TRAY, 0);
    EXPECT_FALSE(pFrame->IsWindowVisible());

    EXPECT_EQ(Exit(app), 0);
    // The icon left with the view.
    EXPECT_EQ(m_trayMessages.back(), NIM_DELETE);
}

TEST_F(AppTest, AnotherStartRestoresTheHiddenWindowOnceThereIsOne)
{
    CProdletApp app;
    // Still starting: nothing to restore, so the other start is told to wait.
    EXPECT_FALSE(app.RestoreFromAnotherStart());
    ASSERT_TRUE(Start(app));
    CMainFrame* pFrame = Frame(app);
    ASSERT_FALSE(pFrame->IsWindowVisible());
    EXPECT_TRUE(app.RestoreFromAnotherStart());
    AfxPumpUntil([pFrame] { return pFrame->IsWindowVisible() != FALSE; }, 30000);
    EXPECT_TRUE(pFrame->IsWindowVisible());
    // As Restore does it, so Return To Tray hides it as after Restore.
    View(app)->SendMessage(WM_COMMAND, IDC_RETURN_TO_TRAY, 0);
    EXPECT_FALSE(pFrame->IsWindowVisible());
    EXPECT_EQ(Exit(app), 0);
    // Once the frame is gone, there is nothing to restore again.
    EXPECT_FALSE(app.RestoreFromAnotherStart());
}

TEST_F(AppTest, AFileOnTheCommandLineOpensItWithTheFrameShown)
{
    m_files.Dir().Write("some.doc", "anything");
    CProdletApp app;
    ASSERT_TRUE(Start(app, {m_files.Dir().File("some.doc")}));
    EXPECT_TRUE(Frame(app)->IsWindowVisible());
    Exit(app);
}

TEST_F(AppTest, AMissingFileOnTheCommandLineEndsStartUp)
{
    CProdletApp app;
    EXPECT_FALSE(Start(app, {m_files.Dir().File("missing.doc")}));
    app.ExitInstance();
}

TEST_F(AppTest, WithoutANotificationAreaTheFrameIsShownInstead)
{
    m_bTray = FALSE;
    CProdletApp app;
    ASSERT_TRUE(Start(app));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], "Failed to create tray icon");
    EXPECT_TRUE(Frame(app)->IsWindowVisible());
    Exit(app);
}

// The panel comes up while the box is open, as it does at a login: the icon
// goes in, the box is closed, and the frame stays in the tray.
TEST_F(AppTest, AnAreaThatAppearsWhileTheBoxIsOpenTakesTheIconAndTheFrameStaysHidden)
{
    m_bTray = FALSE;
    AfxSetMessageBoxHook([this](const CString&, const CString& strText, UINT) {
        m_boxes.push_back(strText);
        m_bTray = TRUE;
        auto* pFrame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd());
        if (CView* pView = pFrame ? pFrame->GetActiveView() : nullptr)
            pView->SendMessage(WM_TRAY_NOTIFY, IDR_TRAY_MENU, static_cast<LPARAM>(NIN_AREAAPPEARED));
        return IDOK;
    });
    CProdletApp app;
    ASSERT_TRUE(Start(app));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(std::count(m_trayMessages.begin(), m_trayMessages.end(), NIM_ADD), 2);
    EXPECT_FALSE(Frame(app)->IsWindowVisible());
    // With the icon there, Return To Tray hides rather than minimises.
    View(app)->SendMessage(WM_COMMAND, ID_RESTORE, 0);
    ASSERT_TRUE(Frame(app)->IsWindowVisible());
    View(app)->SendMessage(WM_COMMAND, IDC_RETURN_TO_TRAY, 0);
    EXPECT_FALSE(Frame(app)->IsWindowVisible());
    EXPECT_EQ(Exit(app), 0);
}

// Once the user has the frame in front of them, an area that comes later
// takes the icon and leaves the frame where it is.
TEST_F(AppTest, AnAreaThatAppearsAfterTheBoxLeavesTheShownFrame)
{
    m_bTray = FALSE;
    CProdletApp app;
    ASSERT_TRUE(Start(app));
    ASSERT_TRUE(Frame(app)->IsWindowVisible());
    View(app)->SendMessage(WM_COMMAND, IDC_RETURN_TO_TRAY, 0);
    EXPECT_TRUE(Frame(app)->IsWindowVisible());  // minimised: nothing to come back from
    View(app)->SendMessage(WM_COMMAND, ID_RESTORE, 0);

    m_bTray = TRUE;
    View(app)->SendMessage(WM_TRAY_NOTIFY, IDR_TRAY_MENU, static_cast<LPARAM>(NIN_AREAAPPEARED));
    EXPECT_EQ(m_trayMessages.back(), NIM_ADD);
    EXPECT_TRUE(Frame(app)->IsWindowVisible());
    EXPECT_EQ(m_boxes.size(), 1u);
    View(app)->SendMessage(WM_COMMAND, IDC_RETURN_TO_TRAY, 0);
    EXPECT_FALSE(Frame(app)->IsWindowVisible());
    EXPECT_EQ(Exit(app), 0);
}

TEST_F(AppTest, TheFrameIsLockedToTheFittedSize)
{
    CProdletApp app;
    ASSERT_TRUE(Start(app));
    CProdletView* pView = View(app);
    CSize sizeFrame;
    ASSERT_TRUE(pView->GetFrameSize(sizeFrame));
    MINMAXINFO mmi{};
    mmi.ptMinTrackSize = {1, 2};
    mmi.ptMaxTrackSize = {3000, 4000};
    Frame(app)->SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(mmi.ptMinTrackSize.x, sizeFrame.cx);
    EXPECT_EQ(mmi.ptMinTrackSize.y, sizeFrame.cy);
    EXPECT_EQ(mmi.ptMaxTrackSize.x, sizeFrame.cx);
    EXPECT_EQ(mmi.ptMaxTrackSize.y, sizeFrame.cy);
    CRect rc;
    Frame(app)->GetWindowRect(&rc);
    EXPECT_EQ(rc.Width(), sizeFrame.cx);
    Exit(app);
}

TEST_F(AppTest, BeforeTheInitialUpdateTheSizeIsNotLocked)
{
    AfxSetResources(&ProdletResources());
    CMainFrame frame;
    ASSERT_TRUE(frame.CreateBare("Prodlet", CRect{0, 0, 200, 200}));
    CProdletView* pView = new CProdletView;
    pView->Create(&frame);
    frame.SetActiveView(pView);
    MINMAXINFO mmi{};
    mmi.ptMinTrackSize = {1, 2};
    mmi.ptMaxTrackSize = {3000, 4000};
    frame.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(mmi.ptMinTrackSize.x, 1);
    EXPECT_EQ(mmi.ptMaxTrackSize.y, 4000);
    frame.DestroyWindow();
    delete pView;
}

TEST_F(AppTest, ShutdownButtonEndsTheProgramInOrder)
{
    CProdletApp app;
    ASSERT_TRUE(Start(app));
    View(app)->SendMessage(WM_COMMAND, IDC_SHUTDOWN, 0);
    AfxPumpMessages();
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(m_trayMessages.back(), NIM_DELETE);
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(GetAppSettings(), nullptr);
}

TEST_F(AppTest, AFailedSaveIsShownOnceFromTheMessageLoop)
{
    // A folder where the settings file should be: the first run cannot even make its key.
    std::filesystem::create_directory(m_files.HivePath());
    CScriptedWinsock net;
    CProdletApp app;
    ASSERT_TRUE(Start(app));
    EXPECT_TRUE(m_boxes.empty());  // not in the middle of the write that failed
    AfxPumpMessages();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], "Prodlet: Cannot save settings to " + m_files.HivePath() + ": " + std::strerror(EISDIR));

    // Later failures of the run stay quiet.
    // A probe that connects saves the host list, which fails again.
    CProdletView* pView = View(app);
    pView->SendMessage(WM_COMMAND, IDC_START, 0);
    net.AnswerLastLookup({"10.1.2.3"});     // the machine's own name
    net.AnswerLastLookup({"192.0.2.10"});   // the first host of the list
    pView->SendMessage(WM_TIMER, IDT_TICK, 0);
    ASSERT_EQ(net.m_connects.size(), 1u);
    AfxPumpMessages();
    EXPECT_EQ(m_boxes.size(), 1u);
    Exit(app);
}
