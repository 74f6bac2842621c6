// Acting on the console backend's controls as a user would, with a desktop's
// answers: a disabled control takes no click and no key, a focused button
// takes Space and Return, and the keys a control does not take go on to the
// framework (Return for the default button, Esc to cancel a dialog).
#include "framework/console/ConsoleBridge.h"
#include "framework/console/ConsoleInput.h"

namespace {

bool IsButton(const CConsoleWnd* pWnd)
{
    return pWnd->kind == CConsoleKind::Control &&
           (pWnd->ctrl == AfxControl::PushButton || pWnd->ctrl == AfxControl::DefPushButton ||
            pWnd->ctrl == AfxControl::CheckBox);
}

bool TakesText(const CConsoleWnd* pWnd)
{
    return pWnd->kind == CConsoleKind::Control &&
           (pWnd->ctrl == AfxControl::Edit || pWnd->ctrl == AfxControl::ComboDropDown);
}

class CConsoleInput final : public CAfxInputSimulator {
public:
    void Click(AFX_PORTWND pw) override
    {
        CConsoleWnd* pButton = WndOf(pw);
        if (!IsButton(pButton) || !ConsoleIsEffectivelyEnabled(pButton))
            return;
        if (pButton->ctrl == AfxControl::CheckBox)
            pButton->nCheck = pButton->nCheck ? 0 : 1;
        AfxPortCommand(pw, 0);
    }

    void Type(AFX_PORTWND pw, const CString& strText) override
    {
        CConsoleWnd* pWnd = WndOf(pw);
        // Typed at the end of the field, where the cursor stands after a change.
        if (TakesText(pWnd) && ConsoleIsEffectivelyEnabled(pWnd) && !strText.empty())
            ConsoleSetText(pWnd, pWnd->strText + strText);
    }

    void PressKey(AFX_PORTWND pw, UINT nVirtKey) override
    {
        CConsoleWnd* pWnd = WndOf(pw);
        if (!ConsoleIsEffectivelyEnabled(pWnd))
            return;
        constexpr UINT kSpace = 0x20;
        if (TakesText(pWnd) && nVirtKey == VK_BACK) {
            if (!pWnd->strText.empty())
                ConsoleSetText(pWnd, pWnd->strText.substr(0, pWnd->strText.size() - 1));
            return;
        }
        if (IsButton(pWnd) && (nVirtKey == kSpace || (nVirtKey == VK_RETURN && pWnd->ctrl != AfxControl::CheckBox))) {
            Click(pw);
            return;
        }
        AfxPortKey(pw, nVirtKey);
    }

    void Drag(AFX_PORTWND pw, int nFrom, int nTo) override
    {
        CConsoleWnd* pWnd = WndOf(pw);
        if (!pWnd->bDragReorder)
            return;
        CString str = pWnd->entries[static_cast<std::size_t>(nFrom)];
        pWnd->entries.erase(pWnd->entries.begin() + nFrom);
        pWnd->entries.insert(pWnd->entries.begin() + nTo, str);
        pWnd->nSel = nTo;
    }
};

}  // namespace

CAfxInputSimulator& AfxConsoleInput()
{
    static auto* s_pInput = new CConsoleInput;
    return *s_pInput;
}
