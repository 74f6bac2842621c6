// The application object, the single-document template, documents and the
// main loop's start and end.
#include "framework/Resources.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "tests/support/TestBackend.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

namespace {

constexpr UINT IDR_TEST = 900;
constexpr UINT IDD_TEST_FORM = 901;
constexpr UINT ID_FILE_NEW = 57600;
constexpr UINT IDT_WATCHDOG = 77;

const AFX_DLGITEM kFormItems[] = {
    {AfxControl::Static, -1, "form", 5, 5, 40, 10},
};
const AFX_DLGTEMPLATE kDialogs[] = {
    {IDD_TEST_FORM, "", 0, 0, 100, 60, "MS Sans Serif", 8, TRUE, kFormItems},
};
const AFX_MENUITEM kFramePopup[] = {
    {MF_STRING, "&New", ID_FILE_NEW, {}},
};
const AFX_MENUITEM kFrameMenu[] = {
    {MF_POPUP, "&File", 0, kFramePopup},
};
const AFX_MENU kMenus[] = {{IDR_TEST, kFrameMenu}};
const AFX_STRING kStrings[] = {
    {57344, "Tester"},
    {IDR_TEST, "Test Title\n\nTest\n\n\nTest.Document\nTest Document"},
};
const AFX_RESOURCES kResources = {kDialogs, kMenus, {}, kStrings, {}};

// What happened, in order, across document, frame and view.
std::vector<std::string> g_events;
bool g_bFailNewDocument = false;
int g_nShowOnNew = -1;  // what the document's new step sets m_nCmdShow to; -1 leaves it
int g_nInitialUpdates = 0;
bool g_bSignalInInitialUpdate = false;  // SIGTERM, then a message box, in the view's initial update
std::vector<bool> g_serializeStoring;

class CTestDoc : public CDocument {
    DECLARE_DYNCREATE(CTestDoc)
public:
    ~CTestDoc() override { g_events.push_back("doc deleted"); }
    BOOL OnNewDocument() override
    {
        g_events.push_back("new document");
        if (g_bFailNewDocument || !CDocument::OnNewDocument())
            return FALSE;
        if (g_nShowOnNew >= 0)
            AfxGetApp()->m_nCmdShow = g_nShowOnNew;
        return TRUE;
    }
    void Serialize(CArchive& ar) override { g_serializeStoring.push_back(ar.IsStoring() != FALSE); }
};
IMPLEMENT_DYNCREATE(CTestDoc)

class CTestFrame : public CFrameWnd {
    DECLARE_DYNCREATE(CTestFrame)
public:
    ~CTestFrame() override { g_events.push_back("frame deleted"); }
};
IMPLEMENT_DYNCREATE(CTestFrame)

class CTestView : public CFormView {
    DECLARE_DYNCREATE(CTestView)
public:
    CTestView() : CFormView(IDD_TEST_FORM) {}
    ~CTestView() override { g_events.push_back("view deleted"); }
    void OnInitialUpdate() override
    {
        ++g_nInitialUpdates;
        g_events.push_back("initial update");
        CFormView::OnInitialUpdate();
        if (g_bSignalInInitialUpdate) {
            std::raise(SIGTERM);
            AfxMessageBox("box");
            g_events.push_back("box closed");
        }
    }
    void OnDestroy() { g_events.push_back("view WM_DESTROY"); }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CTestView)
BEGIN_MESSAGE_MAP(CTestView, CFormView)
    ON_WM_DESTROY(&CTestView::OnDestroy)
END_MESSAGE_MAP()

// Ends a loop that would otherwise never end, so a fault fails the test
// instead of hanging it.
class CWatchdogWnd : public CFrameWnd {
public:
    void OnTimer(UINT) { AfxPostQuit(99); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CWatchdogWnd, CFrameWnd)
    ON_WM_TIMER(&CWatchdogWnd::OnTimer)
END_MESSAGE_MAP()

class CTestApp : public CWinApp {
public:
    CTestApp() { AddDocTemplate(new CSingleDocTemplate(IDR_TEST, RUNTIME_CLASS(CTestDoc), RUNTIME_CLASS(CTestFrame),
                                                       RUNTIME_CLASS(CTestView))); }
    CSingleDocTemplate* Template() const { return m_templates.front().get(); }
    void SetArgs(std::vector<std::string> args)
    {
        m_args = std::move(args);
        m_argPtrs.clear();
        for (std::string& str : m_args)
            m_argPtrs.push_back(str.data());
        m_argPtrs.push_back(nullptr);
        m_argc = static_cast<int>(m_args.size());
        m_argv = m_argPtrs.data();
    }

private:
    std::vector<std::string> m_args;
    std::vector<char*> m_argPtrs;
};

// Sets the tables before the application object that reads its name from them.
struct CTestResources {
    CTestResources() { AfxSetResources(&kResources); }
};

class AppTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_events.clear();
        g_bFailNewDocument = false;
        g_nShowOnNew = -1;
        g_nInitialUpdates = 0;
        g_serializeStoring.clear();
        AfxSetMessageBoxHook([this](const CString& strCaption, const CString& strText, UINT) {
            m_boxes.push_back(strCaption + "|" + strText);
            return IDOK;
        });
    }
    void TearDown() override
    {
        AfxSetMessageBoxHook(nullptr);
        AfxPumpMessages();
    }

    CCommandLineInfo Parse(std::vector<std::string> args)
    {
        args.insert(args.begin(), "prog");
        m_app.SetArgs(std::move(args));
        CCommandLineInfo info;
        info.m_strFileName = "stale";
        m_app.ParseCommandLine(info);
        return info;
    }

    CTestResources m_resources;
    CTestApp m_app;
    std::vector<std::string> m_boxes;
};

TEST_F(AppTest, NameComesFromTheStringTable)
{
    EXPECT_EQ(m_app.m_pszAppName, "Tester");
    EXPECT_EQ(AfxGetApp(), &m_app);
}

TEST_F(AppTest, CommandLineWithoutArgumentsIsANewDocument)
{
    CCommandLineInfo info = Parse({});
    EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileNew);
    EXPECT_EQ(info.m_strFileName, "");

    info = Parse({"-reverse", "--style=fusion"});
    EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileNew);
}

TEST_F(AppTest, FirstNonOptionArgumentIsTheFileToOpen)
{
    CCommandLineInfo info = Parse({"notes.txt", "other.txt"});
    EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileOpen);
    EXPECT_EQ(info.m_strFileName, "notes.txt");

    // The toolkit's own options and their values are not file names; where
    // there is no toolkit, the value is the first argument that is no option.
    info = Parse({"-platform", "offscreen", "--style", "fusion", "-x", "doc"});
    EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileOpen);
    EXPECT_EQ(info.m_strFileName, TestToolkitHasOptions() ? "doc" : "offscreen");

    info = Parse({"--", "-dashed"});
    EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileOpen);
    EXPECT_EQ(info.m_strFileName, "-dashed");
}

TEST_F(AppTest, NewDocumentCreatesDocumentFrameAndViewInOrder)
{
    g_nShowOnNew = SW_HIDE;
    CCommandLineInfo info;
    ASSERT_TRUE(m_app.ProcessShellCommand(info));
    CSingleDocTemplate* pTemplate = m_app.Template();
    ASSERT_NE(pTemplate->GetDocument(), nullptr);
    CFrameWnd* pFrame = pTemplate->GetFrame();
    ASSERT_NE(pFrame, nullptr);
    EXPECT_TRUE(pFrame->IsWindow());
    EXPECT_EQ(pFrame->GetWindowText(), "Test Title");
    auto* pView = dynamic_cast<CTestView*>(pFrame->GetActiveView());
    ASSERT_NE(pView, nullptr);
    EXPECT_EQ(pView->GetParentFrame(), pFrame);
    EXPECT_EQ(m_app.m_pMainWnd, pFrame);
    EXPECT_EQ(AfxGetMainWnd(), pFrame);
    EXPECT_EQ(g_events, (std::vector<std::string>{"new document", "initial update"}));
    // The show state the document asked for is applied once, then forgotten.
    EXPECT_FALSE(pFrame->IsWindowVisible());
    EXPECT_EQ(m_app.m_nCmdShow, SW_SHOWNORMAL);
}

TEST_F(AppTest, SecondNewDocumentReusesEverythingAndUpdatesAgain)
{
    g_nShowOnNew = SW_HIDE;
    CCommandLineInfo info;
    ASSERT_TRUE(m_app.ProcessShellCommand(info));
    CDocument* pDoc = m_app.Template()->GetDocument();
    CFrameWnd* pFrame = m_app.Template()->GetFrame();
    CView* pView = pFrame->GetActiveView();
    EXPECT_FALSE(pFrame->IsWindowVisible());

    // Through the command map, as Ctrl+N would; this time shown.
    g_nShowOnNew = -1;
    EXPECT_TRUE(m_app.OnCmdMsg(ID_FILE_NEW));
    EXPECT_EQ(g_nInitialUpdates, 2);
    EXPECT_EQ(m_app.Template()->GetDocument(), pDoc);
    EXPECT_EQ(m_app.Template()->GetFrame(), pFrame);
    EXPECT_EQ(pFrame->GetActiveView(), pView);
    EXPECT_TRUE(pFrame->IsWindowVisible());

    // And hidden again by the next one.
    g_nShowOnNew = SW_HIDE;
    m_app.OnFileNew();
    EXPECT_EQ(g_nInitialUpdates, 3);
    EXPECT_FALSE(pFrame->IsWindowVisible());
    EXPECT_EQ(std::count(g_events.begin(), g_events.end(), "doc deleted"), 0);
}

TEST_F(AppTest, FailedNewDocumentUndoesWhatItCreated)
{
    g_bFailNewDocument = true;
    CCommandLineInfo info;
    EXPECT_FALSE(m_app.ProcessShellCommand(info));
    EXPECT_EQ(m_app.Template()->GetDocument(), nullptr);
    EXPECT_EQ(m_app.Template()->GetFrame(), nullptr);
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    EXPECT_EQ(g_nInitialUpdates, 0);
    EXPECT_EQ(g_events, (std::vector<std::string>{"new document", "view WM_DESTROY", "view deleted", "frame deleted",
                                                  "doc deleted"}));
}

TEST_F(AppTest, FailedSecondNewDocumentKeepsTheOpenOne)
{
    CCommandLineInfo info;
    ASSERT_TRUE(m_app.ProcessShellCommand(info));
    CDocument* pDoc = m_app.Template()->GetDocument();
    g_bFailNewDocument = true;
    EXPECT_EQ(m_app.Template()->OpenDocumentFile(""), nullptr);
    EXPECT_EQ(m_app.Template()->GetDocument(), pDoc);
    EXPECT_EQ(g_nInitialUpdates, 1);
    EXPECT_EQ(std::count(g_events.begin(), g_events.end(), "doc deleted"), 0);
}

TEST_F(AppTest, OpeningAMissingFileFailsWithAMessage)
{
    CTempDir dir;
    CCommandLineInfo info;
    info.m_nShellCommand = CCommandLineInfo::FileOpen;
    info.m_strFileName = dir.File("missing.doc");
    EXPECT_FALSE(m_app.ProcessShellCommand(info));
    EXPECT_EQ(m_app.Template()->GetDocument(), nullptr);
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    EXPECT_TRUE(g_serializeStoring.empty());
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].rfind("Tester|", 0), 0u);
    EXPECT_NE(m_boxes[0].find("missing.doc"), std::string::npos);

    // A directory is no document either.
    info.m_strFileName = dir.Path();
    EXPECT_FALSE(m_app.ProcessShellCommand(info));
}

TEST_F(AppTest, OpeningAFileReadsNothingAndShowsTheFrame)
{
    CTempDir dir;
    dir.Write("some.doc", "whatever is inside");
    CCommandLineInfo info;
    info.m_nShellCommand = CCommandLineInfo::FileOpen;
    info.m_strFileName = dir.File("some.doc");
    ASSERT_TRUE(m_app.ProcessShellCommand(info));
    EXPECT_EQ(g_serializeStoring, std::vector<bool>{false});
    EXPECT_EQ(g_events, (std::vector<std::string>{"initial update"}));  // no new-document step
    EXPECT_TRUE(m_app.Template()->GetFrame()->IsWindowVisible());
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(AppTest, SavingWritesAnEmptyFile)
{
    CTempDir dir;
    dir.Write("out.doc", "old content");
    CTestDoc doc;
    EXPECT_TRUE(doc.OnSaveDocument(dir.File("out.doc")));
    EXPECT_EQ(g_serializeStoring, std::vector<bool>{true});
    EXPECT_EQ(dir.Read("out.doc"), "");
    EXPECT_TRUE(m_boxes.empty());

    EXPECT_FALSE(doc.OnSaveDocument(dir.File("no/such/dir/out.doc")));
    EXPECT_EQ(m_boxes.size(), 1u);
}

TEST_F(AppTest, ClosingTheMainFrameTearsDownInOrderAndEndsTheLoop)
{
    CCommandLineInfo info;
    ASSERT_TRUE(m_app.ProcessShellCommand(info));
    CWatchdogWnd watchdog;
    ASSERT_TRUE(watchdog.CreateBare("watchdog", CRect{0, 0, 10, 10}));
    watchdog.SetTimer(IDT_WATCHDOG, 30000);
    g_events.clear();

    m_app.m_pMainWnd->PostMessage(WM_CLOSE);
    const int nResult = m_app.Run();
    EXPECT_NE(nResult, 99) << "the loop went on after the main window was gone";
    EXPECT_EQ(g_events,
              (std::vector<std::string>{"view WM_DESTROY", "view deleted", "frame deleted", "doc deleted"}));
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    EXPECT_EQ(m_app.Template()->GetDocument(), nullptr);
    EXPECT_EQ(m_app.ExitInstance(), 0);
    watchdog.DestroyWindow();
}

TEST_F(AppTest, PostedQuitEndsTheLoopWithItsCode)
{
    AfxPostQuit(3);
    EXPECT_EQ(m_app.Run(), 3);
    EXPECT_EQ(m_app.ExitInstance(), 3);
}

// AfxWinMain with an application whose start-up fails or is told to stop.
class CMainApp : public CTestApp {
public:
    BOOL InitInstance() override
    {
        CCommandLineInfo info;
        ParseCommandLine(info);
        if (!ProcessShellCommand(info))
            return FALSE;
        m_watchdog.CreateBare("watchdog", CRect{0, 0, 10, 10});
        m_watchdog.SetTimer(IDT_WATCHDOG, 30000);
        if (m_nSignal != 0)
            std::raise(m_nSignal);
        return TRUE;
    }
    int ExitInstance() override
    {
        g_events.push_back("exit instance");
        m_watchdog.DestroyWindow();
        return CWinApp::ExitInstance();
    }
    int m_nSignal = 0;
    CWatchdogWnd m_watchdog;
};

TEST(AppMainTest, FailedStartEndsWithExitInstance)
{
    AfxSetResources(&kResources);
    g_events.clear();
    g_bFailNewDocument = true;
    CMainApp app;
    char szProg[] = "prog";
    char* argv[] = {szProg, nullptr};
    EXPECT_EQ(AfxWinMain(1, argv), 1);  // a failed start is no success
    EXPECT_EQ(g_events.back(), "exit instance");
    EXPECT_EQ(std::count(g_events.begin(), g_events.end(), "initial update"), 0);
    g_bFailNewDocument = false;
}

// POSIX signals; Windows ends a program through its windows' messages.
#ifndef _WIN32
TEST(AppMainTest, TerminateSignalClosesTheMainWindowInOrder)
{
    AfxSetResources(&kResources);
    g_events.clear();
    g_bFailNewDocument = false;
    g_nShowOnNew = SW_HIDE;
    // A hang-up (the session going away) ends the program as SIGTERM does.
    for (int nSignal : {SIGTERM, SIGHUP}) {
        g_events.clear();
        CMainApp app;
        app.m_nSignal = nSignal;
        char szProg[] = "prog";
        char* argv[] = {szProg, nullptr};
        EXPECT_EQ(AfxWinMain(1, argv), 0) << nSignal;
        EXPECT_EQ(g_events, (std::vector<std::string>{"new document", "initial update", "view WM_DESTROY",
                                                      "view deleted", "frame deleted", "doc deleted", "exit instance"}))
            << nSignal;
    }
    g_nShowOnNew = -1;
}

}  // namespace

namespace {

// The frame closes while the view's own step waits in a message box: the box
// goes with the main window, and the view lives until its step has returned.
TEST(AppMainTest, TerminateSignalDuringAMessageBoxEndsInOrder)
{
    if (!TestBoxesWaitForTheUser())
        GTEST_SKIP() << "message boxes of this backend are answered at once";
    AfxSetResources(&kResources);
    g_events.clear();
    g_bSignalInInitialUpdate = true;
    CMainApp app;
    char szProg[] = "prog";
    char* argv[] = {szProg, nullptr};
    EXPECT_EQ(AfxWinMain(1, argv), 0);
    EXPECT_EQ(g_events, (std::vector<std::string>{"new document", "initial update", "view WM_DESTROY", "box closed",
                                                  "view deleted", "frame deleted", "doc deleted", "exit instance"}));
    g_bSignalInInitialUpdate = false;
}
#endif

}  // namespace
