// A static text of a dialog made a hyperlink: drawn underlined in the link
// colour on the dialog's own background, a pointing hand while the pointer is
// over it, and a click hands its text to the desktop (an e-mail address of the
// maker's mailbox as a mailto: target). Whether the link has been followed is
// kept by the owner, so it can outlive the control.
#pragma once

#include "framework/Gdi.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

// The one-second pause after a click, a timer of the control's own window.
constexpr UINT IDT_CLICK_PAUSE = 105;

class CStaticLink : public CStatic {
    DECLARE_DYNAMIC(CStaticLink)

public:
    CStaticLink();
    ~CStaticLink() override;

    COLORREF m_crUnvisited;  // blue until followed
    COLORREF m_crVisited;    // purple once followed
    // The owner's visited flag; the owner points it at a BOOL that outlives
    // the control before the control is first drawn.
    BOOL* m_pbVisited;
    BOOL m_bCaptured;    // the pointer is over the control, which holds the mouse
    BOOL m_bClickPause;  // a click was less than a second ago: moves are ignored
    CString m_strTarget;  // what the desktop is handed; made at the first click
    CFont m_fontUnderline;

protected:
    void OnClicked();
    void OnMouseMove(UINT nFlags, CPoint point);
    HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    void OnTimer(UINT nIDEvent);

    DECLARE_MESSAGE_MAP()
};
