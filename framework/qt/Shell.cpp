// The notification area over QSystemTrayIcon, menus over QMenu and QMenuBar,
// message boxes and file dialogs.
#include "framework/qt/QtBridge.h"

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileDialog>
#include <QFont>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>

#include <memory>

namespace {

struct CQtTray {
    std::unique_ptr<QSystemTrayIcon> pIcon;
    std::unique_ptr<QMenu> pMenu;  // the tray icon does not own its context menu
};

CQtTray* TrayOf(AFX_PORTTRAY tray) { return reinterpret_cast<CQtTray*>(tray); }

QIcon EmptyIcon()
{
    // A transparent image rather than a null icon: the desktop keeps the slot
    // and Qt does not complain about an icon without an image.
    static auto* s_pIcon = new QIcon([] {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        return pixmap;
    }());
    return *s_pIcon;
}

AfxTrayAction ActionOf(QSystemTrayIcon::ActivationReason reason, bool& bKnown)
{
    bKnown = true;
    switch (reason) {
    case QSystemTrayIcon::Context:
        return AfxTrayAction::Context;
    case QSystemTrayIcon::DoubleClick:
        return AfxTrayAction::DoubleClick;
    case QSystemTrayIcon::Trigger:
        return AfxTrayAction::Trigger;
    case QSystemTrayIcon::MiddleClick:
        return AfxTrayAction::MiddleClick;
    default:
        bKnown = false;
        return AfxTrayAction::Trigger;
    }
}

// A message box over its owner: centred on it while it is shown, else on
// the screen.
class CMessageBoxWidget : public QMessageBox {
public:
    CMessageBoxWidget(QMessageBox::Icon icon, const QString& strCaption, const QString& strText, QWidget* pOwner)
        : QMessageBox(icon, strCaption, strText, QMessageBox::Ok, pOwner,
                      Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | DecorationFlags())
    {
        AddTitleStrip(this);
    }

protected:
    void showEvent(QShowEvent* pEvent) override
    {
        QMessageBox::showEvent(pEvent);  // sizes the box
        QWidget* pOwner = parentWidget();
        QRect rcOver;
        if (pOwner != nullptr && pOwner->isVisible() && !(pOwner->windowState() & Qt::WindowMinimized))
            rcOver = pOwner->frameGeometry();
        else if (QScreen* pScreen = screen())
            rcOver = pScreen->geometry();
        if (rcOver.isValid())
            move(rcOver.center() - QPoint(width() / 2, height() / 2));
    }
};

}  // namespace

void AddMenuItems(QWidget* pMenu, std::span<const AFX_MENUITEM> items, int nDefaultPos,
                  const std::function<void(UINT)>& fnChosen)
{
    auto* pMenuBar = qobject_cast<QMenuBar*>(pMenu);
    auto* pPopup = qobject_cast<QMenu*>(pMenu);
    int nPos = 0;
    for (const AFX_MENUITEM& item : items) {
        const QString strText = QString::fromUtf8(item.text ? item.text : "");
        if ((item.flags & MF_SEPARATOR) != 0) {
            if (pMenuBar)
                pMenuBar->addSeparator();
            else
                pPopup->addSeparator();
        } else if ((item.flags & MF_POPUP) != 0) {
            AddMenuItems(pMenuBar ? pMenuBar->addMenu(strText) : pPopup->addMenu(strText), item.popup, -1, fnChosen);
        } else {
            QAction* pAction = pMenu->addAction(strText);
            pAction->setData(item.id);
            if (nPos == nDefaultPos) {
                QFont font = pAction->font();
                font.setBold(true);
                pAction->setFont(font);
            }
            if (fnChosen) {
                const UINT nID = item.id;
                QObject::connect(pAction, &QAction::triggered, pAction, [fnChosen, nID] { fnChosen(nID); });
            }
        }
        ++nPos;
    }
}

BOOL CQtPort::TrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable() ? TRUE : FALSE; }

// StatusNotifierItem hosts and every Wayland compositor show the icon's menu
// themselves and never let the program pop up its own.
BOOL CQtPort::DesktopShowsTrayMenu()
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return TRUE;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return FALSE;
    return bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value() ? TRUE
                                                                                                          : FALSE;
}

AFX_PORTTRAY CQtPort::TrayAdd(AFX_TOKEN token, std::span<const AFX_MENUITEM> contextMenu, int nDefaultPos)
{
    if (qApp == nullptr)
        return nullptr;
    auto* pTray = new CQtTray;
    pTray->pIcon = std::make_unique<QSystemTrayIcon>();
    pTray->pIcon->setIcon(EmptyIcon());
    if (!contextMenu.empty()) {
        pTray->pMenu = std::make_unique<QMenu>();
        AddMenuItems(pTray->pMenu.get(), contextMenu, nDefaultPos, [token](UINT nID) { AfxPortTrayCommand(token, nID); });
        pTray->pIcon->setContextMenu(pTray->pMenu.get());
    }
    QObject::connect(pTray->pIcon.get(), &QSystemTrayIcon::activated, pTray->pIcon.get(),
                     [token](QSystemTrayIcon::ActivationReason reason) {
                         bool bKnown = false;
                         const AfxTrayAction action = ActionOf(reason, bKnown);
                         if (bKnown)
                             AfxPortTrayAction(token, action);
                     });
    pTray->pIcon->show();
    return reinterpret_cast<AFX_PORTTRAY>(pTray);
}

void CQtPort::TraySetIcon(AFX_PORTTRAY tray, HICON hIcon)
{
    TrayOf(tray)->pIcon->setIcon(hIcon ? IconFromResource(hIcon) : EmptyIcon());
}

void CQtPort::TraySetTip(AFX_PORTTRAY tray, const CString& strTip) { TrayOf(tray)->pIcon->setToolTip(ToQt(strTip)); }

void CQtPort::TrayDelete(AFX_PORTTRAY tray)
{
    CQtTray* pTray = TrayOf(tray);
    pTray->pIcon->hide();
    pTray->pIcon->setContextMenu(nullptr);
    delete pTray;
}

UINT CQtPort::TrackPopupMenu(std::span<const AFX_MENUITEM> items, int nDefaultPos, CPoint pt)
{
    QMenu menu;
    AddMenuItems(&menu, items, nDefaultPos, nullptr);
    QAction* pChosen = menu.exec(QPoint(pt.x, pt.y));
    return pChosen ? pChosen->data().toUInt() : 0;
}

int CQtPort::MessageBox(AFX_PORTWND pwOwner, const CString& strCaption, const CString& strText, UINT nType)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (nType & 0xF0) {
    case MB_ICONSTOP:
        icon = QMessageBox::Critical;
        break;
    case MB_ICONEXCLAMATION:
        icon = QMessageBox::Warning;
        break;
    case MB_ICONINFORMATION:
        icon = QMessageBox::Information;
        break;
    default:
        break;
    }
    QWidget* pOwner = pwOwner != nullptr ? WidgetOf(pwOwner)->window() : nullptr;
    // The owner may go while the box is open (the program ends from the
    // notification area), and takes the box along.
    QPointer<QMessageBox> pBox = new CMessageBoxWidget(icon, ToQt(strCaption), ToQt(strText), pOwner);
    // Modal to its owner only: the notification area's icon keeps answering.
    pBox->setWindowModality(pOwner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    pBox->exec();
    delete pBox.data();
    return IDOK;
}

void CQtPort::CloseModalWindows()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget* pWidget : widgets) {
        if (pWidget->isVisible() && pWidget->isModal() && !IsFrameworkDialog(pWidget))
            pWidget->close();
    }
}

CString CQtPort::FileDialog(BOOL bOpen, const CString& strCaption)
{
    const QString strPath = bOpen ? QFileDialog::getOpenFileName(nullptr, ToQt(strCaption))
                                  : QFileDialog::getSaveFileName(nullptr, ToQt(strCaption));
    return strPath.toStdString();
}
