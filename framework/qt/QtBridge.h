// What the Qt backend's source files share. Only framework/qt/ includes it.
#pragma once

#include "framework/Port.h"

#include <QIcon>
#include <QWidget>

class CQtPort : public CAfxPort {
public:
    // ---- the backend and its loops (Backend.cpp)
    void Init(int& argc, char** argv) override;
    void SetAppIdentity(const CString& strName, HICON hIcon) override;
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
    BOOL IsMinimized(AFX_PORTWND pw) override;
    CRect GetWindowRect(AFX_PORTWND pw) override;
    void MoveWindow(AFX_PORTWND pw, const CRect& rect) override;
    void PlaceWindow(AFX_PORTWND pw, const CRect& rcOuter, const AFX_SIZELIMITS& limits) override;
    void SetForegroundWindow(AFX_PORTWND pw) override;
    AFX_PORTWND GetForegroundWindow() override;
    void SetIcon(AFX_PORTWND pw, HICON hIcon) override;
    void ShowModal(AFX_PORTWND pw) override;
    BOOL HasFocus(AFX_PORTWND pw) override;
    void SetFocus(AFX_PORTWND pw) override;
    void SetAccessibleName(AFX_PORTWND pw, const CString& strName) override;

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

    // ---- hyperlink statics (Statics.cpp), the pointer (Pointer.cpp) and the
    // desktop's opener and the beep (Opener.cpp)
    void SetStaticNotify(AFX_PORTWND pw, BOOL bNotify) override;
    CRect GetClientRect(AFX_PORTWND pw) override;
    void GetFont(AFX_PORTWND pw, LOGFONT& lf) override;
    void InvalidateWindow(AFX_PORTWND pw) override;
    void SetMouseCapture(AFX_PORTWND pw) override;
    void SetCursor(HCURSOR hCursor) override;
    void Beep() override;
    BOOL OpenUrl(const CString& strUrl) override;
};

inline QWidget* WidgetOf(AFX_PORTWND pw) { return reinterpret_cast<QWidget*>(pw); }
inline AFX_PORTWND PortOf(QWidget* pWidget) { return reinterpret_cast<AFX_PORTWND>(pWidget); }
inline QString ToQt(const CString& str) { return QString::fromStdString(str); }

// A 16-colour icon resource as a QIcon with its 32 x 32 and 16 x 16 images;
// made once per resource.
QIcon IconFromResource(HICON hIcon);

// The Qt key of a virtual-key code ('A'..'Z', '0'..'9', VK_...); 0 if unknown.
int QtKeyFromVirtKey(UINT nVirtKey);

// The template's font where it exists here, else the desktop's sans font at
// the template's size.
QFont TemplateFont(const AFX_DLGTEMPLATE& tmpl);

class QLabel;
// Keeps a one-line, left-aligned static's text on one line (Controls.cpp).
void FitStaticText(QLabel* pLabel);

// Lets a static ask for its look before it draws and report the mouse once
// it has SS_NOTIFY (Statics.cpp).
void InstallStaticHooks(QLabel* pLabel, DWORD dwStyle);
// The wait cursor, which sits above any shape the program set (Pointer.cpp).
void ShowWaitShape(bool bShow);
// The widget holding the mouse capture, or null (Pointer.cpp).
QWidget* MouseCaptureWidget();

// Our own modal dialogs, which the framework ends itself (Windows.cpp).
bool IsFrameworkDialog(const QWidget* pWidget);

// ---- the window manager or compositor (Desktop.cpp)
bool OnWayland();
// Flags every top-level window of ours adds to its own.
Qt::WindowFlags DecorationFlags();
// Where the desktop would draw a decoration we cannot ask the right thing of
// (Wayland), a strip at the top of the window's inside shows its title;
// children of the window sit below it.
void AddTitleStrip(QWidget* pWindow);
int TitleStripHeight(const QWidget* pWindow);  // 0 without a strip
// The window style a frame was made with, for the window manager's hints.
void SetWindowStyle(QWidget* pWindow, DWORD dwStyle);
// Just before a top-level window is shown: its hints to the window manager.
void PrepareTopLevel(QWidget* pWindow);
// Raises and activates a window that is shown.
void BringForward(QWidget* pWindow);
