// Acting on the system's controls as a user would: BM_CLICK on the button
// (a disabled one does not click), characters and keys to the control with
// the keyboard, a drag list's drop.
#include "framework/win32/Win32Bridge.h"
#include "framework/win32/Win32Input.h"

namespace {

class CWin32Input final : public CAfxInputSimulator {
public:
    void Click(AFX_PORTWND pw) override { w32::SimulateClick(WndOf(pw)); }
    void Type(AFX_PORTWND pw, const CString& strText) override { w32::SimulateTyping(WndOf(pw), strText); }
    void PressKey(AFX_PORTWND pw, UINT nVirtKey) override { w32::SimulateKey(WndOf(pw), nVirtKey); }
    void Drag(AFX_PORTWND pw, int nFrom, int nTo) override { w32::SimulateDrag(WndOf(pw), nFrom, nTo); }
};

}  // namespace

CAfxInputSimulator& AfxWin32Input()
{
    static auto* s_pInput = new CWin32Input;
    return *s_pInput;
}
