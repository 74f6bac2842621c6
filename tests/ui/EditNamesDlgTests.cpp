// The Edit Names dialog: the copy it opens with, Delete Selection, Restore
// Default, what OK writes to the store (list, blanked tail, selection) and
// that every other ending writes nothing.
#include "res/resource.h"
#include "tests/ui/DialogFixture.h"
#include "ui/EditNamesDlg.h"

using EditNamesDlg = DialogTest;
using Names = std::vector<std::string>;

namespace {

// The order a drag of one entry leaves behind. The mouse drag itself is the
// framework drag list box's and is driven end to end; the dialog sees only
// the resulting order.
void MoveEntry(CListBox& list, int nFrom, int nTo)
{
    Names entries;
    for (int i = 0; i < list.GetCount(); ++i) {
        CString str;
        list.GetText(i, str);
        entries.push_back(str);
    }
    const std::string strMoved = entries.at(nFrom);
    entries.erase(entries.begin() + nFrom);
    entries.insert(entries.begin() + nTo, strMoved);
    list.ResetContent();
    for (const std::string& str : entries)
        list.AddString(str);
}

void Select(CEditNamesDlg& dlg, const std::string& strName)
{
    dlg.m_listNames.SetCurSel(dlg.m_listNames.FindStringExact(-1, strName));
}

void Click(CEditNamesDlg& dlg, int nID) { AfxClickForTesting(dlg.GetDlgItem(nID)); }

}  // namespace

TEST_F(EditNamesDlg, OpensWithACopyOfTheViewsListAndTheCurrentNameSelected)
{
    MakeMainView({"a.test", "B.Test", "b.test", "c.test"});
    const struct {
        const char* pszName;
        int nSel;
    } cases[] = {{"b.TEST", 1}, {"b", -1}, {"", -1}, {"gone.test", -1}};
    for (const auto& c : cases) {
        CEditNamesDlg dlg;
        dlg.m_strName = c.pszName;
        Names shown;
        int nSel = -2;
        CModalDriver user(dlg, [&] {
            shown = Entries(dlg.m_listNames);
            nSel = dlg.m_listNames.GetCurSel();
            Click(dlg, IDCANCEL);
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(shown, (Names{"a.test", "B.Test", "b.test", "c.test"})) << c.pszName;
        EXPECT_EQ(nSel, c.nSel) << c.pszName;
    }
    EXPECT_EQ(Stored("ComboName0"), "<missing>");
}

TEST_F(EditNamesDlg, DeleteSelectionRemovesTheSelectedEntryOnly)
{
    MakeMainView({"a.test", "b.test", "c.test"});
    CEditNamesDlg dlg;
    Names afterDelete, afterSecondDelete;
    int nSelAfterDelete = -2;
    CModalDriver user(dlg, [&] {
        Select(dlg, "b.test");
        Click(dlg, IDC_DELETE_SELECTION);
        afterDelete = Entries(dlg.m_listNames);
        nSelAfterDelete = dlg.m_listNames.GetCurSel();
        // Nothing is selected now, so this does nothing.
        Click(dlg, IDC_DELETE_SELECTION);
        afterSecondDelete = Entries(dlg.m_listNames);
        Click(dlg, IDCANCEL);
    });
    dlg.DoModal();
    EXPECT_EQ(afterDelete, (Names{"a.test", "c.test"}));
    EXPECT_EQ(nSelAfterDelete, -1);
    EXPECT_EQ(afterSecondDelete, afterDelete);
    // The view's own list is not the dialog's.
    EXPECT_EQ(ViewNames().GetCount(), 3);
}

TEST_F(EditNamesDlg, RestoreDefaultPutsTheFiveDefaultsBackUnselected)
{
    MakeMainView({"a.test", "example.com"});
    CEditNamesDlg dlg;
    dlg.m_strName = "a.test";
    Names restored;
    int nSel = -2;
    CModalDriver user(dlg, [&] {
        Click(dlg, IDC_RESTORE_DEFAULT);
        restored = Entries(dlg.m_listNames);
        nSel = dlg.m_listNames.GetCurSel();
        Click(dlg, IDCANCEL);
    });
    dlg.DoModal();
    EXPECT_EQ(restored, Names(std::begin(g_aszDefaultHostNames), std::end(g_aszDefaultHostNames)));
    EXPECT_EQ(nSel, -1);
}

TEST_F(EditNamesDlg, OkWritesTheListBlanksTheOldTailAndFollowsTheOpeningName)
{
    const Names stored = {"a.test", "b.test", "c.test", "d.test", "e.test", "f.test", "g.test"};
    for (size_t i = 0; i < stored.size(); ++i)
        Store(("ComboName" + std::to_string(i)).c_str(), stored[i]);
    // Behind the first gap: never read, so never touched.
    Store("ComboName8", "beyond.test");
    Store("ComboNameSel", "2");
    MakeMainView(stored);

    CEditNamesDlg dlg;
    dlg.m_strName = "C.TEST";
    CModalDriver user(dlg, [&] {
        Select(dlg, "a.test");
        Click(dlg, IDC_DELETE_SELECTION);
        Select(dlg, "g.test");
        Click(dlg, IDC_DELETE_SELECTION);
        MoveEntry(dlg.m_listNames, 1, 3);  // c.test goes below e.test
        // Selecting another entry has no say in the stored selection.
        Select(dlg, "f.test");
        Click(dlg, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);

    const Names expected = {"b.test", "d.test", "e.test", "c.test", "f.test"};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Stored(("ComboName" + std::to_string(i)).c_str()), expected[i]) << i;
    // Blanked, not deleted.
    EXPECT_EQ(Stored("ComboName5"), "");
    EXPECT_EQ(Stored("ComboName6"), "");
    EXPECT_NE(m_files.HiveText().find("\"ComboName6\"=\"\""), std::string::npos);
    EXPECT_EQ(Stored("ComboName7"), "<missing>");
    EXPECT_EQ(Stored("ComboName8"), "beyond.test");
    EXPECT_EQ(Stored("ComboNameSel"), "3");
    // The selected string comes back out of the list.
    EXPECT_EQ(dlg.m_strName, "c.test");
}

TEST_F(EditNamesDlg, OkWithoutTheOpeningNameSelectsTheFirstEntry)
{
    Store("ComboName0", "a.test");
    Store("ComboName1", "b.test");
    Store("ComboNameSel", "1");
    MakeMainView({"a.test", "b.test"});

    CEditNamesDlg dlg;
    dlg.m_strName = "b.test";
    CModalDriver user(dlg, [&] {
        Click(dlg, IDC_DELETE_SELECTION);  // b.test is selected on opening
        Click(dlg, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(Stored("ComboName0"), "a.test");
    EXPECT_EQ(Stored("ComboName1"), "");
    EXPECT_EQ(Stored("ComboNameSel"), "0");
    EXPECT_EQ(dlg.m_strName, "a.test");
}

TEST_F(EditNamesDlg, AnEmptyListBlanksEveryStoredEntry)
{
    Store("ComboName0", "a.test");
    Store("ComboName1", "b.test");
    Store("ComboNameSel", "1");
    MakeMainView({"a.test", "b.test"});

    CEditNamesDlg dlg;
    dlg.m_strName = "a.test";
    CModalDriver user(dlg, [&] {
        Click(dlg, IDC_DELETE_SELECTION);
        Select(dlg, "b.test");
        Click(dlg, IDC_DELETE_SELECTION);
        Click(dlg, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(Stored("ComboName0"), "");
    EXPECT_EQ(Stored("ComboName1"), "");
    EXPECT_EQ(Stored("ComboNameSel"), "0");
    EXPECT_EQ(dlg.m_strName, "");
}

TEST_F(EditNamesDlg, EveryEndingButOkWritesNothing)
{
    Store("ComboName0", "a.test");
    Store("ComboName1", "b.test");
    Store("ComboNameSel", "1");
    MakeMainView({"a.test", "b.test"});
    const std::string strHive = m_files.HiveText();

    const struct {
        const char* pszHow;
        std::function<void(CEditNamesDlg&)> end;
    } endings[] = {
        {"Cancel", [](CEditNamesDlg& dlg) { Click(dlg, IDCANCEL); }},
        {"Esc", [](CEditNamesDlg& dlg) { AfxPressKeyForTesting(&dlg, VK_ESCAPE); }},
        {"WM_CLOSE", [](CEditNamesDlg& dlg) { dlg.SendMessage(WM_CLOSE); }},
    };
    for (const auto& ending : endings) {
        CEditNamesDlg dlg;
        dlg.m_strName = "b.test";
        CModalDriver user(dlg, [&] {
            Click(dlg, IDC_DELETE_SELECTION);
            Click(dlg, IDC_RESTORE_DEFAULT);
            ending.end(dlg);
        });
        EXPECT_NE(dlg.DoModal(), IDOK) << ending.pszHow;
        EXPECT_EQ(m_files.HiveText(), strHive) << ending.pszHow;
    }
}

// A host that connects while the dialog is open joins the view's list (and
// the store); OK keeps it, after the dialog's own entries.
TEST_F(EditNamesDlg, OkKeepsAHostTheViewGainedWhileOpen)
{
    MakeMainView({"a.test", "b.test", "c.test"});
    CEditNamesDlg dlg;
    dlg.m_strName = "a.test";
    CModalDriver user(dlg, [&] {
        Select(dlg, "b.test");
        Click(dlg, IDC_DELETE_SELECTION);
        MoveEntry(dlg.m_listNames, 1, 0);
        ViewNames().AddString("new.test");
        Click(dlg, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    // b.test was there before and the user deleted it: it stays deleted.
    EXPECT_EQ(Stored("ComboName0"), "c.test");
    EXPECT_EQ(Stored("ComboName1"), "a.test");
    EXPECT_EQ(Stored("ComboName2"), "new.test");
    EXPECT_EQ(Stored("ComboName3"), "<missing>");
    EXPECT_EQ(Stored("ComboNameSel"), "1");
}

TEST_F(EditNamesDlg, AGainedHostTheDialogHoldsAlreadyIsNotAddedTwice)
{
    MakeMainView({"a.test"});
    CEditNamesDlg dlg;
    CModalDriver user(dlg, [&] {
        Click(dlg, IDC_RESTORE_DEFAULT);
        ViewNames().AddString("Example.COM");
        Click(dlg, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Stored(("ComboName" + std::to_string(i)).c_str()), g_aszDefaultHostNames[i]) << i;
    EXPECT_EQ(Stored("ComboName5"), "<missing>");
}
