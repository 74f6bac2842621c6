// What the Qt backend's source files share. Only framework/qt/ includes it.
#pragma once

#include "framework/Port.h"

#include <QIcon>
#include <QWidget>

#include <functional>
#include <span>

class CQtPort final : public CAfxPort {
public:
    AFX_DECLARE_PORT
    void SetAppIdentity(const CString& strName, HICON hIcon) override;
    BOOL TakesOptionValue(const char* pszName) override;
    AFX_PORTWND GetForegroundWindow() override;
};

inline QWidget* WidgetOf(AFX_PORTWND pw) { return reinterpret_cast<QWidget*>(pw); }
inline AFX_PORTWND PortOf(QWidget* pWidget) { return reinterpret_cast<AFX_PORTWND>(pWidget); }
inline QString ToQt(const CString& str) { return QString::fromStdString(str); }

struct AFX_IMAGE32;
// A decoded resource image (framework/Images.h) as a pixmap.
QPixmap PixmapOf(const AFX_IMAGE32& image);
// A 16-colour icon resource as a QIcon with its 32 x 32 and 16 x 16 images;
// made once per resource.
QIcon IconFromResource(HICON hIcon);

// Fills a menu bar or a popup menu with items, their popups as sub menus;
// the item at nDefaultPos is bold, each command carries its id as the
// action's data, and fnChosen, if any, hears of a choice (Shell.cpp).
void AddMenuItems(QWidget* pMenu, std::span<const AFX_MENUITEM> items, int nDefaultPos,
                  const std::function<void(UINT)>& fnChosen);

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
