// Drawing vocabulary for the colour request a static makes before it is
// drawn: colours, fonts, the stock brushes and the drawing context in which a
// handler chooses them. The backend draws; these only record the choice.
#pragma once

#include "AfxTypes.h"

#include <cstdint>

using LONG = std::int32_t;

// 0x00BBGGRR, as the platform keeps colours.
using COLORREF = DWORD;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF cr) { return static_cast<BYTE>(cr & 0xFF); }
constexpr BYTE GetGValue(COLORREF cr) { return static_cast<BYTE>((cr >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF cr) { return static_cast<BYTE>((cr >> 16) & 0xFF); }

constexpr int LF_FACESIZE = 32;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

// A font's description, field for field the platform's (60 bytes). lfHeight
// below 0 is the character height in pixels.
struct LOGFONT {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONT) == 60, "LOGFONT keeps the platform's layout");

// Fonts and brushes by handle. Only the framework looks inside.
struct AFX_GDIOBJECT;
using HGDIOBJ = const AFX_GDIOBJECT*;
using HFONT = HGDIOBJ;
using HBRUSH = HGDIOBJ;

// Stock objects: of the brushes only the hollow one, which paints nothing.
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
HGDIOBJ GetStockObject(int nIndex);  // null for what we do not offer

// Background modes of text.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// What kind of control asks for its colours.
constexpr UINT CTLCOLOR_STATIC = 6;

class CGdiObject {
public:
    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    virtual ~CGdiObject();

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL DeleteObject();
    // Copies the object's description (a LOGFONT for a font) into pObject,
    // at most nCount bytes; returns the bytes copied, 0 on failure.
    int GetObject(int nCount, void* pObject) const;

protected:
    HGDIOBJ m_hObject = nullptr;
};

class CFont : public CGdiObject {
public:
    // FALSE if the font exists already or plf is null.
    BOOL CreateFontIndirect(const LOGFONT* plf);
    int GetLogFont(LOGFONT* plf) const { return GetObject(sizeof(LOGFONT), plf); }
    operator HFONT() const { return m_hObject; }
};

// The drawing context of one colour request: what the handler sets here is
// how the control is drawn, if the handler answers with a brush.
class CDC {
public:
    COLORREF SetTextColor(COLORREF cr);  // returns the previous colour
    COLORREF GetTextColor() const { return m_crText; }
    COLORREF SetBkColor(COLORREF cr);
    COLORREF GetBkColor() const { return m_crBack; }
    int SetBkMode(int nMode);  // TRANSPARENT or OPAQUE; returns the previous mode
    int GetBkMode() const { return m_nBkMode; }
    // Selects the font for the text; returns the previous one, or null. The
    // font must outlive the request.
    CFont* SelectObject(CFont* pFont);
    CFont* GetCurrentFont() const { return m_pFont; }

    // Which of the above a handler set, for the framework.
    BOOL m_bTextColorSet = FALSE;
    BOOL m_bBkColorSet = FALSE;

private:
    COLORREF m_crText = RGB(0, 0, 0);
    COLORREF m_crBack = RGB(255, 255, 255);
    int m_nBkMode = OPAQUE;
    CFont* m_pFont = nullptr;
};

// How a static is drawn when its colour request chose a look of its own.
struct AFX_STATICLOOK {
    BOOL bTextColor = FALSE;  // crText holds the text's colour; else the usual one
    COLORREF crText = 0;
    BOOL bTransparent = FALSE;  // no background behind the glyphs
    BOOL bBkColor = FALSE;      // crBack is the glyphs' background (when not transparent)
    COLORREF crBack = 0;
    BOOL bFont = FALSE;  // font describes the font to draw with; else the control's own
    LOGFONT font{};
};

inline BOOL PtInRect(const CRect* pRect, CPoint pt)
{
    // Left and top inside, right and bottom outside, as the platform counts.
    return pRect != nullptr && pt.x >= pRect->left && pt.x < pRect->right && pt.y >= pRect->top &&
           pt.y < pRect->bottom;
}
