// Frames, forms and dialogs as Qt widgets, and the state of any window.
#include "framework/qt/QtBridge.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Closing by the window manager (title bar, Alt+F4) is the framework's to decide.
class CFrameWidget : public QMainWindow {
public:
    explicit CFrameWidget(Qt::WindowFlags flags) : QMainWindow(nullptr, flags) {}

protected:
    void closeEvent(QCloseEvent* pEvent) override
    {
        pEvent->ignore();
        AfxPortClose(PortOf(this));
    }
};

// Return, Enter and Esc that no control took are the framework's: the
// default button, a dialog's cancel.
UINT DialogKey(const QKeyEvent* pEvent)
{
    switch (pEvent->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    default:
        return 0;
    }
}

class CFormWidget : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void keyPressEvent(QKeyEvent* pEvent) override
    {
        if (const UINT nKey = DialogKey(pEvent); nKey == 0 || !AfxPortKey(PortOf(this), nKey))
            QWidget::keyPressEvent(pEvent);
    }
};

// A modal dialog: its keys and the title bar's close button are the
// framework's, never QDialog's own.
class CDialogWidget : public QDialog {
public:
    using QDialog::QDialog;

    void reject() override { AfxPortClose(PortOf(this)); }

protected:
    void keyPressEvent(QKeyEvent* pEvent) override
    {
        if (const UINT nKey = DialogKey(pEvent))
            AfxPortKey(PortOf(this), nKey);
        else
            QDialog::keyPressEvent(pEvent);
    }
    void closeEvent(QCloseEvent* pEvent) override
    {
        pEvent->ignore();
        AfxPortClose(PortOf(this));
    }
};

Qt::WindowFlags FlagsOfStyle(DWORD dwStyle)
{
    // Every top-level window gets a caption; the rest follows the style.
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (dwStyle & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (dwStyle & WS_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    if (dwStyle & WS_MAXIMIZEBOX)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

void AddAccelerators(QWidget* pFrame, std::span<const AFX_ACCEL> accels)
{
    for (const AFX_ACCEL& accel : accels) {
        const int nKey = QtKeyFromVirtKey(accel.key);
        if (nKey == 0)
            continue;
        Qt::KeyboardModifiers mods;
        if (accel.fVirt & FCONTROL)
            mods |= Qt::ControlModifier;
        if (accel.fVirt & FSHIFT)
            mods |= Qt::ShiftModifier;
        if (accel.fVirt & FALT)
            mods |= Qt::AltModifier;
        auto* pShortcut = new QShortcut(QKeySequence(QKeyCombination(mods, static_cast<Qt::Key>(nKey))), pFrame);
        pShortcut->setContext(Qt::WindowShortcut);
        const UINT nID = accel.cmd;
        QObject::connect(pShortcut, &QShortcut::activated, pFrame, [pFrame, nID] { AfxPortCommand(PortOf(pFrame), nID); });
    }
}

QSize DecorationSize(const QWidget* pWidget) { return pWidget->frameGeometry().size() - pWidget->geometry().size(); }

// The window manager adds its border and title bar only once a window is
// mapped, so a frame sized before it was first shown was sized without them.
// The decoration that held when a window was first placed is kept with it:
// its outside is its inside plus that, whatever the window manager adds
// later, and showing it again never takes the decoration off its inside once
// more. Our own title strip stands in for the window manager's title bar:
// like that, it comes on top of the size asked for.
constexpr char kPlacedDecoration[] = "_afx_placedDecoration";

QSize PlacedDecoration(QWidget* pWidget)
{
    const QVariant v = pWidget->property(kPlacedDecoration);
    if (v.isValid())
        return v.toSize();
    const QSize sizeDecor = DecorationSize(pWidget) - QSize(0, TitleStripHeight(pWidget));
    pWidget->setProperty(kPlacedDecoration, sizeDecor);
    return sizeDecor;
}

}  // namespace

QFont TemplateFont(const AFX_DLGTEMPLATE& tmpl)
{
    QFont font = QApplication::font();
    const QString strFamily = QString::fromUtf8(tmpl.fontName ? tmpl.fontName : "");
    if (!strFamily.isEmpty() && QFontDatabase::families().contains(strFamily, Qt::CaseInsensitive))
        font.setFamily(strFamily);
    font.setPointSize(tmpl.pointSize > 0 ? tmpl.pointSize : 8);
    return font;
}

bool IsFrameworkDialog(const QWidget* pWidget) { return dynamic_cast<const CDialogWidget*>(pWidget) != nullptr; }

AFX_PORTWND CQtPort::CreateFrame(const AFX_FRAMEDESC& desc)
{
    auto* pFrame = new CFrameWidget(FlagsOfStyle(desc.dwStyle) | DecorationFlags());
    pFrame->setWindowTitle(ToQt(desc.strTitle));
    SetWindowStyle(pFrame, desc.dwStyle);
    AddTitleStrip(pFrame);
    if (!desc.menu.empty())
        AddMenuItems(pFrame->menuBar(), desc.menu, -1, [pFrame](UINT nID) { AfxPortCommand(PortOf(pFrame), nID); });
    if (!desc.accels.empty())
        AddAccelerators(pFrame, desc.accels);
    return PortOf(pFrame);
}

AFX_PORTWND CQtPort::CreateForm(AFX_PORTWND pwParent, const AFX_DLGTEMPLATE& tmpl, CSize sizeClient)
{
    QWidget* pParent = WidgetOf(pwParent);
    auto* pForm = new CFormWidget;
    pForm->setFont(TemplateFont(tmpl));
    pForm->resize(sizeClient.cx, sizeClient.cy);
    if (auto* pMainWindow = qobject_cast<QMainWindow*>(pParent)) {
        pMainWindow->setCentralWidget(pForm);
    } else if (pParent != nullptr) {
        if (pParent->layout() == nullptr) {
            auto* pLayout = new QVBoxLayout(pParent);
            pLayout->setContentsMargins(0, 0, 0, 0);
        }
        pParent->layout()->addWidget(pForm);
    }
    if (pParent != nullptr)
        pForm->show();
    return PortOf(pForm);
}

AFX_PORTWND CQtPort::CreateDialogWindow(AFX_PORTWND pwOwner, const AFX_DLGTEMPLATE& tmpl, CSize sizeClient)
{
    QWidget* pOwner = WidgetOf(pwOwner);
    auto* pDialog = new CDialogWidget(pOwner ? pOwner->window() : nullptr);
    pDialog->setWindowFlags(pDialog->windowFlags() | DecorationFlags());
    pDialog->setWindowTitle(QString::fromUtf8(tmpl.caption ? tmpl.caption : ""));
    pDialog->setFont(TemplateFont(tmpl));
    AddTitleStrip(pDialog);
    pDialog->setFixedSize(sizeClient.cx, sizeClient.cy + TitleStripHeight(pDialog));
    return PortOf(pDialog);
}

CSize CQtPort::DialogBaseUnits(const AFX_DLGTEMPLATE& tmpl)
{
    // As the platform derives them from the font: the average width of the
    // 52 letters, and the character height.
    const QFontMetrics metrics(TemplateFont(tmpl));
    const int nWidth = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return CSize{std::max(1, (nWidth / 26 + 1) / 2), std::max(1, metrics.height())};
}

void CQtPort::DestroyWindow(AFX_PORTWND pw) { delete WidgetOf(pw); }

void CQtPort::SetText(AFX_PORTWND pw, const CString& strText)
{
    QWidget* pWidget = WidgetOf(pw);
    const QString str = ToQt(strText);
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
        pButton->setText(str);
    else if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
        pEdit->setText(str);
    else if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
        pCombo->setEditText(str);
    else if (auto* pLabel = qobject_cast<QLabel*>(pWidget)) {
        pLabel->setText(str);
        // Measuring the text is most of what a new text costs; a hidden
        // window's countdown changes every second, so it waits for the show.
        if (pLabel->isVisible())
            FitStaticText(pLabel);
    } else if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget))
        pGroup->setTitle(str);
    else
        pWidget->setWindowTitle(str);
}

CString CQtPort::GetText(AFX_PORTWND pw)
{
    QWidget* pWidget = WidgetOf(pw);
    QString str;
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
        str = pButton->text();
    else if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
        str = pEdit->text();
    else if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
        str = pCombo->currentText();
    else if (auto* pLabel = qobject_cast<QLabel*>(pWidget))
        str = pLabel->text();
    else if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget))
        str = pGroup->title();
    else
        str = pWidget->windowTitle();
    return str.toStdString();
}

void CQtPort::EnableWindow(AFX_PORTWND pw, BOOL bEnable) { WidgetOf(pw)->setEnabled(bEnable != FALSE); }

BOOL CQtPort::IsWindowEnabled(AFX_PORTWND pw)
{
    // The window's own state, not its parent's, as on the original platform.
    return !WidgetOf(pw)->testAttribute(Qt::WA_ForceDisabled);
}

void CQtPort::ShowWindow(AFX_PORTWND pw, int nCmdShow)
{
    QWidget* pWidget = WidgetOf(pw);
    if (nCmdShow == SW_HIDE) {
        pWidget->hide();
        return;
    }
    if (!pWidget->isWindow()) {
        pWidget->show();
        return;
    }
    PrepareTopLevel(pWidget);
    if (nCmdShow == SW_MINIMIZE) {
        pWidget->showMinimized();
        return;
    }
    if (nCmdShow == SW_SHOWNORMAL)
        pWidget->showNormal();
    else
        pWidget->show();
    // Our frames have no minimise box, yet a window manager may minimise
    // them all the same (its own menu, the task bar): showing one brings it
    // back from there too.
    if (pWidget->windowState() & Qt::WindowMinimized)
        pWidget->setWindowState(pWidget->windowState() & ~Qt::WindowMinimized);
}

BOOL CQtPort::IsHidden(AFX_PORTWND pw) { return WidgetOf(pw)->isHidden(); }

BOOL CQtPort::IsVisible(AFX_PORTWND pw) { return WidgetOf(pw)->isVisible(); }

BOOL CQtPort::IsMinimized(AFX_PORTWND pw) { return WidgetOf(pw)->window()->isMinimized(); }

CRect CQtPort::GetWindowRect(AFX_PORTWND pw)
{
    QWidget* pWidget = WidgetOf(pw);
    const QRect rect = pWidget->isWindow() ? QRect(pWidget->frameGeometry().topLeft(), pWidget->size() + PlacedDecoration(pWidget))
                                           : QRect(pWidget->mapToGlobal(QPoint(0, 0)), pWidget->size());
    return CRect{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

void CQtPort::MoveWindow(AFX_PORTWND pw, const CRect& rect)
{
    QWidget* pWidget = WidgetOf(pw);
    if (pWidget->isWindow()) {
        // The rect is the outer one; Qt sizes the inside and places the outside.
        const QSize sizeDecor = PlacedDecoration(pWidget);
        if (pWidget->minimumSize() != pWidget->maximumSize())
            pWidget->resize(std::max(0, rect.Width() - sizeDecor.width()), std::max(0, rect.Height() - sizeDecor.height()));
        pWidget->move(rect.left, rect.top);
    } else {
        const int nTop = TitleStripHeight(pWidget->parentWidget());
        pWidget->setGeometry(rect.left, rect.top + nTop, rect.Width(), rect.Height());
    }
}

void CQtPort::PlaceWindow(AFX_PORTWND pw, const CRect& rcOuter, const AFX_SIZELIMITS& limits)
{
    QWidget* pWidget = WidgetOf(pw);
    // Qt sizes the inside of a window; the rect and the limits are outside sizes.
    const QSize sizeDecor = PlacedDecoration(pWidget);
    const QSize sizeClient(std::max(0, rcOuter.Width() - sizeDecor.width()),
                           std::max(0, rcOuter.Height() - sizeDecor.height()));
    if (limits.bFixed) {
        pWidget->setFixedSize(sizeClient);
    } else {
        pWidget->setMinimumSize(0, 0);
        pWidget->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        if (limits.bLimited) {
            pWidget->setMinimumSize(std::max(0, limits.sizeMin.cx - sizeDecor.width()),
                                    std::max(0, limits.sizeMin.cy - sizeDecor.height()));
            pWidget->setMaximumSize(std::max(0, limits.sizeMax.cx - sizeDecor.width()),
                                    std::max(0, limits.sizeMax.cy - sizeDecor.height()));
        }
        pWidget->resize(sizeClient);
    }
    pWidget->move(rcOuter.left, rcOuter.top);
}

void CQtPort::SetForegroundWindow(AFX_PORTWND pw)
{
    QWidget* pWindow = WidgetOf(pw)->window();
    if (!pWindow->isVisible())
        return;
    BringForward(pWindow);
    // A box it owns stays in front of it, as owned windows do on the
    // original platform, and takes the input.
    for (QWidget* pTop : QApplication::topLevelWidgets()) {
        if (pTop != pWindow && pTop->isVisible() && pTop->isModal() && pTop->parentWidget() != nullptr &&
            pTop->parentWidget()->window() == pWindow)
            BringForward(pTop);
    }
}

AFX_PORTWND CQtPort::GetForegroundWindow()
{
    QWidget* pActive = QApplication::activeWindow();
    return pActive != nullptr ? PortOf(pActive) : nullptr;
}

void CQtPort::SetIcon(AFX_PORTWND pw, HICON hIcon) { WidgetOf(pw)->setWindowIcon(IconFromResource(hIcon)); }

void CQtPort::ShowModal(AFX_PORTWND pw)
{
    // Modal to its owner only, as on the original platform: the tray icon
    // (a window of its own) keeps answering while a dialog is open.
    QWidget* pWidget = WidgetOf(pw);
    pWidget->setWindowModality(pWidget->parentWidget() != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    PrepareTopLevel(pWidget);
    pWidget->show();
}

BOOL CQtPort::HasFocus(AFX_PORTWND pw)
{
    // The window's own focus widget: where the keyboard goes whenever the
    // window is the active one. A combo box's focus sits in its edit field.
    QWidget* pWidget = WidgetOf(pw);
    QWidget* pFocus = pWidget->window()->focusWidget();
    if (pFocus == nullptr)
        return FALSE;
    if (pFocus == pWidget)
        return TRUE;
    auto* pCombo = qobject_cast<QComboBox*>(pWidget);
    return pCombo != nullptr && pFocus == pCombo->lineEdit();
}

void CQtPort::SetFocus(AFX_PORTWND pw) { WidgetOf(pw)->setFocus(Qt::OtherFocusReason); }

void CQtPort::SetAccessibleName(AFX_PORTWND pw, const CString& strName)
{
    // Without the '&' of a mnemonic, as a screen reader should say it; "&&"
    // is a '&' of the text. (A plain scan: a regular expression here was the
    // only reason the program loaded a regular expression library.)
    CString strPlain;
    for (std::size_t i = 0; i < strName.size(); ++i) {
        if (strName[i] != '&')
            strPlain += strName[i];
        else if (i + 1 < strName.size() && strName[i + 1] == '&')
            strPlain += strName[++i];
    }
    WidgetOf(pw)->setAccessibleName(ToQt(strPlain));
}
