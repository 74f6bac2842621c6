// The tray icon object: the record it hands the shell, the flags of each
// call, its guards, and how mouse callbacks become the menu and Restore.
#include "framework/Resources.h"
#include "framework/Shell.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "ui/TrayNotifyIcon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Call {
    DWORD dwMessage;
    UINT uFlags;
    std::string strTip;
    HICON hIcon;
    HWND hWnd;
};

// A window that records the commands it is sent.
class CRecordingWnd : public CFrameWnd {
public:
    LRESULT WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) override
    {
        if (nMessage == WM_COMMAND)
            m_commands.push_back(static_cast<UINT>(wParam));
        return CFrameWnd::WindowProc(nMessage, wParam, lParam);
    }
    std::vector<UINT> m_commands;
};

class TrayIcon : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxSetResources(&ProdletResources());
        AfxSetNotifyIconHook([this](DWORD dwMessage, const NOTIFYICONDATA& nid) {
            m_calls.push_back({dwMessage, nid.uFlags, nid.szTip, nid.hIcon, nid.hWnd});
            return dwMessage == NIM_ADD ? m_bShellAccepts : TRUE;
        });
        AfxSetTrackPopupHook([this](const CMenu& menu, int, int, CWnd*) {
            m_nPopups++;
            m_nDefaultPos = menu.GetDefaultItemPosition();
            m_strFirstItem = menu.GetMenuText(0);
            return m_nChosen;
        });
        ASSERT_TRUE(m_owner.CreateBare("owner", CRect{0, 0, 100, 100}));
    }
    void TearDown() override
    {
        AfxSetTrackPopupHook(nullptr);
        AfxSetNotifyIconHook(nullptr);
        m_owner.DestroyWindow();
    }
    BOOL Create(CTrayNotifyIcon& icon, const char* pszTip = "Prodlet")
    {
        HICON ahIcons[2] = {AfxLoadIcon(IDI_IDLE), AfxLoadIcon(IDI_STOPPED)};
        return icon.Create(&m_owner, IDR_TRAY_MENU, pszTip, ahIcons, 2, 500, WM_APP + 0x64);
    }

    CRecordingWnd m_owner;
    std::vector<Call> m_calls;
    BOOL m_bShellAccepts = TRUE;
    int m_nPopups = 0;
    int m_nDefaultPos = -1;
    std::string m_strFirstItem;
    UINT m_nChosen = 0;
};

}  // namespace

TEST_F(TrayIcon, EachCallCarriesItsFlagsAndTheWholeRecord)
{
    {
        CTrayNotifyIcon icon;
        ASSERT_TRUE(Create(icon));
        ASSERT_EQ(m_calls.size(), 1u);
        EXPECT_EQ(m_calls[0].dwMessage, NIM_ADD);
        EXPECT_EQ(m_calls[0].uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
        EXPECT_EQ(m_calls[0].strTip, "Prodlet");
        EXPECT_EQ(m_calls[0].hIcon, AfxLoadIcon(IDI_IDLE));  // the first of the list
        EXPECT_EQ(m_calls[0].hWnd, m_owner.GetSafeHwnd());
        EXPECT_EQ(icon.GetRecord().uID, 129u);
        EXPECT_EQ(icon.GetRecord().uCallbackMessage, WM_APP + 0x64);

        EXPECT_TRUE(icon.SetTip("Prodlet in 24:59"));
        EXPECT_EQ(m_calls.back().dwMessage, NIM_MODIFY);
        EXPECT_EQ(m_calls.back().uFlags, NIF_TIP);
        EXPECT_EQ(icon.GetTip(), "Prodlet in 24:59");

        EXPECT_TRUE(icon.SetIcon(static_cast<UINT>(IDI_PROBING)));
        EXPECT_EQ(m_calls.back().uFlags, NIF_ICON);
        EXPECT_EQ(icon.GetIcon(), AfxLoadIcon(IDI_PROBING));

        EXPECT_TRUE(icon.SetIcon("#130"));
        EXPECT_EQ(icon.GetIcon(), AfxLoadIcon(IDI_STOPPED));
        EXPECT_TRUE(icon.SetStockIcon(IDI_HAND));
        EXPECT_EQ(icon.GetIcon(), AfxLoadStockIcon(IDI_HAND));

        EXPECT_TRUE(icon.SetOwner(nullptr));
        EXPECT_EQ(m_calls.back().uFlags, 0u);
        EXPECT_EQ(m_calls.back().hWnd, nullptr);
        m_calls.clear();
    }
    // Destruction removes the icon with flags 0.
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls[0].dwMessage, NIM_DELETE);
    EXPECT_EQ(m_calls[0].uFlags, 0u);
}

TEST_F(TrayIcon, AfterARefusedAddNothingReachesTheShell)
{
    m_bShellAccepts = FALSE;
    {
        CTrayNotifyIcon icon;
        EXPECT_FALSE(Create(icon));
        m_calls.clear();
        EXPECT_FALSE(icon.SetTip("x"));
        EXPECT_FALSE(icon.SetIcon(static_cast<UINT>(IDI_IDLE)));
        EXPECT_FALSE(icon.SetOwner(&m_owner));
        EXPECT_EQ(icon.GetTip(), "");
        EXPECT_EQ(icon.GetIcon(), nullptr);
        icon.DeleteIcon();
    }
    EXPECT_TRUE(m_calls.empty());
}

TEST_F(TrayIcon, LongTooltipsAreCutAtSixtyThreeCharacters)
{
    CTrayNotifyIcon icon;
    const std::string str63(63, 'a');
    ASSERT_TRUE(Create(icon, (str63 + "bcdef").c_str()));
    EXPECT_EQ(m_calls.back().strTip, str63);
    EXPECT_TRUE(icon.SetTip(str63.c_str()));
    EXPECT_EQ(icon.GetTip(), str63);
    const std::string strLong(500, 'z');
    EXPECT_TRUE(icon.SetTip(strLong.c_str()));
    EXPECT_EQ(icon.GetTip(), std::string(63, 'z'));
    EXPECT_EQ(icon.GetRecord().szTip[63], '\0');
}

TEST_F(TrayIcon, HideAndShowAreGuardedAndKeepTheLatestRecord)
{
    CTrayNotifyIcon icon;
    ASSERT_TRUE(Create(icon));
    m_calls.clear();
    icon.HideIcon();
    icon.HideIcon();
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls[0].dwMessage, NIM_DELETE);
    EXPECT_EQ(m_calls[0].uFlags, NIF_ICON);
    EXPECT_TRUE(icon.IsHidden());

    icon.SetTip("changed while hidden");
    icon.ShowIcon();
    EXPECT_EQ(m_calls.back().dwMessage, NIM_ADD);
    EXPECT_EQ(m_calls.back().uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    EXPECT_EQ(m_calls.back().strTip, "changed while hidden");
    size_t nCalls = m_calls.size();
    icon.ShowIcon();
    EXPECT_EQ(m_calls.size(), nCalls);

    icon.ReinsertIcon();
    ASSERT_EQ(m_calls.size(), nCalls + 2);
    EXPECT_EQ(m_calls[nCalls].dwMessage, NIM_DELETE);
    EXPECT_EQ(m_calls[nCalls + 1].dwMessage, NIM_ADD);

    // Deleting a hidden icon still asks the shell once and ends the icon.
    icon.HideIcon();
    icon.DeleteIcon();
    EXPECT_EQ(m_calls.back().dwMessage, NIM_DELETE);
    EXPECT_FALSE(icon.IsCreated());
    nCalls = m_calls.size();
    icon.DeleteIcon();
    EXPECT_EQ(m_calls.size(), nCalls);
}

TEST_F(TrayIcon, SecondCreateAddsAgainAndItsResultCounts)
{
    CTrayNotifyIcon icon;
    ASSERT_TRUE(Create(icon));
    m_bShellAccepts = FALSE;
    EXPECT_FALSE(Create(icon, "again"));
    EXPECT_EQ(m_calls.back().dwMessage, NIM_ADD);
    EXPECT_FALSE(icon.IsCreated());
    EXPECT_FALSE(icon.SetTip("x"));
}

TEST_F(TrayIcon, RightButtonShowsTheMenuWithRestoreAsDefault)
{
    CTrayNotifyIcon icon;
    ASSERT_TRUE(Create(icon));
    m_nChosen = ID_EXIT;
    EXPECT_EQ(icon.OnNotification(129, WM_RBUTTONUP), 1);
    EXPECT_EQ(m_nPopups, 1);
    EXPECT_EQ(m_nDefaultPos, 0);
    EXPECT_EQ(m_strFirstItem, "&Restore");
    AfxPumpUntil([&] { return !m_owner.m_commands.empty(); }, 5000);
    ASSERT_EQ(m_owner.m_commands.size(), 1u);
    EXPECT_EQ(m_owner.m_commands[0], static_cast<UINT>(ID_EXIT));
    // The frame stays hidden while its menu is up.
    EXPECT_FALSE(m_owner.IsWindowVisible());
}

TEST_F(TrayIcon, LeftDoubleClickSendsRestoreAndOtherActionsDoNothing)
{
    CTrayNotifyIcon icon;
    ASSERT_TRUE(Create(icon));
    EXPECT_EQ(icon.OnNotification(129, WM_LBUTTONDBLCLK), 1);
    ASSERT_EQ(m_owner.m_commands.size(), 1u);  // sent, not posted
    EXPECT_EQ(m_owner.m_commands[0], static_cast<UINT>(ID_RESTORE));

    for (LPARAM l : {LPARAM(WM_MOUSEMOVE), LPARAM(WM_LBUTTONUP), LPARAM(WM_RBUTTONDOWN), LPARAM(WM_RBUTTONDBLCLK)})
        EXPECT_EQ(icon.OnNotification(129, l), 1);
    AfxPumpMessages();
    EXPECT_EQ(m_owner.m_commands.size(), 1u);
    EXPECT_EQ(m_nPopups, 0);

    // Another icon's callback is not ours.
    EXPECT_EQ(icon.OnNotification(128, WM_RBUTTONUP), 0);
    EXPECT_EQ(m_nPopups, 0);
}

TEST_F(TrayIcon, WithoutItsMenuResourceNothingIsShown)
{
    CTrayNotifyIcon icon;
    HICON hIcon = AfxLoadIcon(IDI_IDLE);
    ASSERT_TRUE(icon.Create(&m_owner, 4711, "no menu", hIcon, WM_APP + 0x64));
    EXPECT_EQ(icon.OnNotification(4711, WM_RBUTTONUP), 0);
    EXPECT_EQ(icon.OnNotification(4711, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(m_nPopups, 0);
    EXPECT_TRUE(m_owner.m_commands.empty());
}

// ---- a notification area that appears after the icon could not be added

TEST_F(TrayIcon, AnAreaThatAppearsGetsTheIconWithTheLatestIconAndTip)
{
    m_bShellAccepts = FALSE;
    CTrayNotifyIcon icon;
    ASSERT_FALSE(Create(icon));
    m_calls.clear();
    // Without an icon the changes go into the record alone.
    EXPECT_FALSE(icon.SetTip("Prodlet in 24:59"));
    EXPECT_FALSE(icon.SetIcon(static_cast<UINT>(IDI_STOPPED)));
    EXPECT_TRUE(m_calls.empty());
    EXPECT_EQ(icon.GetTip(), "");

    m_bShellAccepts = TRUE;
    EXPECT_EQ(icon.OnNotification(129, NIN_AREAAPPEARED), 1);
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls[0].dwMessage, NIM_ADD);
    EXPECT_EQ(m_calls[0].uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    EXPECT_EQ(m_calls[0].strTip, "Prodlet in 24:59");
    EXPECT_EQ(m_calls[0].hIcon, AfxLoadIcon(IDI_STOPPED));
    EXPECT_EQ(m_calls[0].hWnd, m_owner.GetSafeHwnd());
    EXPECT_TRUE(icon.IsCreated());
    EXPECT_EQ(icon.GetTip(), "Prodlet in 24:59");
    EXPECT_TRUE(icon.SetTip("Prodlet in 24:58"));
    EXPECT_EQ(m_calls.back().dwMessage, NIM_MODIFY);
    // The news is no mouse action: no menu, no command.
    AfxPumpMessages();
    EXPECT_EQ(m_nPopups, 0);
    EXPECT_TRUE(m_owner.m_commands.empty());
}

TEST_F(TrayIcon, AnAreaThatRefusesAgainLeavesTheFlagAsItWas)
{
    m_bShellAccepts = FALSE;
    CTrayNotifyIcon icon;
    ASSERT_FALSE(Create(icon));
    EXPECT_EQ(icon.OnNotification(129, NIN_AREAAPPEARED), 1);
    EXPECT_EQ(m_calls.back().dwMessage, NIM_ADD);
    EXPECT_FALSE(icon.IsCreated());
    EXPECT_FALSE(icon.SetTip("x"));

    // An icon that is in: a refused add (the shell still holds it) does not
    // take it away from the program.
    m_bShellAccepts = TRUE;
    ASSERT_TRUE(Create(icon));
    m_bShellAccepts = FALSE;
    EXPECT_EQ(icon.OnNotification(129, NIN_AREAAPPEARED), 1);
    EXPECT_TRUE(icon.IsCreated());
    EXPECT_TRUE(icon.SetTip("still ours"));
}

TEST_F(TrayIcon, AHiddenIconWaitsForShowIconWhichThenCountsAsTheAdd)
{
    m_bShellAccepts = FALSE;
    CTrayNotifyIcon icon;
    ASSERT_FALSE(Create(icon));
    icon.HideIcon();
    m_calls.clear();
    m_bShellAccepts = TRUE;
    EXPECT_EQ(icon.OnNotification(129, NIN_AREAAPPEARED), 1);
    EXPECT_TRUE(m_calls.empty());
    EXPECT_FALSE(icon.IsCreated());

    icon.ShowIcon();
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls[0].dwMessage, NIM_ADD);
    EXPECT_TRUE(icon.IsCreated());
    EXPECT_FALSE(icon.IsHidden());
}

TEST_F(TrayIcon, NewsOfAnAreaForAnotherIconOrBeforeCreateIsIgnored)
{
    CTrayNotifyIcon never;
    EXPECT_EQ(never.OnNotification(0, NIN_AREAAPPEARED), 1);  // its record's id is still 0
    EXPECT_TRUE(m_calls.empty());
    EXPECT_FALSE(never.IsCreated());

    m_bShellAccepts = FALSE;
    CTrayNotifyIcon icon;
    ASSERT_FALSE(Create(icon));
    m_calls.clear();
    m_bShellAccepts = TRUE;
    EXPECT_EQ(icon.OnNotification(128, NIN_AREAAPPEARED), 0);
    EXPECT_TRUE(m_calls.empty());
    EXPECT_FALSE(icon.IsCreated());
}
