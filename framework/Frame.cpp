// The frame window: creation from resources, size limits asked of the frame
// by WM_GETMINMAXINFO, command routing; and the screen size.
#include "framework/WinApp.h"
#include "framework/WndPrivate.h"

#include <algorithm>
#include <atomic>

namespace {

// Trivially destructible, as every global of the framework must be.
std::atomic<int> g_nTestScreenCx{0};
std::atomic<int> g_nTestScreenCy{0};

MINMAXINFO DefaultMinMaxInfo()
{
    MINMAXINFO mmi;
    const int cxScreen = GetSystemMetrics(SM_CXSCREEN);
    const int cyScreen = GetSystemMetrics(SM_CYSCREEN);
    mmi.ptMaxSize = CPoint{cxScreen, cyScreen};
    mmi.ptMaxPosition = CPoint{0, 0};
    mmi.ptMinTrackSize = CPoint{1, 1};
    mmi.ptMaxTrackSize = CPoint{std::max(cxScreen, 1), std::max(cyScreen, 1)};
    return mmi;
}

bool SamePoint(const CPoint& a, const CPoint& b) { return a.x == b.x && a.y == b.y; }

BOOL CreateFrameWindow(CFrameWnd* pFrame, const CREATESTRUCT& cs, AFX_FRAMEDESC desc)
{
    desc.dwStyle = cs.style;
    AFX_PORTWND pw = AfxPort().CreateFrame(desc);
    CWndState* pState = AfxNewWindow(pFrame, pw, AfxWndKind::Frame, nullptr);
    if (pState == nullptr)
        return FALSE;
    pState->dwStyle = cs.style;
    AfxFrameSetGeometry(pFrame, CRect{cs.x, cs.y, cs.x + cs.cx, cs.y + cs.cy});
    return pFrame->IsWindow();
}

}  // namespace

void AfxSetScreenSizeForTesting(int cx, int cy)
{
    g_nTestScreenCx = cx;
    g_nTestScreenCy = cy;
}

int GetSystemMetrics(int nIndex)
{
    CSize size{g_nTestScreenCx.load(), g_nTestScreenCy.load()};
    if (size.cx <= 0 || size.cy <= 0)
        size = AfxHasPort() ? AfxPort().ScreenSize() : CSize{};
    if (nIndex == SM_CXSCREEN)
        return size.cx;
    if (nIndex == SM_CYSCREEN)
        return size.cy;
    return 0;
}

void AfxFrameSetGeometry(CWnd* pFrame, const CRect& rectOuter)
{
    const HWND hWnd = pFrame->GetSafeHwnd();
    if (hWnd == nullptr)
        return;
    const MINMAXINFO mmiDefault = DefaultMinMaxInfo();
    MINMAXINFO mmi = mmiDefault;
    pFrame->SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    CWndState* pState = AfxStateFromHandle(hWnd);
    if (pState == nullptr)
        return;  // the handler took the window away

    AFX_SIZELIMITS limits;
    int cx = rectOuter.Width();
    int cy = rectOuter.Height();
    limits.bLimited = !SamePoint(mmi.ptMinTrackSize, mmiDefault.ptMinTrackSize) ||
                      !SamePoint(mmi.ptMaxTrackSize, mmiDefault.ptMaxTrackSize);
    if (limits.bLimited) {
        cx = std::clamp(cx, mmi.ptMinTrackSize.x, std::max(mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x));
        cy = std::clamp(cy, mmi.ptMinTrackSize.y, std::max(mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y));
        limits.sizeMin = CSize{mmi.ptMinTrackSize.x, mmi.ptMinTrackSize.y};
        limits.sizeMax = CSize{mmi.ptMaxTrackSize.x, mmi.ptMaxTrackSize.y};
    }
    // Without a sizing border, or with equal limits, the user cannot resize it.
    const bool bSizable = (pState->dwStyle & WS_THICKFRAME) != 0;
    limits.bFixed = !bSizable || (limits.bLimited && SamePoint(mmi.ptMinTrackSize, mmi.ptMaxTrackSize));
    AfxPort().PlaceWindow(pState->pw, CRect{rectOuter.left, rectOuter.top, rectOuter.left + cx, rectOuter.top + cy},
                          limits);
}

void AfxFrameApplySizeLimits(CWnd* pFrame)
{
    CRect rect;
    pFrame->GetWindowRect(&rect);
    AfxFrameSetGeometry(pFrame, rect);
}

// ---- CFrameWnd

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd() = default;

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& /*cs*/) { return TRUE; }

BOOL CFrameWnd::LoadFrame(UINT nIDResource, const CString& strTitle)
{
    if (IsWindow())
        return FALSE;
    // The platform's default: an overlapped window on a cascade position.
    CREATESTRUCT cs;
    const int cxScreen = GetSystemMetrics(SM_CXSCREEN);
    const int cyScreen = GetSystemMetrics(SM_CYSCREEN);
    cs.x = cxScreen / 8;
    cs.y = cyScreen / 8;
    cs.cx = cxScreen * 3 / 4;
    cs.cy = cyScreen * 3 / 4;
    cs.style = WS_OVERLAPPEDWINDOW;
    if (!PreCreateWindow(cs))
        return FALSE;
    AFX_FRAMEDESC desc;
    desc.strTitle = strTitle;
    if (const AFX_MENU* pMenu = AfxFindMenu(nIDResource))
        desc.menu = pMenu->items;
    if (const AFX_ACCELTABLE* pTable = AfxFindAccelerators(nIDResource))
        desc.accels = pTable->entries;
    if (!CreateFrameWindow(this, cs, desc))
        return FALSE;
    if (HICON hIcon = AfxLoadIcon(nIDResource))
        SetIcon(hIcon);
    return TRUE;
}

BOOL CFrameWnd::CreateBare(const CString& strTitle, const CRect& rect)
{
    if (IsWindow())
        return FALSE;
    CREATESTRUCT cs;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.Width();
    cs.cy = rect.Height();
    cs.style = WS_OVERLAPPEDWINDOW;
    AFX_FRAMEDESC desc;
    desc.strTitle = strTitle;
    return CreateFrameWindow(this, cs, desc);
}

BOOL CFrameWnd::OnCmdMsg(UINT nID)
{
    // The active view's own map, then the frame's, then the application.
    if (m_pActiveView != nullptr && m_pActiveView->CCmdTarget::OnCmdMsg(nID))
        return TRUE;
    if (CWnd::OnCmdMsg(nID))
        return TRUE;
    CWinApp* pApp = AfxGetApp();
    return pApp != nullptr && pApp->OnCmdMsg(nID);
}
