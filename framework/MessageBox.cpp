// Message boxes captioned with the application's title, and the end of every
// modal loop when the program ends.
#include "framework/Resources.h"
#include "framework/WinApp.h"
#include "framework/WndPrivate.h"

namespace {

AfxMessageBoxHook& Hook()
{
    static auto* s_pHook = new AfxMessageBoxHook;
    return *s_pHook;
}

}  // namespace

void AfxSetMessageBoxHook(AfxMessageBoxHook hook) { Hook() = std::move(hook); }

int AfxMessageBox(const CString& strText, UINT nType)
{
    CString strCaption;
    AfxLoadString(57344, strCaption);  // the application's title
    if (Hook())
        return Hook()(strCaption, strText, nType);
    // The main window owns the box, as on the original platform: the box
    // stays in front of it and blocks it alone, so the notification area's
    // icon still answers while the box is open.
    AFX_PORTWND pwOwner = nullptr;
    HWND hOwner = nullptr;
    if (CWnd* pMain = AfxGetMainWnd()) {
        if (CWndState* pState = AfxStateFromHandle(pMain->GetSafeHwnd())) {
            pwOwner = pState->pw;
            hOwner = pState->hWnd;
        }
    }
    int nResult = IDOK;
    {
        // The box runs a nested loop: timers and posted messages go on meanwhile.
        CDispatchScope scope;
        nResult = AfxPort().MessageBox(pwOwner, strCaption, strText, nType);
    }
    AfxActivateOwnerAfterModal(hOwner);
    return nResult;
}

void AfxCloseMessageBoxes()
{
    if (AfxHasPort())
        AfxPort().CloseModalWindows();
}

void AfxActivateOwnerAfterModal(HWND hOwner)
{
    // As on the original platform, where the owner is activated as its modal
    // window goes; a window manager, left to itself, may give the keyboard
    // to another window or to none. A hidden or minimised owner stays so.
    CWndState* pOwner = hOwner != nullptr ? AfxStateFromHandle(hOwner) : nullptr;
    if (pOwner == nullptr || !AfxPort().IsVisible(pOwner->pw) || AfxPort().IsMinimized(pOwner->pw))
        return;
    AfxPort().SetForegroundWindow(pOwner->pw);
}

void AfxEndModalLoops()
{
    AfxPort().CloseModalWindows();
    for (HWND hWnd : AfxTopLevelWindows()) {
        CWndState* pState = AfxStateFromHandle(hWnd);
        // As the dialog's close box would: its cancel command.
        if (pState != nullptr && pState->kind == AfxWndKind::Dialog && pState->pModal != nullptr &&
            pState->pModal->bRunning)
            AfxPortClose(pState->pw);
    }
}
