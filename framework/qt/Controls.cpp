// Controls as Qt widgets: making them from template items, their state, and
// acting on them as a user would.
#include "framework/qt/QtBridge.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QDrag>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QPixmap>
#include <QDropEvent>
#include <QPainter>
#include <QPushButton>

namespace {

QComboBox* ComboOf(AFX_PORTWND pw) { return qobject_cast<QComboBox*>(WidgetOf(pw)); }
QListWidget* ListOf(AFX_PORTWND pw) { return qobject_cast<QListWidget*>(WidgetOf(pw)); }

// A list box whose entries can be dragged to a new place. Qt's own drop
// indicator hides under the dragged row's image; this one draws a bar
// across the whole list where the entry will land.
class CDragList : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    // The dragged entry follows the pointer below and to the right of it,
    // half transparent, so the bar where it will land stays in sight.
    void startDrag(Qt::DropActions actions) override
    {
        QListWidgetItem* pItem = currentItem();
        if (pItem == nullptr)
            return;
        auto* pDrag = new QDrag(this);
        pDrag->setMimeData(model()->mimeData(selectedIndexes()));
        const QRect rc = visualItemRect(pItem);
        QPixmap pixmap(rc.size());
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            painter.setOpacity(0.6);
            painter.fillRect(pixmap.rect(), palette().color(QPalette::Highlight));
            painter.setPen(palette().color(QPalette::HighlightedText));
            painter.drawText(pixmap.rect().adjusted(4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, pItem->text());
        }
        pDrag->setPixmap(pixmap);
        pDrag->setHotSpot(QPoint(-12, -12));
        if (pDrag->exec(actions, Qt::MoveAction) == Qt::MoveAction)
            ClearDropRow();
    }
    void dragMoveEvent(QDragMoveEvent* pEvent) override
    {
        QListWidget::dragMoveEvent(pEvent);
        const int nRow = DropRow(pEvent->position().toPoint());
        if (nRow != m_nDropRow) {
            m_nDropRow = nRow;
            viewport()->update();
        }
    }
    void dragLeaveEvent(QDragLeaveEvent* pEvent) override
    {
        QListWidget::dragLeaveEvent(pEvent);
        ClearDropRow();
    }
    void dropEvent(QDropEvent* pEvent) override
    {
        QListWidget::dropEvent(pEvent);
        ClearDropRow();
    }
    void paintEvent(QPaintEvent* pEvent) override
    {
        QListWidget::paintEvent(pEvent);
        if (m_nDropRow < 0 || count() == 0)
            return;
        // The boundary above entry m_nDropRow, or below the last one.
        const bool bAfterLast = m_nDropRow >= count();
        const QRect rcRow = visualItemRect(item(bAfterLast ? count() - 1 : m_nDropRow));
        const int y = bAfterLast ? rcRow.bottom() : rcRow.top();
        QPainter painter(viewport());
        painter.fillRect(QRect(0, std::max(0, y - 1), viewport()->width(), 3), palette().color(QPalette::Highlight));
    }

private:
    // The boundary nearest the pointer: before the entry under it, or after
    // it when the pointer is in its lower half.
    int DropRow(const QPoint& pt) const
    {
        QListWidgetItem* pItem = itemAt(pt);
        if (pItem == nullptr)
            return count();
        const QRect rc = visualItemRect(pItem);
        return row(pItem) + (pt.y() > rc.center().y() ? 1 : 0);
    }
    void ClearDropRow()
    {
        m_nDropRow = -1;
        viewport()->update();
    }

    int m_nDropRow = -1;
};

QComboBox* NewComboBox(QWidget* pParent, const CRect& rect)
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
    pCombo->setMaxVisibleItems(std::max(3, (rect.Height() - nEditHeight) / nRowHeight));
    pCombo->setGeometry(rect.left, rect.top, rect.Width(), nEditHeight);
    return pCombo;
}

Qt::Alignment StaticAlignment(DWORD dwStyle)
{
    if (dwStyle & SS_CENTER)
        return Qt::AlignHCenter | Qt::AlignTop;
    if (dwStyle & SS_RIGHT)
        return Qt::AlignRight | Qt::AlignTop;
    return Qt::AlignLeft | Qt::AlignTop;
}

}  // namespace

// The dialog units come from this font's average character width, but the
// texts were laid out for the old dialog font, whose narrow letters let a
// line such as "Prodlet how often? (minutes)" fit its box; with our fonts it
// would wrap into a box one line high and lose its end. A left-aligned static
// of one line therefore grows to the right, as far as its parent allows.
void FitStaticText(QLabel* pLabel)
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

AFX_PORTWND CQtPort::CreateControl(AFX_PORTWND pwParent, const AFX_DLGITEM& item, const CRect& rectIn)
{
    QWidget* pParent = WidgetOf(pwParent);
    // Positions are relative to the inside, which starts below a title strip.
    CRect rect = rectIn;
    const int nTop = TitleStripHeight(pParent);
    rect.top += nTop;
    rect.bottom += nTop;
    const QString strText = QString::fromUtf8(item.text ? item.text : "");
    QWidget* pWidget = nullptr;
    switch (item.kind) {
    case AfxControl::PushButton:
    case AfxControl::DefPushButton: {
        auto* pButton = new QPushButton(strText, pParent);
        // Return presses the focused button, else the default one.
        pButton->setAutoDefault(true);
        pButton->setDefault(item.kind == AfxControl::DefPushButton);
        pWidget = pButton;
        break;
    }
    case AfxControl::CheckBox:
        pWidget = new QCheckBox(strText, pParent);
        break;
    case AfxControl::Edit: {
        auto* pEdit = new QLineEdit(strText, pParent);
        pEdit->setAlignment(((item.style & ES_RIGHT) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        pWidget = pEdit;
        break;
    }
    case AfxControl::ComboDropDown:
        pWidget = NewComboBox(pParent, rect);
        break;
    case AfxControl::Static: {
        auto* pLabel = new QLabel(pParent);
        pLabel->setTextFormat(Qt::PlainText);
        pLabel->setWordWrap(true);
        pLabel->setAlignment(StaticAlignment(item.style));
        pLabel->setText(strText);
        pWidget = pLabel;
        break;
    }
    case AfxControl::IconStatic: {
        auto* pLabel = new QLabel(pParent);
        pLabel->setPixmap(IconFromResource(AfxLoadIcon(item.iconId)).pixmap(32, 32));
        pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        pWidget = pLabel;
        break;
    }
    case AfxControl::GroupBox: {
        auto* pGroup = new QGroupBox(strText, pParent);
        // Drawn behind its neighbours and never in their way.
        pGroup->setAttribute(Qt::WA_TransparentForMouseEvents);
        pWidget = pGroup;
        break;
    }
    case AfxControl::ListBox: {
        auto* pList = new CDragList(pParent);
        pList->setSelectionMode(QAbstractItemView::SingleSelection);
        // Scroll bars as the template asks: a horizontal one only with
        // WS_HSCROLL, the vertical one as needed.
        pList->setHorizontalScrollBarPolicy((item.style & WS_HSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        pList->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        pWidget = pList;
        break;
    }
    }
    if (pWidget == nullptr)
        return nullptr;
    if (item.kind != AfxControl::ComboDropDown)
        pWidget->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
    if (item.kind == AfxControl::Static)
        FitStaticText(static_cast<QLabel*>(pWidget));
    if (item.kind == AfxControl::Static || item.kind == AfxControl::IconStatic)
        InstallStaticHooks(static_cast<QLabel*>(pWidget), item.style);
    if (item.kind == AfxControl::GroupBox)
        pWidget->lower();
    if (item.style & WS_DISABLED)
        pWidget->setEnabled(false);
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget)) {
        QObject::connect(pButton, &QAbstractButton::clicked, pButton,
                         [pButton] { AfxPortCommand(PortOf(pButton), 0); });
    }
    pWidget->show();
    return PortOf(pWidget);
}

int CQtPort::GetCheck(AFX_PORTWND pw)
{
    auto* pButton = qobject_cast<QAbstractButton*>(WidgetOf(pw));
    return pButton != nullptr && pButton->isChecked() ? 1 : 0;
}

void CQtPort::SetCheck(AFX_PORTWND pw, int nCheck)
{
    if (auto* pButton = qobject_cast<QAbstractButton*>(WidgetOf(pw)))
        pButton->setChecked(nCheck != 0);
}

void CQtPort::ListReset(AFX_PORTWND pw)
{
    if (QComboBox* pCombo = ComboOf(pw)) {
        pCombo->clear();
        pCombo->clearEditText();
    } else if (QListWidget* pList = ListOf(pw)) {
        pList->clear();
    }
}

int CQtPort::ListAdd(AFX_PORTWND pw, const CString& str)
{
    if (QComboBox* pCombo = ComboOf(pw)) {
        // Qt selects the first entry of an empty box; adding never selects here.
        const int nOldSel = pCombo->currentIndex();
        const QString strEdit = pCombo->currentText();
        pCombo->addItem(ToQt(str));
        if (pCombo->currentIndex() != nOldSel)
            pCombo->setCurrentIndex(nOldSel);
        if (pCombo->currentText() != strEdit)
            pCombo->setEditText(strEdit);
        return pCombo->count() - 1;
    }
    if (QListWidget* pList = ListOf(pw)) {
        pList->addItem(ToQt(str));
        return pList->count() - 1;
    }
    return -1;
}

void CQtPort::ListInsert(AFX_PORTWND pw, int nIndex, const CString& str)
{
    if (QComboBox* pCombo = ComboOf(pw)) {
        const QString strEdit = pCombo->currentText();
        pCombo->insertItem(nIndex, ToQt(str));
        if (pCombo->currentText() != strEdit)
            pCombo->setEditText(strEdit);
    } else if (QListWidget* pList = ListOf(pw)) {
        pList->insertItem(nIndex, ToQt(str));
    }
}

void CQtPort::ListDelete(AFX_PORTWND pw, int nIndex)
{
    if (QComboBox* pCombo = ComboOf(pw))
        pCombo->removeItem(nIndex);
    else if (QListWidget* pList = ListOf(pw))
        delete pList->takeItem(nIndex);
}

int CQtPort::ListCount(AFX_PORTWND pw)
{
    if (QComboBox* pCombo = ComboOf(pw))
        return pCombo->count();
    if (QListWidget* pList = ListOf(pw))
        return pList->count();
    return 0;
}

int CQtPort::ListGetSel(AFX_PORTWND pw)
{
    if (QComboBox* pCombo = ComboOf(pw))
        return pCombo->currentIndex();
    if (QListWidget* pList = ListOf(pw)) {
        const QList<QListWidgetItem*> selected = pList->selectedItems();
        return selected.isEmpty() ? -1 : pList->row(selected.first());
    }
    return -1;
}

void CQtPort::ListSetSel(AFX_PORTWND pw, int nIndex)
{
    if (QComboBox* pCombo = ComboOf(pw)) {
        pCombo->setCurrentIndex(nIndex);
        if (nIndex < 0)
            pCombo->clearEditText();
        else
            pCombo->setEditText(pCombo->itemText(nIndex));
    } else if (QListWidget* pList = ListOf(pw)) {
        if (nIndex < 0) {
            pList->clearSelection();
            pList->setCurrentRow(-1);
        } else {
            pList->setCurrentRow(nIndex, QItemSelectionModel::ClearAndSelect);
        }
    }
}

CString CQtPort::ListGetText(AFX_PORTWND pw, int nIndex)
{
    if (QComboBox* pCombo = ComboOf(pw))
        return pCombo->itemText(nIndex).toStdString();
    if (QListWidget* pList = ListOf(pw))
        return pList->item(nIndex)->text().toStdString();
    return CString();
}

void CQtPort::EnableDragReorder(AFX_PORTWND pw)
{
    if (QListWidget* pList = ListOf(pw)) {
        pList->setDragEnabled(true);
        pList->setAcceptDrops(true);
        pList->setDropIndicatorShown(true);
        pList->setDragDropMode(QAbstractItemView::InternalMove);
        pList->setDefaultDropAction(Qt::MoveAction);
    }
}
