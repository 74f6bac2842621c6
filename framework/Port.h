// The port: what the framework asks of a backend (Qt widgets, a console, one
// day Win32). Everything with a meaning of its own (the window tree, message
// maps, routing, data exchange, dialogs, documents, the message queue, timers
// by id, the tray record, when a window may go, whether a text changed, what
// Return and Esc do, list bounds) lives in the framework above this line; a
// backend only makes and changes native things and reports what the user did.
//
// No backend types cross this line. Every call comes on the user-interface
// thread except WakeUiThread.
#pragma once

#include "framework/AfxTypes.h"
#include "framework/Gdi.h"
#include "framework/Resources.h"
#include "framework/WinApp.h"

#include <cstdint>
#include <span>

// A native window or control, as the backend made it. Opaque above the port.
struct AFX_PORTWND__;
using AFX_PORTWND = AFX_PORTWND__*;

// A native icon in the notification area.
struct AFX_PORTTRAY__;
using AFX_PORTTRAY = AFX_PORTTRAY__*;

using AFX_TOKEN = std::uintptr_t;  // timers and descriptor watches; never 0

// Descriptor readiness for WatchDescriptor: AFX_FD_READ, AFX_FD_WRITE (WinApp.h).

struct AFX_LOOP {
    void* pBackend = nullptr;  // the backend's loop while it runs
    BOOL bExited = FALSE;      // ExitLoop came (perhaps before RunLoop)
    int nExitCode = 0;
};

// Size limits of a top-level window, outer sizes in pixels.
struct AFX_SIZELIMITS {
    BOOL bFixed = FALSE;    // exactly the size given to PlaceWindow
    BOOL bLimited = FALSE;  // between ptMin and ptMax
    CSize sizeMin;
    CSize sizeMax;
};

struct AFX_FRAMEDESC {
    CString strTitle;
    DWORD dwStyle = 0;
    std::span<const AFX_MENUITEM> menu;    // the menu bar; empty for none
    std::span<const AFX_ACCEL> accels;     // keyboard shortcuts; empty for none
};

class CAfxPort {
public:
    virtual ~CAfxPort() = default;

    // ---- the backend and its loops
    virtual void Init(int& argc, char** argv) = 0;
    // The program's name and main icon, once known: the desktop shows them
    // for the notification-area icon and on every window without an icon of
    // its own. A backend without a desktop may ignore them.
    virtual void SetAppIdentity(const CString& /*strName*/, HICON /*hIcon*/) {}
    // Any thread: AfxPortRunQueued runs once on the user-interface thread
    // for each call, also inside nested loops.
    virtual void WakeUiThread() = 0;
    // Runs until ExitLoop(loop); returns its code. Nested loops nest.
    virtual int RunLoop(AFX_LOOP& loop) = 0;
    virtual void ExitLoop(AFX_LOOP& loop, int nExitCode) = 0;
    // Delivers what is pending.
    virtual void ProcessEvents() = 0;
    // Waits at most nMs for something to happen, delivering it.
    virtual void WaitForEvents(int nMs) = 0;
    // An option of the toolkit's own that takes the next argument as its
    // value (Qt's -platform NAME), named without its dashes: the framework's
    // command line skips both. A backend without a toolkit has none.
    virtual BOOL TakesOptionValue(const char* /*pszName*/) { return FALSE; }

    // ---- timers and descriptors; they report through AfxPortTimer and
    // AfxPortDescriptor
    virtual AFX_TOKEN StartTimer(UINT nElapseMs) = 0;  // 0 on failure
    virtual void StopTimer(AFX_TOKEN token) = 0;
    virtual AFX_TOKEN WatchDescriptor(int fd, short nEvents) = 0;  // 0 on failure
    virtual void ChangeWatch(AFX_TOKEN token, short nEvents) = 0;
    virtual void UnwatchDescriptor(AFX_TOKEN token) = 0;

    // ---- windows. Sizes and rectangles in pixels; rectangles of top-level
    // windows are outer ones in screen coordinates, of children relative to
    // the parent's inside.
    virtual AFX_PORTWND CreateFrame(const AFX_FRAMEDESC& desc) = 0;
    // A form filling pwParent's inside, in the template's font.
    virtual AFX_PORTWND CreateForm(AFX_PORTWND pwParent, const AFX_DLGTEMPLATE& tmpl, CSize sizeClient) = 0;
    // A top-level dialog owned by pwOwner (or none), in the template's font.
    virtual AFX_PORTWND CreateDialogWindow(AFX_PORTWND pwOwner, const AFX_DLGTEMPLATE& tmpl, CSize sizeClient) = 0;
    virtual AFX_PORTWND CreateControl(AFX_PORTWND pwParent, const AFX_DLGITEM& item, const CRect& rect) = 0;
    // Dialog base units of the template's font: average character width and height.
    virtual CSize DialogBaseUnits(const AFX_DLGTEMPLATE& tmpl) = 0;
    // Destroys the window and every window in it, now. Never while a handler
    // runs: the framework hides a window destroyed then and asks once the
    // handler has returned, so the window whose click or close brought the
    // handler about is never destroyed under its own feet.
    virtual void DestroyWindow(AFX_PORTWND pw) = 0;

    // Only when the text changes.
    virtual void SetText(AFX_PORTWND pw, const CString& str) = 0;
    virtual CString GetText(AFX_PORTWND pw) = 0;
    virtual void EnableWindow(AFX_PORTWND pw, BOOL bEnable) = 0;
    virtual BOOL IsWindowEnabled(AFX_PORTWND pw) = 0;  // the window's own state
    virtual void ShowWindow(AFX_PORTWND pw, int nCmdShow) = 0;
    virtual BOOL IsHidden(AFX_PORTWND pw) = 0;   // its own flag
    virtual BOOL IsVisible(AFX_PORTWND pw) = 0;  // shown, with every parent
    virtual BOOL IsMinimized(AFX_PORTWND pw) = 0;
    virtual CRect GetWindowRect(AFX_PORTWND pw) = 0;  // screen coordinates
    virtual void MoveWindow(AFX_PORTWND pw, const CRect& rect) = 0;
    // Places a top-level window at rcOuter within its limits.
    virtual void PlaceWindow(AFX_PORTWND pw, const CRect& rcOuter, const AFX_SIZELIMITS& limits) = 0;
    // Brings a visible window forward; never shows a hidden one.
    virtual void SetForegroundWindow(AFX_PORTWND pw) = 0;
    // The top-level window of ours that is active (has the keyboard), or
    // null; a backend without a desktop has none.
    virtual AFX_PORTWND GetForegroundWindow() { return nullptr; }
    virtual void SetIcon(AFX_PORTWND pw, HICON hIcon) = 0;
    // Shows a dialog window modal to the whole application.
    virtual void ShowModal(AFX_PORTWND pw) = 0;
    virtual BOOL HasFocus(AFX_PORTWND pw) = 0;  // the keyboard focus is in this window
    virtual void SetFocus(AFX_PORTWND pw) = 0;
    // The name a screen reader gives a control that has no text of its own.
    virtual void SetAccessibleName(AFX_PORTWND pw, const CString& strName) = 0;

    // ---- controls
    virtual int GetCheck(AFX_PORTWND pw) = 0;
    virtual void SetCheck(AFX_PORTWND pw, int nCheck) = 0;
    // Entries of list and combo boxes. Adding never changes the selection
    // or a combo box's edit text. The framework checks every index: it is
    // that of an entry (for ListInsert it may be the count, the end).
    virtual void ListReset(AFX_PORTWND pw) = 0;
    virtual int ListAdd(AFX_PORTWND pw, const CString& str) = 0;  // the new entry's index
    virtual void ListInsert(AFX_PORTWND pw, int nIndex, const CString& str) = 0;
    virtual void ListDelete(AFX_PORTWND pw, int nIndex) = 0;
    virtual int ListCount(AFX_PORTWND pw) = 0;
    virtual int ListGetSel(AFX_PORTWND pw) = 0;           // -1 for none
    virtual void ListSetSel(AFX_PORTWND pw, int nIndex) = 0;  // -1 clears (and a combo's edit text)
    virtual CString ListGetText(AFX_PORTWND pw, int nIndex) = 0;
    virtual void EnableDragReorder(AFX_PORTWND pw) = 0;

    // ---- notification area; icons report through AfxPortTrayAction and
    // AfxPortTrayCommand
    virtual BOOL TrayAvailable() = 0;
    virtual BOOL DesktopShowsTrayMenu() = 0;
    // contextMenu: items the desktop shows as the icon's own menu (empty: none).
    virtual AFX_PORTTRAY TrayAdd(AFX_TOKEN token, std::span<const AFX_MENUITEM> contextMenu, int nDefaultPos) = 0;
    virtual void TraySetIcon(AFX_PORTTRAY tray, HICON hIcon) = 0;  // null: an empty image
    virtual void TraySetTip(AFX_PORTTRAY tray, const CString& strTip) = 0;  // only when it changes
    // Removes the icon now. An icon reports only by posting, so nothing of
    // its own is on the stack when the program removes it.
    virtual void TrayDelete(AFX_PORTTRAY tray) = 0;

    // ---- modal things of the desktop's own
    // Shows items as a popup menu at pt and returns the id chosen, or 0.
    virtual UINT TrackPopupMenu(std::span<const AFX_MENUITEM> items, int nDefaultPos, CPoint pt) = 0;
    virtual int MessageBox(AFX_PORTWND pwOwner, const CString& strCaption, const CString& strText, UINT nType) = 0;
    // Closes every message box and file dialog of the desktop's that is open.
    virtual void CloseModalWindows() = 0;
    // An empty text when the user cancels.
    virtual CString FileDialog(BOOL bOpen, const CString& strCaption) = 0;

    // ---- the screen and the pointer
    virtual CSize ScreenSize() = 0;
    virtual CPoint CursorPos() = 0;
    virtual void ShowWaitCursor(BOOL bShow) = 0;

    // ---- statics that act as links, the pointer and the desktop's opener
    // A static with SS_NOTIFY reports mouse moves (AfxPortMouseMove) and
    // presses (AfxPortMouseDown); without it the mouse passes through it.
    // Every static asks AfxPortStaticLook before it draws.
    virtual void SetStaticNotify(AFX_PORTWND pw, BOOL bNotify) = 0;
    // The inside of a window in screen coordinates.
    virtual CRect GetClientRect(AFX_PORTWND pw) = 0;
    // The font the window draws its text with.
    virtual void GetFont(AFX_PORTWND pw, LOGFONT& lf) = 0;
    // Draws the window again soon (its static asks for its look again).
    virtual void InvalidateWindow(AFX_PORTWND pw) = 0;
    // All mouse moves and presses go to pw until it is called again; null
    // gives the mouse back to the window under it.
    virtual void SetMouseCapture(AFX_PORTWND pw) = 0;
    // The pointer's shape from now on; null or the stock arrow gives each
    // window its own shape again.
    virtual void SetCursor(HCURSOR hCursor) = 0;
    // The desktop's default sound.
    virtual void Beep() = 0;
    // Hands an address (https:, mailto:, file:) to the desktop's opener;
    // TRUE if the opener took it.
    virtual BOOL OpenUrl(const CString& strUrl) = 0;
};

// A backend's class declares every call above with this one line, so that the
// list stands once for all backends:
//     class CQtPort final : public CAfxPort { public: AFX_DECLARE_PORT };
// The calls that have a default (SetAppIdentity, TakesOptionValue,
// GetForegroundWindow) a backend declares by hand where it does more.
#define AFX_DECLARE_PORT \
    void Init(int& argc, char** argv) override; \
    void WakeUiThread() override; \
    int RunLoop(AFX_LOOP& loop) override; \
    void ExitLoop(AFX_LOOP& loop, int nExitCode) override; \
    void ProcessEvents() override; \
    void WaitForEvents(int nMs) override; \
    AFX_TOKEN StartTimer(UINT nElapseMs) override; \
    void StopTimer(AFX_TOKEN token) override; \
    AFX_TOKEN WatchDescriptor(int fd, short nEvents) override; \
    void ChangeWatch(AFX_TOKEN token, short nEvents) override; \
    void UnwatchDescriptor(AFX_TOKEN token) override; \
    AFX_PORTWND CreateFrame(const AFX_FRAMEDESC& desc) override; \
    AFX_PORTWND CreateForm(AFX_PORTWND pwParent, const AFX_DLGTEMPLATE& tmpl, CSize sizeClient) override; \
    AFX_PORTWND CreateDialogWindow(AFX_PORTWND pwOwner, const AFX_DLGTEMPLATE& tmpl, CSize sizeClient) override; \
    AFX_PORTWND CreateControl(AFX_PORTWND pwParent, const AFX_DLGITEM& item, const CRect& rect) override; \
    CSize DialogBaseUnits(const AFX_DLGTEMPLATE& tmpl) override; \
    void DestroyWindow(AFX_PORTWND pw) override; \
    void SetText(AFX_PORTWND pw, const CString& str) override; \
    CString GetText(AFX_PORTWND pw) override; \
    void EnableWindow(AFX_PORTWND pw, BOOL bEnable) override; \
    BOOL IsWindowEnabled(AFX_PORTWND pw) override; \
    void ShowWindow(AFX_PORTWND pw, int nCmdShow) override; \
    BOOL IsHidden(AFX_PORTWND pw) override; \
    BOOL IsVisible(AFX_PORTWND pw) override; \
    BOOL IsMinimized(AFX_PORTWND pw) override; \
    CRect GetWindowRect(AFX_PORTWND pw) override; \
    void MoveWindow(AFX_PORTWND pw, const CRect& rect) override; \
    void PlaceWindow(AFX_PORTWND pw, const CRect& rcOuter, const AFX_SIZELIMITS& limits) override; \
    void SetForegroundWindow(AFX_PORTWND pw) override; \
    void SetIcon(AFX_PORTWND pw, HICON hIcon) override; \
    void ShowModal(AFX_PORTWND pw) override; \
    BOOL HasFocus(AFX_PORTWND pw) override; \
    void SetFocus(AFX_PORTWND pw) override; \
    void SetAccessibleName(AFX_PORTWND pw, const CString& strName) override; \
    int GetCheck(AFX_PORTWND pw) override; \
    void SetCheck(AFX_PORTWND pw, int nCheck) override; \
    void ListReset(AFX_PORTWND pw) override; \
    int ListAdd(AFX_PORTWND pw, const CString& str) override; \
    void ListInsert(AFX_PORTWND pw, int nIndex, const CString& str) override; \
    void ListDelete(AFX_PORTWND pw, int nIndex) override; \
    int ListCount(AFX_PORTWND pw) override; \
    int ListGetSel(AFX_PORTWND pw) override; \
    void ListSetSel(AFX_PORTWND pw, int nIndex) override; \
    CString ListGetText(AFX_PORTWND pw, int nIndex) override; \
    void EnableDragReorder(AFX_PORTWND pw) override; \
    BOOL TrayAvailable() override; \
    BOOL DesktopShowsTrayMenu() override; \
    AFX_PORTTRAY TrayAdd(AFX_TOKEN token, std::span<const AFX_MENUITEM> contextMenu, int nDefaultPos) override; \
    void TraySetIcon(AFX_PORTTRAY tray, HICON hIcon) override; \
    void TraySetTip(AFX_PORTTRAY tray, const CString& strTip) override; \
    void TrayDelete(AFX_PORTTRAY tray) override; \
    UINT TrackPopupMenu(std::span<const AFX_MENUITEM> items, int nDefaultPos, CPoint pt) override; \
    int MessageBox(AFX_PORTWND pwOwner, const CString& strCaption, const CString& strText, UINT nType) override; \
    void CloseModalWindows() override; \
    CString FileDialog(BOOL bOpen, const CString& strCaption) override; \
    CSize ScreenSize() override; \
    CPoint CursorPos() override; \
    void ShowWaitCursor(BOOL bShow) override; \
    void SetStaticNotify(AFX_PORTWND pw, BOOL bNotify) override; \
    CRect GetClientRect(AFX_PORTWND pw) override; \
    void GetFont(AFX_PORTWND pw, LOGFONT& lf) override; \
    void InvalidateWindow(AFX_PORTWND pw) override; \
    void SetMouseCapture(AFX_PORTWND pw) override; \
    void SetCursor(HCURSOR hCursor) override; \
    void Beep() override; \
    BOOL OpenUrl(const CString& strUrl) override;

// The backend the framework runs on; set once before anything else.
void AfxSetPort(CAfxPort* pPort);
CAfxPort& AfxPort();
BOOL AfxHasPort();

// ---- what a backend reports, on the user-interface thread
void AfxPortCommand(AFX_PORTWND pw, UINT nID);  // a control was clicked, a menu item or shortcut chosen
void AfxPortClose(AFX_PORTWND pw);              // the desktop asks a window to close
// A key that the control with the focus in pw did not take itself (VK_RETURN,
// VK_ESCAPE): Return presses the default button of the form or dialog around
// pw, Esc cancels a dialog. TRUE if the key did something.
BOOL AfxPortKey(AFX_PORTWND pw, UINT nVirtKey);
void AfxPortTimer(AFX_TOKEN token);
void AfxPortDescriptor(AFX_TOKEN token, short nReady);
void AfxPortRunQueued();

// The mouse over pw (the window under the pointer, or the one holding the
// capture) moved to, or the left button went down at, ptScreen.
void AfxPortMouseMove(AFX_PORTWND pw, CPoint ptScreen);
void AfxPortMouseDown(AFX_PORTWND pw, CPoint ptScreen);
// Asked before a static draws: TRUE and look filled in when the program chose
// a look of its own, FALSE for the usual one.
BOOL AfxPortStaticLook(AFX_PORTWND pw, AFX_STATICLOOK& look);

enum class AfxTrayAction { Context, DoubleClick, Trigger, MiddleClick };
void AfxPortTrayAction(AFX_TOKEN token, AfxTrayAction action);
void AfxPortTrayCommand(AFX_TOKEN token, UINT nID);
