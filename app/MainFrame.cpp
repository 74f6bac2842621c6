#include "app/MainFrame.h"

#include "engine/ProdletView.h"
#include "res/resource.h"

IMPLEMENT_DYNCREATE(CMainFrame)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
    ON_WM_CLOSE(&CMainFrame::OnClose)
    ON_WM_GETMINMAXINFO(&CMainFrame::OnGetMinMaxInfo)
    // Each opens the manual: our help is one HTML page.
    ON_COMMAND(ID_HELP_FINDER, &CFrameWnd::OnHelpFinder)
    ON_COMMAND(ID_HELP, &CFrameWnd::OnHelp)
    ON_COMMAND(ID_CONTEXT_HELP, &CFrameWnd::OnContextHelp)
    ON_COMMAND(ID_DEFAULT_HELP, &CFrameWnd::OnHelpFinder)
END_MESSAGE_MAP()

CREATESTRUCT CMainFrame::CentredGeometry(int cxScreen, int cyScreen)
{
    CREATESTRUCT cs;
    cs.style = WS_BORDER;
    cs.cx = static_cast<int>(cxScreen * 0.25);
    // Single precision on purpose: the factor's float value is a little above
    // 0.3, so a 600-pixel screen gives 180, not 179.
    cs.cy = static_cast<int>(static_cast<float>(cyScreen) * 0.3f);
    cs.x = (cxScreen - cs.cx) / 2;
    cs.y = (cyScreen - cs.cy) / 2;
    return cs;
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs)
{
    // Border only: no system menu, no minimise, maximise or sizing, and no
    // document name in the caption.
    cs = CentredGeometry(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return CFrameWnd::PreCreateWindow(cs);
}

void CMainFrame::OnClose()
{
    // Closes at once; the document never holds anything to save.
    DestroyWindow();
}

void CMainFrame::OnGetMinMaxInfo(MINMAXINFO* pMMI)
{
    auto* pView = dynamic_cast<CProdletView*>(GetActiveView());
    CSize size;
    if (pView && pView->GetFrameSize(size)) {
        pMMI->ptMinTrackSize = {size.cx, size.cy};
        pMMI->ptMaxTrackSize = {size.cx, size.cy};
    }
}
