// The framework's windows: message maps and command routing, posted and sent
// messages, timers, forms and dialogs from templates, controls, data
// exchange, message boxes, frame geometry and destruction.
#include "framework/Resources.h"
#include "framework/Testing.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int kWaitMs = 20000;
constexpr UINT IDD_TEST_FORM = 9001;
constexpr UINT IDD_TEST_DIALOG = 9002;
constexpr UINT IDR_TEST_FRAME = 9003;

constexpr int IDC_DEFAULT = 501, IDC_WIDE = 502, IDC_EDIT = 503, IDC_COMBO = 504, IDC_CHECK = 505,
              IDC_LIST = 506, IDC_DISABLED = 507, IDC_LABEL = 508, IDC_DLG_EDIT = 601;

const AFX_DLGITEM g_aFormItems[] = {
    {AfxControl::DefPushButton, IDC_DEFAULT, "Default", 10, 100, 40, 14},
    {AfxControl::PushButton, IDC_WIDE, "Wide", 60, 100, 80, 14},
    {AfxControl::Edit, IDC_EDIT, "", 10, 10, 40, 12, ES_RIGHT},
    {AfxControl::ComboDropDown, IDC_COMBO, "", 10, 30, 100, 60, WS_VSCROLL},
    {AfxControl::Static, IDC_LABEL, "Label", 60, 10, 40, 8, SS_CENTER},
    {AfxControl::CheckBox, IDC_CHECK, "Check", 10, 50, 60, 10},
    {AfxControl::ListBox, IDC_LIST, "", 10, 64, 60, 30},
    {AfxControl::PushButton, IDC_DISABLED, "Disabled", 110, 120, 40, 14, WS_DISABLED},
    {AfxControl::GroupBox, -1, "Group", 5, 5, 150, 130},
};

const AFX_DLGITEM g_aDialogItems[] = {
    {AfxControl::Edit, IDC_DLG_EDIT, "", 10, 10, 80, 12},
    {AfxControl::DefPushButton, IDOK, "OK", 10, 30, 40, 14},
    {AfxControl::PushButton, IDCANCEL, "Cancel", 60, 30, 40, 14},
};

const AFX_DLGTEMPLATE g_aDialogs[] = {
    {IDD_TEST_FORM, "", 0, 0, 160, 140, "MS Sans Serif", 8, TRUE, g_aFormItems},
    {IDD_TEST_DIALOG, "Test Dialog", 0, 0, 110, 50, "MS Sans Serif", 8, FALSE, g_aDialogItems},
};

const AFX_MENUITEM g_aFilePopup[] = {
    {MF_STRING, "&Go", 700, {}},
    {MF_SEPARATOR, "", 0, {}},
    {MF_STRING, "&Stop", 701, {}},
};
const AFX_MENUITEM g_aMenuBar[] = {{MF_POPUP, "&File", 0, g_aFilePopup}};
const AFX_MENU g_aMenus[] = {{IDR_TEST_FRAME, g_aMenuBar}};

const AFX_ACCEL g_aAccels[] = {{FCONTROL, 'G', 700}};
const AFX_ACCELTABLE g_aAccelTables[] = {{IDR_TEST_FRAME, g_aAccels}};

const AFX_STRING g_aStrings[] = {{57344, "Window Tests"}};

const std::string g_strIcon32(32 * 32, 'C');
const std::string g_strIcon16(16 * 16, '.');
const AFX_ICON g_aIcons[] = {{IDR_TEST_FRAME, {32, g_strIcon32.c_str()}, {16, g_strIcon16.c_str()}}};

const AFX_RESOURCES g_resources = {g_aDialogs, g_aMenus, g_aAccelTables, g_aStrings, g_aIcons};

class WindowTest : public testing::Test {
protected:
    void SetUp() override { AfxSetResources(&g_resources); }
    void TearDown() override
    {
        AfxSetMessageBoxHook(nullptr);
        AfxSetScreenSizeForTesting(0, 0);
        AfxPumpMessages();
    }
};

// Records every message that reaches it, then lets the framework go on.
class CRecordingFrame : public CFrameWnd {
public:
    LRESULT WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) override
    {
        if (nMessage != WM_GETMINMAXINFO)
            m_messages.emplace_back(nMessage, wParam);
        return CFrameWnd::WindowProc(nMessage, wParam, lParam);
    }
    int Count(UINT nMessage) const
    {
        int n = 0;
        for (const auto& msg : m_messages)
            n += msg.first == nMessage ? 1 : 0;
        return n;
    }
    std::vector<std::pair<UINT, WPARAM>> m_messages;
};

CRect TestRect() { return CRect{50, 60, 450, 360}; }

// ---- message maps and routing

class CBaseTarget : public CFrameWnd {
public:
    void OnBaseCommand() { m_strLog += "base100 "; }
    void OnBaseOnly() { m_strLog += "base101 "; }
    LRESULT OnAppMessage(WPARAM wParam, LPARAM lParam)
    {
        m_strLog += "app ";
        return static_cast<LRESULT>(wParam) + lParam;
    }
    std::string m_strLog;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseTarget, CFrameWnd)
    ON_COMMAND(100, &CBaseTarget::OnBaseCommand)
    ON_COMMAND(101, &CBaseTarget::OnBaseOnly)
    ON_MESSAGE(WM_APP + 1, &CBaseTarget::OnAppMessage)
END_MESSAGE_MAP()

class CDerivedTarget : public CBaseTarget {
public:
    void OnDerivedCommand() { m_strLog += "derived100 "; }
    void OnSecondEntry() { m_strLog += "second100 "; }
    void OnTimer(UINT nIDEvent) { m_strLog += "timer" + std::to_string(nIDEvent) + " "; }
    void OnGetMinMaxInfo(MINMAXINFO* pMMI) { pMMI->ptMinTrackSize = CPoint{7, 8}; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedTarget, CBaseTarget)
    ON_COMMAND(100, &CDerivedTarget::OnDerivedCommand)
    ON_COMMAND(100, &CDerivedTarget::OnSecondEntry)
    ON_WM_TIMER(&CDerivedTarget::OnTimer)
    ON_WM_GETMINMAXINFO(&CDerivedTarget::OnGetMinMaxInfo)
END_MESSAGE_MAP()

TEST_F(WindowTest, MessageMapDerivedFirstThenBaseFirstEntryWins)
{
    CDerivedTarget target;
    target.SendMessage(WM_COMMAND, 100);
    target.SendMessage(WM_COMMAND, 101);
    EXPECT_EQ(target.m_strLog, "derived100 base101 ");

    target.m_strLog.clear();
    EXPECT_EQ(target.SendMessage(WM_APP + 1, 40, 2), 42);
    target.SendMessage(WM_TIMER, 77);
    EXPECT_EQ(target.m_strLog, "app timer77 ");

    MINMAXINFO mmi;
    target.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(mmi.ptMinTrackSize.x, 7);
    EXPECT_EQ(mmi.ptMinTrackSize.y, 8);

    // Nothing in the maps: no handler runs and the result is 0.
    target.m_strLog.clear();
    EXPECT_EQ(target.SendMessage(WM_APP + 2, 1, 1), 0);
    EXPECT_FALSE(target.OnCmdMsg(999));
    EXPECT_EQ(target.m_strLog, "");
}

class CRoutingApp : public CWinApp {
public:
    void OnShared() { m_strLog += "app:shared "; }
    void OnAppOnly() { m_strLog += "app:only "; }
    std::string m_strLog;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingApp, CWinApp)
    ON_COMMAND(100, &CRoutingApp::OnShared)
    ON_COMMAND(200, &CRoutingApp::OnShared)
    ON_COMMAND(300, &CRoutingApp::OnAppOnly)
END_MESSAGE_MAP()

class CRoutingFrame : public CFrameWnd {
public:
    void OnShared() { (*m_pLog) += "frame:shared "; }
    std::string* m_pLog = nullptr;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingFrame, CFrameWnd)
    ON_COMMAND(100, &CRoutingFrame::OnShared)
    ON_COMMAND(200, &CRoutingFrame::OnShared)
END_MESSAGE_MAP()

class CRoutingView : public CFormView {
public:
    CRoutingView() : CFormView(IDD_TEST_FORM) {}
    void OnShared() { (*m_pLog) += "view:shared "; }
    void OnWide() { (*m_pLog) += "view:wide "; }
    void OnDefault() { (*m_pLog) += "view:default "; }
    LRESULT WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) override
    {
        if (nMessage == WM_COMMAND)
            m_commandIds.push_back(wParam);
        return CFormView::WindowProc(nMessage, wParam, lParam);
    }
    std::string* m_pLog = nullptr;
    std::vector<WPARAM> m_commandIds;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingView, CFormView)
    ON_COMMAND(100, &CRoutingView::OnShared)
    ON_BN_CLICKED(IDC_WIDE, &CRoutingView::OnWide)
    ON_BN_CLICKED(IDC_DEFAULT, &CRoutingView::OnDefault)
END_MESSAGE_MAP()

TEST_F(WindowTest, CommandsGoToViewThenFrameThenApplication)
{
    CRoutingApp app;
    CRoutingFrame frame;
    CRoutingView view;
    std::string& strLog = app.m_strLog;
    frame.m_pLog = view.m_pLog = &strLog;
    ASSERT_TRUE(frame.CreateBare("Routing", TestRect()));
    ASSERT_TRUE(view.Create(&frame));
    EXPECT_EQ(frame.GetActiveView(), &view);
    EXPECT_EQ(view.GetParentFrame(), &frame);

    for (UINT nID : {100u, 200u, 300u, 400u})
        frame.SendMessage(WM_COMMAND, nID);
    EXPECT_EQ(strLog, "view:shared frame:shared app:only ");

    // From the view the same order holds.
    strLog.clear();
    for (UINT nID : {100u, 200u, 300u})
        view.SendMessage(WM_COMMAND, nID);
    EXPECT_EQ(strLog, "view:shared frame:shared app:only ");

    // Without an active view the frame comes first.
    strLog.clear();
    frame.SetActiveView(nullptr);
    frame.SendMessage(WM_COMMAND, 100);
    EXPECT_EQ(strLog, "frame:shared ");
    frame.SetActiveView(&view);
    frame.DestroyWindow();
}

TEST_F(WindowTest, ButtonClicksAndReturnReachTheFormAsCommands)
{
    std::string strLog;
    CFrameWnd frame;
    CRoutingView view;
    view.m_pLog = &strLog;
    ASSERT_TRUE(frame.CreateBare("Clicks", TestRect()));
    ASSERT_TRUE(view.Create(&frame));

    AfxClickForTesting(view.GetDlgItem(IDC_WIDE));
    AfxPressKeyForTesting(&view, VK_RETURN);
    EXPECT_EQ(strLog, "view:wide view:default ");
    ASSERT_EQ(view.m_commandIds.size(), 2u);
    EXPECT_EQ(view.m_commandIds[0], static_cast<WPARAM>(IDC_WIDE));
    EXPECT_EQ(view.m_commandIds[1], static_cast<WPARAM>(IDC_DEFAULT));
    frame.DestroyWindow();
}

// ---- posted messages

TEST_F(WindowTest, PostedMessagesArriveInOrderAndOnlyWhileTheWindowLives)
{
    CRecordingFrame frame, doomed;
    ASSERT_TRUE(frame.CreateBare("Posts", TestRect()));
    ASSERT_TRUE(doomed.CreateBare("Doomed", TestRect()));
    frame.m_messages.clear();
    doomed.m_messages.clear();

    for (WPARAM i = 1; i <= 5; ++i)
        EXPECT_TRUE(frame.PostMessage(WM_APP + 5, i));
    EXPECT_TRUE(frame.m_messages.empty());  // posted, not sent
    EXPECT_TRUE(doomed.PostMessage(WM_APP + 6, 1));
    doomed.DestroyWindow();
    EXPECT_FALSE(doomed.PostMessage(WM_APP + 6, 2));
    EXPECT_TRUE(frame.PostMessage(WM_APP + 7));

    ASSERT_TRUE(AfxPumpUntil([&] { return frame.Count(WM_APP + 7) == 1; }, kWaitMs));
    ASSERT_EQ(frame.m_messages.size(), 6u);
    for (WPARAM i = 1; i <= 5; ++i)
        EXPECT_EQ(frame.m_messages[i - 1], std::make_pair(WM_APP + 5, i));
    EXPECT_EQ(doomed.Count(WM_APP + 6), 0);

    CFrameWnd noWindow;
    EXPECT_FALSE(noWindow.PostMessage(WM_APP + 5));
    frame.DestroyWindow();
}

TEST_F(WindowTest, PostMessageFromAnotherThreadArrivesOnTheUiThread)
{
    CRecordingFrame frame;
    ASSERT_TRUE(frame.CreateBare("Thread", TestRect()));
    frame.m_messages.clear();
    std::atomic<bool> bAllPosted{false};
    std::thread worker([&] {
        for (WPARAM i = 0; i < 200; ++i)
            frame.PostMessage(WM_APP + 9, i);
        bAllPosted = true;
    });
    const bool bArrived = AfxPumpUntil([&] { return frame.Count(WM_APP + 9) == 200; }, kWaitMs);
    worker.join();
    ASSERT_TRUE(bArrived);
    EXPECT_TRUE(bAllPosted);
    for (WPARAM i = 0; i < 200; ++i)
        EXPECT_EQ(frame.m_messages[i].second, i);

    bool bRan = false;
    std::thread([&] { AfxRunOnUiThread([&] { bRan = true; }); }).join();
    EXPECT_TRUE(AfxPumpUntil([&] { return bRan; }, kWaitMs));
    frame.DestroyWindow();
}

// ---- timers

class CTimerFrame : public CFrameWnd {
public:
    void OnTimer(UINT nIDEvent)
    {
        m_ticks.push_back(nIDEvent);
        if (nIDEvent == m_nOneShot)
            KillTimer(nIDEvent);
        if (m_pCloseAfterThree != nullptr && Ticks(nIDEvent) == 3)
            m_pCloseAfterThree->EndDialog(IDOK);
    }
    CDialog* m_pCloseAfterThree = nullptr;
    std::vector<UINT> m_ticks;
    UINT m_nOneShot = 0;
    int Ticks(UINT nID) const
    {
        int n = 0;
        for (UINT id : m_ticks)
            n += id == nID ? 1 : 0;
        return n;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTimerFrame, CFrameWnd)
    ON_WM_TIMER(&CTimerFrame::OnTimer)
END_MESSAGE_MAP()

TEST_F(WindowTest, TimersByIdTickRestartAndStop)
{
    CTimerFrame frame;
    EXPECT_EQ(frame.SetTimer(1, 10), 0u);  // no window yet
    ASSERT_TRUE(frame.CreateBare("Timers", TestRect()));

    EXPECT_EQ(frame.SetTimer(101, 10), 101u);
    EXPECT_TRUE(frame.HasTimer(101));
    EXPECT_FALSE(frame.HasTimer(102));
    ASSERT_TRUE(AfxPumpUntil([&] { return frame.Ticks(101) >= 3; }, kWaitMs));
    EXPECT_TRUE(frame.KillTimer(101));
    EXPECT_FALSE(frame.KillTimer(101));
    EXPECT_FALSE(frame.HasTimer(101));

    // Setting an id again replaces its interval: an hour becomes 10 ms.
    frame.SetTimer(103, 3600 * 1000);
    frame.SetTimer(103, 10);
    EXPECT_TRUE(AfxPumpUntil([&] { return frame.Ticks(103) >= 1; }, kWaitMs));
    frame.KillTimer(103);

    // A handler that kills its own timer gets exactly one tick; another
    // timer of the same window keeps going meanwhile.
    frame.m_ticks.clear();
    frame.m_nOneShot = 104;
    frame.SetTimer(104, 10);
    frame.SetTimer(105, 10);
    ASSERT_TRUE(AfxPumpUntil([&] { return frame.Ticks(105) >= 5; }, kWaitMs));
    EXPECT_EQ(frame.Ticks(104), 1);
    EXPECT_FALSE(frame.HasTimer(104));

    frame.DestroyWindow();
    EXPECT_FALSE(frame.HasTimer(105));
}

// ---- forms built from templates

TEST_F(WindowTest, FormControlsComeFromTheTemplate)
{
    CFrameWnd frame;
    CRoutingView view;
    std::string strLog;
    view.m_pLog = &strLog;
    ASSERT_TRUE(frame.CreateBare("Form", TestRect()));
    ASSERT_TRUE(view.Create(&frame));

    for (int nID : {IDC_DEFAULT, IDC_WIDE, IDC_EDIT, IDC_COMBO, IDC_CHECK, IDC_LIST, IDC_DISABLED, IDC_LABEL}) {
        CWnd* pItem = view.GetDlgItem(nID);
        ASSERT_NE(pItem, nullptr) << nID;
        EXPECT_EQ(pItem->GetDlgCtrlID(), nID);
        EXPECT_EQ(pItem->GetParent(), &view);
    }
    EXPECT_EQ(view.GetDlgItem(4242), nullptr);
    EXPECT_EQ(frame.GetDlgItem(IDC_WIDE), nullptr);  // children of the view, not of the frame
    EXPECT_EQ(view.GetDlgItem(IDC_WIDE)->GetWindowText(), "Wide");

    // Dialog units map proportionally: 80 units are twice 40, x 60 is six times 10.
    CRect rectDefault, rectWide, rectEdit, rectCombo;
    view.GetDlgItem(IDC_DEFAULT)->GetWindowRect(&rectDefault);
    view.GetDlgItem(IDC_WIDE)->GetWindowRect(&rectWide);
    view.GetDlgItem(IDC_EDIT)->GetWindowRect(&rectEdit);
    view.GetDlgItem(IDC_COMBO)->GetWindowRect(&rectCombo);
    EXPECT_GT(rectDefault.Width(), 20);
    EXPECT_NEAR(rectWide.Width(), 2 * rectDefault.Width(), 1);
    EXPECT_EQ(rectWide.Height(), rectDefault.Height());
    EXPECT_EQ(rectWide.top, rectDefault.top);
    CRect rectView;
    view.GetWindowRect(&rectView);
    EXPECT_NEAR(rectWide.left - rectView.left, 6 * (rectDefault.left - rectView.left), 3);
    EXPECT_GT(rectDefault.top - rectEdit.top, 4 * rectEdit.Height());  // y 100 against y 10, height 12
    // A combo box is one line high, whatever its list's height.
    EXPECT_LT(rectCombo.Height(), 2 * rectEdit.Height());

    EXPECT_FALSE(view.GetDlgItem(IDC_DISABLED)->IsWindowEnabled());
    EXPECT_TRUE(view.GetDlgItem(IDC_WIDE)->IsWindowEnabled());
    EXPECT_EQ(AfxGetStyleForTesting(view.GetDlgItem(IDC_DISABLED)) & WS_DISABLED, WS_DISABLED);
    EXPECT_EQ(AfxGetStyleForTesting(view.GetDlgItem(IDC_EDIT)) & ES_RIGHT, ES_RIGHT);
    EXPECT_EQ(AfxGetStyleForTesting(view.GetDlgItem(IDC_LABEL)) & SS_CENTER, SS_CENTER);

    // A disabled button does not click.
    AfxClickForTesting(view.GetDlgItem(IDC_DISABLED));
    EXPECT_TRUE(view.m_commandIds.empty());
    frame.DestroyWindow();
}

// ---- combo box

class CComboView : public CFormView {
public:
    CComboView() : CFormView(IDD_TEST_FORM) {}
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_COMBO, m_cb); }
    CComboBox m_cb;
};

TEST_F(WindowTest, ComboBoxKeepsTypedTextOutOfTheList)
{
    CFrameWnd frame;
    CComboView view;
    ASSERT_TRUE(frame.CreateBare("Combo", TestRect()));
    ASSERT_TRUE(view.Create(&frame));
    view.OnInitialUpdate();
    CComboBox& cb = view.m_cb;
    ASSERT_TRUE(cb.IsWindow());

    EXPECT_EQ(cb.AddString("alpha.example"), 0);
    EXPECT_EQ(cb.AddString("Beta.example"), 1);
    EXPECT_EQ(cb.AddString("BETA.EXAMPLE"), 2);
    EXPECT_EQ(cb.GetCount(), 3);
    // Adding selects nothing and leaves the edit field alone.
    EXPECT_EQ(cb.GetCurSel(), -1);
    EXPECT_EQ(cb.GetWindowText(), "");

    EXPECT_EQ(cb.FindStringExact(-1, "beta.EXAMPLE"), 1);
    EXPECT_EQ(cb.FindStringExact(1, "beta.example"), 1);  // always from the top
    EXPECT_EQ(cb.FindStringExact(-1, "beta"), -1);
    EXPECT_EQ(cb.FindStringExact(-1, "alpha.example.org"), -1);

    EXPECT_EQ(cb.SetCurSel(1), 1);
    EXPECT_EQ(cb.GetCurSel(), 1);
    EXPECT_EQ(cb.GetWindowText(), "Beta.example");
    CString str;
    cb.GetLBText(0, str);
    EXPECT_EQ(str, "alpha.example");
    cb.GetLBText(7, str);
    EXPECT_EQ(str, "");

    EXPECT_EQ(cb.SetCurSel(-1), -1);
    EXPECT_EQ(cb.GetCurSel(), -1);
    EXPECT_EQ(cb.GetWindowText(), "");

    // Typing and Return add nothing; typed text is no selection.
    cb.SetCurSel(0);
    AfxTypeForTesting(&cb, "x");
    AfxPressKeyForTesting(&cb, VK_RETURN);
    AfxPumpMessages();
    EXPECT_EQ(cb.GetCount(), 3);
    EXPECT_EQ(cb.GetWindowText(), "alpha.examplex");
    EXPECT_EQ(cb.GetCurSel(), -1);

    cb.SetCurSel(-1);
    AfxTypeForTesting(&cb, "ALPHA.EXAMPLE");
    AfxPressKeyForTesting(&cb, VK_RETURN);
    AfxPumpMessages();
    EXPECT_EQ(cb.GetCount(), 3);
    EXPECT_EQ(cb.GetWindowText(), "ALPHA.EXAMPLE");

    cb.ResetContent();
    EXPECT_EQ(cb.GetCount(), 0);
    EXPECT_EQ(cb.GetWindowText(), "");
    frame.DestroyWindow();
    EXPECT_FALSE(cb.IsWindow());  // the member let go of the destroyed control
    EXPECT_EQ(cb.GetCount(), 0);
}

// ---- data exchange

class CDataView : public CFormView {
public:
    CDataView() : CFormView(IDD_TEST_FORM) {}
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_WIDE, m_btnWide);
        DDX_Control(pDX, IDC_LIST, m_list);
        DDX_Text(pDX, IDC_EDIT, m_strEdit);
        DDX_Check(pDX, IDC_CHECK, m_bCheck);
        DDX_LBString(pDX, IDC_LIST, m_strListSel);
    }
    CButton m_btnWide;
    CDragListBox m_list;
    CString m_strEdit = "25";
    BOOL m_bCheck = TRUE;
    CString m_strListSel = "beta";
};

TEST_F(WindowTest, DataExchangeBothWays)
{
    CFrameWnd frame;
    CDataView view;
    ASSERT_TRUE(frame.CreateBare("DDX", TestRect()));
    ASSERT_TRUE(view.Create(&frame));
    view.UpdateData(FALSE);  // attaches the controls first
    view.m_list.AddString("alpha");
    view.m_list.AddString("Beta two");
    view.m_list.AddString("gamma");
    view.UpdateData(FALSE);

    EXPECT_EQ(view.GetDlgItem(IDC_EDIT)->GetWindowText(), "25");
    EXPECT_EQ(static_cast<CButton*>(view.GetDlgItem(IDC_CHECK))->GetCheck(), 1);
    EXPECT_EQ(view.m_list.GetCurSel(), 1);  // first entry beginning with the text, any case

    // The member shares the control: changes show on both sides.
    EXPECT_EQ(view.m_btnWide.GetDlgCtrlID(), IDC_WIDE);
    view.m_btnWide.EnableWindow(FALSE);
    EXPECT_FALSE(view.GetDlgItem(IDC_WIDE)->IsWindowEnabled());

    view.GetDlgItem(IDC_EDIT)->SetWindowText("1.5");
    static_cast<CButton*>(view.GetDlgItem(IDC_CHECK))->SetCheck(0);
    view.m_list.SetCurSel(2);
    view.UpdateData(TRUE);
    EXPECT_EQ(view.m_strEdit, "1.5");
    EXPECT_FALSE(view.m_bCheck);
    EXPECT_EQ(view.m_strListSel, "gamma");

    EXPECT_EQ(view.m_list.DeleteString(0), 2);
    EXPECT_EQ(view.m_list.DeleteString(5), -1);
    CString str;
    view.m_list.GetText(0, str);
    EXPECT_EQ(str, "Beta two");
    EXPECT_EQ(view.m_list.FindStringExact(-1, "GAMMA"), 1);
    view.m_list.SetCurSel(-1);
    view.UpdateData(TRUE);
    EXPECT_EQ(view.m_strListSel, "");
    frame.DestroyWindow();
}

// ---- modal dialogs

class CTestDialog : public CDialog {
public:
    explicit CTestDialog(CWnd* pParent) : CDialog(IDD_TEST_DIALOG, pParent) {}
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_strCaption = GetWindowText();
        if (m_nAction == VK_RETURN || m_nAction == VK_ESCAPE)
            AfxRunOnUiThread([this] { AfxPressKeyForTesting(this, m_nAction); });
        return TRUE;
    }
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, IDC_DLG_EDIT, m_strValue); }
    LRESULT WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) override
    {
        if (nMessage == WM_DESTROY)
            ++m_nDestroys;
        return CDialog::WindowProc(nMessage, wParam, lParam);
    }
    UINT m_nAction = 0;
    CString m_strValue;
    CString m_strCaption;
    int m_nDestroys = 0;
};

TEST_F(WindowTest, ModalDialogEndsWithOkOrCancelAndExchangesData)
{
    CFrameWnd frame;
    ASSERT_TRUE(frame.CreateBare("Owner", TestRect()));

    // Return presses the default OK button: OnOK reads the controls.
    CTestDialog dlgOk(&frame);
    dlgOk.m_strValue = "kept";
    dlgOk.m_nAction = VK_RETURN;
    EXPECT_EQ(dlgOk.DoModal(), IDOK);
    EXPECT_EQ(dlgOk.m_strCaption, "Test Dialog");
    EXPECT_EQ(dlgOk.m_strValue, "kept");
    EXPECT_EQ(dlgOk.m_nDestroys, 1);
    EXPECT_FALSE(dlgOk.IsWindow());

    // Esc cancels; the members are not read back.
    CTestDialog dlgCancel(&frame);
    dlgCancel.m_nAction = VK_ESCAPE;
    dlgCancel.m_strValue = "before";
    AfxRunOnUiThread([&] {
        if (CWnd* pEdit = dlgCancel.GetDlgItem(IDC_DLG_EDIT))
            pEdit->SetWindowText("typed");
    });
    EXPECT_EQ(dlgCancel.DoModal(), IDCANCEL);
    EXPECT_EQ(dlgCancel.m_strValue, "before");

    CDialog missing(4711);
    EXPECT_EQ(missing.DoModal(), -1);
    frame.DestroyWindow();
}

TEST_F(WindowTest, TimersKeepTickingWhileADialogIsOpen)
{
    CTimerFrame frame;
    ASSERT_TRUE(frame.CreateBare("Ticking", TestRect()));
    CTestDialog dlg(&frame);
    // Only the dialog's running loop lets the frame's timer close it.
    frame.m_pCloseAfterThree = &dlg;
    frame.SetTimer(101, 10);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_GE(frame.Ticks(101), 3);
    frame.DestroyWindow();
}

// ---- message boxes

TEST_F(WindowTest, MessageBoxHookGetsTheApplicationTitle)
{
    std::vector<std::string> calls;
    AfxSetMessageBoxHook([&](const CString& strCaption, const CString& strText, UINT nType) {
        calls.push_back(strCaption + "|" + strText + "|" + std::to_string(nType));
        return IDCANCEL;
    });
    EXPECT_EQ(AfxMessageBox("Something failed", MB_OK | MB_ICONSTOP), IDCANCEL);
    EXPECT_EQ(AfxMessageBox("Plain"), IDCANCEL);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "Window Tests|Something failed|16");
    EXPECT_EQ(calls[1], "Window Tests|Plain|0");

    const AFX_RESOURCES noStrings = {g_aDialogs, {}, {}, {}, {}};
    AfxSetResources(&noStrings);
    AfxMessageBox("Untitled");
    EXPECT_EQ(calls.back(), "|Untitled|0");
}

// ---- frames

class CLockedFrame : public CFrameWnd {
public:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override
    {
        cs.style = WS_BORDER;
        const int cxScreen = GetSystemMetrics(SM_CXSCREEN);
        const int cyScreen = GetSystemMetrics(SM_CYSCREEN);
        cs.cx = cxScreen / 4;
        cs.cy = cyScreen * 3 / 10;
        cs.x = (cxScreen - cs.cx) / 2;
        cs.y = (cyScreen - cs.cy) / 2;
        return CFrameWnd::PreCreateWindow(cs);
    }
    void OnGetMinMaxInfo(MINMAXINFO* pMMI)
    {
        ++m_nQueries;
        if (m_bLock) {
            pMMI->ptMinTrackSize = CPoint{m_size.cx, m_size.cy};
            pMMI->ptMaxTrackSize = CPoint{m_size.cx, m_size.cy};
        }
    }
    void OnGo() { ++m_nGo; }
    BOOL m_bLock = FALSE;
    CSize m_size;
    int m_nQueries = 0;
    int m_nGo = 0;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLockedFrame, CFrameWnd)
    ON_WM_GETMINMAXINFO(&CLockedFrame::OnGetMinMaxInfo)
    ON_COMMAND(700, &CLockedFrame::OnGo)
END_MESSAGE_MAP()

TEST_F(WindowTest, FrameTakesGeometryFromPreCreateWindowAndLocksItsSize)
{
    AfxSetScreenSizeForTesting(800, 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    CLockedFrame frame;
    ASSERT_TRUE(frame.LoadFrame(IDR_TEST_FRAME, "Locked"));
    EXPECT_GE(frame.m_nQueries, 1);
    EXPECT_EQ(frame.GetWindowText(), "Locked");
    CRect rect;
    frame.GetWindowRect(&rect);
    EXPECT_EQ(rect.left, 300);
    EXPECT_EQ(rect.top, 210);
    EXPECT_EQ(rect.Width(), 200);
    EXPECT_EQ(rect.Height(), 180);

    // The program moves it; from then on the lock holds against other sizes.
    frame.MoveWindow(CRect{300, 210, 540, 460});
    frame.GetWindowRect(&rect);
    EXPECT_EQ(rect.Width(), 240);
    EXPECT_EQ(rect.Height(), 250);
    frame.m_bLock = TRUE;
    frame.m_size = CSize{240, 250};
    frame.MoveWindow(CRect{300, 210, 700, 600});
    frame.GetWindowRect(&rect);
    EXPECT_EQ(rect.Width(), 240);
    EXPECT_EQ(rect.Height(), 250);

    frame.ShowWindow(SW_SHOW);
    EXPECT_TRUE(frame.IsWindowVisible());
    EXPECT_TRUE(frame.ShowWindow(SW_HIDE));
    EXPECT_FALSE(frame.IsWindowVisible());
    EXPECT_FALSE(frame.ShowWindow(SW_HIDE));

    // The accelerator table's command reaches the frame.
    frame.SendMessage(WM_COMMAND, 700);
    EXPECT_EQ(frame.m_nGo, 1);
    frame.DestroyWindow();
}

TEST_F(WindowTest, SizableFrameWithoutLimitsTakesAnySize)
{
    CLockedFrame frame;
    ASSERT_TRUE(frame.CreateBare("Free", CRect{10, 20, 410, 320}));
    CRect rect;
    frame.GetWindowRect(&rect);
    EXPECT_EQ(rect.Width(), 400);
    EXPECT_EQ(rect.Height(), 300);
    frame.MoveWindow(CRect{10, 20, 510, 420});
    frame.GetWindowRect(&rect);
    EXPECT_EQ(rect.Width(), 500);
    EXPECT_EQ(rect.Height(), 400);
    frame.DestroyWindow();
}

// ---- destruction

class CDestroyView : public CFormView {
public:
    explicit CDestroyView(std::vector<std::string>* pLog) : CFormView(IDD_TEST_FORM), m_pLog(pLog) {}
    void OnDestroy() { m_pLog->push_back("view:destroy"); }
    void PostNcDestroy() override { m_pLog->push_back("view:gone"); }
    std::vector<std::string>* m_pLog;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDestroyView, CFormView)
    ON_WM_DESTROY(&CDestroyView::OnDestroy)
END_MESSAGE_MAP()

class CDestroyFrame : public CFrameWnd {
public:
    void OnDestroy()
    {
        m_pLog->push_back("frame:destroy");
        // The window is still there for its WM_DESTROY handler.
        m_pLog->push_back(IsWindow() ? "frame:alive" : "frame:dead");
    }
    void PostNcDestroy() override { m_pLog->push_back(IsWindow() ? "frame:gone-alive" : "frame:gone"); }
    std::vector<std::string>* m_pLog = nullptr;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDestroyFrame, CFrameWnd)
    ON_WM_DESTROY(&CDestroyFrame::OnDestroy)
END_MESSAGE_MAP()

TEST_F(WindowTest, DestroyWindowSendsDestroyOnceParentFirstThenPostNcDestroy)
{
    std::vector<std::string> log;
    CDestroyFrame frame;
    frame.m_pLog = &log;
    CDestroyView view(&log);
    ASSERT_TRUE(frame.CreateBare("Destroy", TestRect()));
    ASSERT_TRUE(view.Create(&frame));
    frame.SetTimer(5, 1000);

    // WM_CLOSE's default is to destroy.
    frame.SendMessage(WM_CLOSE);
    const std::vector<std::string> expected = {"frame:destroy", "frame:alive", "view:destroy", "view:gone",
                                               "frame:gone"};
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(frame.IsWindow());
    EXPECT_FALSE(view.IsWindow());
    EXPECT_FALSE(frame.HasTimer(5));

    EXPECT_FALSE(frame.DestroyWindow());
    EXPECT_EQ(log.size(), expected.size());
    AfxPumpMessages();
}

TEST_F(WindowTest, WindowStateRoundTrips)
{
    CFrameWnd frame;
    ASSERT_TRUE(frame.CreateBare("State", TestRect()));
    frame.SetWindowText("Renamed");
    EXPECT_EQ(frame.GetWindowText(), "Renamed");
    frame.EnableWindow(FALSE);
    EXPECT_FALSE(frame.IsWindowEnabled());
    frame.EnableWindow(TRUE);
    EXPECT_TRUE(frame.IsWindowEnabled());
    EXPECT_FALSE(frame.IsWindowVisible());
    // Bringing a hidden window forward must not show it: the tray menu does
    // this to its hidden owner.
    EXPECT_TRUE(frame.SetForegroundWindow());
    EXPECT_FALSE(frame.IsWindowVisible());
    frame.ShowWindow(SW_SHOW);
    EXPECT_TRUE(frame.SetForegroundWindow());
    EXPECT_TRUE(frame.IsWindowVisible());
    frame.SetIcon(AfxLoadIcon(IDR_TEST_FRAME));
    EXPECT_EQ(AfxLoadIcon(4711), nullptr);
    frame.DestroyWindow();
}

TEST(FormatTest, FormatsAnyLength)
{
    EXPECT_EQ(AfxFormat("%2d:%2d", 1, 5), " 1: 5");
    const std::string strLong(5000, 'x');
    EXPECT_EQ(AfxFormat("<%s>", strLong.c_str()), "<" + strLong + ">");
    EXPECT_EQ(AfxFormat("%s", ""), "");
}

}  // namespace
