// The cursor of the program: the pointing hand over a hyperlink. Black
// outline, white inside, the rest transparent; the index finger's tip is at
// columns 4 and 5 of the top row, the hotspot at the top-left corner.
#include "res/ResourceTables.h"
#include "res/resource.h"

namespace {

const char kHand32[] =
    "....00.........................."
    "...0FF0........................."
    "...0FF0........................."
    "...0FF0........................."
    "...0FF0........................."
    "...0FF000......................."
    "...0FF0FF000...................."
    "...0FF0FF0FF00.................."
    "...0FF0FF0FF0F0................."
    "00.0FF0FF0FF0FF0................"
    "0FF0FFFFFFFFFFF0................"
    "0FFFFFFFFFFFFFF0................"
    ".0FFFFFFFFFFFFF0................"
    "..0FFFFFFFFFFFF0................"
    "..0FFFFFFFFFFFF0................"
    "...0FFFFFFFFFF0................."
    "...0FFFFFFFFFF0................."
    "....0FFFFFFFF0.................."
    "....0FFFFFFFF0.................."
    "....0000000000.................."
    "................................"
    "................................"
    "................................"
    "................................"
    "................................"
    "................................"
    "................................"
    "................................"
    "................................"
    "................................"
    "................................"
    "................................";

constexpr AFX_CURSOR kCursors[] = {
    {IDC_HAND_CURSOR, 32, kHand32, 0, 0},
};

}  // namespace

std::span<const AFX_CURSOR> ProdletCursors() { return kCursors; }
