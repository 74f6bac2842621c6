// The Edit Names dialog: the copy it opens with, Delete Selection, Restore
// Default, and what OK writes to the store (list, blanked tail, selection).
#include "res/resource.h"
#include "tests/ui/DialogFixture.h"
#include "ui/EditNamesDlg.h"

using EditNamesDlg = DialogTest;
using Names = std::vector<std::string>;

namespace {

void Select(CEditNamesDlg& dlg, const std::string& strName)
{
    dlg.m_listNames.SetCurSel(dlg.m_listNames.FindStringExact(-1, strName));
}

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
            ClickItem(dlg, IDCANCEL);
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(shown, (Names{"a.test", "B.Test", "b.test", "c.test"})) << c.pszName;
        EXPECT_EQ(nSel, c.nSel) << c.pszName;
    }
    EXPECT_EQ(Stored("ComboName0"), "<missing>");
}

TEST_F(EditNamesDlg, DeleteSelectionAndRestoreDefaultLeaveNothingSelected)
{
    MakeMainView({"a.test", "b.test", "c.test"});
    CEditNamesDlg dlg;
    Names afterDelete, afterSecondDelete, restored;
    int nSelAfterDelete = -2, nSelAfterRestore = -2;
    CModalDriver user(dlg, [&] {
        Select(dlg, "b.test");
        ClickItem(dlg, IDC_DELETE_SELECTION);
        afterDelete = Entries(dlg.m_listNames);
        nSelAfterDelete = dlg.m_listNames.GetCurSel();
        // Nothing is selected now, so this does nothing.
        ClickItem(dlg, IDC_DELETE_SELECTION);
        afterSecondDelete = Entries(dlg.m_listNames);
        Select(dlg, "c.test");
        ClickItem(dlg, IDC_RESTORE_DEFAULT);
        restored = Entries(dlg.m_listNames);
        nSelAfterRestore = dlg.m_listNames.GetCurSel();
        ClickItem(dlg, IDCANCEL);
    });
    dlg.DoModal();
    EXPECT_EQ(afterDelete, (Names{"a.test", "c.test"}));
    EXPECT_EQ(nSelAfterDelete, -1);
    EXPECT_EQ(afterSecondDelete, afterDelete);
    EXPECT_EQ(restored, Names(std::begin(g_aszDefaultHostNames), std::end(g_aszDefaultHostNames)));
    EXPECT_EQ(nSelAfterRestore, -1);
    // The view's own list is not the dialog's.
    EXPECT_EQ(ViewNames().GetCount(), 3);
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
        ClickItem(dlg, IDC_DELETE_SELECTION);
        Select(dlg, "g.test");
        ClickItem(dlg, IDC_DELETE_SELECTION);
        MoveListEntry(dlg.m_listNames, 1, 3);  // c.test goes below e.test
        // Selecting another entry has no say in the stored selection.
        Select(dlg, "f.test");
        ClickItem(dlg, IDOK);
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

TEST_F(EditNamesDlg, AGainedHostTheDialogHoldsAlreadyIsNotAddedTwice)
{
    MakeMainView({"a.test"});
    CEditNamesDlg dlg;
    CModalDriver user(dlg, [&] {
        ClickItem(dlg, IDC_RESTORE_DEFAULT);
        ViewNames().AddString("Example.COM");
        ClickItem(dlg, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Stored(("ComboName" + std::to_string(i)).c_str()), g_aszDefaultHostNames[i]) << i;
    EXPECT_EQ(Stored("ComboName5"), "<missing>");
}
