// The framework's test hooks: what a user would do, and what the desktop
// would show, for the program's tests. Kept out of the program's headers; only
// tests include this.
//
// What a user does reaches the program through the backend's own controls
// (a disabled button does not click). A backend offers that beside its port,
// in an input simulator of its own that a test's main sets with the port; the
// hooks that act as a user would do nothing without one.
#pragma once

#include "framework/Port.h"
#include "framework/Wnd.h"

// ---- the backend's side: acting on its native controls as a user would
class CAfxInputSimulator {
public:
    virtual ~CAfxInputSimulator() = default;
    virtual void Click(AFX_PORTWND pw) = 0;  // a button, as the mouse would
    virtual void Type(AFX_PORTWND pw, const CString& strText) = 0;
    virtual void PressKey(AFX_PORTWND pw, UINT nVirtKey) = 0;  // pressed and released
    // Moves list entry nFrom to nTo as a finished drag would; the framework
    // checks both indexes.
    virtual void Drag(AFX_PORTWND pw, int nFrom, int nTo) = 0;
};

void AfxSetInputSimulator(CAfxInputSimulator* pSimulator);  // null for none

// ---- the hooks
// Pretends the screen is cx x cy pixels; 0, 0 gives the real screen back.
void AfxSetScreenSizeForTesting(int cx, int cy);
// Clicks a button control as the mouse would, or presses over a static (see
// AfxMouseMoveForTesting); nothing for other windows.
void AfxClickForTesting(CWnd* pWnd);
// Types strText into an edit or combo box as the keyboard would.
void AfxTypeForTesting(CWnd* pWnd, const CString& strText);
// The style bits a control shows now: WS_DISABLED, ES_RIGHT, SS_CENTER, SS_RIGHT.
DWORD AfxGetStyleForTesting(const CWnd* pWnd);
// Presses and releases virtual key nVirtKey (VK_RETURN, VK_ESCAPE, ...) in pWnd.
void AfxPressKeyForTesting(CWnd* pWnd, UINT nVirtKey);
// Closes pWnd's top-level window as its title bar's close button does.
void AfxCloseForTesting(CWnd* pWnd);
// Drags entry nFrom of a drag list box to position nTo, as the mouse would.
void AfxDragListItemForTesting(CDragListBox* pList, int nFrom, int nTo);
// The label a screen reader gives control nIDC of a template (the static
// nearest above or beside it), or null.
const char* AfxLabelForTesting(const AFX_DLGTEMPLATE& tmpl, int nIDC);
// The innermost dialog whose DoModal is running, or null.
CDialog* AfxGetModalDialogForTesting();
// The window that has the keyboard focus among pWnd and its children, or null.
CWnd* AfxGetFocusForTesting(CWnd* pWnd);
// Moves the pointer to ptClient of pWnd's inside (the point may lie outside
// pWnd). The move goes where the mouse would send it: to the window holding
// the capture, else to the topmost window under the pointer that takes the
// mouse (a static only with SS_NOTIFY). AfxClickForTesting presses the left
// button over a static's middle the same way.
void AfxMouseMoveForTesting(CWnd* pWnd, CPoint ptClient);
// The look a static asks for before it is drawn, as the backend asks for it;
// FALSE for the usual look.
BOOL AfxStaticLookForTesting(CWnd* pWnd, AFX_STATICLOOK& look);
