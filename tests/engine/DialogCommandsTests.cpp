// The view's Options, Statistics and Edit Names commands: what reaches the
// view's flags, the tooltip, the host-name list and the store, and that the
// engine goes on while a dialog is open.
#include "tests/engine/EngineFixture.h"
#include "tests/support/DialogUser.h"
#include "ui/EditNamesDlg.h"
#include "ui/OptionsDlg.h"
#include "ui/StatisticsDlg.h"

#include <functional>

namespace {

using Names = std::vector<std::string>;
using Peer = CProdletViewTestPeer;

int Check(CDialog& dlg, int nID);

class DialogCommands : public EngineTest {
protected:
    // The view inside the application's main window, where Edit Names looks for it.
    CProdletView& MakeMainView()
    {
        // The end of a main window would end the message loop.
        m_app.m_pMainWnd = nullptr;
        MakeView();
        m_app.m_pMainWnd = m_pFrame;
        return View();
    }

    void TearDown() override
    {
        m_app.m_pMainWnd = nullptr;
        EngineTest::TearDown();
        AfxSetResources(&ProdletResources());
    }

    void StoreList(const Names& names, int nSel)
    {
        for (size_t i = 0; i < names.size(); ++i)
            Store(Key(i).c_str(), names[i]);
        Store("ComboNameSel", std::to_string(nSel));
    }

    static std::string Key(size_t i) { return "ComboName" + std::to_string(i); }

    Names ViewEntries()
    {
        Names entries;
        for (int i = 0; i < HostBox().GetCount(); ++i) {
            CString str;
            HostBox().GetLBText(i, str);
            entries.push_back(str);
        }
        return entries;
    }

    // The view's four option flags as the Options dialog shows them (Auto-Start,
    // Random Name, Random Time, Ignore), closed with Cancel.
    std::vector<int> OptionsShown(CProdletView& v)
    {
        COptionsDlg dlg;
        std::vector<int> shown;
        CModalDriver user(dlg, [&] {
            for (int nID : {IDC_AUTOSTART, IDC_RANDOM_NAME, IDC_RANDOM_TIME, IDC_IGNORE})
                shown.push_back(Check(dlg, nID));
            ClickItem(dlg, IDCANCEL);
        });
        v.RunOptionsDlg(dlg);
        return shown;
    }

    // The resources without the three dialogs' templates, so that they cannot be made.
    void DropDialogTemplates()
    {
        const AFX_RESOURCES& all = ProdletResources();
        for (const AFX_DLGTEMPLATE& dlg : all.dialogs)
            if (dlg.id != IDD_OPTIONS && dlg.id != IDD_STATISTICS && dlg.id != IDD_EDIT_NAMES)
                m_dialogsLeft.push_back(dlg);
        m_resourcesLeft = {m_dialogsLeft, all.menus, all.accelerators, all.strings, all.icons};
        AfxSetResources(&m_resourcesLeft);
    }

    CWinApp m_app;
    std::vector<AFX_DLGTEMPLATE> m_dialogsLeft;
    AFX_RESOURCES m_resourcesLeft{};
};

int Check(CDialog& dlg, int nID)
{
    auto* pBox = dynamic_cast<CButton*>(dlg.GetDlgItem(nID));
    return pBox ? pBox->GetCheck() : -1;
}

std::string Text(CDialog& dlg, int nID)
{
    CWnd* pItem = dlg.GetDlgItem(nID);
    return pItem ? pItem->GetWindowText() : "<no control>";
}

void Select(CEditNamesDlg& dlg, const std::string& strName)
{
    dlg.m_listNames.SetCurSel(dlg.m_listNames.FindStringExact(-1, strName));
}

}  // namespace

// ---- Options

TEST_F(DialogCommands, OptionsOkStoresIgnoreAutoStartRandomNameRandomTimeInThatOrder)
{
    CProdletView& v = MakeMainView();
    ASSERT_EQ(m_files.HiveText().find("\"Ignore\""), std::string::npos);
    COptionsDlg dlg;
    std::vector<int> shown;
    CModalDriver user(dlg, [&] {
        for (int nID : {IDC_AUTOSTART, IDC_RANDOM_NAME, IDC_RANDOM_TIME, IDC_IGNORE})
            shown.push_back(Check(dlg, nID));
        ClickItem(dlg, IDC_AUTOSTART);
        ClickItem(dlg, IDC_RANDOM_TIME);
        ClickItem(dlg, IDOK);
    });
    v.RunOptionsDlg(dlg);

    // The defaults: Auto-Start and Ignore on.
    EXPECT_EQ(shown, (std::vector<int>{1, 0, 0, 1}));
    EXPECT_EQ(OptionsShown(v), (std::vector<int>{0, 0, 1, 1}));
    EXPECT_EQ(Stored("Ignore"), "1");
    EXPECT_EQ(Stored("AutoStart"), "0");
    EXPECT_EQ(Stored("RandomName"), "0");
    EXPECT_EQ(Stored("RandomTime"), "1");
    // New values go to the end of their key, so the file keeps the order of the writes.
    const std::string strHive = m_files.HiveText();
    const size_t nIgnore = strHive.find("\"Ignore\"=");
    const size_t nAutoStart = strHive.find("\"AutoStart\"=");
    const size_t nRandomName = strHive.find("\"RandomName\"=");
    const size_t nRandomTime = strHive.find("\"RandomTime\"=");
    ASSERT_NE(nRandomTime, std::string::npos);
    EXPECT_LT(nIgnore, nAutoStart);
    EXPECT_LT(nAutoStart, nRandomName);
    EXPECT_LT(nRandomName, nRandomTime);
    // Nothing else is stored, and nothing is restarted: the auto-start armed
    // at the initial update still runs.
    EXPECT_EQ(Stored("Debug"), "<missing>");
    EXPECT_EQ(Stored("Often"), "<missing>");
    EXPECT_TRUE(v.HasTimer(IDT_AUTOSTART));
}

TEST_F(DialogCommands, OptionsOpensWithTheViewsFlagsAndOkRewritesAllFour)
{
    Store("Ignore", "0");
    Store("RandomName", "00");
    Store("RandomTime", " 0");
    Store("AutoStart", "+1");
    CProdletView& v = MakeMainView();
    // The view's flags, not the store, are what the dialog shows.
    {
        // Random Name chosen while the store could not be written.
        SetAppSettings(nullptr);
        COptionsDlg first;
        CModalDriver user(first, [&] {
            ClickItem(first, IDC_RANDOM_NAME);
            ClickItem(first, IDOK);
        });
        v.RunOptionsDlg(first);
        SetAppSettings(m_pSettings.get());
    }
    ASSERT_EQ(Stored("RandomName"), "00");
    COptionsDlg dlg;
    int nRandomNameShown = -1;
    CModalDriver user(dlg, [&] {
        nRandomNameShown = Check(dlg, IDC_RANDOM_NAME);
        ClickItem(dlg, IDOK);
    });
    v.RunOptionsDlg(dlg);
    EXPECT_EQ(nRandomNameShown, 1);
    EXPECT_EQ(Stored("Ignore"), "0");
    EXPECT_EQ(Stored("RandomName"), "1");
    EXPECT_EQ(Stored("RandomTime"), "0");
    EXPECT_EQ(Stored("AutoStart"), "1");
}

TEST_F(DialogCommands, OptionsCancelEscAndCloseChangeNothing)
{
    CProdletView& v = MakeMainView();
    const std::string strHive = m_files.HiveText();
    const std::function<void(CDialog&)> endings[] = {
        [](CDialog& dlg) { ClickItem(dlg, IDCANCEL); },
        [](CDialog& dlg) { AfxPressKeyForTesting(&dlg, VK_ESCAPE); },
        [](CDialog& dlg) { dlg.SendMessage(WM_CLOSE); },
    };
    for (size_t i = 0; i < std::size(endings); ++i) {
        COptionsDlg dlg;
        CModalDriver user(dlg, [&] {
            for (int nID : {IDC_AUTOSTART, IDC_RANDOM_NAME, IDC_RANDOM_TIME, IDC_IGNORE})
                ClickItem(dlg, nID);
            endings[i](dlg);
        });
        v.RunOptionsDlg(dlg);
        EXPECT_EQ(OptionsShown(v), (std::vector<int>{1, 0, 0, 1})) << i;
        EXPECT_EQ(m_files.HiveText(), strHive) << i;
    }
}

TEST_F(DialogCommands, OptionsReopenWithTheLastChoiceEvenWhenItWasNotStored)
{
    CProdletView& v = MakeMainView();
    SetAppSettings(nullptr);  // every write fails
    {
        COptionsDlg dlg;
        CModalDriver user(dlg, [&] {
            ClickItem(dlg, IDC_IGNORE);
            ClickItem(dlg, IDC_RANDOM_NAME);
            ClickItem(dlg, IDOK);
        });
        v.RunOptionsDlg(dlg);
    }
    SetAppSettings(m_pSettings.get());
    EXPECT_EQ(Stored("Ignore"), "<missing>");

    EXPECT_EQ(OptionsShown(v), (std::vector<int>{1, 1, 0, 0}));
}

// The modal loop goes on delivering the view's messages: a tick posted while
// the dialog is open starts a probe, and its reply is counted.
TEST_F(DialogCommands, TheEngineGoesOnWhileADialogIsOpen)
{
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeMainView();
    StartCounting();
    ASSERT_TRUE(v.HasTimer(IDT_TICK));

    COptionsDlg dlg;
    bool bProbed = false, bCounted = false;
    CModalDriver user(dlg, [&] {
        v.PostMessage(WM_TIMER, IDT_TICK, 0);
        bProbed = AfxPumpUntil([&] { return !m_net.m_sent.empty(); }, 10000);
        v.PostMessage(WM_SOCKET_EVENT, static_cast<WPARAM>(ProbeSocket()), MAKELPARAM(FD_READ, 0));
        bCounted = AfxPumpUntil([&] { return Counts().nSuccesses == 1; }, 10000);
        ClickItem(dlg, IDOK);
    });
    v.RunOptionsDlg(dlg);
    EXPECT_TRUE(bProbed);
    EXPECT_TRUE(bCounted);
    EXPECT_EQ(m_net.m_connects, (std::vector<std::string>{"192.0.2.7:80"}));
    EXPECT_EQ(Status(), "Prodlet completed at 10:20:30");
}

// ---- Statistics

TEST_F(DialogCommands, StatisticsShowsTheCountsAndClearsTheTooltipHint)
{
    Store("ComboName0", "192.0.2.7");
    CProdletView& v = MakeMainView();
    StartCounting();
    PROBE_COUNTS counts;
    counts.nSuccesses = 1234;
    counts.nHttpFailures = 2;
    counts.nDnsFailures = 3;
    counts.nSocketFailures = 4;
    Peer::SetCounts(v, counts, "Dns.Fail.Test");
    Tick();
    ASSERT_NE(LastTip().find("   Please check the Statistics dialog box"), std::string::npos);

    CStatisticsDlg dlg;
    std::vector<std::string> shown;
    BOOL bNewProblemWhileOpen = TRUE;
    bool bCaptionShown = false;
    CModalDriver user(dlg, [&] {
        for (int nID : {IDC_STAT_SUCCESSES, IDC_STAT_HTTP, IDC_STAT_DNS, IDC_STAT_SOCKET, IDC_LAST_PROBLEM_HOST})
            shown.push_back(Text(dlg, nID));
        bCaptionShown = dlg.GetDlgItem(IDC_LAST_PROBLEM_CAPTION)->IsWindowVisible();
        bNewProblemWhileOpen = Peer::NewProblem(v);
        ClickItem(dlg, IDOK);
    });
    v.RunStatisticsDlg(dlg);

    EXPECT_EQ(shown, (std::vector<std::string>{"1234", "2", "3", "4", "Dns.Fail.Test"}));
    EXPECT_TRUE(bCaptionShown);
    EXPECT_EQ(bNewProblemWhileOpen, FALSE);
    Tick();
    EXPECT_EQ(LastTip().find("Please check"), std::string::npos) << LastTip();
    EXPECT_EQ(LastTip().rfind("Prodlet in ", 0), 0u);
    // The counts are acknowledged, not reset.
    EXPECT_EQ(Counts().nSuccesses, 1234);
    EXPECT_EQ(Counts().nDnsFailures, 3);
}

// A dialog that cannot be made ends its command as if cancelled; Statistics
// has acknowledged the problems all the same.
TEST_F(DialogCommands, MenuCommandsWhoseDialogCannotBeMadeChangeNothing)
{
    Store("ComboName0", "a.test");
    CProdletView& v = MakeMainView();
    // A problem not yet acknowledged: a.test cannot be found.
    v.OnStart();
    m_net.AnswerLastLookup({"10.1.2.3"});
    m_net.AnswerLastLookup({}, WSAHOST_NOT_FOUND);
    ASSERT_EQ(Counts().nDnsFailures, 1);
    ASSERT_EQ(Peer::NewProblem(v), TRUE);
    HostBox().AddString("unsaved.test");
    const std::string strHive = m_files.HiveText();
    DropDialogTemplates();

    v.SendMessage(WM_COMMAND, ID_OPTIONS, 0);
    v.SendMessage(WM_COMMAND, ID_EDIT_NAMES, 0);
    v.SendMessage(WM_COMMAND, ID_STATISTICS, 0);
    EXPECT_EQ(Peer::NewProblem(v), FALSE);
    EXPECT_EQ(m_files.HiveText(), strHive);
    EXPECT_EQ(ViewEntries(), (Names{"a.test", "unsaved.test"}));
    AfxSetResources(&ProdletResources());
    EXPECT_EQ(OptionsShown(v), (std::vector<int>{1, 0, 0, 1}));
}

// ---- Edit Names

TEST_F(DialogCommands, EditNamesOkWithoutChangesRewritesTheSameList)
{
    StoreList({"a.test", "b.test", "c.test"}, 1);
    CProdletView& v = MakeMainView();
    CEditNamesDlg dlg;
    CModalDriver user(dlg, [&] { ClickItem(dlg, IDOK); });
    v.RunEditNamesDlg(dlg);
    EXPECT_EQ(Stored("ComboName0"), "a.test");
    EXPECT_EQ(Stored("ComboName2"), "c.test");
    EXPECT_EQ(Stored("ComboName3"), "<missing>");
    EXPECT_EQ(Stored("ComboNameSel"), "1");
    EXPECT_EQ(ViewEntries(), (Names{"a.test", "b.test", "c.test"}));
    EXPECT_EQ(v.GetCurrentHost(), "b.test");
}

TEST_F(DialogCommands, EditNamesDraggingTheCurrentHostMovesTheStoredSelection)
{
    StoreList({"a.test", "b.test", "c.test", "d.test", "e.test"}, 0);
    CProdletView& v = MakeMainView();
    ASSERT_EQ(v.GetCurrentHost(), "a.test");
    CEditNamesDlg dlg;
    CModalDriver user(dlg, [&] {
        MoveListEntry(dlg.m_listNames, 0, 3);
        ClickItem(dlg, IDOK);
    });
    v.RunEditNamesDlg(dlg);

    const Names expected = {"b.test", "c.test", "d.test", "a.test", "e.test"};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Stored(Key(i).c_str()), expected[i]) << i;
    EXPECT_EQ(Stored("ComboNameSel"), "3");
    EXPECT_EQ(ViewEntries(), expected);
    EXPECT_EQ(HostBox().GetCurSel(), 3);
    EXPECT_EQ(v.GetCurrentHost(), "a.test");
}

TEST_F(DialogCommands, EditNamesDeletingTheCurrentHostMakesTheFirstEntryCurrent)
{
    StoreList({"a.test", "b.test", "c.test", "d.test", "e.test", "f.test", "g.test"}, 2);
    CProdletView& v = MakeMainView();
    CEditNamesDlg dlg;
    CModalDriver user(dlg, [&] {
        ClickItem(dlg, IDC_DELETE_SELECTION);  // c.test, selected on opening
        Select(dlg, "e.test");
        ClickItem(dlg, IDC_DELETE_SELECTION);
        ClickItem(dlg, IDOK);
    });
    v.RunEditNamesDlg(dlg);

    const Names expected = {"a.test", "b.test", "d.test", "f.test", "g.test"};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Stored(Key(i).c_str()), expected[i]) << i;
    EXPECT_EQ(Stored("ComboName5"), "");
    EXPECT_EQ(Stored("ComboName6"), "");
    EXPECT_EQ(Stored("ComboNameSel"), "0");
    EXPECT_EQ(ViewEntries(), expected);
    EXPECT_EQ(v.GetCurrentHost(), "a.test");
    EXPECT_EQ(HostBox().GetCurSel(), 0);
}

TEST_F(DialogCommands, EditNamesRestoreDefaultKeepsTheCurrentHostOnlyIfItIsADefault)
{
    const Names defaults(std::begin(g_aszDefaultHostNames), std::end(g_aszDefaultHostNames));
    std::string strUpper = defaults[3];
    for (char& ch : strUpper)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    const struct {
        std::string strCurrent;
        int nSel;
    } cases[] = {{strUpper, 3}, {"own.test", 0}};
    for (const auto& c : cases) {
        StoreList({"x.test", "y.test", c.strCurrent, "z.test", "w.test", "v.test"}, 2);
        CProdletView& v = MakeMainView();
        ASSERT_EQ(v.GetCurrentHost(), c.strCurrent);
        CEditNamesDlg dlg;
        CModalDriver user(dlg, [&] {
            ClickItem(dlg, IDC_RESTORE_DEFAULT);
            ClickItem(dlg, IDOK);
        });
        v.RunEditNamesDlg(dlg);

        for (size_t i = 0; i < defaults.size(); ++i)
            EXPECT_EQ(Stored(Key(i).c_str()), defaults[i]) << c.strCurrent << " " << i;
        EXPECT_EQ(Stored("ComboName5"), "") << c.strCurrent;
        EXPECT_EQ(Stored("ComboNameSel"), std::to_string(c.nSel)) << c.strCurrent;
        EXPECT_EQ(ViewEntries(), defaults) << c.strCurrent;
        EXPECT_EQ(v.GetCurrentHost(), defaults[c.nSel]) << c.strCurrent;
    }
}

TEST_F(DialogCommands, EditNamesWithAnEmptyListFallsBackOnTheDefaults)
{
    StoreList({"a.test", "b.test"}, 1);
    CProdletView& v = MakeMainView();
    CEditNamesDlg dlg;
    CModalDriver user(dlg, [&] {
        ClickItem(dlg, IDC_DELETE_SELECTION);
        Select(dlg, "a.test");
        ClickItem(dlg, IDC_DELETE_SELECTION);
        ClickItem(dlg, IDOK);
    });
    v.RunEditNamesDlg(dlg);

    EXPECT_EQ(Stored("ComboName0"), "");
    EXPECT_EQ(Stored("ComboName1"), "");
    EXPECT_EQ(Stored("ComboNameSel"), "0");
    // The defaults are shown, but stored only by the next save.
    EXPECT_EQ(ViewEntries(), Names(std::begin(g_aszDefaultHostNames), std::end(g_aszDefaultHostNames)));
    EXPECT_EQ(v.GetCurrentHost(), g_aszDefaultHostNames[0]);
    EXPECT_EQ(Stored("ComboName0"), "");
}

TEST_F(DialogCommands, EditNamesCancelLeavesTheStoreAndTheViewAlone)
{
    StoreList({"a.test", "b.test", "c.test"}, 2);
    CProdletView& v = MakeMainView();
    const std::string strHive = m_files.HiveText();
    CEditNamesDlg dlg;
    CModalDriver user(dlg, [&] {
        ClickItem(dlg, IDC_DELETE_SELECTION);
        MoveListEntry(dlg.m_listNames, 1, 0);
        ClickItem(dlg, IDCANCEL);
    });
    v.RunEditNamesDlg(dlg);
    EXPECT_EQ(m_files.HiveText(), strHive);
    EXPECT_EQ(ViewEntries(), (Names{"a.test", "b.test", "c.test"}));
    EXPECT_EQ(v.GetCurrentHost(), "c.test");
}

// A probe that connects to a new host while the dialog is open adds the host
// to the view's list and the store; OK must not drop it again.
TEST_F(DialogCommands, EditNamesKeepsAHostThatConnectedWhileItWasOpen)
{
    StoreList({"192.0.2.1", "192.0.2.2"}, 0);
    CProdletView& v = MakeMainView();
    HostBox().SetCurSel(-1);
    HostBox().SetWindowText("192.0.2.50");
    StartCounting();

    CEditNamesDlg dlg;
    CModalDriver user(dlg, [&] {
        Tick();  // the probe to the typed host connects and is saved
        Select(dlg, "192.0.2.2");
        ClickItem(dlg, IDC_DELETE_SELECTION);
        ClickItem(dlg, IDOK);
    });
    v.RunEditNamesDlg(dlg);

    ASSERT_EQ(m_net.m_connects, (std::vector<std::string>{"192.0.2.50:80"}));
    EXPECT_EQ(Stored("ComboName0"), "192.0.2.1");
    EXPECT_EQ(Stored("ComboName1"), "192.0.2.50");
    EXPECT_EQ(Stored("ComboName2"), "");
    EXPECT_EQ(ViewEntries(), (Names{"192.0.2.1", "192.0.2.50"}));
    // The selection follows the host that was current when the dialog opened.
    EXPECT_EQ(Stored("ComboNameSel"), "0");
    EXPECT_EQ(v.GetCurrentHost(), "192.0.2.1");
}
