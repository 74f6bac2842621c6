// A control object attached to a dialog's existing control (subclassing),
// window styles, reflection of a control's notifications back to it, and the
// window's inside.
#include "framework/WinApp.h"
#include "framework/WndPrivate.h"

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    if (State() != nullptr || pParent == nullptr || pParent->State() == nullptr)
        return FALSE;
    for (CWndState* pChild : pParent->State()->children) {
        if (pChild->nCtrlId != static_cast<int>(nID) || pChild->pReceiver == nullptr)
            continue;
        // The window stays the template's; this object only hears its
        // messages, and gives them back to the owner when it goes.
        AttachState(pChild, FALSE);
        pChild->pReceiver = this;
        return TRUE;
    }
    return FALSE;
}

DWORD CWnd::GetStyle() const
{
    const CWndState* pState = State();
    if (pState == nullptr)
        return 0;
    // An icon static's kind is its type; the template's alignment bits mean nothing there.
    if (pState->kind == AfxWndKind::Control && pState->ctrlKind == AfxControl::IconStatic)
        return (pState->dwStyle & ~SS_TYPEMASK) | SS_ICON;
    return pState->dwStyle;
}

LONG GetWindowLong(HWND hWnd, int nIndex)
{
    const CWnd* pWnd = CWnd::FromHandle(hWnd);
    if (pWnd == nullptr || nIndex != GWL_STYLE)
        return 0;
    return static_cast<LONG>(pWnd->GetStyle());
}

LONG SetWindowLong(HWND hWnd, int nIndex, LONG dwNewLong)
{
    CWndState* pState = AfxStateFromHandle(hWnd);
    if (pState == nullptr || nIndex != GWL_STYLE)
        return 0;
    const LONG dwOld = GetWindowLong(hWnd, nIndex);
    const auto dwNew = static_cast<DWORD>(dwNewLong);
    const bool bStatic = pState->kind == AfxWndKind::Control &&
                         (pState->ctrlKind == AfxControl::Static || pState->ctrlKind == AfxControl::IconStatic);
    const bool bNotifyChanged = ((pState->dwStyle ^ dwNew) & SS_NOTIFY) != 0;
    // The type of an icon static is its kind, whatever the new bits say.
    pState->dwStyle = pState->ctrlKind == AfxControl::IconStatic && pState->kind == AfxWndKind::Control
                          ? (dwNew & ~SS_TYPEMASK) | (pState->dwStyle & SS_TYPEMASK)
                          : dwNew;
    // Only SS_NOTIFY changes what a window does once it exists; the other
    // bits are kept for GetStyle.
    if (bStatic && bNotifyChanged)
        AfxPort().SetStaticNotify(pState->pw, (dwNew & SS_NOTIFY) ? TRUE : FALSE);
    return dwOld;
}

BOOL CWnd::OnChildNotify(UINT nMessage, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const UINT nID = nMessage == WM_COMMAND ? HIWORD(static_cast<LPARAM>(wParam)) : 0;
    const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(WM_REFLECT_BASE + nMessage, nID);
    if (pEntry == nullptr)
        return FALSE;
    const LRESULT lResult = CallHandler(pEntry, wParam, lParam);
    if (pResult != nullptr)
        *pResult = lResult;
    return TRUE;
}

void CWnd::GetClientRect(CRect* pRect) const
{
    if (pRect == nullptr)
        return;
    const CWndState* pState = State();
    if (pState == nullptr) {
        *pRect = CRect();
        return;
    }
    const CRect rect = AfxPort().GetClientRect(pState->pw);
    *pRect = CRect{0, 0, rect.Width(), rect.Height()};
}

void CWnd::InvalidateRect(const CRect* /*pRect: the whole window is drawn*/, BOOL /*bErase: always*/)
{
    if (const CWndState* pState = State())
        AfxPort().InvalidateWindow(pState->pw);
}

void CWnd::OnTimer(UINT nIDEvent) { DefWindowProc(WM_TIMER, nIDEvent, 0); }

