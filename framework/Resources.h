// Resource tables: dialog templates, menus, accelerators, strings and icons as
// constant data. The program supplies one AFX_RESOURCES table at start-up;
// every backend builds its windows, menus and images from it.
#pragma once

#include "AfxTypes.h"

#include <span>

// 16-colour icon image: `pixels` holds size*size characters, row by row, each a
// hexadecimal digit naming a colour of the standard 16-colour palette
// (0 black, 1 maroon, 2 green, 3 olive, 4 navy, 5 purple, 6 teal, 7 silver,
// 8 grey, 9 red, A lime, B yellow, C blue, D fuchsia, E aqua, F white) or '.'
// for a transparent pixel.
struct AFX_ICON_IMAGE {
    int size;
    const char* pixels;
};

struct AFX_ICON {
    UINT id;
    AFX_ICON_IMAGE large;  // 32 x 32
    AFX_ICON_IMAGE small;  // 16 x 16
};

// Monochrome cursor: `pixels` holds size*size characters, row by row: '0'
// black, 'F' white, '.' transparent. The hotspot is the pixel that points.
// A cursor without pixels is the desktop's own shape of that id.
struct AFX_CURSOR {
    UINT id;
    int size;
    const char* pixels;
    int xHotspot;
    int yHotspot;
};

enum class AfxControl {
    PushButton,
    DefPushButton,
    Edit,
    ComboDropDown,  // editable drop-down combo box, unsorted
    Static,
    GroupBox,
    CheckBox,       // two-state automatic check box
    ListBox,        // single selection, unsorted; drag reordering where the style asks
    IconStatic,     // shows the icon resource named by `iconId`
};

struct AFX_DLGITEM {
    AfxControl kind;
    int id;            // -1 for statics without an id
    const char* text;
    int x, y, cx, cy;  // dialog units
    DWORD style = 0;   // WS_DISABLED, ES_RIGHT, SS_CENTER, WS_VSCROLL, ...
    UINT iconId = 0;
};

struct AFX_DLGTEMPLATE {
    UINT id;
    const char* caption;  // empty for a child form
    int x, y, cx, cy;     // dialog units
    const char* fontName;
    int pointSize;
    BOOL bChild;          // a form that fills its parent, no caption
    std::span<const AFX_DLGITEM> items;
};

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_POPUP = 0x0010;

struct AFX_MENUITEM {
    UINT flags;          // MF_STRING, MF_SEPARATOR or MF_POPUP
    const char* text;    // with '&' before the mnemonic
    UINT id;             // command id; 0 for separators and popups
    std::span<const AFX_MENUITEM> popup;  // items of a popup
};

struct AFX_MENU {
    UINT id;
    std::span<const AFX_MENUITEM> items;
};

constexpr UINT FCONTROL = 0x08;
constexpr UINT FSHIFT = 0x04;
constexpr UINT FALT = 0x10;
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_F6 = 0x75;

struct AFX_ACCEL {
    UINT fVirt;  // FCONTROL, FSHIFT, FALT
    UINT key;    // 'N', VK_BACK, VK_F6, ...
    UINT cmd;
};

struct AFX_ACCELTABLE {
    UINT id;
    std::span<const AFX_ACCEL> entries;
};

struct AFX_STRING {
    UINT id;
    const char* text;
};

struct AFX_RESOURCES {
    std::span<const AFX_DLGTEMPLATE> dialogs;
    std::span<const AFX_MENU> menus;
    std::span<const AFX_ACCELTABLE> accelerators;
    std::span<const AFX_STRING> strings;
    std::span<const AFX_ICON> icons;
    std::span<const AFX_CURSOR> cursors = {};
};

void AfxSetResources(const AFX_RESOURCES* pResources);
const AFX_RESOURCES* AfxGetResources();

const AFX_DLGTEMPLATE* AfxFindDialog(UINT nId);
const AFX_MENU* AfxFindMenu(UINT nId);
const AFX_ACCELTABLE* AfxFindAccelerators(UINT nId);
HICON AfxLoadIcon(UINT nId);            // null if there is no such icon
BOOL AfxLoadString(UINT nId, CString& strOut);  // FALSE and empty if missing

// The system's own icons, for programs that ask for them by IDI_ id.
constexpr UINT IDI_APPLICATION = 32512;
constexpr UINT IDI_HAND = 32513;
constexpr UINT IDI_QUESTION = 32514;
constexpr UINT IDI_EXCLAMATION = 32515;
constexpr UINT IDI_ASTERISK = 32516;
HICON AfxLoadStockIcon(UINT nId);  // null if there is no such system icon

HCURSOR AfxLoadCursor(UINT nId);  // null if there is no such cursor
// The system's own cursors: the desktop draws them in its own shape.
constexpr UINT IDC_ARROW = 32512;
constexpr UINT IDC_WAIT = 32514;
HCURSOR AfxLoadStockCursor(UINT nId);  // null if there is no such system cursor
