// The Win32 port's way to Windows: plain C++, no Windows type. Only the
// shim's own source files include <windows.h>; the port's files and the
// platform's Win32 sockets include this header, so the framework's names
// (WM_CLOSE, HWND, ...) never meet Windows' own in one translation unit.
// Window handles cross as void*, everything else as plain integers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace w32 {

using Wnd = void*;  // an HWND

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// What a user did, reported back to the port (all on the user-interface thread).
struct Callbacks {
    void (*command)(Wnd wnd, unsigned nId) = nullptr;  // a button (nId 0), or a frame's menu item or shortcut
    void (*close)(Wnd wnd) = nullptr;                  // the close box, Alt+F4, Esc in a dialog, WM_CLOSE
    void (*timer)(std::uintptr_t nId) = nullptr;
    void (*wake)() = nullptr;
    void (*tray)(std::uintptr_t nId, int nAction) = nullptr;  // TrayAction
    void (*mouseMove)(Wnd wnd, int x, int y) = nullptr;       // screen coordinates
    void (*mouseDown)(Wnd wnd, int x, int y) = nullptr;
    // Before a static draws: true with the look filled in for a look of its own.
    bool (*staticLook)(Wnd wnd, struct StaticLook& look) = nullptr;
};

enum TrayAction { kTrayContext = 0, kTrayDoubleClick = 1, kTrayTrigger = 2, kTrayMiddle = 3 };

struct StaticLook {
    bool bTextColor = false;
    std::uint32_t crText = 0;  // 0x00BBGGRR
    bool bTransparent = false;
    bool bBkColor = false;
    std::uint32_t crBack = 0;
    bool bFont = false;
    unsigned char font[60] = {};  // a LOGFONTA, byte for byte
};

// 32-bit image, row by row from the top, 0xAARRGGBB.
struct Image {
    int size = 0;
    std::vector<std::uint32_t> pixels;
};

struct MenuItem {
    enum Kind { kString, kSeparator, kPopup } kind = kString;
    std::string text;
    unsigned nId = 0;
    std::vector<MenuItem> popup;
};

struct Accel {
    unsigned fVirt = 0;  // FCONTROL 0x08, FSHIFT 0x04, FALT 0x10
    unsigned key = 0;
    unsigned cmd = 0;
};

enum class Control { PushButton, DefPushButton, Edit, Combo, Static, GroupBox, CheckBox, ListBox, IconStatic };

struct Font {
    std::string strFace;
    int nPointSize = 8;
};

// ---- the port's set-up, loops, wakes and timers (Windows.cpp)
void Init(const Callbacks& callbacks);
// The class name of frames ("<Name>Frame"), set before the first frame.
void SetFrameClassName(const std::string& strName);
void SetAppIcon(void* hIconLarge, void* hIconSmall);
void PostWake();  // any thread
// Runs the message loop until *pbExited becomes non-zero.
void RunLoop(const volatile int* pbExited);
void WakeLoop();  // lets a loop waiting for a message see its flag
void ProcessEvents();
void WaitForEvents(int nMs);
bool SetTimer(std::uintptr_t nId, unsigned nElapseMs);
void KillTimer(std::uintptr_t nId);
// The port's message-only window, and messages of its own for other parts of
// the program (the sockets): fn(pContext, wParam, lParam) runs on the
// user-interface thread for each message number returned.
Wnd MessageWindow();
unsigned RegisterHandler(void (*fn)(void* pContext, std::uintptr_t wParam, std::intptr_t lParam), void* pContext);
// A second start asks the running copy for its window through this
// message (by name); fn answers 1 (done) or 0 (try again shortly).
void SetRestoreHandler(int (*fn)());

// ---- windows
Wnd CreateFrame(const std::string& strTitle, std::uint32_t dwStyle, const std::vector<MenuItem>& menu,
                const std::vector<Accel>& accels);
Wnd CreateForm(Wnd parent, const Font& font, int cx, int cy);
Wnd CreateDialogWindow(Wnd owner, const std::string& strCaption, const Font& font, int cx, int cy);
Wnd CreateControl(Wnd parent, Control kind, int nId, const std::string& strText, const Rect& rect,
                  std::uint32_t dwStyle, void* hIcon);
// Average character width and height of the font, as dialog units take them.
void DialogBaseUnits(const Font& font, int& cx, int& cy);
void DestroyWindow(Wnd wnd);  // with every window in it, now
void SetText(Wnd wnd, const std::string& str);
std::string GetText(Wnd wnd);
void EnableWindow(Wnd wnd, bool bEnable);
bool IsWindowEnabled(Wnd wnd);
void ShowWindow(Wnd wnd, int nCmdShow);
bool IsHidden(Wnd wnd);
bool IsVisible(Wnd wnd);
bool IsMinimized(Wnd wnd);
Rect GetWindowRect(Wnd wnd);
void MoveWindow(Wnd wnd, const Rect& rect);
// Outer rectangle and size limits of a top-level window (bFixed: that size only).
void PlaceWindow(Wnd wnd, const Rect& rect, bool bFixed, bool bLimited, int cxMin, int cyMin, int cxMax, int cyMax);
void SetForegroundWindow(Wnd wnd);
Wnd GetForegroundWindow();  // ours only, else null
void SetIcon(Wnd wnd, void* hIconLarge, void* hIconSmall);
void ShowModal(Wnd wnd);
bool HasFocus(Wnd wnd);
void SetFocus(Wnd wnd);
Rect GetClientRect(Wnd wnd);  // screen coordinates
void GetFont(Wnd wnd, unsigned char (&logfont)[60]);
void Invalidate(Wnd wnd);
void SetStaticNotify(Wnd wnd, bool bNotify);
void SetCapture(Wnd wnd);  // null releases it

// ---- controls (Controls.cpp)
int GetCheck(Wnd wnd);
void SetCheck(Wnd wnd, int nCheck);
void ListReset(Wnd wnd);
int ListAdd(Wnd wnd, const std::string& str);
void ListInsert(Wnd wnd, int nIndex, const std::string& str);
void ListDelete(Wnd wnd, int nIndex);
int ListCount(Wnd wnd);
int ListGetSel(Wnd wnd);
void ListSetSel(Wnd wnd, int nIndex);
std::string ListGetText(Wnd wnd, int nIndex);
void MakeDragList(Wnd wnd);
void SimulateClick(Wnd wnd);
void SimulateTyping(Wnd wnd, const std::string& strText);
void SimulateKey(Wnd wnd, unsigned nVirtKey);
void SimulateDrag(Wnd wnd, int nFrom, int nTo);
// Moves a list entry as a finished drag does (the drag list's drop too).
void MoveListEntry(Wnd wnd, int nFrom, int nTo);

// ---- icons, cursors, the tray and the desktop's own things (Shell.cpp)
void* CreateIcon(const Image& image);  // an HICON
void* CreateCursor(const Image& image, int xHotspot, int yHotspot);
void* StockCursor(unsigned nId);  // IDC_ARROW, IDC_WAIT, ...
// The shape every window of ours shows from now on (null: each its own).
void SetCursorOverride(void* hCursor);
void ShowWaitCursor(bool bShow);
bool TrayAvailable();
bool TrayAdd(std::uintptr_t nId, void* hIcon, const std::string& strTip);
bool TrayModify(std::uintptr_t nId, void* hIcon, const std::string& strTip);
void TrayDelete(std::uintptr_t nId);
// The menu as a popup at the point, after SetForegroundWindow; nDefault in bold.
unsigned TrackPopupMenu(const std::vector<MenuItem>& items, int nDefault, int x, int y);
int ShowMessageBox(Wnd owner, const std::string& strCaption, const std::string& strText, unsigned nType);
void CloseModalWindows();
std::string FileDialog(bool bOpen, const std::string& strCaption);
void ScreenSize(int& cx, int& cy);
void CursorPos(int& x, int& y);
void Beep();
bool OpenUrl(const std::string& strUrl);
// Calls the port's tray list again when Explorer restarts (TaskbarCreated).
void SetTrayRecreateHandler(void (*fn)());
// fn runs on the system's own thread when the console the program was
// started from asks it to end (Ctrl+C, Ctrl+Break, the console closing).
void SetConsoleCloseHandler(void (*fn)());
// The running program's own file (GetModuleFileNameA); empty on failure.
std::string ProgramPath();

}  // namespace w32
