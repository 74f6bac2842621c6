// The control classes' operations with their bounds, data exchange through
// them, and the test hooks that act as a user would.
#include "framework/WndPrivate.h"

#include <algorithm>
#include <cctype>

namespace {

AFX_PORTWND PortOf(const CWnd* pWnd)
{
    CWndState* pState = pWnd != nullptr ? pWnd->State() : nullptr;
    return pState != nullptr ? pState->pw : nullptr;
}

// Whether str begins with strPrefix, letter case ignored (ASCII, as the host
// names are).
bool StartsWithNoCase(const CString& str, const CString& strPrefix)
{
    return str.size() >= strPrefix.size() &&
           std::equal(strPrefix.begin(), strPrefix.end(), str.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// The first entry from the top whose whole text equals str, letter case
// ignored (ASCII, as the host names are); -1 if none.
int FindExact(AFX_PORTWND pw, const CString& str)
{
    if (pw == nullptr)
        return -1;
    const int nCount = AfxPort().ListCount(pw);
    for (int i = 0; i < nCount; ++i) {
        const CString strItem = AfxPort().ListGetText(pw, i);
        if (strItem.size() == str.size() && StartsWithNoCase(strItem, str))
            return i;
    }
    return -1;
}

void ResetEntries(AFX_PORTWND pw)
{
    if (pw != nullptr)
        AfxPort().ListReset(pw);
}

int AddEntry(AFX_PORTWND pw, const CString& str) { return pw != nullptr ? AfxPort().ListAdd(pw, str) : -1; }

int EntryCount(AFX_PORTWND pw) { return pw != nullptr ? AfxPort().ListCount(pw) : 0; }

// Selects entry nIndex; an index outside the list clears the selection.
int SelectEntry(AFX_PORTWND pw, int nIndex)
{
    if (pw == nullptr)
        return -1;
    if (nIndex < 0 || nIndex >= AfxPort().ListCount(pw)) {
        AfxPort().ListSetSel(pw, -1);
        return -1;
    }
    AfxPort().ListSetSel(pw, nIndex);
    return nIndex;
}

CString ItemText(AFX_PORTWND pw, int nIndex)
{
    if (pw == nullptr || nIndex < 0 || nIndex >= AfxPort().ListCount(pw))
        return CString();
    return AfxPort().ListGetText(pw, nIndex);
}

}  // namespace

// ---- CButton

int CButton::GetCheck() const
{
    AFX_PORTWND pw = PortOf(this);
    return pw != nullptr ? AfxPort().GetCheck(pw) : 0;
}

void CButton::SetCheck(int nCheck)
{
    if (AFX_PORTWND pw = PortOf(this))
        AfxPort().SetCheck(pw, nCheck != 0 ? 1 : 0);
}

// ---- CComboBox

void CComboBox::ResetContent() { ResetEntries(PortOf(this)); }

int CComboBox::AddString(const CString& str) { return AddEntry(PortOf(this), str); }

int CComboBox::GetCount() const { return EntryCount(PortOf(this)); }

int CComboBox::GetCurSel() const
{
    AFX_PORTWND pw = PortOf(this);
    if (pw == nullptr)
        return -1;
    const int nIndex = AfxPort().ListGetSel(pw);
    // Text typed over the selected entry is no entry of the list.
    if (nIndex < 0 || AfxPort().ListGetText(pw, nIndex) != AfxPort().GetText(pw))
        return -1;
    return nIndex;
}

int CComboBox::SetCurSel(int nIndex) { return SelectEntry(PortOf(this), nIndex); }

void CComboBox::GetLBText(int nIndex, CString& str) const { str = ItemText(PortOf(this), nIndex); }

int CComboBox::FindStringExact(int /*nStartAfter*/, const CString& str) const { return FindExact(PortOf(this), str); }

// ---- CListBox

void CListBox::ResetContent() { ResetEntries(PortOf(this)); }

int CListBox::AddString(const CString& str) { return AddEntry(PortOf(this), str); }

int CListBox::InsertString(int nIndex, const CString& str)
{
    AFX_PORTWND pw = PortOf(this);
    if (pw == nullptr)
        return -1;
    // -1 adds at the end, as on the original platform; past the end is no place.
    if (nIndex == -1)
        return AfxPort().ListAdd(pw, str);
    if (nIndex < 0 || nIndex > AfxPort().ListCount(pw))
        return -1;
    AfxPort().ListInsert(pw, nIndex, str);
    return nIndex;
}

int CListBox::DeleteString(int nIndex)
{
    AFX_PORTWND pw = PortOf(this);
    if (pw == nullptr || nIndex < 0 || nIndex >= AfxPort().ListCount(pw))
        return -1;
    const int nSel = AfxPort().ListGetSel(pw);
    AfxPort().ListDelete(pw, nIndex);
    // As the platform's list box: the selection stays on its entry, and
    // goes with it; no neighbour is selected in its place.
    if (nSel == nIndex)
        AfxPort().ListSetSel(pw, -1);
    else if (nSel > nIndex)
        AfxPort().ListSetSel(pw, nSel - 1);
    else if (nSel >= 0)
        AfxPort().ListSetSel(pw, nSel);
    return AfxPort().ListCount(pw);
}

int CListBox::GetCount() const { return EntryCount(PortOf(this)); }

int CListBox::GetCurSel() const
{
    AFX_PORTWND pw = PortOf(this);
    return pw != nullptr ? AfxPort().ListGetSel(pw) : -1;
}

int CListBox::SetCurSel(int nIndex) { return SelectEntry(PortOf(this), nIndex); }

void CListBox::GetText(int nIndex, CString& str) const { str = ItemText(PortOf(this), nIndex); }

int CListBox::FindStringExact(int /*nStartAfter*/, const CString& str) const { return FindExact(PortOf(this), str); }

// ---- data exchange, through the controls' own operations

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.State() != nullptr)
        return;  // attached already
    CWnd* pItem = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (pItem == nullptr || pItem->State() == nullptr)
        return;
    rControl.AttachState(pItem->State(), FALSE);
    if (dynamic_cast<CDragListBox*>(&rControl) != nullptr)
        AfxPort().EnableDragReorder(pItem->State()->pw);
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    CWnd* pItem = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (pItem == nullptr)
        return;
    if (pDX->m_bSaveAndValidate)
        value = pItem->GetWindowText();
    else
        pItem->SetWindowText(value);
}

void DDX_Check(CDataExchange* pDX, int nIDC, BOOL& value)
{
    CWnd* pItem = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    CWndState* pState = pItem != nullptr ? pItem->State() : nullptr;
    if (pState == nullptr || pState->ctrlKind != AfxControl::CheckBox)
        return;
    // The item's own object may be of any class; the window is a button.
    auto* pButton = static_cast<CButton*>(pItem);
    if (pDX->m_bSaveAndValidate)
        value = pButton->GetCheck() ? TRUE : FALSE;
    else
        pButton->SetCheck(value != FALSE);
}

void DDX_LBString(CDataExchange* pDX, int nIDC, CString& value)
{
    CWnd* pItem = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    CWndState* pState = pItem != nullptr ? pItem->State() : nullptr;
    if (pState == nullptr || pState->ctrlKind != AfxControl::ListBox)
        return;
    auto* pList = static_cast<CListBox*>(pItem);
    if (pDX->m_bSaveAndValidate) {
        const int nSel = pList->GetCurSel();
        value.clear();
        if (nSel >= 0)
            pList->GetText(nSel, value);
        return;
    }
    // As the platform's list-box selection by string: the first entry that
    // begins with the text, letter case ignored; no match leaves it alone.
    const int nCount = pList->GetCount();
    for (int i = 0; i < nCount; ++i) {
        CString strItem;
        pList->GetText(i, strItem);
        if (StartsWithNoCase(strItem, value)) {
            pList->SetCurSel(i);
            return;
        }
    }
}

// ---- test hooks

namespace {

CAfxInputSimulator* g_pSimulator = nullptr;

}  // namespace

void AfxSetInputSimulator(CAfxInputSimulator* pSimulator) { g_pSimulator = pSimulator; }

void AfxClickForTesting(CWnd* pWnd)
{
    CWndState* pState = pWnd != nullptr ? pWnd->State() : nullptr;
    if (pState == nullptr || pState->kind != AfxWndKind::Control)
        return;
    switch (pState->ctrlKind) {
    case AfxControl::PushButton:
    case AfxControl::DefPushButton:
    case AfxControl::CheckBox:
        if (g_pSimulator != nullptr)
            g_pSimulator->Click(pState->pw);
        break;
    case AfxControl::Static:
    case AfxControl::IconStatic:
        AfxPressStaticForTesting(pState);
        break;
    default:
        break;
    }
}

void AfxTypeForTesting(CWnd* pWnd, const CString& strText)
{
    if (AFX_PORTWND pw = PortOf(pWnd); pw != nullptr && g_pSimulator != nullptr)
        g_pSimulator->Type(pw, strText);
}

void AfxPressKeyForTesting(CWnd* pWnd, UINT nVirtKey)
{
    if (AFX_PORTWND pw = PortOf(pWnd); pw != nullptr && g_pSimulator != nullptr)
        g_pSimulator->PressKey(pw, nVirtKey);
}

void AfxCloseForTesting(CWnd* pWnd)
{
    CWndState* pState = pWnd != nullptr ? pWnd->State() : nullptr;
    while (pState != nullptr && pState->pParent != nullptr)
        pState = pState->pParent;
    if (pState != nullptr)
        AfxPortClose(pState->pw);
}

void AfxDragListItemForTesting(CDragListBox* pList, int nFrom, int nTo)
{
    AFX_PORTWND pw = PortOf(pList);
    const int nCount = pw != nullptr ? AfxPort().ListCount(pw) : 0;
    if (nFrom >= 0 && nFrom < nCount && nTo >= 0 && nTo < nCount && nFrom != nTo && g_pSimulator != nullptr)
        g_pSimulator->Drag(pw, nFrom, nTo);
}

CWnd* AfxGetFocusForTesting(CWnd* pWnd)
{
    CWndState* pState = pWnd != nullptr ? pWnd->State() : nullptr;
    if (pState == nullptr)
        return nullptr;
    if (AfxPort().HasFocus(pState->pw))
        return pState->pReceiver;
    for (CWndState* pChild : pState->children) {
        if (CWnd* pFocus = AfxGetFocusForTesting(pChild->pReceiver))
            return pFocus;
    }
    return nullptr;
}

DWORD AfxGetStyleForTesting(const CWnd* pWnd)
{
    CWndState* pState = pWnd != nullptr ? pWnd->State() : nullptr;
    if (pState == nullptr)
        return 0;
    DWORD dwStyle = AfxPort().IsWindowEnabled(pState->pw) ? 0 : WS_DISABLED;
    if (pState->kind == AfxWndKind::Control) {
        if (pState->ctrlKind == AfxControl::Edit)
            dwStyle |= pState->dwStyle & ES_RIGHT;
        else if (pState->ctrlKind == AfxControl::Static)
            dwStyle |= (pState->dwStyle & SS_CENTER) ? SS_CENTER : (pState->dwStyle & SS_RIGHT);
    }
    return dwStyle;
}
