// Basic types, constants and helpers of our application framework.
// The vocabulary is the one the program was written in: BOOL flags, UINT ids,
// WPARAM/LPARAM message parameters, screen rectangles in pixels.
#pragma once

#include <cstdint>
#include <string>

using BOOL = int;
constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

using CString = std::string;

// A window handle: names one window for its whole life and is never reused,
// so a handle kept past its window's end names no window at all. Only the
// framework interprets it; CWnd::FromHandle turns it back into a window.
class CWnd;
struct HWND__;
using HWND = HWND__*;

struct AFX_ICON;
using HICON = const AFX_ICON*;

struct AFX_CURSOR;
using HCURSOR = const AFX_CURSOR*;

struct CPoint {
    int x = 0;
    int y = 0;
};

struct CSize {
    int cx = 0;
    int cy = 0;
};

struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct MINMAXINFO {
    CPoint ptReserved;
    CPoint ptMaxSize;
    CPoint ptMaxPosition;
    CPoint ptMinTrackSize;
    CPoint ptMaxTrackSize;
};

constexpr WORD LOWORD(LPARAM l) { return static_cast<WORD>(static_cast<std::uintptr_t>(l) & 0xFFFF); }
constexpr WORD HIWORD(LPARAM l) { return static_cast<WORD>((static_cast<std::uintptr_t>(l) >> 16) & 0xFFFF); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi)
{
    return static_cast<LPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}

// Window messages.
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_APP = 0x8000;
constexpr UINT WM_CTLCOLOR = 0x0019;  // the colour request, as its reflection names it
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
// A notification a control's parent hands back to the control itself
// (reflection) arrives as WM_REFLECT_BASE + the message.
constexpr UINT WM_REFLECT_BASE = 0xBC00;

// Key and button flags of mouse messages.
constexpr UINT MK_LBUTTON = 0x0001;
constexpr UINT MK_RBUTTON = 0x0002;

// Notifications of static controls (the high word of WM_COMMAND's wParam).
constexpr WORD STN_CLICKED = 0;

// Show states.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;

// Message box types and results.
constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_ICONSTOP = 0x0010;
constexpr UINT MB_ICONEXCLAMATION = 0x0030;
constexpr UINT MB_ICONINFORMATION = 0x0040;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Window styles (only what the program's templates and frame use).
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_CAPTION = 0x00C00000;  // includes WS_BORDER
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD ES_RIGHT = 0x0002;
constexpr DWORD SS_LEFT = 0x0000;
constexpr DWORD SS_CENTER = 0x0001;
constexpr DWORD SS_RIGHT = 0x0002;
// The static's type is its style's low bits; everything above SS_RIGHT draws
// no text: icons, rectangles and frames.
constexpr DWORD SS_TYPEMASK = 0x001F;
constexpr DWORD SS_ICON = 0x0003;
constexpr DWORD SS_BLACKRECT = 0x0004;
constexpr DWORD SS_BLACKFRAME = 0x0007;
constexpr DWORD SS_GRAYFRAME = 0x0008;
constexpr DWORD SS_ETCHEDFRAME = 0x0012;
constexpr DWORD SS_NOTIFY = 0x0100;  // the static reports clicks and takes the mouse

// Indexes of GetWindowLong and SetWindowLong.
constexpr int GWL_STYLE = -16;

// Compiler-specific attributes, in one place.
#if defined(__GNUC__) || defined(__clang__)
#define AFX_PRINTF(nFormat, nFirstArg) __attribute__((format(printf, nFormat, nFirstArg)))
#else
#define AFX_PRINTF(nFormat, nFirstArg)
#endif

// printf-style formatting into a CString. The format is always a literal of
// ours; texts from the user or the network go in as arguments only.
CString AfxFormat(const char* pszFormat, ...) AFX_PRINTF(1, 2);
