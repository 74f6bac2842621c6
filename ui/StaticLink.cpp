#include "ui/StaticLink.h"

#include "framework/Resources.h"
#include "framework/Shell.h"
#include "res/resource.h"

#include <cstdint>

IMPLEMENT_DYNAMIC(CStaticLink, CStatic)

BEGIN_MESSAGE_MAP(CStaticLink, CStatic)
    ON_CONTROL_REFLECT(STN_CLICKED, &CStaticLink::OnClicked)
    ON_WM_MOUSEMOVE(&CStaticLink::OnMouseMove)
    ON_WM_CTLCOLOR_REFLECT(&CStaticLink::CtlColor)
    ON_WM_TIMER(&CStaticLink::OnTimer)
END_MESSAGE_MAP()

// The owner sets m_pbVisited. Until it does, the link reads as not followed
// and a successful click has nowhere to record itself, rather than writing
// through a pointer that was never set.
CStaticLink::CStaticLink()
    : m_crUnvisited(RGB(0, 0, 255)), m_crVisited(RGB(128, 0, 128)), m_pbVisited(nullptr), m_bCaptured(FALSE),
      m_bClickPause(FALSE)
{
}

// The underlined font and the target go with their members.
CStaticLink::~CStaticLink() = default;

void CStaticLink::OnClicked()
{
    // Made once: later clicks open the same target even if the text changed.
    if (m_strTarget.empty()) {
        m_strTarget = GetWindowText();
        if (m_strTarget.find(PRODLET_MAIL_BOX "@") != CString::npos)
            m_strTarget = "mailto:" + m_strTarget;
    }

    m_bCaptured = FALSE;
    ReleaseCapture();
    // For a second the pointer cannot take the control again, so the hand
    // does not come back over a link that is still being opened.
    m_bClickPause = TRUE;
    SetTimer(IDT_CLICK_PAUSE, 1000);

    const HINSTANCE hResult = ShellExecute(nullptr, "open", m_strTarget.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<std::intptr_t>(hResult) <= 32) {
        MessageBeep(MB_OK);
        return;
    }
    if (m_pbVisited != nullptr)
        *m_pbVisited = TRUE;
    SetCursor(AfxLoadStockCursor(IDC_ARROW));
    InvalidateRect(nullptr, TRUE);
}

void CStaticLink::OnMouseMove(UINT nFlags, CPoint point)
{
    CStatic::OnMouseMove(nFlags, point);
    if (m_bClickPause)
        return;
    // The whole control is the hot area, not only its glyphs.
    CRect rect;
    GetClientRect(&rect);
    const BOOL bInside = PtInRect(&rect, point);
    if (!m_bCaptured && bInside) {
        // Holding the capture, the control hears the move that leaves it.
        m_bCaptured = TRUE;
        SetCapture();
        SetCursor(AfxLoadCursor(IDC_HAND_CURSOR));
    } else if (m_bCaptured && !bInside) {
        ReleaseCapture();
        m_bCaptured = FALSE;
        SetCursor(AfxLoadStockCursor(IDC_ARROW));
    }
}

HBRUSH CStaticLink::CtlColor(CDC* pDC, UINT /*nCtlColor*/)
{
    // A static tells of clicks, and takes the mouse at all, only with SS_NOTIFY.
    const DWORD dwStyle = GetStyle();
    if ((dwStyle & SS_NOTIFY) == 0)
        SetWindowLong(GetSafeHwnd(), GWL_STYLE, static_cast<LONG>(dwStyle | SS_NOTIFY));
    // Icons, rectangles and frames are drawn as the dialog draws them.
    if ((dwStyle & 0xFF) > SS_RIGHT)
        return nullptr;

    // Made once from the control's font as it is now.
    if (m_fontUnderline.GetSafeHandle() == nullptr) {
        LOGFONT lf{};
        if (CFont* pFont = GetFont())
            pFont->GetObject(sizeof(lf), &lf);
        lf.lfUnderline = TRUE;
        m_fontUnderline.CreateFontIndirect(&lf);
    }
    pDC->SelectObject(&m_fontUnderline);
    pDC->SetTextColor(m_pbVisited != nullptr && *m_pbVisited == TRUE ? m_crVisited : m_crUnvisited);
    pDC->SetBkMode(TRANSPARENT);
    return GetStockObject(NULL_BRUSH);
}

void CStaticLink::OnTimer(UINT nIDEvent)
{
    CStatic::OnTimer(nIDEvent);
    if (nIDEvent == IDT_CLICK_PAUSE) {
        KillTimer(IDT_CLICK_PAUSE);
        m_bClickPause = FALSE;
    }
}
