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
    if (CWnd* pMain = AfxGetMainWnd()) {
        if (CWndState* pState = AfxStateFromHandle(pMain->GetSafeHwnd()))
            pwOwner = pState->pw;
    }
    // The box runs a nested loop: timers and posted messages go on meanwhile.
    CDispatchScope scope;
    return AfxPort().MessageBox(pwOwner, strCaption, strText, nType);
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
