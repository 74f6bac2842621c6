// The program's icons and cursors as the system's: the 16-colour resource
// images decoded to 32 bits (framework/Images.h) and made into native
// icons once each.
#include "framework/Images.h"
#include "framework/win32/Win32Bridge.h"

#include <map>

namespace {

w32::Image ToShim(const AFX_IMAGE32& image)
{
    w32::Image out;
    out.size = image.size;
    out.pixels = image.pixels;
    return out;
}

void* MakeIcon(const AFX_ICON_IMAGE& art)
{
    AFX_IMAGE32 image;
    AfxDecodeIcon(art, image);
    return image.size > 0 ? w32::CreateIcon(ToShim(image)) : nullptr;
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
        icon.hLarge = MakeIcon(hIcon->large);
        icon.hSmall = MakeIcon(hIcon->small);
        it = s_pIcons->emplace(hIcon, icon).first;
    }
    void* hNative = bSmall ? it->second.hSmall : it->second.hLarge;
    return hNative != nullptr ? hNative : (bSmall ? it->second.hLarge : it->second.hSmall);
}

void* EmptyTrayIcon()
{
    w32::Image empty;
    empty.size = 16;
    empty.pixels.assign(16 * 16, 0);
    static void* s_hIcon = w32::CreateIcon(empty);
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
    AFX_IMAGE32 image;
    void* hNative = AfxDecodeCursor(*hCursor, image)
                        ? w32::CreateCursor(ToShim(image), hCursor->xHotspot, hCursor->yHotspot)
                        : w32::StockCursor(hCursor->id);
    return (*s_pCursors)[hCursor] = hNative;
}
