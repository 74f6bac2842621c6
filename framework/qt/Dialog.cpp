// Windows built from dialog templates: the template window with its data
// exchange, the modal dialog and the form view.
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "framework/qt/QtBridge.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

// The template's font where it exists here; the classic dialog font does
// not, so the desktop's sans font at the template's size stands in.
QFont TemplateFont(const AFX_DLGTEMPLATE& tmpl)
{
    QFont font = QApplication::font();
    const QString strFamily = QString::fromUtf8(tmpl.fontName ? tmpl.fontName : "");
    if (!strFamily.isEmpty() && QFontDatabase::families().contains(strFamily, Qt::CaseInsensitive))
        font.setFamily(strFamily);
    font.setPointSize(tmpl.pointSize > 0 ? tmpl.pointSize : 8);
    return font;
}

// Dialog base units as the platform derives them from the font: the average
// width of the 52 letters and the character height.
struct CBaseUnits {
    int nX;
    int nY;
};

CBaseUnits BaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int nWidth = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return CBaseUnits{std::max(1, (nWidth / 26 + 1) / 2), std::max(1, metrics.height())};
}

int MulDiv(int n, int nNumerator, int nDenominator)
{
    const long long nProduct = static_cast<long long>(n) * nNumerator;
    const long long nHalf = nDenominator / 2;
    return static_cast<int>(nProduct >= 0 ? (nProduct + nHalf) / nDenominator : (nProduct - nHalf) / nDenominator);
}

QRect DialogRect(const CBaseUnits& units, int x, int y, int cx, int cy)
{
    const int nLeft = MulDiv(x, units.nX, 4);
    const int nTop = MulDiv(y, units.nY, 8);
    const int nRight = MulDiv(x + cx, units.nX, 4);
    const int nBottom = MulDiv(y + cy, units.nY, 8);
    return QRect(nLeft, nTop, nRight - nLeft, nBottom - nTop);
}

void BuildControls(CWndImpl* pHost, const AFX_DLGTEMPLATE& tmpl)
{
    const QFont font = TemplateFont(tmpl);
    pHost->Widget()->setFont(font);
    const CBaseUnits units = BaseUnits(font);
    for (const AFX_DLGITEM& item : tmpl.items)
        AfxCreateControl(pHost, item, DialogRect(units, item.x, item.y, item.cx, item.cy));
}

QSize TemplateSize(const AFX_DLGTEMPLATE& tmpl)
{
    return DialogRect(BaseUnits(TemplateFont(tmpl)), 0, 0, tmpl.cx, tmpl.cy).size();
}

void SendCommand(QWidget* pWidget, int nID)
{
    CWndImpl* pImpl = CWndImpl::FromWidget(pWidget);
    if (pImpl != nullptr && pImpl->Owner() != nullptr) {
        CDispatchScope scope;
        pImpl->Owner()->WindowProc(WM_COMMAND, static_cast<WPARAM>(nID), 0);
    }
}

// A form: Return presses its default button, as a dialog's would.
class CFormWidget : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void keyPressEvent(QKeyEvent* pEvent) override
    {
        if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter) {
            for (QPushButton* pButton : findChildren<QPushButton*>()) {
                if (pButton->isDefault() && pButton->isEnabled()) {
                    pButton->click();
                    return;
                }
            }
        }
        QWidget::keyPressEvent(pEvent);
    }
};

// A modal dialog: Esc and the title bar's close button come as IDCANCEL.
class CDialogWidget : public QDialog {
public:
    using QDialog::QDialog;

    void reject() override { SendCommand(this, IDCANCEL); }

protected:
    void closeEvent(QCloseEvent* pEvent) override
    {
        pEvent->ignore();
        SendCommand(this, IDCANCEL);
    }
};

}  // namespace

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
    QWidget* pParentWidget = AfxWidgetOf(m_pParentWnd);
    auto* pDialog = new CDialogWidget(pParentWidget ? pParentWidget->window() : nullptr);
    pDialog->setWindowTitle(QString::fromUtf8(pTemplate->caption ? pTemplate->caption : ""));
    auto* pImpl = new CWndImpl(this, pDialog);
    AttachImpl(pImpl, TRUE);
    BuildControls(pImpl, *pTemplate);
    pDialog->setFixedSize(TemplateSize(*pTemplate));

    CModalState state;
    pImpl->m_pModal = &state;
    QPointer<CWndImpl> pGuard(pImpl);
    OnInitDialog();
    if (!state.bEnded && IsWindow()) {
        const QWidget* pCentreOn = pDialog->parentWidget();
        const QRect rectArea = pCentreOn && pCentreOn->isVisible() ? pCentreOn->frameGeometry()
                               : QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry()
                                                                   : QRect();
        pDialog->move(rectArea.center() - QPoint(pDialog->width() / 2, pDialog->height() / 2));
        pDialog->setWindowModality(Qt::ApplicationModal);
        pDialog->show();
        QEventLoop loop;
        state.pLoop = &loop;
        // Also ends when a parent takes the dialog's widget with it.
        QObject::connect(pDialog, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
        state.pLoop = nullptr;
    }
    if (pGuard && pGuard->m_pModal == &state)
        pGuard->m_pModal = nullptr;
    if (IsWindow())
        DestroyWindow();
    return state.nResult;
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

void CDialog::EndDialog(int nResult)
{
    if (m_pImpl == nullptr || m_pImpl->m_pModal == nullptr)
        return;
    CModalState* pState = m_pImpl->m_pModal;
    pState->nResult = nResult;
    pState->bEnded = TRUE;
    if (QWidget* pWidget = m_pImpl->Widget())
        pWidget->hide();
    if (pState->pLoop != nullptr)
        pState->pLoop->quit();
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
    QWidget* pParentWidget = AfxWidgetOf(pParent);
    auto* pForm = new CFormWidget;
    pForm->resize(TemplateSize(*pTemplate));
    if (auto* pMainWindow = qobject_cast<QMainWindow*>(pParentWidget)) {
        pMainWindow->setCentralWidget(pForm);
    } else if (pParentWidget != nullptr) {
        if (pParentWidget->layout() == nullptr) {
            auto* pLayout = new QVBoxLayout(pParentWidget);
            pLayout->setContentsMargins(0, 0, 0, 0);
        }
        pParentWidget->layout()->addWidget(pForm);
    }
    auto* pImpl = new CWndImpl(this, pForm);
    AttachImpl(pImpl, TRUE);
    BuildControls(pImpl, *pTemplate);
    if (pParentWidget != nullptr)
        pForm->show();
    if (auto* pFrame = dynamic_cast<CFrameWnd*>(pParent); pFrame != nullptr && pFrame->GetActiveView() == nullptr)
        pFrame->SetActiveView(this);
    return TRUE;
}
