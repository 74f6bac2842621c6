// What the console backend's source files share. Only framework/console/
// includes it.
#pragma once

#include "framework/console/ConsolePort.h"

#include <memory>
#include <span>
#include <vector>

class CConsolePort : public CAfxPort {
public:
    // ---- the loop (Loop.cpp)
    void Init(int& argc, char** argv) override;
    void WakeUiThread() override;
    int RunLoop(AFX_LOOP& loop) override;
    void ExitLoop(AFX_LOOP& loop, int nExitCode) override;
    void ProcessEvents(BOOL bFlushDeletes) override;
    void WaitForEvents(int nMs) override;
    AFX_TOKEN StartTimer(UINT nElapseMs) override;
    void StopTimer(AFX_TOKEN token) override;
    AFX_TOKEN WatchDescriptor(int fd, short nEvents) override;
    void ChangeWatch(AFX_TOKEN token, short nEvents) override;
    void UnwatchDescriptor(AFX_TOKEN token) override;
    CSize ScreenSize() override;
    CPoint CursorPos() override;
    void ShowWaitCursor(BOOL bShow) override;

    // ---- windows (Windows.cpp)
    AFX_PORTWND CreateFrame(const AFX_FRAMEDESC& desc) override;
    AFX_PORTWND CreateForm(AFX_PORTWND pwParent, const AFX_DLGTEMPLATE& tmpl, CSize sizeClient) override;
    AFX_PORTWND CreateDialogWindow(AFX_PORTWND pwOwner, const AFX_DLGTEMPLATE& tmpl, CSize sizeClient) override;
    CSize DialogBaseUnits(const AFX_DLGTEMPLATE& tmpl) override;
    void DestroyWindow(AFX_PORTWND pw) override;
    void SetText(AFX_PORTWND pw, const CString& str) override;
    CString GetText(AFX_PORTWND pw) override;
    void EnableWindow(AFX_PORTWND pw, BOOL bEnable) override;
    BOOL IsWindowEnabled(AFX_PORTWND pw) override;
    void ShowWindow(AFX_PORTWND pw, int nCmdShow) override;
    BOOL IsHidden(AFX_PORTWND pw) override;
    BOOL IsVisible(AFX_PORTWND pw) override;
    CRect GetWindowRect(AFX_PORTWND pw) override;
    void MoveWindow(AFX_PORTWND pw, const CRect& rect) override;
    void PlaceWindow(AFX_PORTWND pw, const CRect& rcOuter, const AFX_SIZELIMITS& limits) override;
    void SetForegroundWindow(AFX_PORTWND pw) override;
    void SetIcon(AFX_PORTWND pw, HICON hIcon) override;
    void ShowModal(AFX_PORTWND pw) override;
    BOOL HasFocus(AFX_PORTWND pw) override;
    void SetFocus(AFX_PORTWND pw) override;
    void SetAccessibleName(AFX_PORTWND pw, const CString& strName) override;
    BOOL IsMinimized(AFX_PORTWND pw) override;
    void SetStaticNotify(AFX_PORTWND pw, BOOL bNotify) override;
    CRect GetClientRect(AFX_PORTWND pw) override;
    void GetFont(AFX_PORTWND pw, LOGFONT& lf) override;
    void InvalidateWindow(AFX_PORTWND pw) override;
    void SetMouseCapture(AFX_PORTWND pw) override;
    void SetCursor(HCURSOR hCursor) override;
    void Beep() override;
    BOOL OpenUrl(const CString& strUrl) override;

    // ---- controls (Controls.cpp)
    AFX_PORTWND CreateControl(AFX_PORTWND pwParent, const AFX_DLGITEM& item, const CRect& rect) override;
    int GetCheck(AFX_PORTWND pw) override;
    void SetCheck(AFX_PORTWND pw, int nCheck) override;
    void ListReset(AFX_PORTWND pw) override;
    int ListAdd(AFX_PORTWND pw, const CString& str) override;
    int ListInsert(AFX_PORTWND pw, int nIndex, const CString& str) override;
    BOOL ListDelete(AFX_PORTWND pw, int nIndex) override;
    int ListCount(AFX_PORTWND pw) override;
    int ListGetSel(AFX_PORTWND pw) override;
    void ListSetSel(AFX_PORTWND pw, int nIndex) override;
    CString ListGetText(AFX_PORTWND pw, int nIndex) override;
    void EnableDragReorder(AFX_PORTWND pw) override;
    void SimulateClick(AFX_PORTWND pw) override;
    void SimulateTyping(AFX_PORTWND pw, const CString& strText) override;
    void SimulateKey(AFX_PORTWND pw, UINT nVirtKey) override;
    void SimulateDrag(AFX_PORTWND pw, int nFrom, int nTo) override;

    // ---- the desktop's own things (Shell.cpp)
    BOOL TrayAvailable() override;
    BOOL DesktopShowsTrayMenu() override;
    AFX_PORTTRAY TrayAdd(AFX_TOKEN token, std::span<const AFX_MENUITEM> contextMenu, int nDefaultPos) override;
    void TraySetIcon(AFX_PORTTRAY tray, HICON hIcon) override;
    void TraySetTip(AFX_PORTTRAY tray, const CString& strTip) override;
    void TrayDelete(AFX_PORTTRAY tray) override;
    UINT TrackPopupMenu(std::span<const AFX_MENUITEM> items, int nDefaultPos, CPoint pt) override;
    int MessageBox(AFX_PORTWND pwOwner, const CString& strCaption, const CString& strText, UINT nType) override;
    void CloseModalWindows() override;
    CString FileDialog(BOOL bOpen, const CString& strCaption) override;
};

enum class CConsoleKind { Frame, Form, Dialog, Control };

// A window: what a toolkit widget would hold, without the drawing.
struct CConsoleWnd {
    CConsoleKind kind = CConsoleKind::Control;
    AfxControl ctrl = AfxControl::Static;  // controls only
    int nCtrlId = 0;
    UINT nTemplateId = 0;  // forms and dialogs
    DWORD dwStyle = 0;
    CConsoleWnd* pParent = nullptr;  // the window a form or control sits in
    std::vector<std::unique_ptr<CConsoleWnd>> children;
    CString strText;  // a combo box's edit field
    BOOL bEnabled = TRUE;
    BOOL bHidden = TRUE;
    BOOL bMinimized = FALSE;      // top-level windows
    CConsoleWnd* pFocus = nullptr;  // top-level windows: where the keyboard goes
    CString strAccessibleName;
    CRect rect;  // top-level: outer, on the screen; children: inside the parent
    AFX_SIZELIMITS limits;
    HICON hIcon = nullptr;
    std::span<const AFX_ACCEL> accels;
    // Buttons, list and combo boxes.
    int nCheck = 0;
    std::vector<CString> entries;
    int nSel = -1;
    BOOL bDragReorder = FALSE;
};

inline CConsoleWnd* WndOf(AFX_PORTWND pw) { return reinterpret_cast<CConsoleWnd*>(pw); }
inline AFX_PORTWND PortOf(CConsoleWnd* pWnd) { return reinterpret_cast<AFX_PORTWND>(pWnd); }

// Enabled itself and in every window it sits in, as a click or a key needs.
BOOL ConsoleIsEffectivelyEnabled(const CConsoleWnd* pWnd);

// Calls into the framework go through here: windows destroyed meanwhile are
// let go of only when no such call is on the stack (Loop.cpp).
class CConsoleCallOut {
public:
    CConsoleCallOut();
    ~CConsoleCallOut();
    CConsoleCallOut(const CConsoleCallOut&) = delete;
    CConsoleCallOut& operator=(const CConsoleCallOut&) = delete;
};
// Windows destroyed, kept until they can go (Windows.cpp).
void ConsoleFreeDestroyedWindows();

IConsoleListener* ConsoleListener();  // null for none (Shell.cpp)
const CString& ConsoleProgramName();  // empty until set (Shell.cpp)
