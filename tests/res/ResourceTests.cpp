// The resource tables against what the program and the framework rely on:
// every id the program asks for, the geometry of every template, the menu
// positions the tray and the frame use, and icons that can be told apart.
#include "framework/Resources.h"
#include "framework/Testing.h"
#include "framework/Wnd.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <tuple>
#include <vector>

namespace {

const AFX_DLGTEMPLATE* FindDialog(UINT nId)
{
    for (const AFX_DLGTEMPLATE& dlg : ProdletResources().dialogs)
        if (dlg.id == nId)
            return &dlg;
    return nullptr;
}

const AFX_MENU* FindMenu(UINT nId)
{
    for (const AFX_MENU& menu : ProdletResources().menus)
        if (menu.id == nId)
            return &menu;
    return nullptr;
}

const AFX_ICON* FindIcon(UINT nId)
{
    for (const AFX_ICON& icon : ProdletResources().icons)
        if (icon.id == nId)
            return &icon;
    return nullptr;
}

const AFX_DLGITEM* FindItem(const AFX_DLGTEMPLATE& dlg, int nId)
{
    for (const AFX_DLGITEM& item : dlg.items)
        if (item.id == nId)
            return &item;
    return nullptr;
}

struct Box {
    int left, top, right, bottom;
};

// A drop-down combo box's template height includes its list; closed, it is
// one edit line high, and that is what sits on the form.
Box VisibleBox(const AFX_DLGITEM& item)
{
    const int cy = item.kind == AfxControl::ComboDropDown ? 12 : item.cy;
    return {item.x, item.y, item.x + item.cx, item.y + cy};
}

bool Overlap(const Box& a, const Box& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Contains(const Box& outer, const Box& inner)
{
    return outer.left <= inner.left && outer.top <= inner.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::string Name(const AFX_DLGTEMPLATE& dlg, const AFX_DLGITEM& item)
{
    return "dialog " + std::to_string(dlg.id) + " control " + std::to_string(item.id) + " \"" +
           item.text + "\"";
}

const UINT kDialogIds[] = {IDD_ABOUTBOX, IDD_PRODLET_FORM, IDD_OPTIONS, IDD_EDIT_NAMES, IDD_STATISTICS};

// ---- dialogs

TEST(DialogTemplates, EveryDialogTheProgramOpensExistsOnceWithItsFont)
{
    for (UINT nId : kDialogIds) {
        SCOPED_TRACE(nId);
        const auto& dialogs = ProdletResources().dialogs;
        EXPECT_EQ(1, std::count_if(dialogs.begin(), dialogs.end(), [&](const AFX_DLGTEMPLATE& d) { return d.id == nId; }));
        const AFX_DLGTEMPLATE* pDlg = FindDialog(nId);
        ASSERT_NE(nullptr, pDlg);
        EXPECT_STREQ("MS Sans Serif", pDlg->fontName);
        EXPECT_EQ(8, pDlg->pointSize);
        EXPECT_FALSE(pDlg->items.empty());
    }
    EXPECT_TRUE(FindDialog(IDD_PRODLET_FORM)->bChild);
    EXPECT_STREQ("", FindDialog(IDD_PRODLET_FORM)->caption);
    EXPECT_STREQ("About Prodlet", FindDialog(IDD_ABOUTBOX)->caption);
    EXPECT_STREQ("Options", FindDialog(IDD_OPTIONS)->caption);
    EXPECT_STREQ("Edit Names", FindDialog(IDD_EDIT_NAMES)->caption);
    EXPECT_STREQ("Statistics Snapshot", FindDialog(IDD_STATISTICS)->caption);
    for (UINT nId : {IDD_ABOUTBOX, IDD_OPTIONS, IDD_EDIT_NAMES, IDD_STATISTICS})
        EXPECT_FALSE(FindDialog(nId)->bChild) << nId;
}

TEST(DialogTemplates, EveryControlLiesInsideItsDialog)
{
    for (const AFX_DLGTEMPLATE& dlg : ProdletResources().dialogs) {
        const Box client{0, 0, dlg.cx, dlg.cy};
        for (const AFX_DLGITEM& item : dlg.items) {
            EXPECT_GT(item.cx, 0) << Name(dlg, item);
            EXPECT_GT(item.cy, 0) << Name(dlg, item);
            EXPECT_TRUE(Contains(client, {item.x, item.y, item.x + item.cx, item.y + item.cy})) << Name(dlg, item);
        }
    }
}

// Controls never cover each other; a group box frames a control wholly or not
// at all, and group boxes nest rather than cross.
TEST(DialogTemplates, ControlsDoNotOverlapAndGroupBoxesFrameWholeControls)
{
    for (const AFX_DLGTEMPLATE& dlg : ProdletResources().dialogs) {
        for (size_t i = 0; i < dlg.items.size(); ++i) {
            for (size_t j = i + 1; j < dlg.items.size(); ++j) {
                const AFX_DLGITEM& a = dlg.items[i];
                const AFX_DLGITEM& b = dlg.items[j];
                const Box boxA = VisibleBox(a), boxB = VisibleBox(b);
                const bool bGroupA = a.kind == AfxControl::GroupBox, bGroupB = b.kind == AfxControl::GroupBox;
                if (!bGroupA && !bGroupB) {
                    EXPECT_FALSE(Overlap(boxA, boxB)) << Name(dlg, a) << " / " << Name(dlg, b);
                } else if (Overlap(boxA, boxB)) {
                    EXPECT_TRUE(Contains(boxA, boxB) || Contains(boxB, boxA)) << Name(dlg, a) << " / " << Name(dlg, b);
                }
            }
        }
    }
}

TEST(DialogTemplates, IdsAreUniqueWithinEachDialogAndOneDefaultButton)
{
    for (const AFX_DLGTEMPLATE& dlg : ProdletResources().dialogs) {
        SCOPED_TRACE(dlg.id);
        std::vector<int> ids;
        int nDefaults = 0;
        for (const AFX_DLGITEM& item : dlg.items) {
            if (item.id != -1)
                ids.push_back(item.id);
            nDefaults += item.kind == AfxControl::DefPushButton;
        }
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ(ids.end(), std::adjacent_find(ids.begin(), ids.end()));
        EXPECT_EQ(1, nDefaults);
    }
}

// The tab order of the form is its template order, and the view binds these.
TEST(FormTemplate, ControlsComeInTabOrderWithTheirKindsAndStyles)
{
    const AFX_DLGTEMPLATE& form = *FindDialog(IDD_PRODLET_FORM);
    const std::vector<int> expectedIds = {IDC_RETURN_TO_TRAY, IDC_OFTEN, IDC_HOSTNAMES, IDC_START, IDC_SHUTDOWN,
                                          -1, -1, -1, -1, IDC_STATUS, IDC_NEXT_LABEL, IDC_COUNTDOWN};
    std::vector<int> ids;
    for (const AFX_DLGITEM& item : form.items)
        ids.push_back(item.id);
    EXPECT_EQ(expectedIds, ids);
    EXPECT_EQ(146, form.cx);
    EXPECT_EQ(141, form.cy);

    EXPECT_EQ(AfxControl::DefPushButton, FindItem(form, IDC_RETURN_TO_TRAY)->kind);
    EXPECT_EQ(AfxControl::Edit, FindItem(form, IDC_OFTEN)->kind);
    EXPECT_EQ(AfxControl::ComboDropDown, FindItem(form, IDC_HOSTNAMES)->kind);
    EXPECT_EQ(AfxControl::PushButton, FindItem(form, IDC_START)->kind);
    EXPECT_EQ(AfxControl::PushButton, FindItem(form, IDC_SHUTDOWN)->kind);
    for (int nId : {IDC_STATUS, IDC_NEXT_LABEL, IDC_COUNTDOWN})
        EXPECT_EQ(AfxControl::Static, FindItem(form, nId)->kind) << nId;

    // Start is enabled by the view, the countdown label only while counting.
    for (const AFX_DLGITEM& item : form.items) {
        const bool bDisabled = item.id == IDC_START || item.id == IDC_NEXT_LABEL;
        EXPECT_EQ(bDisabled, (item.style & WS_DISABLED) != 0) << Name(form, item);
    }
    EXPECT_NE(0u, FindItem(form, IDC_OFTEN)->style & ES_RIGHT);
    EXPECT_NE(0u, FindItem(form, IDC_HOSTNAMES)->style & WS_VSCROLL);

    // The frame is fitted from these two buttons.
    const AFX_DLGITEM& start = *FindItem(form, IDC_START);
    EXPECT_EQ(10, start.x);
    EXPECT_EQ(95, start.y);
    EXPECT_EQ(125, start.cx);
    EXPECT_EQ(15, start.cy);
    const AFX_DLGITEM& back = *FindItem(form, IDC_RETURN_TO_TRAY);
    EXPECT_EQ(115, back.y);
    EXPECT_EQ(15, back.cy);
}

struct BoundControl {
    UINT nDialog;
    int nId;
    AfxControl kind;
};

// Every control a dialog class binds, reads or hides, with the kind it expects.
TEST(DialogTemplates, ControlsTheDialogClassesBindExistWithTheRightKind)
{
    const BoundControl bound[] = {
        {IDD_ABOUTBOX, IDOK, AfxControl::DefPushButton},
        {IDD_ABOUTBOX, IDC_IP_ADDRESS, AfxControl::Static},
        {IDD_ABOUTBOX, IDC_TIME_SINCE_LAUNCH, AfxControl::Static},
        {IDD_ABOUTBOX, IDC_MAIL_LINK, AfxControl::Static},
        {IDD_ABOUTBOX, IDC_WEB_LINK, AfxControl::Static},
        {IDD_OPTIONS, IDOK, AfxControl::DefPushButton},
        {IDD_OPTIONS, IDCANCEL, AfxControl::PushButton},
        {IDD_OPTIONS, IDC_AUTOSTART, AfxControl::CheckBox},
        {IDD_OPTIONS, IDC_RANDOM_NAME, AfxControl::CheckBox},
        {IDD_OPTIONS, IDC_RANDOM_TIME, AfxControl::CheckBox},
        {IDD_OPTIONS, IDC_IGNORE, AfxControl::CheckBox},
        {IDD_EDIT_NAMES, IDOK, AfxControl::DefPushButton},
        {IDD_EDIT_NAMES, IDCANCEL, AfxControl::PushButton},
        {IDD_EDIT_NAMES, IDC_DELETE_SELECTION, AfxControl::PushButton},
        {IDD_EDIT_NAMES, IDC_RESTORE_DEFAULT, AfxControl::PushButton},
        {IDD_EDIT_NAMES, IDC_NAMES_LIST, AfxControl::ListBox},
        {IDD_STATISTICS, IDOK, AfxControl::DefPushButton},
        {IDD_STATISTICS, IDC_STAT_SUCCESSES, AfxControl::Static},
        {IDD_STATISTICS, IDC_STAT_HTTP, AfxControl::Static},
        {IDD_STATISTICS, IDC_STAT_DNS, AfxControl::Static},
        {IDD_STATISTICS, IDC_STAT_SOCKET, AfxControl::Static},
        {IDD_STATISTICS, IDC_LAST_PROBLEM_CAPTION, AfxControl::Static},
        {IDD_STATISTICS, IDC_LAST_PROBLEM_HOST, AfxControl::Static},
    };
    for (const BoundControl& b : bound) {
        const AFX_DLGTEMPLATE* pDlg = FindDialog(b.nDialog);
        ASSERT_NE(nullptr, pDlg);
        const AFX_DLGITEM* pItem = FindItem(*pDlg, b.nId);
        ASSERT_NE(nullptr, pItem) << "dialog " << b.nDialog << " control " << b.nId;
        EXPECT_EQ(b.kind, pItem->kind) << "dialog " << b.nDialog << " control " << b.nId;
    }
}

// The statistics rows read top to bottom: successes, HTTP, DNS, socket.
TEST(DialogTemplates, StatisticsCountsSitInTheirRows)
{
    const AFX_DLGTEMPLATE& dlg = *FindDialog(IDD_STATISTICS);
    const int rows[] = {IDC_STAT_SUCCESSES, IDC_STAT_HTTP, IDC_STAT_DNS, IDC_STAT_SOCKET};
    for (int i = 1; i < 4; ++i)
        EXPECT_LT(FindItem(dlg, rows[i - 1])->y, FindItem(dlg, rows[i])->y) << rows[i];
    for (int nId : rows)
        EXPECT_NE(0u, FindItem(dlg, nId)->style & SS_RIGHT) << nId;
}

TEST(DialogTemplates, AboutBoxLinksAndFocus)
{
    const AFX_DLGTEMPLATE& dlg = *FindDialog(IDD_ABOUTBOX);
    // The mail link must be recognised by its mailbox followed by '@'.
    const std::string mail = FindItem(dlg, IDC_MAIL_LINK)->text;
    EXPECT_EQ(0u, mail.find(std::string(PRODLET_MAIL_BOX) + "@"));
    const std::string web = FindItem(dlg, IDC_WEB_LINK)->text;
    EXPECT_EQ(0u, web.find("https://"));
    EXPECT_EQ(std::string::npos, web.find(std::string(PRODLET_MAIL_BOX) + "@"));

    int nTabStops = 0;
    for (const AFX_DLGITEM& item : dlg.items)
        nTabStops += (item.style & WS_TABSTOP) != 0;
    EXPECT_EQ(1, nTabStops);
    EXPECT_NE(0u, FindItem(dlg, IDOK)->style & WS_TABSTOP);

    const auto icon = std::find_if(dlg.items.begin(), dlg.items.end(),
                                   [](const AFX_DLGITEM& item) { return item.kind == AfxControl::IconStatic; });
    ASSERT_NE(dlg.items.end(), icon);
    EXPECT_EQ(UINT(IDR_MAINFRAME), icon->iconId);
    EXPECT_NE(nullptr, FindIcon(icon->iconId));
}

// ---- menus, accelerators, strings

std::vector<UINT> Commands(std::span<const AFX_MENUITEM> items)
{
    std::vector<UINT> ids;
    for (const AFX_MENUITEM& item : items) {
        EXPECT_EQ(item.flags == MF_POPUP, !item.popup.empty()) << item.text;
        ids.push_back(item.flags == MF_SEPARATOR ? 0 : item.id);
    }
    return ids;
}

TEST(Menus, FrameMenuHasTheProdletAndHelpPopups)
{
    const AFX_MENU* pMenu = FindMenu(IDR_MAINFRAME);
    ASSERT_NE(nullptr, pMenu);
    ASSERT_EQ(2u, pMenu->items.size());
    EXPECT_STREQ("&Prodlet", pMenu->items[0].text);
    EXPECT_STREQ("&Help", pMenu->items[1].text);
    EXPECT_EQ((std::vector<UINT>{ID_EDIT_NAMES, ID_OPTIONS, ID_STATISTICS}), Commands(pMenu->items[0].popup));
    EXPECT_EQ((std::vector<UINT>{ID_HELP_FINDER, 0, ID_APP_ABOUT}), Commands(pMenu->items[1].popup));
    EXPECT_EQ(MF_SEPARATOR, pMenu->items[1].popup[1].flags);
    EXPECT_STREQ("&About Prodlet...", pMenu->items[1].popup[2].text);
}

// The tray sends the first item on a double-click, so Restore must stay first.
TEST(Menus, TrayMenuHasRestoreAboutAndExitAtTheirPositions)
{
    const AFX_MENU* pMenu = FindMenu(IDR_TRAY_MENU);
    ASSERT_NE(nullptr, pMenu);
    ASSERT_EQ(1u, pMenu->items.size());
    EXPECT_EQ(MF_POPUP, pMenu->items[0].flags);
    const auto popup = pMenu->items[0].popup;
    EXPECT_EQ((std::vector<UINT>{ID_RESTORE, 0, ID_APP_ABOUT, 0, ID_EXIT}), Commands(popup));
    EXPECT_EQ(MF_SEPARATOR, popup[1].flags);
    EXPECT_EQ(MF_SEPARATOR, popup[3].flags);
    EXPECT_STREQ("&Restore", popup[0].text);
    EXPECT_STREQ("E&xit", popup[4].text);
}

TEST(Accelerators, FrameTableHoldsExactlyTheKnownKeys)
{
    ASSERT_EQ(1u, ProdletResources().accelerators.size());
    const AFX_ACCELTABLE& table = ProdletResources().accelerators[0];
    EXPECT_EQ(UINT(IDR_MAINFRAME), table.id);
    std::vector<std::tuple<UINT, UINT, UINT>> actual;
    for (const AFX_ACCEL& a : table.entries)
        actual.emplace_back(a.fVirt, a.key, a.cmd);
    std::vector<std::tuple<UINT, UINT, UINT>> expected = {
        {FCONTROL, 'N', ID_FILE_NEW},   {FCONTROL, 'O', ID_FILE_OPEN}, {FCONTROL, 'S', ID_FILE_SAVE},
        {FCONTROL, 'Z', ID_EDIT_UNDO},  {FALT, VK_BACK, ID_EDIT_UNDO}, {0, VK_F6, ID_NEXT_PANE},
        {FSHIFT, VK_F6, ID_PREV_PANE},
    };
    std::sort(actual.begin(), actual.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, actual);
}

TEST(Strings, TitleAndDocumentStringThroughTheFramework)
{
    AfxSetResources(&ProdletResources());
    CString str;
    ASSERT_TRUE(AfxLoadString(AFX_IDS_APP_TITLE, str));
    EXPECT_EQ("Prodlet", str);
    ASSERT_TRUE(AfxLoadString(IDR_MAINFRAME, str));
    std::vector<std::string> fields;
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = str.find('\n', nStart)) != std::string::npos; nStart = nEnd + 1)
        fields.push_back(str.substr(nStart, nEnd - nStart));
    fields.push_back(str.substr(nStart));
    EXPECT_EQ((std::vector<std::string>{"Prodlet", "", "Prodlet", "", "", "Prodlet.Document", "Prodlet Document"}),
              fields);
    EXPECT_NE(nullptr, AfxFindDialog(IDD_PRODLET_FORM));
    EXPECT_NE(nullptr, AfxFindMenu(IDR_TRAY_MENU));
    EXPECT_NE(nullptr, AfxFindAccelerators(IDR_MAINFRAME));
    EXPECT_NE(nullptr, AfxLoadIcon(IDI_PROBING));
    AfxSetResources(nullptr);
}

// ---- icons

const UINT kIconIds[] = {IDI_IDLE, IDI_STOPPED, IDI_PROBING};

bool IsDark(char c)
{
    return c == '0' || c == '1' || c == '4' || c == '8';
}

void CheckImage(const AFX_ICON_IMAGE& image, int nSize)
{
    ASSERT_EQ(nSize, image.size);
    ASSERT_NE(nullptr, image.pixels);
    ASSERT_EQ(size_t(nSize * nSize), std::strlen(image.pixels));
    int nOpaque = 0;
    for (int y = 0; y < nSize; ++y) {
        for (int x = 0; x < nSize; ++x) {
            const char c = image.pixels[y * nSize + x];
            ASSERT_NE(nullptr, std::strchr(".0123456789ABCDEF", c)) << x << "," << y;
            if (c == '.')
                continue;
            ++nOpaque;
            // A dark rim keeps the shape visible on light and dark panels.
            const auto transparent = [&](int px, int py) {
                return px < 0 || py < 0 || px >= nSize || py >= nSize || image.pixels[py * nSize + px] == '.';
            };
            if (transparent(x - 1, y) || transparent(x + 1, y) || transparent(x, y - 1) || transparent(x, y + 1)) {
                EXPECT_TRUE(IsDark(c)) << "edge pixel " << x << "," << y << " is '" << c << "'";
            }
        }
    }
    EXPECT_GT(nOpaque, nSize * nSize / 2);
}

TEST(Icons, EveryTrayIconHasBothSizesOfValidPixels)
{
    for (UINT nId : kIconIds) {
        SCOPED_TRACE(nId);
        const AFX_ICON* pIcon = FindIcon(nId);
        ASSERT_NE(nullptr, pIcon);
        CheckImage(pIcon->large, 32);
        CheckImage(pIcon->small, 16);
    }
}

// At tray size the three states must differ in most of the picture, not in a
// corner badge.
TEST(Icons, TheThreeStatesDifferWidelyAtSixteenPixels)
{
    for (size_t i = 0; i < 3; ++i) {
        for (size_t j = i + 1; j < 3; ++j) {
            const AFX_ICON* a = FindIcon(kIconIds[i]);
            const AFX_ICON* b = FindIcon(kIconIds[j]);
            ASSERT_TRUE(a && b);
            int nDiffer = 0;
            for (int k = 0; k < 16 * 16; ++k)
                nDiffer += a->small.pixels[k] != b->small.pixels[k];
            EXPECT_GT(nDiffer, 16 * 16 * 2 / 5) << kIconIds[i] << " vs " << kIconIds[j];
        }
    }
}

}  // namespace

TEST(DialogTemplates, FieldsWithoutTextOfTheirOwnAreNamedByTheirLabels)
{
    AfxSetResources(&ProdletResources());
    const AFX_DLGTEMPLATE* pForm = AfxFindDialog(IDD_PRODLET_FORM);
    const AFX_DLGTEMPLATE* pNames = AfxFindDialog(IDD_EDIT_NAMES);
    ASSERT_NE(pForm, nullptr);
    ASSERT_NE(pNames, nullptr);
    // The label beside the interval, the one above the host names (not the
    // hint below them), and the line above the Edit Names list.
    EXPECT_STREQ(AfxLabelForTesting(*pForm, IDC_OFTEN), "Prodlet how often? (minutes)");
    EXPECT_STREQ(AfxLabelForTesting(*pForm, IDC_HOSTNAMES), "Domain Name or IP Address");
    EXPECT_STREQ(AfxLabelForTesting(*pNames, IDC_NAMES_LIST), "Click and Drag names if you wish to re-order them.");
    EXPECT_EQ(AfxLabelForTesting(*pForm, IDC_START), nullptr);  // a button says its own text
}
