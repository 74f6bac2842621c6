// Acting on the Qt backend's widgets as a user would: clicks through the
// button itself (a disabled one does not click) and key events sent to the
// widget with the keyboard, which Qt passes on to its parents as it would a
// real key.
#include "framework/qt/QtBridge.h"
#include "framework/qt/QtInput.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>

namespace {

// Where the keyboard goes in a control: a combo box's edit field.
QWidget* KeyTarget(AFX_PORTWND pw)
{
    QWidget* pWidget = WidgetOf(pw);
    if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
        return pCombo->lineEdit();
    return pWidget;
}

void SendKey(QWidget* pWidget, int nKey, const QString& strText)
{
    QKeyEvent press(QEvent::KeyPress, nKey, Qt::NoModifier, strText);
    QCoreApplication::sendEvent(pWidget, &press);
    QKeyEvent release(QEvent::KeyRelease, nKey, Qt::NoModifier, strText);
    QCoreApplication::sendEvent(pWidget, &release);
}

class CQtInput final : public CAfxInputSimulator {
public:
    void Click(AFX_PORTWND pw) override
    {
        if (auto* pButton = qobject_cast<QAbstractButton*>(WidgetOf(pw)))
            pButton->click();
    }

    void Type(AFX_PORTWND pw, const CString& strText) override
    {
        if (QWidget* pWidget = KeyTarget(pw)) {
            for (const QChar ch : ToQt(strText))
                SendKey(pWidget, 0, QString(ch));
        }
    }

    void PressKey(AFX_PORTWND pw, UINT nVirtKey) override
    {
        if (QWidget* pWidget = KeyTarget(pw))
            SendKey(pWidget, QtKeyFromVirtKey(nVirtKey), QString());
    }

    void Drag(AFX_PORTWND pw, int nFrom, int nTo) override
    {
        // What an internal move does when the entry is dropped: the model
        // moves the row, and the moved entry is the current one.
        QListWidget* pList = qobject_cast<QListWidget*>(WidgetOf(pw));
        if (pList != nullptr && pList->model()->moveRow(QModelIndex(), nFrom, QModelIndex(), nTo > nFrom ? nTo + 1 : nTo))
            pList->setCurrentRow(nTo, QItemSelectionModel::ClearAndSelect);
    }
};

}  // namespace

CAfxInputSimulator& AfxQtInput()
{
    static auto* s_pInput = new CQtInput;
    return *s_pInput;
}
