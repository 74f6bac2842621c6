// The resource images of Resources.h as 32-bit pixels: one decoder for every
// backend and for the build's icon tool, beside the description of the art.
#pragma once

#include "framework/Resources.h"

#include <cstdint>
#include <vector>

// size x size pixels, row by row from the top, each 0xAARRGGBB (alpha 0xFF
// or, for a transparent pixel, 0), as Qt's ARGB32 and Windows' 32-bit DIBs
// (bottom-up there) hold them.
struct AFX_IMAGE32 {
    int size = 0;
    std::vector<std::uint32_t> pixels;
};

// An icon image in the 16-colour palette. A character outside the palette,
// and everything past the end of a text shorter than the image, is a
// transparent pixel rather than a read past the end. TRUE if the art was all
// there: size * size characters, each '.' or in the palette. An image
// without pixels or size decodes to none (size 0) and FALSE.
BOOL AfxDecodeIcon(const AFX_ICON_IMAGE& image, AFX_IMAGE32& out);

// A cursor's image: '0' black, 'F' white, anything else (and the rest of a
// short text) transparent; at least one pixel. FALSE for a cursor without
// pixels, the desktop's own shape.
BOOL AfxDecodeCursor(const AFX_CURSOR& cursor, AFX_IMAGE32& out);
