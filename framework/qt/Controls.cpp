// Controls made from template items: buttons, edit and combo boxes, statics,
// list boxes; the control classes' operations; data exchange.
#include "framework/Wnd.h"
#include "framework/qt/QtBridge.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

QComboBox* ComboOf(const CWnd* pWnd) { return qobject_cast<QComboBox*>(AfxWidgetOf(pWnd)); }
QListWidget* ListOf(const CWnd* pWnd) { return qobject_cast<QListWidget*>(AfxWidgetOf(pWnd)); }

int FindExact(int nCount, const std::function<QString(int)>& itemText, const CString& str)
{
    const QString strWanted = QString::fromStdString(str);
    for (int i = 0; i < nCount; ++i) {
        if (itemText(i).compare(strWanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QComboBox* NewComboBox(QWidget* pParent, const QRect& rect)
{
    auto* pCombo = new QComboBox(pParent);
    pCombo->setEditable(true);
    // Typed text stays typed text: no completion, no new entries on Return,
    // and no jump to a matching entry when the field loses the focus.
    pCombo->setInsertPolicy(QComboBox::NoInsert);
    pCombo->setCompleter(nullptr);
    QObject::disconnect(pCombo->lineEdit(), &QLineEdit::editingFinished, pCombo, nullptr);
    // The template's height is that of the dropped-down list.
    const int nEditHeight = pCombo->sizeHint().height();
    const int nRowHeight = std::max(1, pCombo->fontMetrics().height());
    pCombo->setMaxVisibleItems(std::max(3, (rect.height() - nEditHeight) / nRowHeight));
    pCombo->setGeometry(rect.x(), rect.y(), rect.width(), nEditHeight);
    return pCombo;
}

}  // namespace

// The dialog units come from this font's average character width, but the
// texts were laid out for the old dialog font, whose narrow letters let a
// line such as "Prodlet how often? (minutes)" fit its box; with our fonts it
// would wrap into a box one line high and lose its end. A left-aligned static
// of one line therefore grows to the right, as far as its parent allows.
void AfxFitStaticText(QLabel* pLabel)
{
    const QFontMetrics fm = pLabel->fontMetrics();
    if ((pLabel->alignment() & Qt::AlignLeft) == 0 || pLabel->height() >= 2 * fm.height())
        return;
    pLabel->setWordWrap(false);
    int nWidth = std::max(pLabel->width(), fm.horizontalAdvance(pLabel->text()) + 2);
    if (QWidget* pParent = pLabel->parentWidget(); pParent && pParent->width() > pLabel->x())
        nWidth = std::min(nWidth, std::max(pLabel->width(), pParent->width() - pLabel->x()));
    pLabel->resize(nWidth, pLabel->height());
}

namespace {

Qt::Alignment StaticAlignment(DWORD dwStyle)
{
    if (dwStyle & SS_CENTER)
        return Qt::AlignHCenter | Qt::AlignTop;
    if (dwStyle & SS_RIGHT)
        return Qt::AlignRight | Qt::AlignTop;
    return Qt::AlignLeft | Qt::AlignTop;
}

}  // namespace

CWnd* AfxCreateControl(CWndImpl* pHost, const AFX_DLGITEM& item, const QRect& rect)
{
    QWidget* pParent = pHost->Widget();
    const QString strText = QString::fromUtf8(item.text ? item.text : "");
    QWidget* pWidget = nullptr;
    std::unique_ptr<CWnd> pWnd;
    bool bNotifies = false;
    switch (item.kind) {
    case AfxControl::PushButton:
    case AfxControl::DefPushButton: {
        auto* pButton = new QPushButton(strText, pParent);
        // Return presses the focused button, else the default one.
        pButton->setAutoDefault(true);
        pButton->setDefault(item.kind == AfxControl::DefPushButton);
        pWidget = pButton;
        pWnd = std::make_unique<CButton>();
        bNotifies = true;
        break;
    }
    case AfxControl::CheckBox:
        pWidget = new QCheckBox(strText, pParent);
        pWnd = std::make_unique<CButton>();
        bNotifies = true;
        break;
    case AfxControl::Edit: {
        auto* pEdit = new QLineEdit(strText, pParent);
        pEdit->setAlignment(((item.style & ES_RIGHT) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        pWidget = pEdit;
        pWnd = std::make_unique<CEdit>();
        break;
    }
    case AfxControl::ComboDropDown:
        pWidget = NewComboBox(pParent, rect);
        pWnd = std::make_unique<CComboBox>();
        break;
    case AfxControl::Static: {
        auto* pLabel = new QLabel(pParent);
        pLabel->setTextFormat(Qt::PlainText);
        pLabel->setWordWrap(true);
        pLabel->setAlignment(StaticAlignment(item.style));
        pLabel->setText(strText);
        pWidget = pLabel;
        pWnd = std::make_unique<CStatic>();
        break;
    }
    case AfxControl::IconStatic: {
        auto* pLabel = new QLabel(pParent);
        pLabel->setPixmap(IconFromResource(AfxLoadIcon(item.iconId)).pixmap(32, 32));
        pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        pWidget = pLabel;
        pWnd = std::make_unique<CStatic>();
        break;
    }
    case AfxControl::GroupBox: {
        auto* pGroup = new QGroupBox(strText, pParent);
        // Drawn behind its neighbours and never in their way.
        pGroup->setAttribute(Qt::WA_TransparentForMouseEvents);
        pWidget = pGroup;
        pWnd = std::make_unique<CButton>();
        break;
    }
    case AfxControl::ListBox: {
        auto* pList = new QListWidget(pParent);
        pList->setSelectionMode(QAbstractItemView::SingleSelection);
        pWidget = pList;
        pWnd = std::make_unique<CListBox>();
        break;
    }
    }
    if (pWidget == nullptr)
        return nullptr;
    if (item.kind != AfxControl::ComboDropDown)
        pWidget->setGeometry(rect);
    if (item.kind == AfxControl::Static)
        AfxFitStaticText(static_cast<QLabel*>(pWidget));
    if (item.kind == AfxControl::GroupBox)
        pWidget->lower();
    if (item.style & WS_DISABLED)
        pWidget->setEnabled(false);
    auto* pImpl = new CWndImpl(pWnd.get(), pWidget, item.id);
    pWnd->AttachImpl(pImpl, TRUE);
    if (bNotifies) {
        QObject::connect(static_cast<QAbstractButton*>(pWidget), &QAbstractButton::clicked, pImpl,
                         [pImpl] { AfxNotifyParent(pImpl); });
    }
    pWidget->show();
    CWnd* pResult = pWnd.get();
    pHost->m_controls.push_back(std::move(pWnd));
    return pResult;
}

// ---- CButton

int CButton::GetCheck() const
{
    auto* pButton = qobject_cast<QAbstractButton*>(AfxWidgetOf(this));
    return pButton != nullptr && pButton->isChecked() ? 1 : 0;
}

void CButton::SetCheck(int nCheck)
{
    if (auto* pButton = qobject_cast<QAbstractButton*>(AfxWidgetOf(this)))
        pButton->setChecked(nCheck != 0);
}

// ---- CComboBox

void CComboBox::ResetContent()
{
    if (QComboBox* pCombo = ComboOf(this)) {
        pCombo->clear();
        pCombo->clearEditText();
    }
}

int CComboBox::AddString(const CString& str)
{
    QComboBox* pCombo = ComboOf(this);
    if (pCombo == nullptr)
        return -1;
    // Qt selects the first entry of an empty box; adding never selects here.
    const int nOldSel = pCombo->currentIndex();
    const QString strEdit = pCombo->currentText();
    pCombo->addItem(QString::fromStdString(str));
    if (pCombo->currentIndex() != nOldSel)
        pCombo->setCurrentIndex(nOldSel);
    if (pCombo->currentText() != strEdit)
        pCombo->setEditText(strEdit);
    return pCombo->count() - 1;
}

int CComboBox::GetCount() const
{
    QComboBox* pCombo = ComboOf(this);
    return pCombo ? pCombo->count() : 0;
}

int CComboBox::GetCurSel() const
{
    QComboBox* pCombo = ComboOf(this);
    if (pCombo == nullptr)
        return -1;
    const int nIndex = pCombo->currentIndex();
    // Text typed over the selected entry is no entry of the list.
    if (nIndex < 0 || pCombo->itemText(nIndex) != pCombo->currentText())
        return -1;
    return nIndex;
}

int CComboBox::SetCurSel(int nIndex)
{
    QComboBox* pCombo = ComboOf(this);
    if (pCombo == nullptr)
        return -1;
    if (nIndex < 0 || nIndex >= pCombo->count()) {
        pCombo->setCurrentIndex(-1);
        pCombo->clearEditText();
        return -1;
    }
    pCombo->setCurrentIndex(nIndex);
    pCombo->setEditText(pCombo->itemText(nIndex));
    return nIndex;
}

void CComboBox::GetLBText(int nIndex, CString& str) const
{
    QComboBox* pCombo = ComboOf(this);
    str = pCombo != nullptr && nIndex >= 0 && nIndex < pCombo->count() ? pCombo->itemText(nIndex).toStdString()
                                                                         : CString();
}

int CComboBox::FindStringExact(int /*nStartAfter*/, const CString& str) const
{
    QComboBox* pCombo = ComboOf(this);
    if (pCombo == nullptr)
        return -1;
    return FindExact(pCombo->count(), [pCombo](int i) { return pCombo->itemText(i); }, str);
}

// ---- CListBox

void CListBox::ResetContent()
{
    if (QListWidget* pList = ListOf(this))
        pList->clear();
}

int CListBox::AddString(const CString& str)
{
    QListWidget* pList = ListOf(this);
    if (pList == nullptr)
        return -1;
    pList->addItem(QString::fromStdString(str));
    return pList->count() - 1;
}

int CListBox::DeleteString(int nIndex)
{
    QListWidget* pList = ListOf(this);
    if (pList == nullptr || nIndex < 0 || nIndex >= pList->count())
        return -1;
    delete pList->takeItem(nIndex);
    return pList->count();
}

int CListBox::GetCount() const
{
    QListWidget* pList = ListOf(this);
    return pList ? pList->count() : 0;
}

int CListBox::GetCurSel() const
{
    QListWidget* pList = ListOf(this);
    if (pList == nullptr)
        return -1;
    const QList<QListWidgetItem*> selected = pList->selectedItems();
    return selected.isEmpty() ? -1 : pList->row(selected.first());
}

int CListBox::SetCurSel(int nIndex)
{
    QListWidget* pList = ListOf(this);
    if (pList == nullptr)
        return -1;
    if (nIndex < 0 || nIndex >= pList->count()) {
        pList->clearSelection();
        pList->setCurrentRow(-1);
        return -1;
    }
    pList->setCurrentRow(nIndex, QItemSelectionModel::ClearAndSelect);
    return nIndex;
}

void CListBox::GetText(int nIndex, CString& str) const
{
    QListWidget* pList = ListOf(this);
    str = pList != nullptr && nIndex >= 0 && nIndex < pList->count() ? pList->item(nIndex)->text().toStdString()
                                                                       : CString();
}

int CListBox::FindStringExact(int /*nStartAfter*/, const CString& str) const
{
    QListWidget* pList = ListOf(this);
    if (pList == nullptr)
        return -1;
    return FindExact(pList->count(), [pList](int i) { return pList->item(i)->text(); }, str);
}

// ---- data exchange

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.Impl() != nullptr)
        return;  // attached already
    CWnd* pItem = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (pItem == nullptr || pItem->Impl() == nullptr)
        return;
    rControl.AttachImpl(pItem->Impl(), FALSE);
    if (dynamic_cast<CDragListBox*>(&rControl) != nullptr) {
        if (QListWidget* pList = ListOf(pItem)) {
            pList->setDragEnabled(true);
            pList->setAcceptDrops(true);
            pList->setDropIndicatorShown(true);
            pList->setDragDropMode(QAbstractItemView::InternalMove);
            pList->setDefaultDropAction(Qt::MoveAction);
        }
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    CWnd* pItem = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (pItem == nullptr)
        return;
    if (pDX->m_bSaveAndValidate)
        value = pItem->GetWindowText();
    else
        pItem->SetWindowText(value);
}

void DDX_Check(CDataExchange* pDX, int nIDC, BOOL& value)
{
    auto* pButton = qobject_cast<QAbstractButton*>(AfxWidgetOf(pDX->m_pDlgWnd->GetDlgItem(nIDC)));
    if (pButton == nullptr)
        return;
    if (pDX->m_bSaveAndValidate)
        value = pButton->isChecked() ? TRUE : FALSE;
    else
        pButton->setChecked(value != FALSE);
}

void DDX_LBString(CDataExchange* pDX, int nIDC, CString& value)
{
    QListWidget* pList = ListOf(pDX->m_pDlgWnd->GetDlgItem(nIDC));
    if (pList == nullptr)
        return;
    if (pDX->m_bSaveAndValidate) {
        const QList<QListWidgetItem*> selected = pList->selectedItems();
        value = selected.isEmpty() ? CString() : selected.first()->text().toStdString();
        return;
    }
    // As the platform's list-box selection by string: the first entry that
    // begins with the text, letter case ignored; no match leaves it alone.
    const QString strWanted = QString::fromStdString(value);
    for (int i = 0; i < pList->count(); ++i) {
        if (pList->item(i)->text().startsWith(strWanted, Qt::CaseInsensitive)) {
            pList->setCurrentRow(i, QItemSelectionModel::ClearAndSelect);
            return;
        }
    }
}

// ---- test hooks

void AfxClickForTesting(CWnd* pWnd)
{
    if (auto* pButton = qobject_cast<QAbstractButton*>(AfxWidgetOf(pWnd)))
        pButton->click();
}

void AfxTypeForTesting(CWnd* pWnd, const CString& strText)
{
    QWidget* pWidget = AfxWidgetOf(pWnd);
    if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
        pWidget = pCombo->lineEdit();
    if (pWidget == nullptr)
        return;
    for (const QChar ch : QString::fromStdString(strText)) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QCoreApplication::sendEvent(pWidget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
        QCoreApplication::sendEvent(pWidget, &release);
    }
}

void AfxPressKeyForTesting(CWnd* pWnd, UINT nVirtKey)
{
    QWidget* pWidget = AfxWidgetOf(pWnd);
    if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
        pWidget = pCombo->lineEdit();
    if (pWidget == nullptr)
        return;
    const int nKey = AfxQtKeyFromVirtKey(nVirtKey);
    QKeyEvent press(QEvent::KeyPress, nKey, Qt::NoModifier);
    QCoreApplication::sendEvent(pWidget, &press);
    QKeyEvent release(QEvent::KeyRelease, nKey, Qt::NoModifier);
    QCoreApplication::sendEvent(pWidget, &release);
}

DWORD AfxGetStyleForTesting(const CWnd* pWnd)
{
    QWidget* pWidget = AfxWidgetOf(pWnd);
    if (pWidget == nullptr)
        return 0;
    DWORD dwStyle = pWidget->testAttribute(Qt::WA_ForceDisabled) ? WS_DISABLED : 0;
    if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget)) {
        if (pEdit->alignment() & Qt::AlignRight)
            dwStyle |= ES_RIGHT;
    } else if (auto* pLabel = qobject_cast<QLabel*>(pWidget)) {
        if (pLabel->alignment() & Qt::AlignHCenter)
            dwStyle |= SS_CENTER;
        else if (pLabel->alignment() & Qt::AlignRight)
            dwStyle |= SS_RIGHT;
    }
    return dwStyle;
}
