// What the console backend's source files share. Only framework/console/
// includes it.
#pragma once

#include "framework/console/ConsolePort.h"

#include <memory>
#include <span>
#include <vector>

class CConsolePort final : public CAfxPort {
public:
    AFX_DECLARE_PORT
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

// Sets a window's text and reports a control's to the listener (Windows.cpp).
void ConsoleSetText(CConsoleWnd* pWnd, const CString& str);

IConsoleListener* ConsoleListener();  // null for none (Shell.cpp)
const CString& ConsoleProgramName();  // empty until set (Shell.cpp)
