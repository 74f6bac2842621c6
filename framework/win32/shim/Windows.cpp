// Frames, forms and dialogs as real windows, the message loop with
// TranslateAccelerator and IsDialogMessage, the message-only window that
// carries wakes, timers and the sockets' messages, and the session's end.
#include "framework/win32/shim/ShimPrivate.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace w32 {
namespace {

constexpr UINT kWakeMsg = WM_APP + 1;
constexpr UINT kFirstHandlerMsg = WM_APP + 0x100;

Callbacks g_cb;
HINSTANCE g_hInstance = nullptr;
HWND g_hMessageWnd = nullptr;
std::string g_strFrameClass = "AfxFrame";
bool g_bFrameClassRegistered = false;
UINT g_nRestoreMsg = 0;
int (*g_fnRestore)() = nullptr;
HICON g_hAppIconLarge = nullptr, g_hAppIconSmall = nullptr;
int g_nCallDepth = 0;

struct Handler {
    void (*fn)(void*, std::uintptr_t, std::intptr_t);
    void* pContext;
};
std::vector<Handler> g_handlers;

const char kFormClass[] = "AfxForm";
const char kDialogClass[] = "AfxDialog";
const char kMessageClass[] = "AfxMessageWindow";

// Clicks of buttons (and Return and Esc, which the dialog manager turns into
// the default button's and Cancel's commands) go to the port.
void OnCommand(HWND hWnd, WPARAM wParam, LPARAM lParam)
{
    const WndData* pData = DataOf(hWnd);
    const HWND hCtl = reinterpret_cast<HWND>(lParam);
    const UINT nCode = HIWORD(wParam), nId = LOWORD(wParam);
    if (hCtl == nullptr) {
        if (pData != nullptr && pData->kind == Kind::Frame) {
            CallOut out;
            Cb().command(hWnd, nId);  // a menu item or a shortcut
        } else if (pData != nullptr && pData->kind == Kind::Dialog && nId == IDCANCEL) {
            CallOut out;
            Cb().close(hWnd);  // Esc in a dialog without a Cancel button
        }
        return;
    }
    if (nCode != BN_CLICKED || !::IsWindowEnabled(hCtl))
        return;
    char szClass[16] = {};
    ::GetClassNameA(hCtl, szClass, sizeof(szClass));
    if (lstrcmpiA(szClass, "Button") != 0)
        return;
    if ((::GetWindowLongA(hCtl, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX)
        return;
    CallOut out;
    Cb().command(hCtl, 0);
}

// The default push button of a form or dialog, the template's: Return
// presses it wherever the focus is (a button the user tabbed to takes Space).
LRESULT DefaultId(HWND hWnd)
{
    int nDefault = -1;
    for (HWND hChild = ::GetWindow(hWnd, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        const LONG lType = ::GetWindowLongA(hChild, GWL_STYLE) & BS_TYPEMASK;
        char szClass[16] = {};
        ::GetClassNameA(hChild, szClass, sizeof(szClass));
        if (lstrcmpiA(szClass, "Button") != 0)
            continue;
        if (lType == BS_DEFPUSHBUTTON && nDefault < 0)
            nDefault = ::GetDlgCtrlID(hChild);
    }
    return nDefault >= 0 ? MAKELRESULT(nDefault, DC_HASDEFID) : 0;
}

bool IsEdit(HWND hWnd)
{
    char szClass[16] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    return lstrcmpiA(szClass, "Edit") == 0;
}

// The dialog units come from this font's average character width, but the
// texts were laid out for the old dialog font, whose narrow letters let a
// line such as "Prodlet how often? (minutes)" fit its box; with today's
// substitute it would wrap into a box one line high and lose its end. A
// left-aligned static of one line therefore grows to the right, as far as
// its parent allows.
void FitStatic(HWND hStatic)
{
    const LONG lStyle = ::GetWindowLongA(hStatic, GWL_STYLE);
    if ((lStyle & SS_TYPEMASK) != SS_LEFT)
        return;
    HWND hParent = ::GetParent(hStatic);
    RECT rc{}, rcParent{};
    ::GetWindowRect(hStatic, &rc);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    ::GetClientRect(hParent, &rcParent);
    char szText[512] = {};
    const int nLength = ::GetWindowTextA(hStatic, szText, sizeof(szText));
    HDC hdc = ::GetDC(hStatic);
    HGDIOBJ hOld = ::SelectObject(hdc, reinterpret_cast<HFONT>(::SendMessageA(hStatic, WM_GETFONT, 0, 0)));
    TEXTMETRICA tm{};
    ::GetTextMetricsA(hdc, &tm);
    SIZE size{};
    ::GetTextExtentPoint32A(hdc, szText, nLength, &size);
    ::SelectObject(hdc, hOld);
    ::ReleaseDC(hStatic, hdc);
    if (rc.bottom - rc.top >= 2 * tm.tmHeight || size.cx + 2 <= rc.right - rc.left)
        return;
    const int nWidth = std::max<int>(rc.right - rc.left, std::min<int>(size.cx + 2, rcParent.right - rc.left));
    ::SetWindowPos(hStatic, nullptr, 0, 0, nWidth, rc.bottom - rc.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ReenableOwner(WndData& data)
{
    if (data.hModalOwner != nullptr) {
        ::EnableWindow(data.hModalOwner, TRUE);
        data.hModalOwner = nullptr;
    }
}

// Ends the program in order when the session ends, as Exit does, before
// Windows may end the process: the close goes to the port, and the loop
// runs until the frame is gone.
void EndSession(HWND hWnd)
{
    {
        CallOut out;
        Cb().close(hWnd);
    }
    const DWORD dwStart = ::GetTickCount();
    MSG msg;
    while (::IsWindow(hWnd) && ::GetTickCount() - dwStart < 10000) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                break;
            if (!PreTranslate(msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
    }
}

LRESULT CALLBACK ContainerProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (HandleControlMessage(hWnd, nMsg, wParam, lParam, lResult))
        return lResult;
    WndData* pData = DataOf(hWnd);
    if (g_nRestoreMsg != 0 && nMsg == g_nRestoreMsg) {
        if (g_fnRestore == nullptr)
            return 0;
        CallOut out;
        return g_fnRestore();
    }
    switch (nMsg) {
    case WM_COMMAND:
        OnCommand(hWnd, wParam, lParam);
        return 0;
    case DM_GETDEFID:
        return DefaultId(hWnd);
    case WM_CLOSE: {
        CallOut out;
        Cb().close(hWnd);
        return 0;
    }
    case WM_SIZE:
        if (pData != nullptr && pData->hForm != nullptr)
            ::MoveWindow(pData->hForm, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        break;
    case WM_GETMINMAXINFO:
        if (pData != nullptr && (pData->bFixed || pData->bLimited)) {
            auto* pInfo = reinterpret_cast<MINMAXINFO*>(lParam);
            pInfo->ptMinTrackSize = {pData->sizeMin.cx, pData->sizeMin.cy};
            pInfo->ptMaxTrackSize = {pData->sizeMax.cx, pData->sizeMax.cy};
            return 0;
        }
        break;
    case WM_ACTIVATE:
        // As the dialog manager does: the keyboard comes back where it was.
        if (pData != nullptr) {
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND hFocus = ::GetFocus();
                if (hFocus != nullptr && ::IsChild(hWnd, hFocus))
                    pData->hLastFocus = hFocus;
            } else if (pData->hLastFocus != nullptr && ::IsWindow(pData->hLastFocus) &&
                       ::IsChild(hWnd, pData->hLastFocus)) {
                ::SetFocus(pData->hLastFocus);
                return 0;
            }
        }
        break;
    case WM_SETCURSOR:
        if (WaitShown()) {
            ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
            return TRUE;
        }
        if (HCURSOR hCursor = CursorOverride()) {
            ::SetCursor(hCursor);
            return TRUE;
        }
        break;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam && pData != nullptr && pData->kind == Kind::Frame)
            EndSession(hWnd);
        return 0;
    case WM_SHOWWINDOW:
        if (!wParam && pData != nullptr)
            ReenableOwner(*pData);
        break;
    case WM_DESTROY:
        if (pData != nullptr)
            ReenableOwner(*pData);
        break;
    case WM_NCDESTROY:
        Windows().erase(hWnd);
        break;
    default:
        break;
    }
    return ::DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

LRESULT CALLBACK MessageProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == kWakeMsg) {
        CallOut out;
        Cb().wake();
        return 0;
    }
    if (nMsg == WM_TIMER) {
        CallOut out;
        Cb().timer(static_cast<std::uintptr_t>(wParam));
        return 0;
    }
    if (nMsg >= kFirstHandlerMsg && nMsg < kFirstHandlerMsg + g_handlers.size()) {
        const Handler handler = g_handlers[nMsg - kFirstHandlerMsg];
        CallOut out;
        handler.fn(handler.pContext, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam));
        return 0;
    }
    return ::DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

void RegisterWindowClass(const char* pszName, WNDPROC proc, UINT nStyle)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = nStyle;
    wc.lpfnWndProc = proc;
    wc.hInstance = g_hInstance;
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = g_hAppIconLarge;
    wc.hIconSm = g_hAppIconSmall;
    wc.lpszClassName = pszName;
    ::RegisterClassExA(&wc);
}

void EnsureFrameClass()
{
    if (g_bFrameClassRegistered)
        return;
    g_bFrameClassRegistered = true;
    RegisterWindowClass(g_strFrameClass.c_str(), ContainerProc, CS_DBLCLKS);
    g_nRestoreMsg = ::RegisterWindowMessageA((g_strFrameClass + ".Restore").c_str());
}

HMENU BuildMenu(const std::vector<MenuItem>& items, bool bPopup)
{
    HMENU hMenu = bPopup ? ::CreatePopupMenu() : ::CreateMenu();
    for (const MenuItem& item : items) {
        switch (item.kind) {
        case MenuItem::kSeparator:
            ::AppendMenuA(hMenu, MF_SEPARATOR, 0, nullptr);
            break;
        case MenuItem::kPopup:
            ::AppendMenuA(hMenu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(BuildMenu(item.popup, true)),
                          item.text.c_str());
            break;
        case MenuItem::kString:
            ::AppendMenuA(hMenu, MF_STRING, item.nId, item.text.c_str());
            break;
        }
    }
    return hMenu;
}

std::map<std::pair<std::string, int>, HFONT>& Fonts()
{
    static auto* s_pFonts = new std::map<std::pair<std::string, int>, HFONT>;
    return *s_pFonts;
}

HFONT FontOf(const Font& font)
{
    const auto key = std::make_pair(font.strFace, font.nPointSize);
    auto it = Fonts().find(key);
    if (it != Fonts().end())
        return it->second;
    HDC hdc = ::GetDC(nullptr);
    const int nHeight = -::MulDiv(font.nPointSize > 0 ? font.nPointSize : 8, ::GetDeviceCaps(hdc, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, hdc);
    HFONT hFont = ::CreateFontA(nHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                                font.strFace.empty() ? "MS Shell Dlg" : font.strFace.c_str());
    if (hFont == nullptr)
        hFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    return Fonts()[key] = hFont;
}

// Outer size of a window whose inside is cx by cy.
SIZE OuterSize(DWORD dwStyle, DWORD dwExStyle, bool bMenu, int cx, int cy)
{
    RECT rc{0, 0, cx, cy};
    ::AdjustWindowRectEx(&rc, dwStyle, bMenu ? TRUE : FALSE, dwExStyle);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

}  // namespace

CallOut::CallOut() { ++g_nCallDepth; }
CallOut::~CallOut() { --g_nCallDepth; }

std::map<HWND, WndData>& Windows()
{
    static auto* s_pWindows = new std::map<HWND, WndData>;
    return *s_pWindows;
}

WndData* DataOf(HWND hWnd)
{
    auto it = Windows().find(hWnd);
    return it != Windows().end() ? &it->second : nullptr;
}

const Callbacks& Cb() { return g_cb; }

bool PreTranslate(MSG& msg)
{
    if (msg.hwnd == nullptr)
        return false;
    HWND hRoot = ::GetAncestor(msg.hwnd, GA_ROOT);
    WndData* pData = hRoot != nullptr ? DataOf(hRoot) : nullptr;
    if (pData == nullptr)
        return false;
    if (pData->kind == Kind::Frame && pData->hAccel != nullptr && ::TranslateAcceleratorA(hRoot, pData->hAccel, &msg))
        return true;
    HWND hDialog = pData->kind == Kind::Frame ? pData->hForm : hRoot;
    if (hDialog == nullptr)
        return false;
    if (msg.hwnd != hDialog && !::IsChild(hDialog, msg.hwnd))
        return false;
    return ::IsDialogMessageA(hDialog, &msg) != FALSE;
}

void Init(const Callbacks& callbacks)
{
    g_cb = callbacks;
    if (g_hMessageWnd != nullptr)
        return;
    g_hInstance = ::GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    RegisterWindowClass(kFormClass, ContainerProc, 0);
    RegisterWindowClass(kDialogClass, ContainerProc, CS_DBLCLKS);
    RegisterWindowClass(kMessageClass, MessageProc, 0);
    g_hMessageWnd = ::CreateWindowExA(0, kMessageClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, g_hInstance, nullptr);
    TrayHost();
}

void SetFrameClassName(const std::string& strName)
{
    if (!g_bFrameClassRegistered && !strName.empty())
        g_strFrameClass = strName;
}

void SetAppIcon(void* hIconLarge, void* hIconSmall)
{
    g_hAppIconLarge = static_cast<HICON>(hIconLarge);
    g_hAppIconSmall = static_cast<HICON>(hIconSmall);
}

void SetRestoreHandler(int (*fn)()) { g_fnRestore = fn; }

void PostWake() { ::PostMessageA(g_hMessageWnd, kWakeMsg, 0, 0); }

void RunLoop(const volatile int* pbExited)
{
    MSG msg;
    while (!*pbExited) {
        const BOOL bGot = ::GetMessageA(&msg, nullptr, 0, 0);
        if (bGot == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop below us
            return;
        }
        if (bGot < 0)
            return;
        if (!PreTranslate(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void WakeLoop() { ::PostMessageA(g_hMessageWnd, WM_NULL, 0, 0); }

void ProcessEvents()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!PreTranslate(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void WaitForEvents(int nMs)
{
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::max(0, nMs)), QS_ALLINPUT);
    ProcessEvents();
}

bool SetTimer(std::uintptr_t nId, unsigned nElapseMs)
{
    return ::SetTimer(g_hMessageWnd, nId, std::max(1u, nElapseMs), nullptr) != 0;
}

void KillTimer(std::uintptr_t nId) { ::KillTimer(g_hMessageWnd, nId); }

Wnd MessageWindow() { return g_hMessageWnd; }

unsigned RegisterHandler(void (*fn)(void*, std::uintptr_t, std::intptr_t), void* pContext)
{
    g_handlers.push_back(Handler{fn, pContext});
    return kFirstHandlerMsg + static_cast<unsigned>(g_handlers.size() - 1);
}

Wnd CreateFrame(const std::string& strTitle, std::uint32_t dwStyle, const std::vector<MenuItem>& menu,
                const std::vector<Accel>& accels)
{
    EnsureFrameClass();
    HMENU hMenu = menu.empty() ? nullptr : BuildMenu(menu, false);
    HWND hWnd = ::CreateWindowExA(0, g_strFrameClass.c_str(), strTitle.c_str(), dwStyle & ~WS_VISIBLE, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 300, 200, nullptr, hMenu, g_hInstance, nullptr);
    if (hWnd == nullptr)
        return nullptr;
    WndData& data = Windows()[hWnd];
    data.kind = Kind::Frame;
    if (!accels.empty()) {
        std::vector<ACCEL> table;
        for (const Accel& accel : accels)
            table.push_back(ACCEL{static_cast<BYTE>(FVIRTKEY | (accel.fVirt & (FCONTROL | FSHIFT | FALT))),
                                  static_cast<WORD>(accel.key), static_cast<WORD>(accel.cmd)});
        data.hAccel = ::CreateAcceleratorTableA(table.data(), static_cast<int>(table.size()));
    }
    return hWnd;
}

Wnd CreateForm(Wnd parent, const Font& font, int cx, int cy)
{
    HWND hParent = H(parent);
    const DWORD dwStyle = hParent ? (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS) : WS_POPUP;
    int nWidth = cx, nHeight = cy;
    if (hParent != nullptr) {
        RECT rc{};
        ::GetClientRect(hParent, &rc);
        nWidth = rc.right - rc.left;
        nHeight = rc.bottom - rc.top;
    }
    HWND hWnd = ::CreateWindowExA(WS_EX_CONTROLPARENT, kFormClass, "", dwStyle, 0, 0, nWidth, nHeight, hParent,
                                  nullptr, g_hInstance, nullptr);
    if (hWnd == nullptr)
        return nullptr;
    WndData& data = Windows()[hWnd];
    data.kind = Kind::Form;
    data.hFont = FontOf(font);
    if (WndData* pParent = hParent ? DataOf(hParent) : nullptr)
        pParent->hForm = hWnd;
    return hWnd;
}

Wnd CreateDialogWindow(Wnd owner, const std::string& strCaption, const Font& font, int cx, int cy)
{
    HWND hOwner = owner ? ::GetAncestor(H(owner), GA_ROOT) : nullptr;
    const DWORD dwStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPSIBLINGS;
    const DWORD dwExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    const SIZE size = OuterSize(dwStyle, dwExStyle, false, cx, cy);
    HWND hWnd = ::CreateWindowExA(dwExStyle, kDialogClass, strCaption.c_str(), dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  size.cx, size.cy, hOwner, nullptr, g_hInstance, nullptr);
    if (hWnd == nullptr)
        return nullptr;
    WndData& data = Windows()[hWnd];
    data.kind = Kind::Dialog;
    data.hFont = FontOf(font);
    data.bFixed = true;
    data.sizeMin = data.sizeMax = size;
    // A dialog without an icon of its own: no icon in its caption.
    ::SendMessageA(hWnd, WM_SETICON, ICON_SMALL, 0);
    return hWnd;
}

void DialogBaseUnits(const Font& font, int& cx, int& cy)
{
    HDC hdc = ::GetDC(nullptr);
    HGDIOBJ hOld = ::SelectObject(hdc, FontOf(font));
    TEXTMETRICA tm{};
    ::GetTextMetricsA(hdc, &tm);
    SIZE size{};
    ::GetTextExtentPoint32A(hdc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &size);
    ::SelectObject(hdc, hOld);
    ::ReleaseDC(nullptr, hdc);
    cx = std::max<int>(1, (size.cx / 26 + 1) / 2);
    cy = std::max<int>(1, tm.tmHeight);
}

void DestroyWindow(Wnd wnd)
{
    HWND hWnd = H(wnd);
    if (!::IsWindow(hWnd))
        return;
    if (WndData* pData = DataOf(hWnd))
        ReenableOwner(*pData);
    ::DestroyWindow(hWnd);
}

void SetText(Wnd wnd, const std::string& str)
{
    HWND hWnd = H(wnd);
    ::SetWindowTextA(hWnd, str.c_str());
    char szClass[16] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    // Measuring costs most of a new text; a hidden window's countdown
    // changes every second, so it waits for the window to be shown.
    if (lstrcmpiA(szClass, "Static") == 0 && ::IsWindowVisible(hWnd))
        FitStatic(hWnd);
    // Typing goes on at the end of a text the program put there.
    const LPARAM nEnd = static_cast<LPARAM>(str.size());
    if (HWND hEdit = ComboEdit(hWnd))
        ::SendMessageA(hEdit, EM_SETSEL, nEnd, nEnd);
    else if (IsEdit(hWnd))
        ::SendMessageA(hWnd, EM_SETSEL, nEnd, nEnd);
}

std::string GetText(Wnd wnd)
{
    const int nLength = ::GetWindowTextLengthA(H(wnd));
    std::string str(static_cast<std::size_t>(std::max(0, nLength)) + 1, '\0');
    const int nGot = ::GetWindowTextA(H(wnd), str.data(), nLength + 1);
    str.resize(static_cast<std::size_t>(std::max(0, nGot)));
    return str;
}

void EnableWindow(Wnd wnd, bool bEnable) { ::EnableWindow(H(wnd), bEnable ? TRUE : FALSE); }

bool IsWindowEnabled(Wnd wnd) { return (::GetWindowLongA(H(wnd), GWL_STYLE) & WS_DISABLED) == 0; }

void ShowWindow(Wnd wnd, int nCmdShow)
{
    HWND hWnd = H(wnd);
    if (nCmdShow == SW_HIDE) {
        if (WndData* pData = DataOf(hWnd))
            ReenableOwner(*pData);
        ::ShowWindow(hWnd, SW_HIDE);
        return;
    }
    if (::GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD) {
        ::ShowWindow(hWnd, SW_SHOW);
        return;
    }
    if (nCmdShow == SW_MINIMIZE) {
        ::ShowWindow(hWnd, SW_MINIMIZE);
        return;
    }
    ::ShowWindow(hWnd, ::IsIconic(hWnd) ? SW_RESTORE : (nCmdShow == SW_SHOWNORMAL ? SW_SHOWNORMAL : SW_SHOW));
}

bool IsHidden(Wnd wnd) { return (::GetWindowLongA(H(wnd), GWL_STYLE) & WS_VISIBLE) == 0; }

bool IsVisible(Wnd wnd) { return ::IsWindowVisible(H(wnd)) != FALSE; }

bool IsMinimized(Wnd wnd) { return ::IsIconic(::GetAncestor(H(wnd), GA_ROOT)) != FALSE; }

Rect GetWindowRect(Wnd wnd)
{
    RECT rc{};
    ::GetWindowRect(H(wnd), &rc);
    return Rect{rc.left, rc.top, rc.right, rc.bottom};
}

void MoveWindow(Wnd wnd, const Rect& rect)
{
    HWND hWnd = H(wnd);
    const WndData* pData = DataOf(hWnd);
    if (pData != nullptr && pData->bFixed && pData->kind != Kind::Form) {
        ::SetWindowPos(hWnd, nullptr, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    ::MoveWindow(hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

void PlaceWindow(Wnd wnd, const Rect& rect, bool bFixed, bool bLimited, int cxMin, int cyMin, int cxMax, int cyMax)
{
    HWND hWnd = H(wnd);
    if (WndData* pData = DataOf(hWnd)) {
        pData->bFixed = bFixed;
        pData->bLimited = bLimited;
        if (bFixed) {
            pData->sizeMin = pData->sizeMax = SIZE{rect.right - rect.left, rect.bottom - rect.top};
        } else if (bLimited) {
            pData->sizeMin = SIZE{cxMin, cyMin};
            pData->sizeMax = SIZE{cxMax, cyMax};
        }
    }
    ::SetWindowPos(hWnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetForegroundWindow(Wnd wnd)
{
    HWND hRoot = ::GetAncestor(H(wnd), GA_ROOT);
    if (hRoot == nullptr || !::IsWindowVisible(hRoot))
        return;
    // An owned modal dialog stays in front of its owner and takes the input.
    HWND hTarget = ::GetLastActivePopup(hRoot);
    if (hTarget == nullptr || !::IsWindowVisible(hTarget))
        hTarget = hRoot;
    ::SetForegroundWindow(hTarget);
    ::SetActiveWindow(hTarget);
}

Wnd GetForegroundWindow()
{
    HWND hWnd = ::GetActiveWindow();
    if (hWnd == nullptr)
        hWnd = ::GetForegroundWindow();
    return hWnd != nullptr && DataOf(hWnd) != nullptr ? hWnd : nullptr;
}

void SetIcon(Wnd wnd, void* hIconLarge, void* hIconSmall)
{
    ::SendMessageA(H(wnd), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIconLarge));
    ::SendMessageA(H(wnd), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIconSmall));
}

void ShowModal(Wnd wnd)
{
    HWND hWnd = H(wnd);
    WndData* pData = DataOf(hWnd);
    HWND hOwner = ::GetWindow(hWnd, GW_OWNER);
    // Modal to its owner only: the tray icon (a window of its own) keeps answering.
    if (pData != nullptr && hOwner != nullptr && ::IsWindowEnabled(hOwner)) {
        pData->hModalOwner = hOwner;
        ::EnableWindow(hOwner, FALSE);
    }
    ::ShowWindow(hWnd, SW_SHOW);
    ::SetForegroundWindow(hWnd);
    HWND hFirst = ::GetNextDlgTabItem(hWnd, nullptr, FALSE);
    if (hFirst != nullptr && (pData == nullptr || pData->hLastFocus == nullptr))
        ::SetFocus(hFirst);
}

bool HasFocus(Wnd wnd)
{
    HWND hWnd = H(wnd);
    HWND hFocus = ::GetFocus();
    if (hFocus == nullptr) {
        // Our windows are not active: where the keyboard goes when they are.
        if (const WndData* pRoot = DataOf(::GetAncestor(hWnd, GA_ROOT)))
            hFocus = pRoot->hLastFocus;
    }
    // A combo box's focus sits in its edit field.
    return hFocus != nullptr && (hFocus == hWnd || (::GetParent(hFocus) == hWnd && ComboEdit(hWnd) == hFocus));
}

void SetFocus(Wnd wnd)
{
    HWND hWnd = H(wnd);
    if (WndData* pRoot = DataOf(::GetAncestor(hWnd, GA_ROOT)))
        pRoot->hLastFocus = hWnd;
    ::SetFocus(hWnd);
}

Rect GetClientRect(Wnd wnd)
{
    RECT rc{};
    ::GetClientRect(H(wnd), &rc);
    POINT pt{0, 0};
    ::ClientToScreen(H(wnd), &pt);
    return Rect{pt.x, pt.y, pt.x + rc.right, pt.y + rc.bottom};
}

void GetFont(Wnd wnd, unsigned char (&logfont)[60])
{
    static_assert(sizeof(LOGFONTA) == 60, "the framework's LOGFONT is Windows' own");
    HFONT hFont = reinterpret_cast<HFONT>(::SendMessageA(H(wnd), WM_GETFONT, 0, 0));
    if (hFont == nullptr)
        hFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA lf{};
    ::GetObjectA(hFont, sizeof(lf), &lf);
    std::memcpy(logfont, &lf, sizeof(lf));
}

void Invalidate(Wnd wnd) { ::InvalidateRect(H(wnd), nullptr, TRUE); }

void SetStaticNotify(Wnd wnd, bool bNotify)
{
    const LONG lStyle = ::GetWindowLongA(H(wnd), GWL_STYLE);
    ::SetWindowLongA(H(wnd), GWL_STYLE, bNotify ? (lStyle | SS_NOTIFY) : (lStyle & ~SS_NOTIFY));
}

void SetCapture(Wnd wnd)
{
    if (wnd != nullptr)
        ::SetCapture(H(wnd));
    else
        ::ReleaseCapture();
}

Wnd CreateControl(Wnd parent, Control kind, int nId, const std::string& strText, const Rect& rect,
                  std::uint32_t dwItemStyle, void* hIcon)
{
    HWND hParent = H(parent);
    const char* pszClass = "STATIC";
    DWORD dwStyle = WS_CHILD | WS_VISIBLE;
    DWORD dwExStyle = 0;
    int nHeight = rect.bottom - rect.top;
    switch (kind) {
    case Control::PushButton:
        pszClass = "BUTTON";
        dwStyle |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
    case Control::DefPushButton:
        pszClass = "BUTTON";
        dwStyle |= BS_DEFPUSHBUTTON | WS_TABSTOP;
        break;
    case Control::CheckBox:
        pszClass = "BUTTON";
        dwStyle |= BS_AUTOCHECKBOX | WS_TABSTOP;
        break;
    case Control::GroupBox:
        pszClass = "BUTTON";
        dwStyle |= BS_GROUPBOX;
        break;
    case Control::Edit:
        pszClass = "EDIT";
        dwStyle |= WS_TABSTOP | ES_AUTOHSCROLL | (dwItemStyle & ES_RIGHT);
        dwExStyle |= WS_EX_CLIENTEDGE;
        break;
    case Control::Combo:
        // The template's height is that of the dropped-down list.
        pszClass = "COMBOBOX";
        dwStyle |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
        break;
    case Control::ListBox:
        pszClass = "LISTBOX";
        dwStyle |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | (dwItemStyle & WS_HSCROLL);
        dwExStyle |= WS_EX_CLIENTEDGE;
        break;
    case Control::Static:
        dwStyle |= (dwItemStyle & (SS_CENTER | SS_RIGHT | SS_NOTIFY));
        break;
    case Control::IconStatic:
        dwStyle |= SS_ICON | (dwItemStyle & SS_NOTIFY);
        break;
    }
    if (dwItemStyle & WS_DISABLED)
        dwStyle |= WS_DISABLED;
    const UINT_PTR nMenuId = static_cast<UINT_PTR>(static_cast<WORD>(nId));
    HWND hWnd = ::CreateWindowExA(dwExStyle, pszClass, kind == Control::IconStatic ? "" : strText.c_str(), dwStyle,
                                  rect.left, rect.top, rect.right - rect.left, nHeight, hParent,
                                  reinterpret_cast<HMENU>(nMenuId), g_hInstance, nullptr);
    if (hWnd == nullptr)
        return nullptr;
    if (const WndData* pParent = DataOf(hParent); pParent != nullptr && pParent->hFont != nullptr)
        ::SendMessageA(hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(pParent->hFont), FALSE);
    if (kind == Control::IconStatic && hIcon != nullptr)
        ::SendMessageA(hWnd, STM_SETICON, reinterpret_cast<WPARAM>(hIcon), 0);
    if (kind == Control::Static)
        FitStatic(hWnd);
    if (kind == Control::Static || kind == Control::IconStatic)
        SubclassStatic(hWnd);
    return hWnd;
}

}  // namespace w32
