// The framework's own record of each window, shared by its source files and
// never seen by the program. User-interface thread only.
#pragma once

#include "framework/Port.h"
#include "framework/Testing.h"
#include "framework/Wnd.h"

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

struct CModalState {
    AFX_LOOP loop;
    int nResult = IDCANCEL;
    BOOL bEnded = FALSE;
    BOOL bRunning = FALSE;
};

enum class AfxWndKind { Frame, Form, Dialog, Control };

struct CWndState {
    HWND hWnd = nullptr;
    AFX_PORTWND pw = nullptr;
    AfxWndKind kind = AfxWndKind::Control;
    CWnd* pOwner = nullptr;     // the CWnd the window belongs to
    CWnd* pReceiver = nullptr;  // who gets its messages: the owner, or a subclassing CWnd
    CWndState* pParent = nullptr;
    std::vector<CWndState*> children;  // in creation order
    HWND hOwner = nullptr;  // a top-level window's owner: it goes before its owner does
    int nCtrlId = 0;
    AfxControl ctrlKind = AfxControl::Static;
    DWORD dwStyle = 0;
    BOOL bDestroying = FALSE;
    CModalState* pModal = nullptr;  // while DoModal runs
    // Control objects made from a template, owned by the window they sit in.
    std::vector<std::unique_ptr<CWnd>> controls;
    // CWnds that share the window (DDX_Control) without owning it.
    std::vector<CWnd*> attached;
    // Timers by (the CWnd that set it, id) -> the backend's token.
    std::map<std::pair<CWnd*, UINT>, AFX_TOKEN> timers;
};

// ---- the window registry (Wnd.cpp)
CWndState* AfxStateFromHandle(HWND hWnd);
CWndState* AfxStateFromPort(AFX_PORTWND pw);
// Makes the record of a new window, a child of pParent (or top-level).
CWndState* AfxNewWindow(CWnd* pOwner, AFX_PORTWND pw, AfxWndKind kind, CWndState* pParent);
// Takes the window away without messages: timers stop, attached CWnds and
// controls let go, the backend window goes.
void AfxRetireWindow(CWndState* pState);
// Every top-level window alive, oldest first.
std::vector<HWND> AfxTopLevelWindows();

// ---- calls into the program. A native window destroyed while one is on the
// stack is hidden at once and destroyed once the outermost has returned.
class CDispatchScope {
public:
    CDispatchScope();
    ~CDispatchScope();
    CDispatchScope(const CDispatchScope&) = delete;
    CDispatchScope& operator=(const CDispatchScope&) = delete;
    static bool Active();
};

// Sends nMessage to the window's receiver as a handler call of the framework.
LRESULT AfxDispatch(CWndState* pState, UINT nMessage, WPARAM wParam, LPARAM lParam);
// Destroys the native windows held back, unless a handler is on the stack.
void AfxDestroyHeldWindows();

// ---- the queue (Queue.cpp): wakes the backend when work waits for it
void AfxWakeIfQueued();

// ---- timers that call back the framework itself (Queue.cpp)
AFX_TOKEN AfxStartCallbackTimer(UINT nElapseMs, std::function<void()> fn, BOOL bOneShot);
void AfxStopCallbackTimer(AFX_TOKEN token);
// A window timer's token; the registry routes its ticks (Wnd.cpp).
void AfxWindowTimerFired(AFX_TOKEN token);

// ---- templates (Dialog.cpp)
// Builds the template's controls inside pHost.
void AfxBuildControls(CWndState* pHost, const AFX_DLGTEMPLATE& tmpl);
CSize AfxTemplateSize(const AFX_DLGTEMPLATE& tmpl);

// ---- frames (Frame.cpp)
// Sets a frame's geometry to rectOuter within the limits WM_GETMINMAXINFO gives.
void AfxFrameSetGeometry(CWnd* pFrame, const CRect& rectOuter);
void AfxFrameApplySizeLimits(CWnd* pFrame);

// ---- the loop (App.cpp)
// Ends every modal dialog and message box that is open.
void AfxEndModalLoops();
// When a modal dialog or message box has ended: its owner, if it still
// lives and is shown, becomes the active window again and takes the keyboard.
void AfxActivateOwnerAfterModal(HWND hOwner);

// ---- the notification area (Shell.cpp): a destroyed window's icons go too
void AfxTrayWindowDestroyed(HWND hWnd);

// ---- the mouse (Mouse.cpp): a press over a static's middle, for tests
void AfxPressStaticForTesting(CWndState* pState);
