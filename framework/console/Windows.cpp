// Frames, forms and dialogs as plain objects, and the state of any window.
// They behave as the Qt backend's widgets do, less the drawing: a frame has
// no decorations, so its outer rectangle is its inside.
#include "framework/console/ConsoleBridge.h"

#include <algorithm>

namespace {

// Made once, never destroyed: nothing of ours runs after main.
struct CWindows {
    std::vector<std::unique_ptr<CConsoleWnd>> topLevel;
};

CWindows& Windows()
{
    static auto* s_pWindows = new CWindows;
    return *s_pWindows;
}

CConsoleWnd* NewTopLevel(CConsoleKind kind)
{
    auto pWnd = std::make_unique<CConsoleWnd>();
    pWnd->kind = kind;
    Windows().topLevel.push_back(std::move(pWnd));
    return Windows().topLevel.back().get();
}

CPoint ScreenOrigin(const CConsoleWnd* pWnd)
{
    CPoint pt{pWnd->rect.left, pWnd->rect.top};
    for (const CConsoleWnd* p = pWnd->pParent; p != nullptr; p = p->pParent) {
        pt.x += p->rect.left;
        pt.y += p->rect.top;
    }
    return pt;
}

// A form fills its frame's inside, as a central widget does.
void FitForms(CConsoleWnd* pFrame)
{
    for (const auto& pChild : pFrame->children) {
        if (pChild->kind == CConsoleKind::Form)
            pChild->rect = CRect{0, 0, pFrame->rect.Width(), pFrame->rect.Height()};
    }
}

CSize Limited(const CConsoleWnd* pWnd, CSize size)
{
    if (pWnd->limits.bLimited) {
        size.cx = std::clamp(size.cx, pWnd->limits.sizeMin.cx, std::max(pWnd->limits.sizeMin.cx, pWnd->limits.sizeMax.cx));
        size.cy = std::clamp(size.cy, pWnd->limits.sizeMin.cy, std::max(pWnd->limits.sizeMin.cy, pWnd->limits.sizeMax.cy));
    }
    return CSize{std::max(0, size.cx), std::max(0, size.cy)};
}

}  // namespace

BOOL ConsoleIsEffectivelyEnabled(const CConsoleWnd* pWnd)
{
    for (; pWnd != nullptr; pWnd = pWnd->pParent) {
        if (!pWnd->bEnabled)
            return FALSE;
    }
    return TRUE;
}

void ConsoleSetText(CConsoleWnd* pWnd, const CString& str)
{
    pWnd->strText = str;
    IConsoleListener* pListener = ConsoleListener();
    if (pListener != nullptr && pWnd->kind == CConsoleKind::Control)
        pListener->OnControlText(pWnd->pParent ? pWnd->pParent->nTemplateId : 0, pWnd->nCtrlId, str);
}

AFX_PORTWND CConsolePort::CreateFrame(const AFX_FRAMEDESC& desc)
{
    CConsoleWnd* pFrame = NewTopLevel(CConsoleKind::Frame);
    pFrame->strText = desc.strTitle;
    pFrame->dwStyle = desc.dwStyle;
    // The menu bar has no one to open it; the frame keeps its shortcuts.
    pFrame->accels = desc.accels;
    return PortOf(pFrame);
}

AFX_PORTWND CConsolePort::CreateForm(AFX_PORTWND pwParent, const AFX_DLGTEMPLATE& tmpl, CSize sizeClient)
{
    CConsoleWnd* pParent = WndOf(pwParent);
    CConsoleWnd* pForm = nullptr;
    if (pParent == nullptr) {
        pForm = NewTopLevel(CConsoleKind::Form);
    } else {
        auto pNew = std::make_unique<CConsoleWnd>();
        pNew->kind = CConsoleKind::Form;
        pNew->pParent = pParent;
        pNew->bHidden = FALSE;  // shown with its parent
        pForm = pNew.get();
        pParent->children.push_back(std::move(pNew));
    }
    pForm->nTemplateId = tmpl.id;
    pForm->rect = CRect{0, 0, sizeClient.cx, sizeClient.cy};
    return PortOf(pForm);
}

AFX_PORTWND CConsolePort::CreateDialogWindow(AFX_PORTWND /*pwOwner*/, const AFX_DLGTEMPLATE& tmpl, CSize sizeClient)
{
    CConsoleWnd* pDialog = NewTopLevel(CConsoleKind::Dialog);
    pDialog->nTemplateId = tmpl.id;
    pDialog->strText = tmpl.caption ? tmpl.caption : "";
    pDialog->rect = CRect{0, 0, sizeClient.cx, sizeClient.cy};
    pDialog->limits.bFixed = TRUE;
    return PortOf(pDialog);
}

// The platform's base units of the templates' font, MS Sans Serif 8 pt at
// 96 dots per inch: 6 pixels across, 13 down.
CSize CConsolePort::DialogBaseUnits(const AFX_DLGTEMPLATE& /*tmpl*/) { return CSize{6, 13}; }

void CConsolePort::DestroyWindow(AFX_PORTWND pw)
{
    CConsoleWnd* pWnd = WndOf(pw);
    if (pWnd == nullptr)
        return;
    auto& siblings = pWnd->pParent != nullptr ? pWnd->pParent->children : Windows().topLevel;
    std::erase_if(siblings, [pWnd](const auto& p) { return p.get() == pWnd; });  // with its children
}

void CConsolePort::SetText(AFX_PORTWND pw, const CString& str) { ConsoleSetText(WndOf(pw), str); }

CString CConsolePort::GetText(AFX_PORTWND pw) { return WndOf(pw)->strText; }

void CConsolePort::EnableWindow(AFX_PORTWND pw, BOOL bEnable) { WndOf(pw)->bEnabled = bEnable ? TRUE : FALSE; }

BOOL CConsolePort::IsWindowEnabled(AFX_PORTWND pw) { return WndOf(pw)->bEnabled; }

void CConsolePort::ShowWindow(AFX_PORTWND pw, int nCmdShow)
{
    CConsoleWnd* pWnd = WndOf(pw);
    pWnd->bHidden = nCmdShow == SW_HIDE;
    if (nCmdShow != SW_HIDE)
        pWnd->bMinimized = nCmdShow == SW_MINIMIZE;
}

BOOL CConsolePort::IsHidden(AFX_PORTWND pw) { return WndOf(pw)->bHidden; }

BOOL CConsolePort::IsVisible(AFX_PORTWND pw)
{
    for (const CConsoleWnd* pWnd = WndOf(pw); pWnd != nullptr; pWnd = pWnd->pParent) {
        if (pWnd->bHidden)
            return FALSE;
    }
    return TRUE;
}

CRect CConsolePort::GetWindowRect(AFX_PORTWND pw)
{
    const CConsoleWnd* pWnd = WndOf(pw);
    const CPoint pt = ScreenOrigin(pWnd);
    return CRect{pt.x, pt.y, pt.x + pWnd->rect.Width(), pt.y + pWnd->rect.Height()};
}

void CConsolePort::MoveWindow(AFX_PORTWND pw, const CRect& rect)
{
    CConsoleWnd* pWnd = WndOf(pw);
    if (pWnd->pParent != nullptr) {
        pWnd->rect = rect;
        return;
    }
    // A window of fixed size is only moved.
    CSize size{pWnd->rect.Width(), pWnd->rect.Height()};
    if (!pWnd->limits.bFixed)
        size = Limited(pWnd, CSize{rect.Width(), rect.Height()});
    pWnd->rect = CRect{rect.left, rect.top, rect.left + size.cx, rect.top + size.cy};
    FitForms(pWnd);
}

void CConsolePort::PlaceWindow(AFX_PORTWND pw, const CRect& rcOuter, const AFX_SIZELIMITS& limits)
{
    CConsoleWnd* pWnd = WndOf(pw);
    pWnd->limits = limits;
    CSize size{rcOuter.Width(), rcOuter.Height()};
    if (!limits.bFixed)
        size = Limited(pWnd, size);
    pWnd->rect = CRect{rcOuter.left, rcOuter.top, rcOuter.left + std::max(0, size.cx), rcOuter.top + std::max(0, size.cy)};
    FitForms(pWnd);
}

// Nothing to bring forward, and a hidden window stays hidden.
void CConsolePort::SetForegroundWindow(AFX_PORTWND /*pw*/) {}

void CConsolePort::SetIcon(AFX_PORTWND pw, HICON hIcon) { WndOf(pw)->hIcon = hIcon; }

void CConsolePort::ShowModal(AFX_PORTWND pw) { WndOf(pw)->bHidden = FALSE; }

namespace {

CConsoleWnd* TopOf(CConsoleWnd* pWnd)
{
    while (pWnd->pParent != nullptr)
        pWnd = pWnd->pParent;
    return pWnd;
}

}  // namespace

BOOL CConsolePort::HasFocus(AFX_PORTWND pw) { return TopOf(WndOf(pw))->pFocus == WndOf(pw); }

void CConsolePort::SetFocus(AFX_PORTWND pw) { TopOf(WndOf(pw))->pFocus = WndOf(pw); }

void CConsolePort::SetAccessibleName(AFX_PORTWND pw, const CString& strName) { WndOf(pw)->strAccessibleName = strName; }

BOOL CConsolePort::IsMinimized(AFX_PORTWND pw) { return TopOf(WndOf(pw))->bMinimized; }

// Nothing is drawn and there is no pointer: links never light up, and the
// desktop's opener is not there.
void CConsolePort::SetStaticNotify(AFX_PORTWND /*pw*/, BOOL /*bNotify*/) {}

CRect CConsolePort::GetClientRect(AFX_PORTWND pw) { return GetWindowRect(pw); }

void CConsolePort::GetFont(AFX_PORTWND /*pw*/, LOGFONT& lf)
{
    lf = LOGFONT{};
    lf.lfHeight = -13;
    lf.lfWeight = 400;
}

void CConsolePort::InvalidateWindow(AFX_PORTWND /*pw*/) {}

void CConsolePort::SetMouseCapture(AFX_PORTWND /*pw*/) {}

void CConsolePort::SetCursor(HCURSOR /*hCursor*/) {}

void CConsolePort::Beep() {}

BOOL CConsolePort::OpenUrl(const CString& /*strUrl*/) { return FALSE; }
