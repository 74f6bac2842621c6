// Message maps: each class that handles messages lists them in a constant
// table, chained to its base class's table. Dispatch walks the chain from the
// most derived class; the first entry that matches wins.
#pragma once

#include "AfxTypes.h"

class CCmdTarget;
class CDC;
struct AFX_GDIOBJECT;
using AFX_PMSG = void (CCmdTarget::*)();

enum AfxSig {
    AfxSig_end = 0,
    AfxSig_vv,      // void OnXxx()
    AfxSig_vu,      // void OnTimer(UINT nIDEvent)
    AfxSig_lwl,     // LRESULT OnXxx(WPARAM, LPARAM)
    AfxSig_vMMI,    // void OnGetMinMaxInfo(MINMAXINFO*)
    AfxSig_vwp,     // void OnMouseMove(UINT nFlags, CPoint point)
    AfxSig_hDu,     // HBRUSH CtlColor(CDC* pDC, UINT nCtlColor)
};

// The handler of an entry; nSig names the member that is set. A union rather
// than casts between member-pointer types keeps every call well-typed.
union AFX_MSGFN {
    void (CCmdTarget::*pfn_vv)();
    void (CCmdTarget::*pfn_vu)(UINT);
    LRESULT (CCmdTarget::*pfn_lwl)(WPARAM, LPARAM);
    void (CCmdTarget::*pfn_vMMI)(MINMAXINFO*);
    void (CCmdTarget::*pfn_vwp)(UINT, CPoint);
    const AFX_GDIOBJECT* (CCmdTarget::*pfn_hDu)(CDC*, UINT);
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // WM_COMMAND for commands
    UINT nID;       // command id for WM_COMMAND, else 0
    AfxSig nSig;
    AFX_MSGFN fn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* pBaseMap;
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                          \
protected:                                             \
    static const AFX_MSGMAP_ENTRY _messageEntries[];   \
public:                                                \
    static const AFX_MSGMAP messageMap;                \
    const AFX_MSGMAP* GetMessageMap() const override;  \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return &theClass::messageMap; } \
    const AFX_MSGMAP theClass::messageMap = {&baseClass::messageMap, &theClass::_messageEntries[0]}; \
    const AFX_MSGMAP_ENTRY theClass::_messageEntries[] = {

#define END_MESSAGE_MAP() {0, 0, AfxSig_end, {.pfn_vv = nullptr}}};

// The handler's class must derive from CCmdTarget (single inheritance), so the
// pointer to member converts to the base's type without adjustment.
#define ON_COMMAND(id, fn) \
    {WM_COMMAND, static_cast<UINT>(id), AfxSig_vv, {.pfn_vv = static_cast<void (CCmdTarget::*)()>(fn)}},
#define ON_BN_CLICKED(id, fn) ON_COMMAND(id, fn)
#define ON_MESSAGE(msg, fn) \
    {static_cast<UINT>(msg), 0, AfxSig_lwl, {.pfn_lwl = static_cast<LRESULT (CCmdTarget::*)(WPARAM, LPARAM)>(fn)}},
#define ON_WM_TIMER(fn) {WM_TIMER, 0, AfxSig_vu, {.pfn_vu = static_cast<void (CCmdTarget::*)(UINT)>(fn)}},
#define ON_WM_DESTROY(fn) {WM_DESTROY, 0, AfxSig_vv, {.pfn_vv = static_cast<void (CCmdTarget::*)()>(fn)}},
#define ON_WM_CLOSE(fn) {WM_CLOSE, 0, AfxSig_vv, {.pfn_vv = static_cast<void (CCmdTarget::*)()>(fn)}},
#define ON_WM_GETMINMAXINFO(fn) \
    {WM_GETMINMAXINFO, 0, AfxSig_vMMI, {.pfn_vMMI = static_cast<void (CCmdTarget::*)(MINMAXINFO*)>(fn)}},

#define ON_WM_MOUSEMOVE(fn) \
    {WM_MOUSEMOVE, 0, AfxSig_vwp, {.pfn_vwp = static_cast<void (CCmdTarget::*)(UINT, CPoint)>(fn)}},
// Reflected to the control by its parent: the control handles its own
// notification (STN_CLICKED, ...) or colour request.
#define ON_CONTROL_REFLECT(code, fn) \
    {WM_REFLECT_BASE + WM_COMMAND, static_cast<UINT>(code), AfxSig_vv, {.pfn_vv = static_cast<void (CCmdTarget::*)()>(fn)}},
#define ON_WM_CTLCOLOR_REFLECT(fn)                \
    {WM_REFLECT_BASE + WM_CTLCOLOR, 0, AfxSig_hDu, \
     {.pfn_hDu = static_cast<const AFX_GDIOBJECT* (CCmdTarget::*)(CDC*, UINT)>(fn)}},

// Root of the framework's classes: anything that can be created by class
// name or owned through a base pointer.
class CObject {
public:
    virtual ~CObject() = default;
};

class CCmdTarget : public CObject {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    ~CCmdTarget() override = default;

    static const AFX_MSGMAP messageMap;
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // Command routing: handle command nID here; TRUE if some handler took it.
    // Windows extend this to pass the command on (view -> frame -> application).
    virtual BOOL OnCmdMsg(UINT nID);

    // Wait cursor, counted: every Begin needs its End; an End without a Begin
    // does nothing.
    void BeginWaitCursor();
    void EndWaitCursor();
    // How many Begins are open now (tests).
    static int WaitCursorDepthForTesting();

protected:
    // Finds the first entry for (nMessage, nID) in this object's map chain.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nID) const;
    // Calls the handler of an entry; returns the handler's result (0 for void).
    LRESULT CallHandler(const AFX_MSGMAP_ENTRY* pEntry, WPARAM wParam, LPARAM lParam);

private:
    static const AFX_MSGMAP_ENTRY _messageEntries[];
};
