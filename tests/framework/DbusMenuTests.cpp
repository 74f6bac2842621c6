// The tray icon's menu as StatusNotifierItem hosts read it over
// com.canonical.dbusmenu: its ids and its labels.
#include "framework/qt/DbusMenu.h"

#include <gtest/gtest.h>

namespace {

const AFX_MENUITEM kMore[] = {
    {MF_STRING, "&Deep", 410, {}},
};
const AFX_MENUITEM kMenu[] = {
    {MF_STRING, "&Restore", 32773, {}},
    {MF_SEPARATOR, nullptr, 0, {}},
    {MF_POPUP, "&More", 0, kMore},
    {MF_STRING, "E&xit", 32774, {}},
};

}  // namespace

TEST(DbusMenu, ItemsAreNumberedFromOneInMenuOrderWithTheirPopup)
{
    const std::vector<CDbusMenuEntry> entries = DbusMenuEntries(kMenu);
    ASSERT_EQ(entries.size(), 5u);
    // 0 is the layout's root; a popup's items follow it, then the menu goes on.
    const int expectIds[] = {1, 2, 3, 4, 5};
    const int expectParents[] = {0, 0, 0, 3, 0};
    const AFX_MENUITEM* expectItems[] = {&kMenu[0], &kMenu[1], &kMenu[2], &kMore[0], &kMenu[3]};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].nDbusId, expectIds[i]) << i;
        EXPECT_EQ(entries[i].nParent, expectParents[i]) << i;
        EXPECT_EQ(entries[i].pItem, expectItems[i]) << i;
    }
    EXPECT_TRUE(DbusMenuEntries({}).empty());
}

TEST(DbusMenu, LabelsMarkTheMnemonicWithAnUnderscore)
{
    EXPECT_EQ(DbusMenuLabel("&Restore"), "_Restore");
    EXPECT_EQ(DbusMenuLabel("E&xit"), "E_xit");
    EXPECT_EQ(DbusMenuLabel("&About Prodlet..."), "_About Prodlet...");
    // A plain underscore must not become a mnemonic, "&&" is an ampersand.
    EXPECT_EQ(DbusMenuLabel("snake_case"), "snake__case");
    EXPECT_EQ(DbusMenuLabel("Salt && &Pepper"), "Salt & _Pepper");
    EXPECT_EQ(DbusMenuLabel("trailing&"), "trailing_");
    EXPECT_EQ(DbusMenuLabel(""), "");
    EXPECT_EQ(DbusMenuLabel(nullptr), "");
}
