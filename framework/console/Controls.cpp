// Controls as plain objects: made from template items, their state and
// their entries.
#include "framework/console/ConsoleBridge.h"

namespace {

// One line of an edit field in the templates' font: 12 dialog units.
constexpr int kLineHeight = 20;

bool IsList(const CConsoleWnd* pWnd)
{
    return pWnd->kind == CConsoleKind::Control &&
           (pWnd->ctrl == AfxControl::ComboDropDown || pWnd->ctrl == AfxControl::ListBox);
}

}  // namespace

AFX_PORTWND CConsolePort::CreateControl(AFX_PORTWND pwParent, const AFX_DLGITEM& item, const CRect& rect)
{
    CConsoleWnd* pParent = WndOf(pwParent);
    if (pParent == nullptr)
        return nullptr;
    auto pControl = std::make_unique<CConsoleWnd>();
    pControl->kind = CConsoleKind::Control;
    pControl->ctrl = item.kind;
    pControl->nCtrlId = item.id;
    pControl->dwStyle = item.style;
    pControl->pParent = pParent;
    pControl->bHidden = FALSE;
    pControl->bEnabled = (item.style & WS_DISABLED) ? FALSE : TRUE;
    pControl->rect = rect;
    switch (item.kind) {
    case AfxControl::ComboDropDown:
        // The template's height is that of the dropped-down list; the box
        // itself is one line high.
        pControl->rect.bottom = rect.top + kLineHeight;
        break;
    case AfxControl::ListBox:
    case AfxControl::IconStatic:
        break;  // no text of their own
    default:
        pControl->strText = item.text ? item.text : "";
        break;
    }
    CConsoleWnd* p = pControl.get();
    pParent->children.push_back(std::move(pControl));
    return PortOf(p);
}

int CConsolePort::GetCheck(AFX_PORTWND pw)
{
    const CConsoleWnd* pWnd = WndOf(pw);
    return pWnd->ctrl == AfxControl::CheckBox ? pWnd->nCheck : 0;
}

void CConsolePort::SetCheck(AFX_PORTWND pw, int nCheck)
{
    CConsoleWnd* pWnd = WndOf(pw);
    if (pWnd->ctrl == AfxControl::CheckBox)
        pWnd->nCheck = nCheck ? 1 : 0;
}

void CConsolePort::ListReset(AFX_PORTWND pw)
{
    CConsoleWnd* pWnd = WndOf(pw);
    if (!IsList(pWnd))
        return;
    pWnd->entries.clear();
    pWnd->nSel = -1;
    if (pWnd->ctrl == AfxControl::ComboDropDown && !pWnd->strText.empty())
        ConsoleSetText(pWnd, CString());
}

int CConsolePort::ListAdd(AFX_PORTWND pw, const CString& str)
{
    CConsoleWnd* pWnd = WndOf(pw);
    if (!IsList(pWnd))
        return -1;
    pWnd->entries.push_back(str);
    return static_cast<int>(pWnd->entries.size()) - 1;
}

// The selection stays on its entry, as a list widget's does.
void CConsolePort::ListInsert(AFX_PORTWND pw, int nIndex, const CString& str)
{
    CConsoleWnd* pWnd = WndOf(pw);
    if (!IsList(pWnd))
        return;
    pWnd->entries.insert(pWnd->entries.begin() + nIndex, str);
    if (pWnd->nSel >= nIndex)
        ++pWnd->nSel;
}

void CConsolePort::ListDelete(AFX_PORTWND pw, int nIndex)
{
    CConsoleWnd* pWnd = WndOf(pw);
    if (!IsList(pWnd))
        return;
    pWnd->entries.erase(pWnd->entries.begin() + nIndex);
    if (pWnd->nSel == nIndex)
        pWnd->nSel = -1;
    else if (pWnd->nSel > nIndex)
        --pWnd->nSel;
}

int CConsolePort::ListCount(AFX_PORTWND pw)
{
    const CConsoleWnd* pWnd = WndOf(pw);
    return IsList(pWnd) ? static_cast<int>(pWnd->entries.size()) : 0;
}

int CConsolePort::ListGetSel(AFX_PORTWND pw)
{
    const CConsoleWnd* pWnd = WndOf(pw);
    return IsList(pWnd) ? pWnd->nSel : -1;
}

void CConsolePort::ListSetSel(AFX_PORTWND pw, int nIndex)
{
    CConsoleWnd* pWnd = WndOf(pw);
    if (!IsList(pWnd))
        return;
    pWnd->nSel = nIndex;
    // A combo box's edit field shows the selected entry, or nothing.
    const CString strEdit = nIndex < 0 ? CString() : pWnd->entries[static_cast<std::size_t>(nIndex)];
    if (pWnd->ctrl == AfxControl::ComboDropDown && pWnd->strText != strEdit)
        ConsoleSetText(pWnd, strEdit);
}

CString CConsolePort::ListGetText(AFX_PORTWND pw, int nIndex)
{
    const CConsoleWnd* pWnd = WndOf(pw);
    return IsList(pWnd) ? pWnd->entries[static_cast<std::size_t>(nIndex)] : CString();
}

// No one drags here; the list keeps the flag for what asks.
void CConsolePort::EnableDragReorder(AFX_PORTWND pw) { WndOf(pw)->bDragReorder = TRUE; }
