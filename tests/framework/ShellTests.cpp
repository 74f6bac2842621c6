// Menus from menu resources, popups, and the notification area.
#include "framework/Resources.h"
#include "framework/Shell.h"
#include "framework/ShellPrivate.h"
#include "framework/System.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr UINT IDM_TEST = 300;
constexpr UINT IDM_TRAY = 129;
constexpr UINT IDM_FLAT = 301;
constexpr UINT ID_RESTORE = 32773;
constexpr UINT ID_ABOUT = 57664;
constexpr UINT ID_EXIT = 32774;
constexpr UINT WM_TEST_TRAY = WM_APP + 0x64;

const AFX_MENUITEM kNested[] = {
    {MF_STRING, "&Deep", 410, {}},
};
const AFX_MENUITEM kFilePopup[] = {
    {MF_STRING, "&Open", 401, {}},
    {MF_SEPARATOR, nullptr, 0, {}},
    {MF_POPUP, "&More", 0, kNested},
    {MF_STRING, "E&xit", 402, {}},
};
const AFX_MENUITEM kHelpPopup[] = {
    {MF_STRING, "&About", 403, {}},
};
const AFX_MENUITEM kTestMenu[] = {
    {MF_POPUP, "&File", 0, kFilePopup},
    {MF_STRING, "&Plain", 404, {}},
    {MF_POPUP, "&Help", 0, kHelpPopup},
};
const AFX_MENUITEM kTrayPopup[] = {
    {MF_STRING, "&Restore", ID_RESTORE, {}},
    {MF_SEPARATOR, nullptr, 0, {}},
    {MF_STRING, "&About Test...", ID_ABOUT, {}},
    {MF_SEPARATOR, nullptr, 0, {}},
    {MF_STRING, "E&xit", ID_EXIT, {}},
};
const AFX_MENUITEM kTrayMenu[] = {
    {MF_POPUP, "_POPUP_", 0, kTrayPopup},
};
const AFX_MENUITEM kFlatMenu[] = {
    {MF_STRING, "&Only", 405, {}},
};
const AFX_MENU kMenus[] = {
    {IDM_TEST, kTestMenu},
    {IDM_TRAY, kTrayMenu},
    {IDM_FLAT, kFlatMenu},
};
const AFX_ICON kIcons[] = {
    {128, {32, ""}, {16, "C"}},
};
const AFX_RESOURCES kResources = {{}, kMenus, {}, {}, kIcons};

struct CMessage {
    UINT nMessage;
    WPARAM wParam;
    LPARAM lParam;
};

// A bare window that writes down every message it gets.
class CRecordingWnd : public CFrameWnd {
public:
    LRESULT WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) override
    {
        if (nMessage == WM_COMMAND || nMessage == WM_TEST_TRAY)
            m_messages.push_back({nMessage, wParam, lParam});
        return CFrameWnd::WindowProc(nMessage, wParam, lParam);
    }
    std::vector<CMessage> m_messages;
};

class ShellTest : public testing::Test {
protected:
    void SetUp() override
    {
        AfxSetResources(&kResources);
        ASSERT_TRUE(m_wnd.CreateBare("owner", CRect{0, 0, 100, 100}));
    }
    void TearDown() override
    {
        AfxSetTrackPopupHook(nullptr);
        AfxSetNotifyIconHook(nullptr);
        AfxSetTrayAvailableOverride(-1);
        AfxSetTrayMenuHostOverride(-1);
        m_wnd.DestroyWindow();
        AfxPumpMessages();
    }

    // Waits for the first recorded message, generously.
    bool WaitForMessages(std::size_t nCount)
    {
        return AfxPumpUntil([&] { return m_wnd.m_messages.size() >= nCount; }, 10000) != FALSE;
    }

    NOTIFYICONDATA Record(const char* pszTip, HICON hIcon = nullptr)
    {
        NOTIFYICONDATA nid{};
        nid.cbSize = sizeof(nid);
        nid.hWnd = m_wnd.GetSafeHwnd();
        nid.uID = IDM_TRAY;
        nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        nid.uCallbackMessage = WM_TEST_TRAY;
        nid.hIcon = hIcon;
        std::strncpy(nid.szTip, pszTip, sizeof(nid.szTip) - 1);
        return nid;
    }

    CRecordingWnd m_wnd;
};

// ---- CMenu over the resource tables

TEST_F(ShellTest, MenuGivesItemsSeparatorsAndSubMenus)
{
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST));
    EXPECT_EQ(menu.GetMenuItemCount(), 3);
    EXPECT_EQ(menu.GetMenuItemID(0), static_cast<UINT>(-1));  // a popup
    EXPECT_EQ(menu.GetMenuItemID(1), 404u);
    EXPECT_EQ(menu.GetSubMenu(1), nullptr);
    EXPECT_EQ(menu.GetMenuItemID(3), static_cast<UINT>(-1));  // past the end
    EXPECT_EQ(menu.GetSubMenu(3), nullptr);
    EXPECT_EQ(menu.GetSubMenu(-1), nullptr);

    CMenu* pFile = menu.GetSubMenu(0);
    ASSERT_NE(pFile, nullptr);
    EXPECT_EQ(pFile, menu.GetSubMenu(0));  // the same object every time
    EXPECT_EQ(pFile->GetMenuItemCount(), 4);
    EXPECT_EQ(pFile->GetMenuItemID(0), 401u);
    EXPECT_EQ(pFile->GetMenuItemID(1), 0u);  // separator
    EXPECT_EQ(pFile->GetMenuItemID(2), static_cast<UINT>(-1));
    EXPECT_EQ(pFile->GetMenuItemID(3), 402u);
    EXPECT_EQ(pFile->GetMenuText(3), "E&xit");
    EXPECT_EQ(pFile->GetMenuText(1), "");

    CMenu* pMore = pFile->GetSubMenu(2);
    ASSERT_NE(pMore, nullptr);
    EXPECT_EQ(pMore->GetMenuItemID(0), 410u);

    CMenu* pHelp = menu.GetSubMenu(2);
    ASSERT_NE(pHelp, nullptr);
    EXPECT_EQ(pHelp->GetMenuItemID(0), 403u);
}

TEST_F(ShellTest, MissingMenuFailsAndLeavesNothingToShow)
{
    CMenu menu;
    EXPECT_FALSE(menu.LoadMenu(999));
    EXPECT_EQ(menu.GetMenuItemCount(), -1);
    EXPECT_EQ(menu.GetSubMenu(0), nullptr);
    EXPECT_FALSE(menu.DestroyMenu());
    EXPECT_FALSE(menu.SetDefaultItem(0, TRUE));
    int nCalls = 0;
    AfxSetTrackPopupHook([&](const CMenu&, int, int, CWnd*) { return ++nCalls, 0u; });
    EXPECT_FALSE(menu.TrackPopupMenu(TPM_LEFTALIGN, 0, 0, &m_wnd));
    EXPECT_EQ(nCalls, 0);
}

TEST_F(ShellTest, LoadingAgainReplacesTheMenuAndItsDefault)
{
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TEST));
    ASSERT_TRUE(menu.SetDefaultItem(1, TRUE));
    ASSERT_TRUE(menu.LoadMenu(IDM_FLAT));
    EXPECT_EQ(menu.GetMenuItemCount(), 1);
    EXPECT_EQ(menu.GetDefaultItemPosition(), -1);
    EXPECT_TRUE(menu.DestroyMenu());
    EXPECT_EQ(menu.GetMenuItemCount(), -1);
}

TEST_F(ShellTest, DefaultItemByPositionAndByCommand)
{
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TRAY));
    CMenu* pPopup = menu.GetSubMenu(0);
    ASSERT_NE(pPopup, nullptr);
    EXPECT_EQ(pPopup->GetDefaultItemPosition(), -1);

    EXPECT_TRUE(pPopup->SetDefaultItem(0, TRUE));
    EXPECT_EQ(pPopup->GetDefaultItemPosition(), 0);
    EXPECT_TRUE(pPopup->SetDefaultItem(ID_EXIT));
    EXPECT_EQ(pPopup->GetDefaultItemPosition(), 4);
    EXPECT_TRUE(pPopup->SetDefaultItem(2, TRUE));
    EXPECT_EQ(pPopup->GetDefaultItemPosition(), 2);

    // Failures leave the default where it was.
    EXPECT_FALSE(pPopup->SetDefaultItem(5, TRUE));
    EXPECT_FALSE(pPopup->SetDefaultItem(12345));
    EXPECT_FALSE(pPopup->SetDefaultItem(0));  // separators have no command
    EXPECT_EQ(pPopup->GetDefaultItemPosition(), 2);

    EXPECT_TRUE(pPopup->SetDefaultItem(static_cast<UINT>(-1), TRUE));
    EXPECT_EQ(pPopup->GetDefaultItemPosition(), -1);
}

TEST_F(ShellTest, ChosenPopupItemIsPostedToTheOwner)
{
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TRAY));
    CMenu* pPopup = menu.GetSubMenu(0);
    ASSERT_NE(pPopup, nullptr);
    pPopup->SetDefaultItem(0, TRUE);

    int nX = 0, nY = 0, nDefault = -2;
    UINT nFirstId = 0;
    CWnd* pSeenOwner = nullptr;
    AfxSetTrackPopupHook([&](const CMenu& shown, int x, int y, CWnd* pOwner) {
        nX = x;
        nY = y;
        pSeenOwner = pOwner;
        nDefault = shown.GetDefaultItemPosition();
        nFirstId = shown.GetMenuItemID(0);
        return ID_EXIT;
    });
    EXPECT_TRUE(pPopup->TrackPopupMenu(TPM_LEFTALIGN, 17, 23, &m_wnd));
    EXPECT_EQ(nX, 17);
    EXPECT_EQ(nY, 23);
    EXPECT_EQ(pSeenOwner, &m_wnd);
    EXPECT_EQ(nDefault, 0);
    EXPECT_EQ(nFirstId, ID_RESTORE);
    // Posted: nothing arrives before the loop runs.
    EXPECT_TRUE(m_wnd.m_messages.empty());
    ASSERT_TRUE(WaitForMessages(1));
    ASSERT_EQ(m_wnd.m_messages.size(), 1u);
    EXPECT_EQ(m_wnd.m_messages[0].nMessage, WM_COMMAND);
    EXPECT_EQ(m_wnd.m_messages[0].wParam, ID_EXIT);
}

TEST_F(ShellTest, PopupClosedWithoutChoiceSendsNothing)
{
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_TRAY));
    AfxSetTrackPopupHook([](const CMenu&, int, int, CWnd*) { return 0u; });
    EXPECT_TRUE(menu.GetSubMenu(0)->TrackPopupMenu(TPM_LEFTALIGN, 0, 0, &m_wnd));
    // A marker command posted after it must be the only one to arrive.
    m_wnd.PostMessage(WM_COMMAND, 1, 0);
    ASSERT_TRUE(WaitForMessages(1));
    ASSERT_EQ(m_wnd.m_messages.size(), 1u);
    EXPECT_EQ(m_wnd.m_messages[0].wParam, 1u);
}

// ---- the notification area

TEST_F(ShellTest, NotifyIconHookSeesEveryCallAndAnswersForTheShell)
{
    std::vector<std::pair<DWORD, std::string>> calls;
    BOOL bAnswer = TRUE;
    AfxSetNotifyIconHook([&](DWORD dwMessage, const NOTIFYICONDATA& nid) {
        calls.emplace_back(dwMessage, nid.szTip);
        return bAnswer;
    });
    NOTIFYICONDATA nid = Record("first");
    EXPECT_TRUE(Shell_NotifyIcon(NIM_ADD, &nid));
    bAnswer = FALSE;
    std::strcpy(nid.szTip, "second");
    EXPECT_FALSE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_DELETE, &nid));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], std::make_pair(NIM_ADD, std::string("first")));
    EXPECT_EQ(calls[1], std::make_pair(NIM_MODIFY, std::string("second")));
    EXPECT_EQ(calls[2].first, NIM_DELETE);

    // An empty hook gives the real notification area back; here one without
    // a tray, on any backend, so it refuses the icon.
    AfxSetTrayAvailableOverride(0);
    AfxSetNotifyIconHook(nullptr);
    EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &nid));
    EXPECT_EQ(calls.size(), 3u);
}

TEST_F(ShellTest, WithoutANotificationAreaNothingCanBeAdded)
{
    AfxSetTrayAvailableOverride(0);
    NOTIFYICONDATA nid = Record("tip", AfxLoadIcon(128));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &nid));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_DELETE, &nid));
    EXPECT_EQ(AfxTrayCallbackMessage(m_wnd.GetSafeHwnd(), IDM_TRAY), 0u);
}

TEST_F(ShellTest, IconIsKeyedByWindowAndId)
{
    AfxSetTrayAvailableOverride(1);
    AfxSetTrayMenuHostOverride(0);
    NOTIFYICONDATA nid = Record("tip", AfxLoadIcon(128));
    ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &nid));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &nid));  // already there
    EXPECT_EQ(AfxTrayCallbackMessage(m_wnd.GetSafeHwnd(), IDM_TRAY), WM_TEST_TRAY);
    EXPECT_FALSE(AfxTrayIconIsNull(m_wnd.GetSafeHwnd(), IDM_TRAY));

    NOTIFYICONDATA other = nid;
    other.uID = 7;
    EXPECT_FALSE(Shell_NotifyIcon(NIM_MODIFY, &other));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_DELETE, &other));

    // Only the fields named by uFlags change.
    nid.uFlags = NIF_ICON;
    nid.hIcon = nullptr;
    nid.uCallbackMessage = WM_APP + 1;
    std::strcpy(nid.szTip, "ignored");
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    EXPECT_TRUE(AfxTrayIconIsNull(m_wnd.GetSafeHwnd(), IDM_TRAY));
    EXPECT_EQ(AfxTrayCallbackMessage(m_wnd.GetSafeHwnd(), IDM_TRAY), WM_TEST_TRAY);
    EXPECT_EQ(AfxTrayTooltip(m_wnd.GetSafeHwnd(), IDM_TRAY), "tip");

    nid.uFlags = NIF_MESSAGE;
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    EXPECT_EQ(AfxTrayCallbackMessage(m_wnd.GetSafeHwnd(), IDM_TRAY), WM_APP + 1);

    nid.uFlags = 0;
    EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, &nid));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_DELETE, &nid));
    // Gone means gone: it can be added anew.
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    EXPECT_TRUE(Shell_NotifyIcon(NIM_ADD, &nid));
    EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, &nid));
}

TEST_F(ShellTest, TooltipReachesTheDesktopOnlyWhenItChanges)
{
    AfxSetTrayAvailableOverride(1);
    AfxSetTrayMenuHostOverride(0);
    NOTIFYICONDATA nid = Record("Test in 0:05");
    ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &nid));
    EXPECT_EQ(AfxTrayTooltipUpdates(m_wnd.GetSafeHwnd(), IDM_TRAY), 1);

    nid.uFlags = NIF_TIP;
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    EXPECT_EQ(AfxTrayTooltipUpdates(m_wnd.GetSafeHwnd(), IDM_TRAY), 1);

    std::strcpy(nid.szTip, "Test in 0:04");
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    EXPECT_EQ(AfxTrayTooltipUpdates(m_wnd.GetSafeHwnd(), IDM_TRAY), 2);
    EXPECT_EQ(AfxTrayTooltip(m_wnd.GetSafeHwnd(), IDM_TRAY), "Test in 0:04");

    // Back to an earlier text is a change too.
    std::strcpy(nid.szTip, "Test in 0:05");
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    EXPECT_EQ(AfxTrayTooltipUpdates(m_wnd.GetSafeHwnd(), IDM_TRAY), 3);

    // A record filled to the brim without its NUL is read within the field.
    std::memset(nid.szTip, 'x', sizeof(nid.szTip));
    EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &nid));
    EXPECT_EQ(AfxTrayTooltip(m_wnd.GetSafeHwnd(), IDM_TRAY), std::string(sizeof(nid.szTip), 'x'));

    nid.uFlags = 0;
    Shell_NotifyIcon(NIM_DELETE, &nid);
}

TEST_F(ShellTest, MouseActionsArriveAsTheCallbackMessage)
{
    AfxSetTrayAvailableOverride(1);
    AfxSetTrayMenuHostOverride(0);
    NOTIFYICONDATA nid = Record("tip");
    ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &nid));
    EXPECT_TRUE(AfxTrayContextMenuIds(m_wnd.GetSafeHwnd(), IDM_TRAY).empty());  // the owner shows its own menu

    EXPECT_TRUE(AfxTrayDeliverAction(m_wnd.GetSafeHwnd(), IDM_TRAY, AfxTrayAction::Context));
    EXPECT_TRUE(AfxTrayDeliverAction(m_wnd.GetSafeHwnd(), IDM_TRAY, AfxTrayAction::DoubleClick));
    EXPECT_TRUE(AfxTrayDeliverAction(m_wnd.GetSafeHwnd(), IDM_TRAY, AfxTrayAction::Trigger));
    EXPECT_TRUE(AfxTrayDeliverAction(m_wnd.GetSafeHwnd(), IDM_TRAY, AfxTrayAction::MiddleClick));
    EXPECT_FALSE(AfxTrayDeliverAction(m_wnd.GetSafeHwnd(), 7, AfxTrayAction::Trigger));
    ASSERT_TRUE(WaitForMessages(4));
    const LPARAM aExpected[] = {0x0205, 0x0203, 0x0202, 0x0208};
    ASSERT_EQ(m_wnd.m_messages.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m_wnd.m_messages[i].nMessage, WM_TEST_TRAY);
        EXPECT_EQ(m_wnd.m_messages[i].wParam, IDM_TRAY);
        EXPECT_EQ(m_wnd.m_messages[i].lParam, aExpected[i]);
    }

    nid.uFlags = 0;
    Shell_NotifyIcon(NIM_DELETE, &nid);
}

TEST_F(ShellTest, WhereTheDesktopShowsTheMenuTheIconCarriesIt)
{
    AfxSetTrayAvailableOverride(1);
    AfxSetTrayMenuHostOverride(1);
    NOTIFYICONDATA nid = Record("tip");
    ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &nid));
    EXPECT_EQ(AfxTrayContextMenuIds(m_wnd.GetSafeHwnd(), IDM_TRAY), (std::vector<UINT>{ID_RESTORE, 0, ID_ABOUT, 0, ID_EXIT}));

    // No second menu from the owner on top of the desktop's.
    EXPECT_FALSE(AfxTrayDeliverAction(m_wnd.GetSafeHwnd(), IDM_TRAY, AfxTrayAction::Context));
    EXPECT_FALSE(AfxTrayChooseContextMenuItem(m_wnd.GetSafeHwnd(), IDM_TRAY, 1));  // separator
    EXPECT_TRUE(AfxTrayChooseContextMenuItem(m_wnd.GetSafeHwnd(), IDM_TRAY, 4));
    EXPECT_TRUE(AfxTrayDeliverAction(m_wnd.GetSafeHwnd(), IDM_TRAY, AfxTrayAction::DoubleClick));
    // Such a host's click (Activate) is its default action: the double-click.
    EXPECT_TRUE(AfxTrayDeliverAction(m_wnd.GetSafeHwnd(), IDM_TRAY, AfxTrayAction::Trigger));
    EXPECT_TRUE(AfxTrayDeliverAction(m_wnd.GetSafeHwnd(), IDM_TRAY, AfxTrayAction::MiddleClick));
    ASSERT_TRUE(WaitForMessages(4));
    ASSERT_EQ(m_wnd.m_messages.size(), 4u);
    EXPECT_EQ(m_wnd.m_messages[0].nMessage, WM_COMMAND);
    EXPECT_EQ(m_wnd.m_messages[0].wParam, ID_EXIT);
    const LPARAM aExpected[] = {0x0203, 0x0203, 0x0208};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m_wnd.m_messages[i + 1].nMessage, WM_TEST_TRAY);
        EXPECT_EQ(m_wnd.m_messages[i + 1].lParam, aExpected[i]);
    }

    nid.uFlags = 0;
    Shell_NotifyIcon(NIM_DELETE, &nid);

    // An icon id without a menu resource gets no menu and still reports clicks.
    nid.uID = 55;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &nid));
    EXPECT_TRUE(AfxTrayContextMenuIds(m_wnd.GetSafeHwnd(), 55).empty());
    EXPECT_TRUE(AfxTrayDeliverAction(m_wnd.GetSafeHwnd(), 55, AfxTrayAction::Context));
    nid.uFlags = 0;
    Shell_NotifyIcon(NIM_DELETE, &nid);
}

TEST_F(ShellTest, CursorPositionNeedsSomewhereToGo)
{
    CPoint pt{-12345, -12345};
    EXPECT_TRUE(GetCursorPos(&pt));
    EXPECT_NE(pt.x, -12345);
    EXPECT_FALSE(GetCursorPos(nullptr));
}

}  // namespace

TEST_F(ShellTest, AnAreaThatAppearsIsOfferedToTheIconsThatFoundNone)
{
    AfxSetTrayAvailableOverride(0);
    AfxSetTrayMenuHostOverride(0);
    NOTIFYICONDATA nid = Record("tip", AfxLoadIcon(128));
    ASSERT_FALSE(Shell_NotifyIcon(NIM_ADD, &nid));

    // The news comes posted, as the icon's callback, to its owner.
    AfxSetTrayAvailableOverride(1);
    AfxPortTrayAreaAppeared();
    ASSERT_TRUE(WaitForMessages(1));
    ASSERT_EQ(m_wnd.m_messages.size(), 1u);
    EXPECT_EQ(m_wnd.m_messages[0].nMessage, WM_TEST_TRAY);
    EXPECT_EQ(m_wnd.m_messages[0].wParam, IDM_TRAY);
    EXPECT_EQ(m_wnd.m_messages[0].lParam, static_cast<LPARAM>(NIN_AREAAPPEARED));

    // Once the owner has added it, an area that appears again is the port's
    // business: the icon stays and nothing is offered.
    ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &nid));
    AfxPortTrayAreaAppeared();
    AfxPumpMessages();
    EXPECT_EQ(m_wnd.m_messages.size(), 1u);
    EXPECT_EQ(AfxTrayTooltip(m_wnd.GetSafeHwnd(), IDM_TRAY), "tip");

    // An icon deleted after its add failed is not wanted any more.
    nid.uFlags = 0;
    ASSERT_TRUE(Shell_NotifyIcon(NIM_DELETE, &nid));
    AfxSetTrayAvailableOverride(0);
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    ASSERT_FALSE(Shell_NotifyIcon(NIM_ADD, &nid));
    EXPECT_FALSE(Shell_NotifyIcon(NIM_DELETE, &nid));
    AfxPortTrayAreaAppeared();
    AfxPumpMessages();
    EXPECT_EQ(m_wnd.m_messages.size(), 1u);
}

// Help Topics opens the manual where the installed tree keeps it: on Linux
// <prefix>/share/doc/<program>/manual, on Windows the manual folder beside
// the .exe, as the installer and the zips lay it out. Either way it is found
// from the running program's own file, which must be known.
TEST(HelpFile, IsTheManualAsInstalledFromTheRunningProgramsFolder)
{
    const std::filesystem::path exe(AfxProgramPath());
    ASSERT_TRUE(std::filesystem::is_regular_file(exe)) << exe.string();
    EXPECT_TRUE(exe.is_absolute());
    const std::filesystem::path help(AfxDefaultHelpFilePath());
    const std::filesystem::path relative = help.lexically_relative(exe.parent_path());
    const std::filesystem::path onLinux =
        std::filesystem::path("..") / "share" / "doc" / exe.filename() / "manual" / "index.html";
    const std::filesystem::path onWindows = std::filesystem::path("manual") / "index.html";
    EXPECT_TRUE(relative == onLinux || relative == onWindows) << help.string();
    EXPECT_EQ(exe.extension() == ".exe", relative == onWindows) << help.string();
}
