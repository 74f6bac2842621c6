// Windows built from dialog templates: controls placed in dialog units, data
// exchange, the modal dialog and the form view.
#include "framework/WinApp.h"
#include "framework/WndPrivate.h"

namespace {

int MulDiv(int n, int nNumerator, int nDenominator)
{
    const long long nProduct = static_cast<long long>(n) * nNumerator;
    const long long nHalf = nDenominator / 2;
    return static_cast<int>(nProduct >= 0 ? (nProduct + nHalf) / nDenominator : (nProduct - nHalf) / nDenominator);
}

// Dialog units to pixels, as the platform maps them: x in quarters of the
// average character width, y in eighths of the character height.
CRect DialogRect(CSize units, int x, int y, int cx, int cy)
{
    return CRect{MulDiv(x, units.cx, 4), MulDiv(y, units.cy, 8), MulDiv(x + cx, units.cx, 4),
                 MulDiv(y + cy, units.cy, 8)};
}

std::unique_ptr<CWnd> NewControlObject(AfxControl kind)
{
    switch (kind) {
    case AfxControl::PushButton:
    case AfxControl::DefPushButton:
    case AfxControl::CheckBox:
    case AfxControl::GroupBox:
        return std::make_unique<CButton>();
    case AfxControl::Edit:
        return std::make_unique<CEdit>();
    case AfxControl::ComboDropDown:
        return std::make_unique<CComboBox>();
    case AfxControl::ListBox:
        return std::make_unique<CListBox>();
    case AfxControl::Static:
    case AfxControl::IconStatic:
        return std::make_unique<CStatic>();
    }
    return std::make_unique<CWnd>();
}

// The window a dialog belongs to: its parent's top-level window, else the
// main window.
CWndState* OwnerOf(CWnd* pParentWnd)
{
    CWnd* pWnd = pParentWnd != nullptr ? pParentWnd : AfxGetMainWnd();
    CWndState* pState = pWnd != nullptr ? pWnd->State() : nullptr;
    while (pState != nullptr && pState->pParent != nullptr)
        pState = pState->pParent;
    return pState;
}

// Centred over the owner while it is shown, else over the screen.
CRect CentredRect(CWndState* pOwner, CSize size)
{
    CRect rcArea;
    if (pOwner != nullptr && AfxPort().IsVisible(pOwner->pw)) {
        rcArea = AfxPort().GetWindowRect(pOwner->pw);
    } else {
        const CSize sizeScreen = AfxPort().ScreenSize();
        rcArea = CRect{0, 0, sizeScreen.cx, sizeScreen.cy};
    }
    const int x = rcArea.left + (rcArea.Width() - size.cx) / 2;
    const int y = rcArea.top + (rcArea.Height() - size.cy) / 2;
    return CRect{x, y, x + size.cx, y + size.cy};
}

// Controls without a text of their own (edit, combo and list boxes) are named
// for a screen reader by their label: the static nearest above them, or
// beside them on the same line, as a reader would pair them on the form.
bool HasOwnText(AfxControl kind)
{
    return kind != AfxControl::Edit && kind != AfxControl::ComboDropDown && kind != AfxControl::ListBox;
}

const char* LabelOf(std::span<const AFX_DLGITEM> items, const AFX_DLGITEM& control)
{
    // A combo box's template height is its dropped-down list; its field is one line.
    const int nBottom = control.kind == AfxControl::ComboDropDown ? control.y + 12 : control.y + control.cy;
    const char* pszBest = nullptr;
    int nBestGap = 1 << 30;
    for (const AFX_DLGITEM& item : items) {
        if (item.kind != AfxControl::Static || item.text == nullptr || *item.text == '\0')
            continue;
        const bool bOverlapX = item.x < control.x + control.cx && control.x < item.x + item.cx;
        const bool bOverlapY = item.y < nBottom && control.y < item.y + item.cy;
        int nGap = -1;
        if (bOverlapX && item.y + item.cy <= control.y)
            nGap = control.y - (item.y + item.cy);  // above
        else if (bOverlapY && item.x >= control.x + control.cx)
            nGap = item.x - (control.x + control.cx);  // to the right
        else if (bOverlapY && item.x + item.cx <= control.x)
            nGap = control.x - (item.x + item.cx);  // to the left
        if (nGap >= 0 && nGap < nBestGap) {
            nBestGap = nGap;
            pszBest = item.text;
        }
    }
    return pszBest;
}

}  // namespace

const char* AfxLabelForTesting(const AFX_DLGTEMPLATE& tmpl, int nIDC)
{
    for (const AFX_DLGITEM& item : tmpl.items) {
        if (item.id == nIDC)
            return HasOwnText(item.kind) ? nullptr : LabelOf(tmpl.items, item);
    }
    return nullptr;
}

void AfxBuildControls(CWndState* pHost, const AFX_DLGTEMPLATE& tmpl)
{
    const CSize units = AfxPort().DialogBaseUnits(tmpl);
    for (const AFX_DLGITEM& item : tmpl.items) {
        const CRect rect = DialogRect(units, item.x, item.y, item.cx, item.cy);
        AFX_PORTWND pw = AfxPort().CreateControl(pHost->pw, item, rect);
        if (pw == nullptr)
            continue;
        std::unique_ptr<CWnd> pWnd = NewControlObject(item.kind);
        CWndState* pState = AfxNewWindow(pWnd.get(), pw, AfxWndKind::Control, pHost);
        pState->nCtrlId = item.id;
        pState->ctrlKind = item.kind;
        pState->dwStyle = item.style;
        if (!HasOwnText(item.kind)) {
            if (const char* pszLabel = LabelOf(tmpl.items, item))
                AfxPort().SetAccessibleName(pw, pszLabel);
        }
        pHost->controls.push_back(std::move(pWnd));
    }
}

CSize AfxTemplateSize(const AFX_DLGTEMPLATE& tmpl)
{
    const CRect rect = DialogRect(AfxPort().DialogBaseUnits(tmpl), 0, 0, tmpl.cx, tmpl.cy);
    return CSize{rect.Width(), rect.Height()};
}

// ---- CDialogTemplateWnd

BOOL CDialogTemplateWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialogTemplateWnd::DoDataExchange(CDataExchange* /*pDX*/) {}

// ---- CDialog

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : CDialogTemplateWnd(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

int CDialog::DoModal()
{
    const AFX_DLGTEMPLATE* pTemplate = AfxFindDialog(m_nIDTemplate);
    if (pTemplate == nullptr || IsWindow())
        return -1;
    CWndState* pOwner = OwnerOf(m_pParentWnd);
    const CSize size = AfxTemplateSize(*pTemplate);
    AFX_PORTWND pw = AfxPort().CreateDialogWindow(pOwner ? pOwner->pw : nullptr, *pTemplate, size);
    CWndState* pState = AfxNewWindow(this, pw, AfxWndKind::Dialog, nullptr);
    if (pState == nullptr)
        return -1;
    const HWND hOwner = pOwner != nullptr ? pOwner->hWnd : nullptr;
    pState->hOwner = hOwner;
    AfxBuildControls(pState, *pTemplate);

    CModalState modal;
    pState->pModal = &modal;
    const HWND hWnd = pState->hWnd;
    OnInitDialog();
    if (!modal.bEnded && (pState = AfxStateFromHandle(hWnd)) != nullptr) {
        AfxPort().MoveWindow(pState->pw, CentredRect(pOwner && AfxStateFromHandle(pOwner->hWnd) ? pOwner : nullptr, size));
        AfxPort().ShowModal(pState->pw);
        modal.bRunning = TRUE;
        AfxPort().RunLoop(modal.loop);
        modal.bRunning = FALSE;
    }
    if ((pState = AfxStateFromHandle(hWnd)) != nullptr && pState->pModal == &modal)
        pState->pModal = nullptr;
    if (IsWindow())
        DestroyWindow();
    AfxActivateOwnerAfterModal(hOwner);
    return modal.nResult;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialog::DefWindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    if (nMessage == WM_CLOSE) {
        SendMessage(WM_COMMAND, IDCANCEL, 0);
        return 0;
    }
    return CDialogTemplateWnd::DefWindowProc(nMessage, wParam, lParam);
}

CDialog* AfxGetModalDialogForTesting()
{
    std::vector<HWND> windows = AfxTopLevelWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        CWndState* pState = AfxStateFromHandle(*it);
        if (pState != nullptr && pState->kind == AfxWndKind::Dialog && pState->pModal != nullptr &&
            pState->pModal->bRunning)
            return dynamic_cast<CDialog*>(pState->pOwner);
    }
    return nullptr;
}

void CDialog::EndDialog(int nResult)
{
    CWndState* pState = State();
    if (pState == nullptr || pState->pModal == nullptr)
        return;
    CModalState* pModal = pState->pModal;
    pModal->nResult = nResult;
    pModal->bEnded = TRUE;
    AfxPort().ShowWindow(pState->pw, SW_HIDE);
    if (pModal->bRunning)
        AfxPort().ExitLoop(pModal->loop, nResult);
}

BOOL CDialog::OnCmdMsg(UINT nID)
{
    if (CDialogTemplateWnd::OnCmdMsg(nID))
        return TRUE;
    if (nID == IDOK) {
        OnOK();
        return TRUE;
    }
    if (nID == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

// ---- CView and CFormView

void CView::OnInitialUpdate() { UpdateData(FALSE); }

BOOL CView::OnCmdMsg(UINT nID)
{
    if (CDialogTemplateWnd::OnCmdMsg(nID))
        return TRUE;
    // The frame's own map, not its routing, which would ask the view again.
    if (CFrameWnd* pFrame = GetParentFrame(); pFrame != nullptr && pFrame->CCmdTarget::OnCmdMsg(nID))
        return TRUE;
    CWinApp* pApp = AfxGetApp();
    return pApp != nullptr && pApp->OnCmdMsg(nID);
}

BOOL CFormView::Create(CWnd* pParent)
{
    const AFX_DLGTEMPLATE* pTemplate = AfxFindDialog(m_nIDTemplate);
    if (pTemplate == nullptr || IsWindow())
        return FALSE;
    CWndState* pParentState = pParent != nullptr ? pParent->State() : nullptr;
    AFX_PORTWND pw = AfxPort().CreateForm(pParentState ? pParentState->pw : nullptr, *pTemplate,
                                          AfxTemplateSize(*pTemplate));
    CWndState* pState = AfxNewWindow(this, pw, AfxWndKind::Form, pParentState);
    if (pState == nullptr)
        return FALSE;
    AfxBuildControls(pState, *pTemplate);
    if (auto* pFrame = dynamic_cast<CFrameWnd*>(pParent); pFrame != nullptr && pFrame->GetActiveView() == nullptr)
        pFrame->SetActiveView(this);
    return TRUE;
}
