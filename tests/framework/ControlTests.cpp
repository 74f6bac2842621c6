// Controls and dialogs as a user meets them: where the focus goes when its
// control is disabled, where keys go, a click whose handler destroys the
// clicked button's window, list boxes that keep their selection honest, and
// the ways a modal dialog ends.
#include "framework/Resources.h"
#include "framework/Testing.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT IDD_FOCUS_FORM = 9201;
constexpr UINT IDD_LIST_DIALOG = 9202;
constexpr UINT IDD_KEYS_FORM = 9203;
constexpr int IDC_GO = 801, IDC_NEXT = 802, IDC_HOME = 803, IDC_ITEMS = 804, IDC_CLOSE_ALL = 805, IDC_FIELD = 806;

const AFX_DLGITEM g_aFormItems[] = {
    {AfxControl::PushButton, IDC_GO, "Go", 10, 10, 40, 14, WS_TABSTOP},
    {AfxControl::PushButton, IDC_NEXT, "Next", 60, 10, 40, 14, WS_TABSTOP},
    {AfxControl::DefPushButton, IDC_HOME, "Home", 110, 10, 40, 14, WS_TABSTOP},
};
const AFX_DLGITEM g_aDialogItems[] = {
    {AfxControl::Static, -1, "Items:", 10, 5, 60, 8},
    {AfxControl::ListBox, IDC_ITEMS, "", 10, 15, 80, 50, WS_VSCROLL | WS_TABSTOP},
    {AfxControl::DefPushButton, IDOK, "OK", 10, 70, 40, 14, WS_TABSTOP},
    {AfxControl::PushButton, IDCANCEL, "Cancel", 60, 70, 40, 14, WS_TABSTOP},
};
const AFX_DLGITEM g_aKeysItems[] = {
    {AfxControl::DefPushButton, IDC_GO, "Go", 10, 40, 40, 14},
    {AfxControl::PushButton, IDC_CLOSE_ALL, "Close", 60, 40, 40, 14},
    {AfxControl::Edit, IDC_FIELD, "", 10, 60, 40, 12},
};
const AFX_DLGTEMPLATE g_aDialogs[] = {
    {IDD_FOCUS_FORM, "", 0, 0, 160, 40, "MS Sans Serif", 8, TRUE, g_aFormItems},
    {IDD_LIST_DIALOG, "Items", 0, 0, 110, 90, "MS Sans Serif", 8, FALSE, g_aDialogItems},
    {IDD_KEYS_FORM, "", 0, 0, 120, 80, "MS Sans Serif", 8, TRUE, g_aKeysItems},
};
const AFX_STRING g_aStrings[] = {{57344, "Control Tests"}};
const AFX_RESOURCES g_resources = {g_aDialogs, {}, {}, g_aStrings, {}};

class ControlTest : public testing::Test {
protected:
    void SetUp() override { AfxSetResources(&g_resources); }
    void TearDown() override { AfxPumpMessages(); }
};

class CFocusForm : public CFormView {
public:
    CFocusForm() : CFormView(IDD_FOCUS_FORM) {}
};

class CKeysForm : public CFormView {
public:
    CKeysForm() : CFormView(IDD_KEYS_FORM) {}
    void OnGo() { ++m_nGo; }
    void OnCloseAll()
    {
        // The button's own window goes while its click is being delivered.
        if (CFrameWnd* pFrame = GetParentFrame())
            pFrame->DestroyWindow();
        ++m_nClosed;
    }
    int m_nGo = 0;
    int m_nClosed = 0;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CKeysForm, CFormView)
    ON_BN_CLICKED(IDC_GO, &CKeysForm::OnGo)
    ON_BN_CLICKED(IDC_CLOSE_ALL, &CKeysForm::OnCloseAll)
END_MESSAGE_MAP()

class CListDialog : public CDialog {
public:
    CListDialog() : CDialog(IDD_LIST_DIALOG) {}
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        DDX_Control(&m_dx, IDC_ITEMS, m_list);
        for (const char* psz : {"alpha", "beta", "gamma", "delta"})
            m_list.AddString(psz);
        if (m_fnInit)
            m_fnInit(*this);
        return TRUE;
    }
    void OnCancel() override
    {
        ++m_nCancels;
        CDialog::OnCancel();
    }
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> entries;
        for (int i = 0; i < m_list.GetCount(); ++i) {
            CString str;
            m_list.GetText(i, str);
            entries.push_back(str);
        }
        return entries;
    }
    CDataExchange m_dx{this, FALSE};
    CDragListBox m_list;
    std::function<void(CListDialog&)> m_fnInit;
    int m_nCancels = 0;
};

}  // namespace

TEST_F(ControlTest, DisablingTheFocusedControlHandsTheFocusToTheDefaultButton)
{
    CFrameWnd frame;
    ASSERT_TRUE(frame.CreateBare("Focus", CRect{0, 0, 400, 200}));
    CFocusForm form;
    ASSERT_TRUE(form.Create(&frame));
    frame.ShowWindow(SW_SHOW);
    CWnd* pGo = form.GetDlgItem(IDC_GO);
    CWnd* pHome = form.GetDlgItem(IDC_HOME);
    ASSERT_NE(pGo, nullptr);
    ASSERT_NE(pHome, nullptr);

    // Go has the focus, as after a Tab to it, and pressing it disables it.
    pGo->SetFocus();
    ASSERT_EQ(AfxGetFocusForTesting(&form), pGo);
    pGo->EnableWindow(FALSE);
    EXPECT_EQ(AfxGetFocusForTesting(&form), pHome) << "the focus must not go on to the next button";

    // A control without the focus is disabled without moving it.
    form.GetDlgItem(IDC_NEXT)->EnableWindow(FALSE);
    EXPECT_EQ(AfxGetFocusForTesting(&form), pHome);
    frame.DestroyWindow();
}

TEST_F(ControlTest, KeysGoWhereTheyWouldOnADesktop)
{
    CFrameWnd frame;
    ASSERT_TRUE(frame.CreateBare("Keys", CRect{0, 0, 300, 200}));
    CKeysForm form;
    ASSERT_TRUE(form.Create(&frame));
    CWnd* pField = form.GetDlgItem(IDC_FIELD);
    ASSERT_NE(pField, nullptr);
    AfxTypeForTesting(pField, "25");
    AfxPressKeyForTesting(pField, VK_BACK);
    AfxTypeForTesting(pField, "0");
    EXPECT_EQ(pField->GetWindowText(), "20");
    // Return in a field presses the form's default button; Esc does nothing
    // in a form.
    AfxPressKeyForTesting(pField, VK_RETURN);
    AfxPressKeyForTesting(pField, VK_ESCAPE);
    EXPECT_EQ(form.m_nGo, 1);
    EXPECT_TRUE(frame.IsWindow());

    // A disabled field takes no typing, and a disabled default button no Return.
    pField->EnableWindow(FALSE);
    AfxTypeForTesting(pField, "9");
    EXPECT_EQ(pField->GetWindowText(), "20");
    pField->EnableWindow(TRUE);
    form.GetDlgItem(IDC_GO)->EnableWindow(FALSE);
    AfxPressKeyForTesting(pField, VK_RETURN);
    EXPECT_EQ(form.m_nGo, 1);
    frame.DestroyWindow();
}

TEST_F(ControlTest, ClickThatDestroysItsOwnWindowReturnsSafely)
{
    CFrameWnd frame;
    ASSERT_TRUE(frame.CreateBare("Close", CRect{0, 0, 300, 200}));
    CKeysForm form;
    ASSERT_TRUE(form.Create(&frame));
    frame.ShowWindow(SW_SHOW);
    AfxClickForTesting(form.GetDlgItem(IDC_GO));
    EXPECT_EQ(form.m_nGo, 1);
    // The backend is still inside the button's click when the handler has
    // destroyed the frame with the button in it.
    AfxClickForTesting(form.GetDlgItem(IDC_CLOSE_ALL));
    EXPECT_EQ(form.m_nClosed, 1);
    EXPECT_FALSE(frame.IsWindow());
    EXPECT_FALSE(form.IsWindow());
    AfxPumpMessages();  // the native windows go now
}

TEST_F(ControlTest, ListBoxSelectionFollowsItsEntryAndGoesWithIt)
{
    CListDialog dlg;
    std::vector<std::string> afterInsert, afterDeletes;
    int nSelAfterDeleteOther = -2, nSelAfterDeleteSelected = -2, nSelAfterInsert = -2;
    dlg.m_fnInit = [&](CListDialog& d) {
        d.m_list.SetCurSel(2);  // gamma
        EXPECT_EQ(d.m_list.InsertString(0, "first"), 0);
        EXPECT_EQ(d.m_list.InsertString(99, "nowhere"), -1);
        nSelAfterInsert = d.m_list.GetCurSel();
        afterInsert = d.Entries();
        EXPECT_EQ(d.m_list.DeleteString(1), 4);  // alpha, before the selection
        nSelAfterDeleteOther = d.m_list.GetCurSel();
        EXPECT_EQ(d.m_list.DeleteString(d.m_list.GetCurSel()), 3);
        nSelAfterDeleteSelected = d.m_list.GetCurSel();
        EXPECT_EQ(d.m_list.DeleteString(7), -1);
        afterDeletes = d.Entries();
        d.EndDialog(IDOK);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(afterInsert, (std::vector<std::string>{"first", "alpha", "beta", "gamma", "delta"}));
    EXPECT_EQ(nSelAfterInsert, 3);
    EXPECT_EQ(nSelAfterDeleteOther, 2);
    EXPECT_EQ(nSelAfterDeleteSelected, -1) << "no neighbour is selected in the deleted entry's place";
    EXPECT_EQ(afterDeletes, (std::vector<std::string>{"first", "beta", "delta"}));
}

TEST_F(ControlTest, DraggingAnEntryMovesItAndSelectsIt)
{
    CListDialog dlg;
    std::vector<std::string> afterDown, afterUp;
    int nSel = -2;
    dlg.m_fnInit = [&](CListDialog& d) {
        AfxDragListItemForTesting(&d.m_list, 0, 2);
        afterDown = d.Entries();
        AfxDragListItemForTesting(&d.m_list, 3, 0);
        afterUp = d.Entries();
        nSel = d.m_list.GetCurSel();
        d.EndDialog(IDOK);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(afterDown, (std::vector<std::string>{"beta", "gamma", "alpha", "delta"}));
    EXPECT_EQ(afterUp, (std::vector<std::string>{"delta", "beta", "gamma", "alpha"}));
    EXPECT_EQ(nSel, 0);
}

TEST_F(ControlTest, CloseMessageAndCloseBoxCancelTheDialog)
{
    // WM_CLOSE, as the dialog manager takes it: the dialog's own cancel.
    CListDialog byMessage;
    AfxRunOnUiThread([&] {
        ASSERT_EQ(AfxGetModalDialogForTesting(), &byMessage);
        byMessage.SendMessage(WM_CLOSE);
    });
    EXPECT_EQ(byMessage.DoModal(), IDCANCEL);
    EXPECT_EQ(byMessage.m_nCancels, 1);
    EXPECT_EQ(AfxGetModalDialogForTesting(), nullptr);

    // The title bar's close button, through the window.
    CListDialog byBox;
    AfxRunOnUiThread([&] { AfxCloseForTesting(AfxGetModalDialogForTesting()); });
    EXPECT_EQ(byBox.DoModal(), IDCANCEL);
    EXPECT_EQ(byBox.m_nCancels, 1);
}
