// What the shim's source files share. Only framework/win32/shim/ includes it.
#pragma once

#include "framework/win32/shim/Win32Shim.h"

#include <windows.h>

#include <map>

namespace w32 {

enum class Kind { Frame, Form, Dialog };

// Our own top-level windows and forms (controls are the system's).
struct WndData {
    Kind kind = Kind::Form;
    HWND hForm = nullptr;     // a frame's form, which fills its inside
    HACCEL hAccel = nullptr;  // a frame's shortcuts
    HFONT hFont = nullptr;    // the template's font (forms and dialogs)
    HWND hModalOwner = nullptr;  // a modal dialog's owner, disabled while it is shown
    HWND hLastFocus = nullptr;   // where the keyboard was when the window last went inactive
    bool bFixed = false;
    bool bLimited = false;
    SIZE sizeMin{}, sizeMax{};
};

std::map<HWND, WndData>& Windows();
WndData* DataOf(HWND hWnd);
const Callbacks& Cb();

// Callbacks into the port are counted: windows are destroyed only while none
// is on the stack.
class CallOut {
public:
    CallOut();
    ~CallOut();
    CallOut(const CallOut&) = delete;
    CallOut& operator=(const CallOut&) = delete;
};

// The hidden top-level window that owns the tray icons and popup menus
// (message-only windows get no broadcasts and cannot own a menu).
HWND TrayHost();
void RecreateTrayIcons();
HCURSOR CursorOverride();
bool WaitShown();
// A message of a window of ours that a dialog's drag list or a static's
// colour request needs; true if it was handled (the answer in lResult).
bool HandleControlMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);
// Accelerators and the dialog keys (Tab, Return, Esc, mnemonics).
bool PreTranslate(MSG& msg);
// A combo box's edit field, or null for any other window.
HWND ComboEdit(HWND hWnd);
// Statics report the mouse through a subclass.
void SubclassStatic(HWND hStatic);

inline HWND H(Wnd wnd) { return static_cast<HWND>(wnd); }

}  // namespace w32
