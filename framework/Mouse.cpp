// The mouse: where a move or a press goes (the capture, else the window under
// the pointer that takes the mouse), the capture, the cursor shape, a
// static's click notification with its reflection, and the test hooks that
// move and press as the mouse would.
#include "framework/Resources.h"
#include "framework/WinApp.h"
#include "framework/WndPrivate.h"

namespace {

// User-interface thread only; plain values, nothing to destroy after main.
HWND g_hCapture = nullptr;
HCURSOR g_hCursor = nullptr;  // null: each window shows its own, the arrow
bool g_bHookAdded = false;

bool IsStatic(const CWndState* pState)
{
    return pState->kind == AfxWndKind::Control &&
           (pState->ctrlKind == AfxControl::Static || pState->ctrlKind == AfxControl::IconStatic);
}

// A static without SS_NOTIFY lets the mouse through to what lies below it,
// and a group box is only a frame drawn behind its neighbours.
bool TakesMouse(const CWndState* pState)
{
    if (IsStatic(pState))
        return (pState->dwStyle & SS_NOTIFY) != 0;
    return !(pState->kind == AfxWndKind::Control && pState->ctrlKind == AfxControl::GroupBox);
}

bool Contains(const CRect& rect, CPoint pt) { return PtInRect(&rect, pt); }

void ForgetCaptureOf(HWND hWnd)
{
    if (hWnd == nullptr || hWnd != g_hCapture)
        return;
    g_hCapture = nullptr;
    AfxPort().SetMouseCapture(nullptr);
}

void AddHookOnce()
{
    if (g_bHookAdded)
        return;
    g_bHookAdded = true;
    // A window that goes lets go of the capture, as on the original platform.
    AfxAddWindowDestroyedHook([](HWND hWnd) { ForgetCaptureOf(hWnd); });
}

// Where the mouse takes a move or press over pUnder: the capture first, else
// pUnder or the nearest window above it that takes the mouse.
CWndState* MouseTarget(CWndState* pUnder)
{
    if (CWndState* pCapture = AfxStateFromHandle(g_hCapture))
        return pCapture;
    while (pUnder != nullptr && !TakesMouse(pUnder))
        pUnder = pUnder->pParent;
    return pUnder;
}

LPARAM ClientPoint(CWndState* pState, CPoint ptScreen)
{
    const CRect rcClient = AfxPort().GetClientRect(pState->pw);
    const auto nX = static_cast<std::int16_t>(ptScreen.x - rcClient.left);
    const auto nY = static_cast<std::int16_t>(ptScreen.y - rcClient.top);
    return MAKELPARAM(static_cast<WORD>(nX), static_cast<WORD>(nY));
}

// The static's own window procedure on a press: its parent hears of the
// click, and hands it back to the control first (reflection).
void StaticClicked(CWndState* pState)
{
    const HWND hWnd = pState->hWnd;
    const WPARAM wParam = static_cast<WPARAM>(pState->nCtrlId & 0xFFFF) | (static_cast<WPARAM>(STN_CLICKED) << 16);
    if (CWnd* pControl = pState->pReceiver) {
        CDispatchScope scope;
        LRESULT lResult = 0;
        if (pControl->OnChildNotify(WM_COMMAND, wParam, reinterpret_cast<LPARAM>(pControl), &lResult))
            return;
    }
    pState = AfxStateFromHandle(hWnd);
    if (pState != nullptr && pState->pParent != nullptr)
        AfxDispatch(pState->pParent, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(pState->pReceiver));
}

// The topmost window at ptScreen inside pState (pState itself when none of
// its children is there), as the desktop finds it: later siblings lie on top,
// windows that let the mouse through are passed over.
CWndState* HitTest(CWndState* pState, CPoint ptScreen)
{
    for (auto it = pState->children.rbegin(); it != pState->children.rend(); ++it) {
        CWndState* pChild = *it;
        if (!TakesMouse(pChild) || !AfxPort().IsVisible(pChild->pw))
            continue;
        if (Contains(AfxPort().GetWindowRect(pChild->pw), ptScreen))
            return HitTest(pChild, ptScreen);
    }
    return pState;
}

CWndState* WindowUnderPointer(CWndState* pNear, CPoint ptScreen)
{
    CWndState* pTop = pNear;
    while (pTop->pParent != nullptr)
        pTop = pTop->pParent;
    if (!Contains(AfxPort().GetWindowRect(pTop->pw), ptScreen))
        return nullptr;  // over none of ours: only the capture still hears of it
    return HitTest(pTop, ptScreen);
}

CPoint ScreenPoint(CWndState* pState, CPoint ptClient)
{
    const CRect rcClient = AfxPort().GetClientRect(pState->pw);
    return CPoint{rcClient.left + ptClient.x, rcClient.top + ptClient.y};
}

}  // namespace

// ---- what the backend reports

void AfxPortMouseMove(AFX_PORTWND pw, CPoint ptScreen)
{
    CWndState* pTarget = MouseTarget(AfxStateFromPort(pw));
    if (pTarget == nullptr)
        return;
    // The window's own cursor comes back first, as the platform's default
    // WM_SETCURSOR does; while a window holds the capture its shape stays.
    if (g_hCapture == nullptr)
        SetCursor(AfxLoadStockCursor(IDC_ARROW));
    AfxDispatch(pTarget, WM_MOUSEMOVE, 0 /* key flags are not reported */, ClientPoint(pTarget, ptScreen));
}

void AfxPortMouseDown(AFX_PORTWND pw, CPoint ptScreen)
{
    CWndState* pTarget = MouseTarget(AfxStateFromPort(pw));
    if (pTarget == nullptr)
        return;
    if (IsStatic(pTarget)) {
        // Only a static with SS_NOTIFY gets here without the capture.
        if (pTarget->dwStyle & SS_NOTIFY)
            StaticClicked(pTarget);
        return;
    }
    AfxDispatch(pTarget, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(pTarget, ptScreen));
}

// ---- capture and cursor

CWnd* CWnd::SetCapture()
{
    CWnd* pPrevious = GetCapture();
    CWndState* pState = State();
    if (pState == nullptr)
        return pPrevious;
    AddHookOnce();
    g_hCapture = pState->hWnd;
    AfxPort().SetMouseCapture(pState->pw);
    return pPrevious;
}

CWnd* CWnd::GetCapture() { return FromHandle(g_hCapture); }

BOOL ReleaseCapture()
{
    if (g_hCapture != nullptr) {
        g_hCapture = nullptr;
        AfxPort().SetMouseCapture(nullptr);
    }
    return TRUE;
}

HCURSOR SetCursor(HCURSOR hCursor)
{
    const HCURSOR hPrevious = GetCursor();
    if (hCursor == AfxLoadStockCursor(IDC_ARROW))
        hCursor = nullptr;
    // Always passed on: the backend may have given the window its own shape
    // back meanwhile (a move over a window of the desktop's).
    if (AfxHasPort())
        AfxPort().SetCursor(hCursor);
    g_hCursor = hCursor;
    return hPrevious;
}

HCURSOR GetCursor() { return g_hCursor != nullptr ? g_hCursor : AfxLoadStockCursor(IDC_ARROW); }

void CWnd::OnMouseMove(UINT nFlags, CPoint point)
{
    DefWindowProc(WM_MOUSEMOVE, nFlags,
                  MAKELPARAM(static_cast<WORD>(static_cast<std::int16_t>(point.x)),
                             static_cast<WORD>(static_cast<std::int16_t>(point.y))));
}

// ---- test hooks

void AfxMouseMoveForTesting(CWnd* pWnd, CPoint ptClient)
{
    CWndState* pState = pWnd != nullptr ? pWnd->State() : nullptr;
    if (pState == nullptr)
        return;
    const CPoint ptScreen = ScreenPoint(pState, ptClient);
    CWndState* pUnder = WindowUnderPointer(pState, ptScreen);
    if (pUnder == nullptr && g_hCapture == nullptr)
        return;
    AfxPortMouseMove(pUnder != nullptr ? pUnder->pw : nullptr, ptScreen);
}

void AfxPressStaticForTesting(CWndState* pState)
{
    const CRect rect = AfxPort().GetWindowRect(pState->pw);
    const CPoint ptScreen{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    CWndState* pUnder = WindowUnderPointer(pState, ptScreen);
    if (pUnder == nullptr && g_hCapture == nullptr)
        return;
    AfxPortMouseDown(pUnder != nullptr ? pUnder->pw : nullptr, ptScreen);
}
