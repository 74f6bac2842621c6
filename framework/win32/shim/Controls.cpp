// The system's controls: list and combo box entries, check boxes, the drag
// list box (MakeDragList and its DL_ notifications), statics that report the
// mouse and ask for their look, and acting on controls as a user would.
#include "framework/win32/shim/ShimPrivate.h"

#include <commctrl.h>

#include <cstring>

namespace w32 {
namespace {

int g_nDragFrom = -1;

bool IsClass(HWND hWnd, const char* pszClass)
{
    char szClass[32] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    return lstrcmpiA(szClass, pszClass) == 0;
}

bool IsCombo(HWND hWnd) { return IsClass(hWnd, "ComboBox"); }

// Where the keyboard goes in a control: a combo box's edit field.
HWND KeyTarget(HWND hWnd)
{
    HWND hEdit = ComboEdit(hWnd);
    return hEdit != nullptr ? hEdit : hWnd;
}

HBRUSH BrushOf(COLORREF cr)
{
    static auto* s_pBrushes = new std::map<COLORREF, HBRUSH>;
    auto it = s_pBrushes->find(cr);
    if (it != s_pBrushes->end())
        return it->second;
    return (*s_pBrushes)[cr] = ::CreateSolidBrush(cr);
}

HFONT FontOfLook(const unsigned char (&font)[60])
{
    static auto* s_pFonts = new std::map<std::string, HFONT>;
    const std::string strKey(reinterpret_cast<const char*>(font), sizeof(font));
    auto it = s_pFonts->find(strKey);
    if (it != s_pFonts->end())
        return it->second;
    LOGFONTA lf{};
    std::memcpy(&lf, font, sizeof(lf));
    return (*s_pFonts)[strKey] = ::CreateFontIndirectA(&lf);
}

// The drop position under the pointer: before the entry there, or after
// the last one below them all.
int DropIndex(HWND hList, POINT ptScreen)
{
    const int nItem = ::LBItemFromPt(hList, ptScreen, TRUE);
    if (nItem >= 0)
        return nItem;
    POINT pt = ptScreen;
    ::ScreenToClient(hList, &pt);
    RECT rc{};
    ::GetClientRect(hList, &rc);
    const int nCount = static_cast<int>(::SendMessageA(hList, LB_GETCOUNT, 0, 0));
    if (pt.x >= rc.left && pt.x < rc.right && pt.y >= 0 && nCount > 0)
        return nCount;
    return -1;
}

LRESULT CALLBACK StaticProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    const bool bNotify = (::GetWindowLongA(hWnd, GWL_STYLE) & SS_NOTIFY) != 0;
    const bool bCaptured = ::GetCapture() == hWnd;
    switch (nMsg) {
    case WM_NCHITTEST:
        // Without SS_NOTIFY the mouse passes through to what lies below.
        if (!bNotify)
            return HTTRANSPARENT;
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
        if (bNotify || bCaptured) {
            POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ::ClientToScreen(hWnd, &pt);
            CallOut out;
            if (nMsg == WM_MOUSEMOVE)
                Cb().mouseMove(hWnd, pt.x, pt.y);
            else
                Cb().mouseDown(hWnd, pt.x, pt.y);
            return 0;
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
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hWnd, StaticProc, 1);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hWnd, nMsg, wParam, lParam);
}

bool EnabledForUser(HWND hWnd)
{
    for (HWND h = hWnd; h != nullptr; h = ::GetParent(h)) {
        if (!::IsWindowEnabled(h))
            return false;
        if ((::GetWindowLongA(h, GWL_STYLE) & WS_CHILD) == 0)
            break;
    }
    return true;
}

void SendKey(HWND hTarget, UINT nMsg, unsigned nVirtKey)
{
    const UINT nScan = ::MapVirtualKeyA(nVirtKey, MAPVK_VK_TO_VSC);
    LPARAM lParam = 1 | (static_cast<LPARAM>(nScan) << 16);
    if (nMsg == WM_KEYUP)
        lParam |= (1L << 30) | (1L << 31);
    MSG msg{};
    msg.hwnd = hTarget;
    msg.message = nMsg;
    msg.wParam = nVirtKey;
    msg.lParam = lParam;
    msg.time = ::GetTickCount();
    // The dialog manager translates what it does not take itself.
    if (!PreTranslate(msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    // The character the key made (Backspace's), at once.
    MSG ch;
    while (::IsWindow(hTarget) && ::PeekMessageA(&ch, hTarget, WM_CHAR, WM_CHAR, PM_REMOVE)) {
        if (!PreTranslate(ch))
            ::DispatchMessageA(&ch);
    }
}

}  // namespace

HWND ComboEdit(HWND hWnd)
{
    if (!IsCombo(hWnd))
        return nullptr;
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    return ::GetComboBoxInfo(hWnd, &info) ? info.hwndItem : nullptr;
}

void SubclassStatic(HWND hStatic) { ::SetWindowSubclass(hStatic, StaticProc, 1, 0); }

bool HandleControlMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    static const UINT s_nDragListMsg = ::RegisterWindowMessageA(DRAGLISTMSGSTRING);
    if (nMsg == s_nDragListMsg) {
        const auto* pInfo = reinterpret_cast<const DRAGLISTINFO*>(lParam);
        switch (pInfo->uNotification) {
        case DL_BEGINDRAG:
            g_nDragFrom = ::LBItemFromPt(pInfo->hWnd, pInfo->ptCursor, FALSE);
            lResult = g_nDragFrom >= 0 ? TRUE : FALSE;
            return true;
        case DL_DRAGGING: {
            const int nDrop = DropIndex(pInfo->hWnd, pInfo->ptCursor);
            ::DrawInsert(hWnd, pInfo->hWnd, nDrop);
            lResult = nDrop >= 0 ? DL_MOVECURSOR : DL_STOPCURSOR;
            return true;
        }
        case DL_DROPPED: {
            const int nDrop = DropIndex(pInfo->hWnd, pInfo->ptCursor);
            ::DrawInsert(hWnd, pInfo->hWnd, -1);
            if (g_nDragFrom >= 0 && nDrop >= 0 && nDrop != g_nDragFrom && nDrop != g_nDragFrom + 1)
                MoveListEntry(pInfo->hWnd, g_nDragFrom, nDrop > g_nDragFrom ? nDrop - 1 : nDrop);
            g_nDragFrom = -1;
            lResult = 0;
            return true;
        }
        case DL_CANCELDRAG:
            ::DrawInsert(hWnd, pInfo->hWnd, -1);
            g_nDragFrom = -1;
            lResult = 0;
            return true;
        default:
            return false;
        }
    }
    if (nMsg == WM_CTLCOLORSTATIC && Cb().staticLook != nullptr) {
        HWND hCtl = reinterpret_cast<HWND>(lParam);
        HDC hdc = reinterpret_cast<HDC>(wParam);
        StaticLook look;
        bool bOwn = false;
        {
            CallOut out;
            bOwn = Cb().staticLook(hCtl, look);
        }
        if (!bOwn)
            return false;
        // A disabled static is grey whatever colour was asked for.
        if (look.bTextColor && ::IsWindowEnabled(hCtl))
            ::SetTextColor(hdc, look.crText);
        if (look.bFont)
            ::SelectObject(hdc, FontOfLook(look.font));
        const COLORREF crFace = ::GetSysColor(COLOR_BTNFACE);
        if (look.bTransparent) {
            ::SetBkMode(hdc, TRANSPARENT);
            lResult = reinterpret_cast<LRESULT>(BrushOf(crFace));
        } else {
            const COLORREF crBack = look.bBkColor ? look.crBack : crFace;
            ::SetBkColor(hdc, crBack);
            lResult = reinterpret_cast<LRESULT>(BrushOf(look.bBkColor ? crFace : crBack));
        }
        return true;
    }
    return false;
}

int GetCheck(Wnd wnd) { return ::SendMessageA(H(wnd), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0; }

void SetCheck(Wnd wnd, int nCheck)
{
    ::SendMessageA(H(wnd), BM_SETCHECK, nCheck ? BST_CHECKED : BST_UNCHECKED, 0);
}

void ListReset(Wnd wnd)
{
    if (IsCombo(H(wnd))) {
        ::SendMessageA(H(wnd), CB_RESETCONTENT, 0, 0);
        ::SetWindowTextA(H(wnd), "");
    } else {
        ::SendMessageA(H(wnd), LB_RESETCONTENT, 0, 0);
    }
}

int ListAdd(Wnd wnd, const std::string& str)
{
    const UINT nMsg = IsCombo(H(wnd)) ? CB_ADDSTRING : LB_ADDSTRING;
    const LRESULT n = ::SendMessageA(H(wnd), nMsg, 0, reinterpret_cast<LPARAM>(str.c_str()));
    return n < 0 ? -1 : static_cast<int>(n);
}

void ListInsert(Wnd wnd, int nIndex, const std::string& str)
{
    // The end is -1 to the system.
    const UINT nMsg = IsCombo(H(wnd)) ? CB_INSERTSTRING : LB_INSERTSTRING;
    const WPARAM wIndex = nIndex >= ListCount(wnd) ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(nIndex);
    ::SendMessageA(H(wnd), nMsg, wIndex, reinterpret_cast<LPARAM>(str.c_str()));
}

void ListDelete(Wnd wnd, int nIndex)
{
    ::SendMessageA(H(wnd), IsCombo(H(wnd)) ? CB_DELETESTRING : LB_DELETESTRING, static_cast<WPARAM>(nIndex), 0);
}

int ListCount(Wnd wnd)
{
    const LRESULT n = ::SendMessageA(H(wnd), IsCombo(H(wnd)) ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    return n < 0 ? 0 : static_cast<int>(n);
}

int ListGetSel(Wnd wnd)
{
    const LRESULT n = ::SendMessageA(H(wnd), IsCombo(H(wnd)) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
    return n < 0 ? -1 : static_cast<int>(n);
}

void ListSetSel(Wnd wnd, int nIndex)
{
    if (IsCombo(H(wnd))) {
        // -1 also clears the edit text; an entry puts its text there.
        ::SendMessageA(H(wnd), CB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
        if (nIndex < 0)
            ::SetWindowTextA(H(wnd), "");
        // Typing goes on at the end of the entry's text.
        if (HWND hEdit = ComboEdit(H(wnd)))
            ::SendMessageA(hEdit, EM_SETSEL, 0x7FFF, 0x7FFF);
    } else {
        ::SendMessageA(H(wnd), LB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
    }
}

std::string ListGetText(Wnd wnd, int nIndex)
{
    const bool bCombo = IsCombo(H(wnd));
    const LRESULT nLength = ::SendMessageA(H(wnd), bCombo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(nIndex), 0);
    if (nLength < 0)
        return std::string();
    std::string str(static_cast<std::size_t>(nLength) + 1, '\0');
    const LRESULT nGot = ::SendMessageA(H(wnd), bCombo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(nIndex),
                                        reinterpret_cast<LPARAM>(str.data()));
    str.resize(nGot < 0 ? 0 : static_cast<std::size_t>(nGot));
    return str;
}

void MakeDragList(Wnd wnd) { ::MakeDragList(H(wnd)); }

void MoveListEntry(Wnd wnd, int nFrom, int nTo)
{
    const int nCount = ListCount(wnd);
    if (nFrom < 0 || nFrom >= nCount || nTo < 0 || nTo >= nCount)
        return;
    const std::string strText = ListGetText(wnd, nFrom);
    ::SendMessageA(H(wnd), LB_DELETESTRING, static_cast<WPARAM>(nFrom), 0);
    ::SendMessageA(H(wnd), LB_INSERTSTRING, static_cast<WPARAM>(nTo), reinterpret_cast<LPARAM>(strText.c_str()));
    ::SendMessageA(H(wnd), LB_SETCURSEL, static_cast<WPARAM>(nTo), 0);
}

void SimulateClick(Wnd wnd)
{
    HWND hWnd = H(wnd);
    if (!IsClass(hWnd, "Button") || !EnabledForUser(hWnd))
        return;
    ::SendMessageA(hWnd, BM_CLICK, 0, 0);
}

void SimulateTyping(Wnd wnd, const std::string& strText)
{
    // Keys reach no disabled control, nor one in a disabled window.
    if (!EnabledForUser(H(wnd)))
        return;
    HWND hTarget = KeyTarget(H(wnd));
    for (const char ch : strText)
        ::SendMessageA(hTarget, WM_CHAR, static_cast<unsigned char>(ch), 1);
}

void SimulateKey(Wnd wnd, unsigned nVirtKey)
{
    if (!EnabledForUser(H(wnd)))
        return;
    HWND hTarget = KeyTarget(H(wnd));
    SendKey(hTarget, WM_KEYDOWN, nVirtKey);
    if (::IsWindow(hTarget))
        SendKey(hTarget, WM_KEYUP, nVirtKey);
}

void SimulateDrag(Wnd wnd, int nFrom, int nTo) { MoveListEntry(wnd, nFrom, nTo); }

}  // namespace w32
