// The program's icons and cursors as the system's: the 16-colour resource
// images decoded to 32 bits and made into native icons once each.
#include "framework/win32/Win32Bridge.h"

#include <map>

namespace {

std::uint32_t PaletteColour(char ch)
{
    static const std::uint32_t s_aPalette[16] = {
        0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
        0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
    };
    int nIndex = -1;
    if (ch >= '0' && ch <= '9')
        nIndex = ch - '0';
    else if (ch >= 'A' && ch <= 'F')
        nIndex = ch - 'A' + 10;
    else if (ch >= 'a' && ch <= 'f')
        nIndex = ch - 'a' + 10;
    return nIndex < 0 ? 0 : s_aPalette[nIndex];
}

w32::Image Decode(const char* pszPixels, int nSize)
{
    w32::Image image;
    image.size = nSize;
    image.pixels.assign(static_cast<std::size_t>(nSize) * nSize, 0);
    const char* p = pszPixels;
    for (auto& pixel : image.pixels) {
        // A short string leaves the rest transparent rather than reading past it.
        const char ch = (p != nullptr && *p) ? *p++ : '.';
        pixel = PaletteColour(ch);
    }
    return image;
}

struct CNativeIcon {
    void* hLarge = nullptr;
    void* hSmall = nullptr;
};

}  // namespace

void* NativeIcon(HICON hIcon, BOOL bSmall)
{
    static auto* s_pIcons = new std::map<HICON, CNativeIcon>;
    if (hIcon == nullptr)
        return nullptr;
    auto it = s_pIcons->find(hIcon);
    if (it == s_pIcons->end()) {
        CNativeIcon icon;
        if (hIcon->large.pixels != nullptr && hIcon->large.size > 0)
            icon.hLarge = w32::CreateIcon(Decode(hIcon->large.pixels, hIcon->large.size));
        if (hIcon->small.pixels != nullptr && hIcon->small.size > 0)
            icon.hSmall = w32::CreateIcon(Decode(hIcon->small.pixels, hIcon->small.size));
        it = s_pIcons->emplace(hIcon, icon).first;
    }
    void* hNative = bSmall ? it->second.hSmall : it->second.hLarge;
    return hNative != nullptr ? hNative : (bSmall ? it->second.hLarge : it->second.hSmall);
}

void* EmptyTrayIcon()
{
    static void* s_hIcon = w32::CreateIcon(Decode("", 16));
    return s_hIcon;
}

void* NativeCursor(HCURSOR hCursor)
{
    static auto* s_pCursors = new std::map<HCURSOR, void*>;
    if (hCursor == nullptr)
        return nullptr;
    auto it = s_pCursors->find(hCursor);
    if (it != s_pCursors->end())
        return it->second;
    // A cursor without pixels is the system's own shape of that id.
    void* hNative = hCursor->pixels == nullptr
                        ? w32::StockCursor(hCursor->id)
                        : w32::CreateCursor(Decode(hCursor->pixels, hCursor->size), hCursor->xHotspot, hCursor->yHotspot);
    return (*s_pCursors)[hCursor] = hNative;
}
