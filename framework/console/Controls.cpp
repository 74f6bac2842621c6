// Controls as plain objects: made from template items, their state, their
// entries, and acting on them as a user would, with the Qt backend's
// answers (a disabled control takes no click and no key; Return presses the
// default button; Esc cancels a dialog).
#include "framework/console/ConsoleBridge.h"

namespace {

// One line of an edit field in the templates' font: 12 dialog units.
constexpr int kLineHeight = 20;

bool IsButton(const CConsoleWnd* pWnd)
{
    return pWnd->kind == CConsoleKind::Control &&
           (pWnd->ctrl == AfxControl::PushButton || pWnd->ctrl == AfxControl::DefPushButton ||
            pWnd->ctrl == AfxControl::CheckBox);
}

bool IsList(const CConsoleWnd* pWnd)
{
    return pWnd->kind == CConsoleKind::Control &&
           (pWnd->ctrl == AfxControl::ComboDropDown || pWnd->ctrl == AfxControl::ListBox);
}

bool TakesText(const CConsoleWnd* pWnd)
{
    return pWnd->kind == CConsoleKind::Control &&
           (pWnd->ctrl == AfxControl::Edit || pWnd->ctrl == AfxControl::ComboDropDown);
}

void Click(CConsoleWnd* pButton)
{
    if (!IsButton(pButton) || !ConsoleIsEffectivelyEnabled(pButton))
        return;
    if (pButton->ctrl == AfxControl::CheckBox)
        pButton->nCheck = pButton->nCheck ? 0 : 1;
    CConsoleCallOut callOut;
    AfxPortCommand(PortOf(pButton), 0);
}

void SetTextReported(CConsoleWnd* pWnd, CString str)
{
    AfxConsolePort().SetText(PortOf(pWnd), str);
}

// The form or dialog a key goes on to when the control does not take it.
CConsoleWnd* Container(CConsoleWnd* pWnd)
{
    for (CConsoleWnd* p = pWnd; p != nullptr; p = p->pParent) {
        if (p->kind == CConsoleKind::Form || p->kind == CConsoleKind::Dialog)
            return p;
    }
    return nullptr;
}

void PressDefaultButton(CConsoleWnd* pContainer)
{
    for (const auto& pChild : pContainer->children) {
        if (pChild->kind == CConsoleKind::Control && pChild->ctrl == AfxControl::DefPushButton && !pChild->bHidden) {
            Click(pChild.get());
            return;
        }
    }
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
    if (pWnd->ctrl == AfxControl::ComboDropDown)
        SetTextReported(pWnd, CString());
}

int CConsolePort::ListAdd(AFX_PORTWND pw, const CString& str)
{
    CConsoleWnd* pWnd = WndOf(pw);
    if (!IsList(pWnd))
        return -1;
    pWnd->entries.push_back(str);
    return static_cast<int>(pWnd->entries.size()) - 1;
}

int CConsolePort::ListInsert(AFX_PORTWND pw, int nIndex, const CString& str)
{
    CConsoleWnd* pWnd = WndOf(pw);
    if (!IsList(pWnd))
        return -1;
    if (nIndex == -1)
        return ListAdd(pw, str);
    if (nIndex < 0 || nIndex > static_cast<int>(pWnd->entries.size()))
        return -1;
    pWnd->entries.insert(pWnd->entries.begin() + nIndex, str);
    if (pWnd->nSel >= nIndex)
        ++pWnd->nSel;
    return nIndex;
}

BOOL CConsolePort::ListDelete(AFX_PORTWND pw, int nIndex)
{
    CConsoleWnd* pWnd = WndOf(pw);
    if (!IsList(pWnd) || nIndex < 0 || nIndex >= static_cast<int>(pWnd->entries.size()))
        return FALSE;
    pWnd->entries.erase(pWnd->entries.begin() + nIndex);
    if (pWnd->nSel == nIndex)
        pWnd->nSel = -1;
    else if (pWnd->nSel > nIndex)
        --pWnd->nSel;
    return TRUE;
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
    if (nIndex < 0 || nIndex >= static_cast<int>(pWnd->entries.size()))
        nIndex = -1;
    pWnd->nSel = nIndex;
    // A combo box's edit field shows the selected entry, or nothing.
    if (pWnd->ctrl == AfxControl::ComboDropDown)
        SetTextReported(pWnd, nIndex < 0 ? CString() : pWnd->entries[static_cast<std::size_t>(nIndex)]);
}

CString CConsolePort::ListGetText(AFX_PORTWND pw, int nIndex)
{
    const CConsoleWnd* pWnd = WndOf(pw);
    if (!IsList(pWnd) || nIndex < 0 || nIndex >= static_cast<int>(pWnd->entries.size()))
        return CString();
    return pWnd->entries[static_cast<std::size_t>(nIndex)];
}

// No one drags here; the list keeps the flag for what asks.
void CConsolePort::EnableDragReorder(AFX_PORTWND pw) { WndOf(pw)->bDragReorder = TRUE; }

void CConsolePort::SimulateClick(AFX_PORTWND pw) { Click(WndOf(pw)); }

void CConsolePort::SimulateTyping(AFX_PORTWND pw, const CString& strText)
{
    CConsoleWnd* pWnd = WndOf(pw);
    // Typed at the end of the field, where the cursor stands after a change.
    if (TakesText(pWnd) && ConsoleIsEffectivelyEnabled(pWnd))
        SetTextReported(pWnd, pWnd->strText + strText);
}

void CConsolePort::SimulateKey(AFX_PORTWND pw, UINT nVirtKey)
{
    CConsoleWnd* pWnd = WndOf(pw);
    if (!ConsoleIsEffectivelyEnabled(pWnd))
        return;
    constexpr UINT kSpace = 0x20;
    if (TakesText(pWnd) && nVirtKey == VK_BACK) {
        if (!pWnd->strText.empty())
            SetTextReported(pWnd, pWnd->strText.substr(0, pWnd->strText.size() - 1));
        return;
    }
    if (IsButton(pWnd) && (nVirtKey == kSpace || (nVirtKey == VK_RETURN && pWnd->ctrl != AfxControl::CheckBox))) {
        Click(pWnd);
        return;
    }
    // Everything else goes on to the form or dialog around the control.
    CConsoleWnd* pContainer = Container(pWnd);
    if (pContainer == nullptr)
        return;
    if (nVirtKey == VK_RETURN) {
        PressDefaultButton(pContainer);
    } else if (nVirtKey == VK_ESCAPE && pContainer->kind == CConsoleKind::Dialog) {
        CConsoleCallOut callOut;
        AfxPortClose(PortOf(pContainer));
    }
}

void CConsolePort::SimulateDrag(AFX_PORTWND pw, int nFrom, int nTo)
{
    CConsoleWnd* pWnd = WndOf(pw);
    const int nCount = IsList(pWnd) ? static_cast<int>(pWnd->entries.size()) : 0;
    if (!pWnd->bDragReorder || nFrom < 0 || nFrom >= nCount || nTo < 0 || nTo >= nCount)
        return;
    CString str = pWnd->entries[static_cast<std::size_t>(nFrom)];
    pWnd->entries.erase(pWnd->entries.begin() + nFrom);
    pWnd->entries.insert(pWnd->entries.begin() + nTo, str);
    pWnd->nSel = nTo;
}
