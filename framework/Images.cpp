// The one decoder of the resources' pixel art.
#include "framework/Images.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kTransparent = 0;

constexpr std::uint32_t Opaque(std::uint32_t nRgb) { return 0xFF000000u | nRgb; }

// The standard 16-colour palette, by hexadecimal digit; false for another character.
bool PaletteColour(char ch, std::uint32_t& nArgb)
{
    static constexpr std::uint32_t s_anPalette[16] = {
        Opaque(0x000000), Opaque(0x800000), Opaque(0x008000), Opaque(0x808000),
        Opaque(0x000080), Opaque(0x800080), Opaque(0x008080), Opaque(0xC0C0C0),
        Opaque(0x808080), Opaque(0xFF0000), Opaque(0x00FF00), Opaque(0xFFFF00),
        Opaque(0x0000FF), Opaque(0xFF00FF), Opaque(0x00FFFF), Opaque(0xFFFFFF),
    };
    int nIndex = -1;
    if (ch >= '0' && ch <= '9')
        nIndex = ch - '0';
    else if (ch >= 'A' && ch <= 'F')
        nIndex = ch - 'A' + 10;
    else if (ch >= 'a' && ch <= 'f')
        nIndex = ch - 'a' + 10;
    if (nIndex < 0)
        return false;
    nArgb = s_anPalette[nIndex];
    return true;
}

bool CursorColour(char ch, std::uint32_t& nArgb)
{
    if (ch != '0' && ch != 'F')
        return false;
    nArgb = ch == '0' ? Opaque(0x000000) : Opaque(0xFFFFFF);
    return true;
}

// TRUE if every pixel came from a character that names a colour or '.'.
BOOL Decode(const char* pszPixels, int nSize, bool (*fnColour)(char, std::uint32_t&), AFX_IMAGE32& out)
{
    out.size = nSize;
    out.pixels.assign(static_cast<std::size_t>(nSize) * static_cast<std::size_t>(nSize), kTransparent);
    BOOL bComplete = TRUE;
    const char* p = pszPixels;
    for (std::uint32_t& nPixel : out.pixels) {
        if (*p == '\0') {
            bComplete = FALSE;  // the rest stays transparent
            break;
        }
        const char ch = *p++;
        if (!fnColour(ch, nPixel) && ch != '.')
            bComplete = FALSE;
    }
    return bComplete;
}

}  // namespace

BOOL AfxDecodeIcon(const AFX_ICON_IMAGE& image, AFX_IMAGE32& out)
{
    if (image.pixels == nullptr || image.size <= 0) {
        out = AFX_IMAGE32{};
        return FALSE;
    }
    return Decode(image.pixels, image.size, PaletteColour, out);
}

BOOL AfxDecodeCursor(const AFX_CURSOR& cursor, AFX_IMAGE32& out)
{
    if (cursor.pixels == nullptr) {
        out = AFX_IMAGE32{};
        return FALSE;
    }
    Decode(cursor.pixels, std::max(1, cursor.size), CursorColour, out);
    return TRUE;
}
