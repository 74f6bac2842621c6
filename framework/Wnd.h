// Windows, controls, dialogs and the form view of our framework.
//
// A CWnd is an object in front of a window, named by its HWND. Controls built
// from a dialog template are owned by the framework; a program's control
// members (CButton m_btnStart, ...) are attached to them by DDX_Control and
// share the window without owning it.
#pragma once

#include "AfxTypes.h"
#include "CmdTarget.h"
#include "Gdi.h"

#include <memory>
#include <vector>

struct AFX_DLGTEMPLATE;
struct CWndState;  // the framework's record of a window
class CFrameWnd;
class CDataExchange;

class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;

    // ---- identity and tree
    HWND GetSafeHwnd() const;  // null while there is no window
    // The window's CWnd, or null once the window is gone (handles are never
    // reused, so a stale handle finds nothing). User-interface thread only.
    static CWnd* FromHandle(HWND hWnd);
    int GetDlgCtrlID() const;
    CWnd* GetDlgItem(int nID) const;  // null if there is no such child
    CWnd* GetParent() const;
    CFrameWnd* GetParentFrame() const;  // nearest frame window above this one
    BOOL IsWindow() const;              // a backend window exists

    // ---- state
    void SetWindowText(const CString& strText);
    CString GetWindowText() const;
    void EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int nCmdShow);  // returns the previous visibility
    BOOL IsWindowVisible() const;
    BOOL IsIconic() const;  // minimised
    void SetFocus();        // the keyboard focus, whenever the window is active
    void GetWindowRect(CRect* pRect) const;  // screen pixels, frame included
    void MoveWindow(const CRect& rect, BOOL bRepaint = TRUE);
    BOOL SetForegroundWindow();
    // The program's active top-level window, or null when another program's
    // window (or none) is active.
    static CWnd* GetForegroundWindow();
    void SetIcon(HICON hIcon);

    // ---- timers: WM_TIMER with wParam = nIDEvent every nElapse ms until killed
    UINT SetTimer(UINT nIDEvent, UINT nElapse);
    BOOL KillTimer(UINT nIDEvent);
    BOOL HasTimer(UINT nIDEvent) const;  // for the program's tests

    // ---- messages. A message posted to a window that is destroyed before it
    // is delivered is dropped; other threads post with AfxPostMessage.
    BOOL PostMessage(UINT nMessage, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendMessage(UINT nMessage, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual LRESULT WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam);
    BOOL OnCmdMsg(UINT nID) override;

    BOOL DestroyWindow();

    // ---- subclassing, styles, the mouse and drawing
    // Attaches this object to the existing control nID of pParent without
    // owning it: from now on the control's messages come here and GetDlgItem
    // finds this object, until this object goes. FALSE if there is no such
    // control or this object has a window already.
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    // The style the window was made with and what SetWindowLong changed
    // since; an icon static's type is SS_ICON.
    DWORD GetStyle() const;
    void GetClientRect(CRect* pRect) const;  // (0, 0, width, height) of the inside
    // All mouse messages come to this window until ReleaseCapture; returns
    // the window that held the capture before, or null.
    CWnd* SetCapture();
    static CWnd* GetCapture();
    // Draws the window again soon; a static asks for its colours again.
    void InvalidateRect(const CRect* pRect, BOOL bErase = TRUE);
    void Invalidate(BOOL bErase = TRUE) { InvalidateRect(nullptr, bErase); }
    // The font the window draws with (WM_GETFONT); kept by the framework
    // while the window lives. Null without a window.
    CFont* GetFont() const;
    // Offers a control's notification or colour request back to the control
    // itself, to its map's WM_REFLECT_BASE + nMessage entry (for WM_COMMAND
    // the entry of the notification code). TRUE if it took it.
    BOOL OnChildNotify(UINT nMessage, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    // ---- the framework's record (framework only)
    CWndState* State() const { return m_pState; }
    // Makes this CWnd the window's owner, or attaches it without owning.
    void AttachState(CWndState* pState, BOOL bOwner);
    void DetachState();

protected:
    // What happens when the message map has no entry: WM_CLOSE destroys the
    // window, WM_COMMAND is routed onwards, everything else returns 0.
    virtual LRESULT DefWindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam);
    // Called last when the window has gone.
    virtual void PostNcDestroy() {}
    // The window's own handling of mouse moves and timers, for handlers that
    // pass the message on first: DefWindowProc.
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnTimer(UINT nIDEvent);

private:
    CWndState* m_pState = nullptr;
    BOOL m_bOwner = FALSE;
};

// Posts nMessage to the window hWnd; may be called from any thread. FALSE
// when hWnd is null; a message for a window gone by delivery is dropped.
BOOL AfxPostMessage(HWND hWnd, UINT nMessage, WPARAM wParam = 0, LPARAM lParam = 0);

// The capture goes back to the window under the pointer. TRUE.
BOOL ReleaseCapture();
// The pointer's shape until the next SetCursor, or until the mouse moves over
// a window while no window holds the capture (each window then shows its
// own). Returns the previous shape.
HCURSOR SetCursor(HCURSOR hCursor);
HCURSOR GetCursor();

// Window values by index; only GWL_STYLE. SetWindowLong returns the old
// value; of the style bits, SS_NOTIFY on a static changes what it does.
LONG GetWindowLong(HWND hWnd, int nIndex);
LONG SetWindowLong(HWND hWnd, int nIndex, LONG dwNewLong);

// ---- controls

class CButton : public CWnd {
public:
    int GetCheck() const;  // 1 checked, 0 not
    void SetCheck(int nCheck);
};

class CEdit : public CWnd {};

class CStatic : public CWnd {};

// Editable drop-down combo box: a list of strings plus an edit field.
class CComboBox : public CWnd {
public:
    void ResetContent();
    int AddString(const CString& str);  // index of the new entry
    int GetCount() const;
    int GetCurSel() const;              // -1 if nothing is selected
    int SetCurSel(int nIndex);          // -1 clears the selection and the edit field
    void GetLBText(int nIndex, CString& str) const;
    // First entry from the top whose whole text equals str, letter case
    // ignored; -1 if none. nStartAfter is accepted for the familiar signature;
    // the search always starts at the top.
    int FindStringExact(int nStartAfter, const CString& str) const;
};

class CListBox : public CWnd {
public:
    void ResetContent();
    int AddString(const CString& str);
    int InsertString(int nIndex, const CString& str);  // the new entry's index, or -1
    // The remaining count, or -1. Deleting the selected entry leaves none selected.
    int DeleteString(int nIndex);
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int nIndex);
    void GetText(int nIndex, CString& str) const;
    int FindStringExact(int nStartAfter, const CString& str) const;
};

// A list box whose entries the user reorders by dragging one at a time.
class CDragListBox : public CListBox {};

// ---- windows built from dialog templates

class CDialogTemplateWnd : public CWnd {
public:
    explicit CDialogTemplateWnd(UINT nIDTemplate) : m_nIDTemplate(nIDTemplate) {}
    UINT GetTemplateID() const { return m_nIDTemplate; }

    // Data exchange between the controls and the members: bSaveAndValidate
    // FALSE puts members into controls, TRUE reads controls into members.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);

protected:
    UINT m_nIDTemplate;
};

class CDataExchange {
public:
    CDataExchange(CDialogTemplateWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;
    CDialogTemplateWnd* m_pDlgWnd;
};

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Check(CDataExchange* pDX, int nIDC, BOOL& value);
void DDX_LBString(CDataExchange* pDX, int nIDC, CString& value);

// Modal dialog. DoModal runs a nested message loop, so timers and posted
// messages of other windows go on while the dialog is open.
class CDialog : public CDialogTemplateWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    virtual int DoModal();  // IDOK, IDCANCEL, or -1 if it could not be created
    virtual BOOL OnInitDialog();  // runs UpdateData(FALSE); TRUE lets the framework set the focus
    virtual void OnOK();          // UpdateData(TRUE), then EndDialog(IDOK)
    virtual void OnCancel();      // EndDialog(IDCANCEL)
    void EndDialog(int nResult);

    BOOL OnCmdMsg(UINT nID) override;

protected:
    // WM_CLOSE cancels, as the dialog's close box does.
    LRESULT DefWindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam) override;

    CWnd* m_pParentWnd;
};

// A form that fills its frame's client area: the program's main view.
class CView : public CDialogTemplateWnd {
public:
    using CDialogTemplateWnd::CDialogTemplateWnd;
    virtual void OnInitialUpdate();  // runs UpdateData(FALSE)
    BOOL OnCmdMsg(UINT nID) override;  // the view first, then its frame
};

class CFormView : public CView {
public:
    explicit CFormView(UINT nIDTemplate) : CView(nIDTemplate) {}
    // Builds the form's controls from its template inside pParent.
    BOOL Create(CWnd* pParent);
};

struct CREATESTRUCT {
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;
};

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
int GetSystemMetrics(int nIndex);

class CFrameWnd : public CWnd {
public:
    CFrameWnd();
    ~CFrameWnd() override;

    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    // Creates the frame with menu, accelerators and icon nIDResource, title
    // strTitle, and the style and geometry that PreCreateWindow settles.
    BOOL LoadFrame(UINT nIDResource, const CString& strTitle);
    // A frame without menu for tests and hosts.
    BOOL CreateBare(const CString& strTitle, const CRect& rect);

    CView* GetActiveView() const { return m_pActiveView; }
    void SetActiveView(CView* pView) { m_pActiveView = pView; }

    BOOL OnCmdMsg(UINT nID) override;  // frame, then the application

    // Handlers for the help commands a frame maps: each opens the
    // application's help (CWinApp::WinHelp); there is no context help mode.
    void OnHelpFinder();
    void OnHelp();
    void OnContextHelp();

protected:
    CView* m_pActiveView = nullptr;
};

// ---- message boxes, captioned with the application's title (string 57344).
// Modal: the message loop goes on while the box is open.
int AfxMessageBox(const CString& strText, UINT nType = MB_OK);

// Replaces what AfxMessageBox does (tests capture boxes this way); an empty
// function restores the real box. The hook gets caption, text and type and
// returns the button pressed.
#include <functional>
using AfxMessageBoxHook = std::function<int(const CString& strCaption, const CString& strText, UINT nType)>;
void AfxSetMessageBoxHook(AfxMessageBoxHook hook);
