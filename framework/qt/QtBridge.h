// What the Qt backend's source files share: the backend state behind a CWnd,
// the icon conversion, and the few helpers one backend file offers another.
// Only framework/qt/ includes this header.
#pragma once

#include "framework/Resources.h"
#include "framework/Wnd.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <utility>
#include <vector>

class QEventLoop;

// The backend window behind one CWnd. The owning CWnd (a program object or a
// control object the framework made from a template) is the window's CWnd;
// other CWnds (a program's control members) may be attached to share it.
class CWndImpl : public QObject {
public:
    CWndImpl(CWnd* pOwner, QWidget* pWidget, int nCtrlId = 0);
    ~CWndImpl() override;

    QWidget* Widget() const { return m_pWidget.data(); }
    CWnd* Owner() const { return m_pOwner; }
    int CtrlId() const { return m_nCtrlId; }

    // The impl a widget stands for, or null.
    static CWndImpl* FromWidget(const QWidget* pWidget);
    // The CWnd of the nearest widget at or above pWidget that has one.
    static CWnd* WndAtOrAbove(const QWidget* pWidget);

    void Attach(CWnd* pWnd);
    void Detach(CWnd* pWnd);

    UINT SetTimer(CWnd* pWnd, UINT nIDEvent, UINT nElapse);
    BOOL KillTimer(CWnd* pWnd, UINT nIDEvent);
    BOOL HasTimer(const CWnd* pWnd, UINT nIDEvent) const;

    // Takes the window away: timers stop, attached CWnds let go, the widget
    // disappears and is deleted once the event in progress has returned.
    // The impl itself goes the same way.
    void Retire();

    // Control objects made from a template, owned by their parent's impl.
    std::vector<std::unique_ptr<CWnd>> m_controls;

    BOOL m_bDestroying = FALSE;

    // A frame: WM_GETMINMAXINFO decides its size limits.
    BOOL m_bFrame = FALSE;
    DWORD m_dwStyle = 0;

    // A modal dialog's loop and result, while DoModal runs.
    struct CModalState* m_pModal = nullptr;

protected:
    void timerEvent(QTimerEvent* pEvent) override;

private:
    QPointer<QWidget> m_pWidget;
    CWnd* m_pOwner;
    int m_nCtrlId;
    std::vector<CWnd*> m_attached;
    std::map<std::pair<CWnd*, UINT>, int> m_timers;  // (window, id) -> Qt timer id
};

struct CModalState {
    QEventLoop* pLoop = nullptr;
    int nResult = IDCANCEL;
    BOOL bEnded = FALSE;
};

// The widget of a CWnd, or null when it has no window.
QWidget* AfxWidgetOf(const CWnd* pWnd);

// A 16-colour icon resource as a QIcon with both its 32 x 32 and 16 x 16 images.
QIcon IconFromResource(HICON hIcon);

class QLabel;
// Keeps a one-line, left-aligned static's text on one line; see Controls.cpp.
void AfxFitStaticText(QLabel* pLabel);

// Delivers a command from a control to the window it sits in (WM_COMMAND,
// wParam = control id, lParam = the control's CWnd).
void AfxNotifyParent(CWndImpl* pControl);

// Sets a frame's geometry to the outer rect, within the limits that
// WM_GETMINMAXINFO gives (Frame.cpp).
void AfxFrameSetGeometry(CWnd* pFrame, const CRect& rectOuter);
// Asks the frame for its size limits again and applies them at the current size.
void AfxFrameApplySizeLimits(CWnd* pFrame);

// Marks the backend calling into a window (timer, posted message, click,
// close); deletions of destroyed widgets wait while one is in progress.
class CDispatchScope {
public:
    CDispatchScope();
    ~CDispatchScope();
    CDispatchScope(const CDispatchScope&) = delete;
    CDispatchScope& operator=(const CDispatchScope&) = delete;
    static bool Active();
};

// The Qt key of a virtual-key code ('A'..'Z', '0'..'9', VK_...); 0 if unknown.
int AfxQtKeyFromVirtKey(UINT nVirtKey);

// Wait cursor on or off for the whole application.
void AfxShowWaitCursor(bool bShow);

// Creates the control of a template item inside pHost's widget at rect
// (pixels); pHost's impl owns the control object (Controls.cpp).
CWnd* AfxCreateControl(CWndImpl* pHost, const AFX_DLGITEM& item, const QRect& rect);
