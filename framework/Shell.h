// The shell: notification-area icons, popup menus from menu resources, the
// cursor position, and handing a target (web or mailto: address) to the desktop.
#pragma once

#include "AfxTypes.h"

#include <functional>
#include <memory>
#include <span>

// ---- notification area

constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;

constexpr UINT NIF_MESSAGE = 0x1;
constexpr UINT NIF_ICON = 0x2;
constexpr UINT NIF_TIP = 0x4;

// The record of one icon, as the shell takes it. szTip holds at most 63
// characters and its terminating NUL.
struct NOTIFYICONDATA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    char szTip[64];
};

// Adds, modifies or deletes the icon (hWnd, uID). NIM_ADD fails where the
// desktop has no notification area. Mouse actions over an added icon come
// back as the callback message posted to hWnd with wParam = uID and
// lParam = the mouse message (WM_RBUTTONUP, WM_LBUTTONDBLCLK, ...).
// Where the desktop shows the icon's menu itself, the icon carries the popup of
// menu resource uID as its context menu and chosen items reach hWnd as
// WM_COMMAND. A tooltip reaches the desktop only when its text changed.
BOOL Shell_NotifyIcon(DWORD dwMessage, NOTIFYICONDATA* pnid);

// The callback's lParam when a notification area has appeared while the icon
// (hWnd, uID) is not in it because its NIM_ADD failed: the owner may add it
// now. Our own value; on Windows the registered message "TaskbarCreated"
// brings the same news to every top-level window.
constexpr UINT NIN_AREAAPPEARED = 0x0420;

// Tests replace the notification area: the hook sees every call and returns
// the shell's result. An empty function restores the real one.
using AfxNotifyIconHook = std::function<BOOL(DWORD dwMessage, const NOTIFYICONDATA& nid)>;
void AfxSetNotifyIconHook(AfxNotifyIconHook hook);

// ---- menus loaded from menu resources

constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT TPM_LEFTALIGN = 0x0000;

struct AFX_MENUITEM;

class CMenu {
public:
    CMenu() = default;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;
    ~CMenu();

    BOOL LoadMenu(UINT nIDResource);  // FALSE if there is no such menu
    BOOL DestroyMenu();
    int GetMenuItemCount() const;
    CMenu* GetSubMenu(int nPos);         // null if position nPos is not a popup
    UINT GetMenuItemID(int nPos) const;  // 0 for a separator, (UINT)-1 for a popup or no item
    BOOL SetDefaultItem(UINT uItem, BOOL fByPos = FALSE);
    int GetDefaultItemPosition() const { return m_nDefaultPos; }
    CString GetMenuText(int nPos) const;
    // Shows the menu at (x, y) and returns when it closes; a chosen item
    // reaches pOwner as a posted WM_COMMAND with the item's id.
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pOwner);

private:
    void AttachItems(std::span<const AFX_MENUITEM> items);

    const AFX_MENUITEM* m_pItems = nullptr;
    int m_nItems = 0;
    int m_nDefaultPos = -1;
    std::unique_ptr<CMenu[]> m_pSubMenus;
    BOOL m_bLoaded = FALSE;
};

// Tests replace the popup: the hook gets the menu shown, the position and the
// owner, and returns the id of the item "chosen" (0 for none).
using AfxTrackPopupHook = std::function<UINT(const CMenu& menu, int x, int y, CWnd* pOwner)>;
void AfxSetTrackPopupHook(AfxTrackPopupHook hook);

BOOL GetCursorPos(CPoint* pPoint);

// ---- handing a target to the desktop, and the default beep

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

// Failures of ShellExecute; anything above 32 is success.
constexpr int SE_ERR_FNF = 2;       // no such file
constexpr int SE_ERR_NOASSOC = 31;  // nothing opens it (or the verb is not "open")

// Hands pszFile to the desktop's opener with the verb "open" (null means the
// same): an address with a scheme (https:, mailto:, file:, ...) as it is, any
// other text as a file (relative to pszDirectory, else the current folder),
// which must exist. Returns a value above 32 only when the opener took it.
// Parameters are for programs, which this never starts; the owner window and
// the show state have nothing to act on here.
HINSTANCE ShellExecute(HWND hWnd, const char* pszOperation, const char* pszFile, const char* pszParameters,
                       const char* pszDirectory, int nShowCmd);

// Tests replace the desktop's opener: the hook gets the address the opener
// would be handed and returns whether it took it. An empty function restores
// the real opener.
using AfxShellExecuteHook = std::function<BOOL(const CString& strUrl)>;
void AfxSetShellExecuteHook(AfxShellExecuteHook hook);

// Sounds the desktop's default sound (uType MB_OK); TRUE.
BOOL MessageBeep(UINT uType);
// Tests hear the beeps instead; an empty function restores the real one.
using AfxMessageBeepHook = std::function<void(UINT uType)>;
void AfxSetMessageBeepHook(AfxMessageBeepHook hook);
