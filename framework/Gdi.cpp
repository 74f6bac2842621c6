// Fonts, the hollow stock brush, the drawing context of a colour request, a
// window's font, and the colour request a static makes before it is drawn.
#include "framework/Gdi.h"
#include "framework/WinApp.h"
#include "framework/WndPrivate.h"

#include <algorithm>
#include <cstring>
#include <map>

struct AFX_GDIOBJECT {
    enum Kind { Font, Brush } kind;
    LOGFONT lf;
};

namespace {

// The font of each window that was asked for it, until the window goes.
// Made once and never destroyed, like every global of the framework.
std::map<HWND, std::unique_ptr<CFont>>& WindowFonts()
{
    static auto* s_pFonts = [] {
        auto* pFonts = new std::map<HWND, std::unique_ptr<CFont>>;
        AfxAddWindowDestroyedHook([pFonts](HWND hWnd) { pFonts->erase(hWnd); });
        return pFonts;
    }();
    return *s_pFonts;
}

bool IsStatic(const CWndState* pState)
{
    return pState != nullptr && pState->kind == AfxWndKind::Control &&
           (pState->ctrlKind == AfxControl::Static || pState->ctrlKind == AfxControl::IconStatic);
}

// The dialog's colour request for one of its statics. No window of ours
// colours its children itself, so the request goes straight to the control
// as its reflection; no answer, or no brush, leaves the usual look.
BOOL RequestLook(CWndState* pState, AFX_STATICLOOK& look)
{
    CWnd* pControl = pState->pReceiver;
    if (pControl == nullptr)
        return FALSE;
    CDC dc;
    LRESULT lBrush = 0;
    {
        CDispatchScope scope;
        if (!pControl->OnChildNotify(WM_CTLCOLOR, reinterpret_cast<WPARAM>(&dc), CTLCOLOR_STATIC, &lBrush))
            return FALSE;
    }
    if (lBrush == 0)
        return FALSE;
    look = AFX_STATICLOOK{};
    look.bTextColor = dc.m_bTextColorSet;
    look.crText = dc.GetTextColor();
    look.bTransparent = dc.GetBkMode() == TRANSPARENT ? TRUE : FALSE;
    look.bBkColor = dc.m_bBkColorSet;
    look.crBack = dc.GetBkColor();
    if (const CFont* pFont = dc.GetCurrentFont(); pFont != nullptr && pFont->GetSafeHandle() != nullptr)
        look.bFont = pFont->GetLogFont(&look.font) == static_cast<int>(sizeof(LOGFONT)) ? TRUE : FALSE;
    // The only brush we offer is the hollow one: the dialog's background
    // shows around and behind the text.
    return TRUE;
}

}  // namespace

// ---- objects

HGDIOBJ GetStockObject(int nIndex)
{
    static const AFX_GDIOBJECT s_hollowBrush{AFX_GDIOBJECT::Brush, {}};
    return nIndex == NULL_BRUSH ? &s_hollowBrush : nullptr;
}

CGdiObject::~CGdiObject() { DeleteObject(); }

BOOL CGdiObject::DeleteObject()
{
    if (m_hObject == nullptr)
        return FALSE;
    // Only what CreateFontIndirect made is ever held here; stock objects are not.
    delete m_hObject;
    m_hObject = nullptr;
    return TRUE;
}

int CGdiObject::GetObject(int nCount, void* pObject) const
{
    if (m_hObject == nullptr || pObject == nullptr || nCount <= 0 || m_hObject->kind != AFX_GDIOBJECT::Font)
        return 0;
    const auto nBytes = std::min<std::size_t>(static_cast<std::size_t>(nCount), sizeof(LOGFONT));
    std::memcpy(pObject, &m_hObject->lf, nBytes);
    return static_cast<int>(nBytes);
}

BOOL CFont::CreateFontIndirect(const LOGFONT* plf)
{
    if (plf == nullptr || m_hObject != nullptr)
        return FALSE;
    auto* pObject = new AFX_GDIOBJECT{AFX_GDIOBJECT::Font, *plf};
    // The face name may come without its NUL.
    pObject->lf.lfFaceName[LF_FACESIZE - 1] = '\0';
    m_hObject = pObject;
    return TRUE;
}

// ---- the drawing context

COLORREF CDC::SetTextColor(COLORREF cr)
{
    const COLORREF crOld = m_crText;
    m_crText = cr;
    m_bTextColorSet = TRUE;
    return crOld;
}

COLORREF CDC::SetBkColor(COLORREF cr)
{
    const COLORREF crOld = m_crBack;
    m_crBack = cr;
    m_bBkColorSet = TRUE;
    return crOld;
}

int CDC::SetBkMode(int nMode)
{
    const int nOld = m_nBkMode;
    if (nMode == TRANSPARENT || nMode == OPAQUE)
        m_nBkMode = nMode;
    return nOld;
}

CFont* CDC::SelectObject(CFont* pFont)
{
    CFont* pOld = m_pFont;
    m_pFont = pFont;
    return pOld;
}

// ---- windows

CFont* CWnd::GetFont() const
{
    const CWndState* pState = State();
    if (pState == nullptr)
        return nullptr;
    auto& fonts = WindowFonts();
    std::unique_ptr<CFont>& pFont = fonts[pState->hWnd];
    if (!pFont) {
        LOGFONT lf{};
        AfxPort().GetFont(pState->pw, lf);
        pFont = std::make_unique<CFont>();
        pFont->CreateFontIndirect(&lf);
    }
    return pFont.get();
}

BOOL AfxPortStaticLook(AFX_PORTWND pw, AFX_STATICLOOK& look)
{
    CWndState* pState = AfxStateFromPort(pw);
    return IsStatic(pState) ? RequestLook(pState, look) : FALSE;
}

BOOL AfxStaticLookForTesting(CWnd* pWnd, AFX_STATICLOOK& look)
{
    CWndState* pState = pWnd != nullptr ? pWnd->State() : nullptr;
    return IsStatic(pState) ? RequestLook(pState, look) : FALSE;
}
