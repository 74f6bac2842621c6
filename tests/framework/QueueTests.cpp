// The one queue to the user-interface thread and the window handles: order
// across nested loops, handles that never dangle, and the orderly end of
// AfxWinMain with the main window still standing.
#include "framework/Resources.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kWaitMs = 20000;
constexpr UINT IDD_NESTED = 9101;
constexpr UINT IDR_QUEUE_FRAME = 9102;
constexpr UINT IDD_QUEUE_FORM = 9103;
constexpr UINT WM_STEP = WM_APP + 40;

const AFX_DLGITEM g_aNestedItems[] = {{AfxControl::DefPushButton, IDOK, "OK", 10, 10, 40, 14}};
const AFX_DLGITEM g_aFormItems[] = {{AfxControl::Static, 700, "label", 10, 10, 60, 8}};
const AFX_DLGTEMPLATE g_aDialogs[] = {
    {IDD_NESTED, "Nested", 0, 0, 60, 30, "MS Sans Serif", 8, FALSE, g_aNestedItems},
    {IDD_QUEUE_FORM, "", 0, 0, 100, 40, "MS Sans Serif", 8, TRUE, g_aFormItems},
};
const AFX_STRING g_aStrings[] = {{57344, "Queue Tests"}, {IDR_QUEUE_FRAME, "Queue"}};
const AFX_RESOURCES g_resources = {g_aDialogs, {}, {}, g_aStrings, {}};

class QueueTest : public testing::Test {
protected:
    void SetUp() override { AfxSetResources(&g_resources); }
    void TearDown() override { AfxPumpMessages(); }
};

// Runs a modal dialog (a nested loop) on the first step and ends it on the
// last, recording every step as it arrives.
class CStepFrame : public CFrameWnd {
public:
    LRESULT WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) override
    {
        if (nMessage != WM_STEP)
            return CFrameWnd::WindowProc(nMessage, wParam, lParam);
        Step(static_cast<char>(wParam));
        return 0;
    }
    void Step(char chStep)
    {
        m_strSteps += chStep;
        if (chStep == m_chOpens) {
            CDialog dlg(IDD_NESTED, this);
            m_pDialog = &dlg;
            m_nResult = dlg.DoModal();
            m_pDialog = nullptr;
            m_strSteps += '.';
        } else if (chStep == m_chEnds && m_pDialog != nullptr) {
            m_pDialog->EndDialog(IDOK);
        }
    }
    std::string m_strSteps;
    char m_chOpens = 0;
    char m_chEnds = 0;
    CDialog* m_pDialog = nullptr;
    int m_nResult = 0;
};

}  // namespace

TEST_F(QueueTest, WorkAndMessagesArriveInTheirOrderAlsoAroundANestedLoop)
{
    CStepFrame frame;
    ASSERT_TRUE(frame.CreateBare("Steps", CRect{0, 0, 200, 100}));
    frame.m_chOpens = 'A';
    frame.m_chEnds = 'C';
    const HWND hWnd = frame.GetSafeHwnd();
    // A and B come as work handed over by another thread (a look-up's
    // answer), C as a posted message; A's handler opens a dialog.
    std::thread([hWnd] {
        AfxRunOnUiThread([hWnd] { CWnd::FromHandle(hWnd)->SendMessage(WM_STEP, 'A'); });
        AfxRunOnUiThread([hWnd] { CWnd::FromHandle(hWnd)->SendMessage(WM_STEP, 'B'); });
    }).join();
    ASSERT_TRUE(frame.PostMessage(WM_STEP, 'C'));
    ASSERT_TRUE(AfxPumpUntil([&] { return frame.m_strSteps.find('.') != std::string::npos; }, kWaitMs));
    EXPECT_EQ(frame.m_strSteps, "ABC.");
    EXPECT_EQ(frame.m_nResult, IDOK);

    // What a handler posts while its nested loop runs comes after what was
    // there before it.
    frame.m_strSteps.clear();
    frame.m_chOpens = 'D';
    frame.m_chEnds = 'F';
    AfxRunOnUiThread([&] {
        frame.SendMessage(WM_STEP, 'D');
    });
    frame.PostMessage(WM_STEP, 'E');
    AfxRunOnUiThread([&] { frame.PostMessage(WM_STEP, 'F'); });
    ASSERT_TRUE(AfxPumpUntil([&] { return frame.m_strSteps.find('.') != std::string::npos; }, kWaitMs));
    EXPECT_EQ(frame.m_strSteps, "DEF.");
    frame.DestroyWindow();
}

TEST_F(QueueTest, HandlesNameOneWindowLifeAndNeverComeBack)
{
    CFrameWnd frame;
    EXPECT_EQ(frame.GetSafeHwnd(), nullptr);
    EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
    ASSERT_TRUE(frame.CreateBare("First", CRect{0, 0, 100, 100}));
    const HWND hFirst = frame.GetSafeHwnd();
    ASSERT_NE(hFirst, nullptr);
    EXPECT_EQ(CWnd::FromHandle(hFirst), &frame);
    frame.DestroyWindow();
    EXPECT_EQ(CWnd::FromHandle(hFirst), nullptr);

    // The same object's next window is another window.
    ASSERT_TRUE(frame.CreateBare("Second", CRect{0, 0, 100, 100}));
    EXPECT_NE(frame.GetSafeHwnd(), hFirst);
    EXPECT_EQ(CWnd::FromHandle(hFirst), nullptr);
    EXPECT_FALSE(AfxPostMessage(nullptr, WM_STEP));
    EXPECT_TRUE(AfxPostMessage(hFirst, WM_STEP));  // accepted, and dropped at delivery
    frame.DestroyWindow();

    // A handle kept past the object's end finds nothing either.
    HWND hGone = nullptr;
    {
        auto pFrame = std::make_unique<CFrameWnd>();
        ASSERT_TRUE(pFrame->CreateBare("Gone", CRect{0, 0, 100, 100}));
        hGone = pFrame->GetSafeHwnd();
    }
    EXPECT_EQ(CWnd::FromHandle(hGone), nullptr);
    AfxPumpMessages();
}

// ---- the end of AfxWinMain

namespace {

struct CLifeLog {
    std::vector<std::string> events;
};
CLifeLog g_life;

class CQueueDoc : public CDocument {
    DECLARE_DYNCREATE(CQueueDoc)

public:
    ~CQueueDoc() override { g_life.events.push_back("doc deleted"); }
};
IMPLEMENT_DYNCREATE(CQueueDoc)

class CQueueFrame : public CFrameWnd {
    DECLARE_DYNCREATE(CQueueFrame)
};
IMPLEMENT_DYNCREATE(CQueueFrame)

class CQueueView : public CFormView {
    DECLARE_DYNCREATE(CQueueView)

public:
    CQueueView() : CFormView(IDD_QUEUE_FORM) {}
    void OnDestroy()
    {
        // A view that goes as the program ends still works with its
        // controls and timers, as the engine does when it stops.
        KillTimer(1);
        if (CWnd* pLabel = GetDlgItem(700))
            pLabel->SetWindowText("stopped");
        g_life.events.push_back("view destroyed");
    }
    void OnInitialUpdate() override
    {
        CFormView::OnInitialUpdate();
        SetTimer(1, 1000);
    }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CQueueView)
BEGIN_MESSAGE_MAP(CQueueView, CFormView)
    ON_WM_DESTROY(&CQueueView::OnDestroy)
END_MESSAGE_MAP()

// Quits while its main window still stands, as a program does that ends
// itself after one job.
class CQuittingApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        AddDocTemplate(new CSingleDocTemplate(IDR_QUEUE_FRAME, RUNTIME_CLASS(CQueueDoc), RUNTIME_CLASS(CQueueFrame),
                                              RUNTIME_CLASS(CQueueView)));
        CCommandLineInfo cmdInfo;
        if (!ProcessShellCommand(cmdInfo))
            return FALSE;
        AfxPostQuit(3);
        return TRUE;
    }
    int ExitInstance() override
    {
        g_life.events.push_back(m_pMainWnd != nullptr && m_pMainWnd->IsWindow() ? "exit, frame standing"
                                                                                : "exit, frame gone");
        return CWinApp::ExitInstance();
    }
};

}  // namespace

TEST_F(QueueTest, QuittingWithTheFrameStandingClosesEverythingBeforeReturning)
{
    g_life.events.clear();
    int nResult = -1;
    {
        CQuittingApp app;
        char szName[] = "queue-tests";
        char* argv[] = {szName, nullptr};
        nResult = AfxWinMain(1, argv);
        // All of the program has gone by now, in order, while the backend
        // lives; nothing waits for the application object's end.
        EXPECT_EQ(app.m_pMainWnd, nullptr);
        EXPECT_EQ(g_life.events, (std::vector<std::string>{"exit, frame standing", "view destroyed", "doc deleted"}));
    }
    EXPECT_EQ(nResult, 3);
    EXPECT_EQ(g_life.events.size(), 3u);
}
