// What only the console backend does: report what the program shows to its
// listener, write message boxes to standard error, keep a notification area
// of its own and wake its loop from other threads.
#include "framework/Resources.h"
#include "framework/Shell.h"
#include "framework/ShellPrivate.h"
#include "framework/Testing.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "framework/console/ConsolePort.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT IDD_CONSOLE_FORM = 9201;
constexpr UINT IDR_CONSOLE_TRAY = 9202;
constexpr int IDC_STATUS_LINE = 801, IDC_HOSTS = 802;

const AFX_DLGITEM g_aFormItems[] = {
    {AfxControl::Static, IDC_STATUS_LINE, " ", 10, 10, 100, 8},
    {AfxControl::ComboDropDown, IDC_HOSTS, "", 10, 20, 100, 60},
};
const AFX_DLGTEMPLATE g_aDialogs[] = {
    {IDD_CONSOLE_FORM, "", 0, 0, 120, 80, "MS Sans Serif", 8, TRUE, g_aFormItems},
};
const AFX_STRING g_aStrings[] = {{57344, "Console Tests"}};
const std::string g_strImage32(32 * 32, 'A');
const std::string g_strImage16(16 * 16, 'A');
const AFX_ICON g_aIcons[] = {
    {1, {32, g_strImage32.c_str()}, {16, g_strImage16.c_str()}},
    {2, {32, g_strImage32.c_str()}, {16, g_strImage16.c_str()}},
};
const AFX_RESOURCES g_resources = {g_aDialogs, {}, {}, g_aStrings, g_aIcons};

struct CRecordingListener : IConsoleListener {
    void OnControlText(UINT nTemplateId, int nCtrlId, const CString& strText) override
    {
        lines.push_back("text " + std::to_string(nTemplateId) + "/" + std::to_string(nCtrlId) + " " + strText);
    }
    void OnTrayIcon(HICON hIcon) override
    {
        lines.push_back("icon " + (hIcon ? std::to_string(hIcon->id) : std::string("none")));
    }
    void OnTrayTip(const CString& strTip) override { lines.push_back("tip " + strTip); }
    void OnMessageBox(const CString& strText) override { lines.push_back("box " + strText); }
    std::vector<std::string> lines;
};

class CConsoleView : public CFormView {
public:
    CConsoleView() : CFormView(IDD_CONSOLE_FORM) {}
};

class ConsoleTest : public testing::Test {
protected:
    void SetUp() override
    {
        AfxSetResources(&g_resources);
        AfxConsoleSetListener(&m_listener);
        ASSERT_TRUE(m_frame.CreateBare("Console", CRect{0, 0, 300, 200}));
        ASSERT_TRUE(m_view.Create(&m_frame));
    }
    void TearDown() override
    {
        AfxConsoleSetListener(nullptr);
        if (m_frame.IsWindow())
            m_frame.DestroyWindow();
        AfxPumpMessages();
    }

    CRecordingListener m_listener;
    CFrameWnd m_frame;
    CConsoleView m_view;
};

}  // namespace

TEST_F(ConsoleTest, ControlTextReachesTheListenerOncePerChange)
{
    CWnd* pStatus = m_view.GetDlgItem(IDC_STATUS_LINE);
    ASSERT_NE(pStatus, nullptr);
    pStatus->SetWindowText("Starting");
    pStatus->SetWindowText("Starting");  // shows nothing new
    pStatus->SetWindowText("Sent");
    m_frame.SetWindowText("Renamed frame");  // a window's title is no control's text

    // The combo box's edit field follows its selection.
    auto* pHosts = static_cast<CComboBox*>(m_view.GetDlgItem(IDC_HOSTS));
    pHosts->AddString("a.test");
    pHosts->AddString("b.test");
    pHosts->SetCurSel(1);

    const std::string strForm = std::to_string(IDD_CONSOLE_FORM) + "/";
    EXPECT_EQ(m_listener.lines,
              (std::vector<std::string>{"text " + strForm + std::to_string(IDC_STATUS_LINE) + " Starting",
                                        "text " + strForm + std::to_string(IDC_STATUS_LINE) + " Sent",
                                        "text " + strForm + std::to_string(IDC_HOSTS) + " b.test"}));
    EXPECT_EQ(pStatus->GetWindowText(), "Sent");
}

TEST_F(ConsoleTest, NotificationAreaIsThereAndReportsWhatItShows)
{
    NOTIFYICONDATA nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = m_frame.GetSafeHwnd();
    nid.uID = IDR_CONSOLE_TRAY;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = WM_APP + 1;
    nid.hIcon = AfxLoadIcon(1);
    std::strcpy(nid.szTip, "Waiting");
    ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &nid));
    // No one shows the icon's menu: the owner's own would be asked for.
    EXPECT_TRUE(AfxTrayContextMenuIds(m_frame.GetSafeHwnd(), IDR_CONSOLE_TRAY).empty());

    nid.uFlags = NIF_ICON;
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &nid));  // the same image again
    nid.hIcon = AfxLoadIcon(2);
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    nid.uFlags = NIF_TIP;
    std::strcpy(nid.szTip, "Counting");
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, &nid));

    EXPECT_EQ(m_listener.lines, (std::vector<std::string>{"icon 1", "tip Waiting", "icon 2", "tip Counting"}));
}

TEST_F(ConsoleTest, MessageBoxIsWrittenToStandardErrorAndAnsweredAtOnce)
{
    AfxConsoleSetProgramName("probed");
    int nResult = 0;
    std::string strErr;
    {
        CCapturedStderr captured;
        nResult = AfxMessageBox("First line failed.\n\nSecond paragraph", MB_OK | MB_ICONSTOP);
        AfxMessageBox("Plain\n");
        strErr = captured.Text();
    }
    EXPECT_EQ(nResult, IDOK);
    // Only the first line carries the name; a text's own last line break is
    // not doubled.
    EXPECT_EQ(strErr, "probed: First line failed.\n\nSecond paragraph\nprobed: Plain\n");
    EXPECT_EQ(m_listener.lines,
              (std::vector<std::string>{"box First line failed.\n\nSecond paragraph", "box Plain\n"}));
}

TEST_F(ConsoleTest, AnotherThreadWakesALoopThatWaitsForNothingElse)
{
    bool bRan = false;
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        AfxRunOnUiThread([&] { bRan = true; });
    });
    // No timer of this test is due and no descriptor ready: only the wake
    // can end the wait before its minute is up.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!bRan && std::chrono::steady_clock::now() < deadline)
        AfxPort().WaitForEvents(60000);
    worker.join();
    EXPECT_TRUE(bRan);
}
