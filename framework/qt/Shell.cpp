// The notification area over QSystemTrayIcon, popup menus over QMenu and the
// cursor position.
#include "framework/Shell.h"
#include "framework/ShellPrivate.h"
#include "framework/Wnd.h"
#include "framework/qt/QtBridge.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFont>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <cstring>
#include <map>
#include <memory>
#include <utility>

namespace {

struct CTrayEntry {
    std::unique_ptr<QSystemTrayIcon> pIcon;
    std::unique_ptr<QMenu> pMenu;  // the tray icon does not own its context menu
    UINT nCallbackMessage = 0;
    CString strTip;                // what the desktop was last given
    int nTipUpdates = 0;
    BOOL bNullIcon = TRUE;
};

using TrayKey = std::pair<HWND, UINT>;

// Never destroyed: the icons must not outlive the application object of Qt,
// which may go before our static objects do.
std::map<TrayKey, CTrayEntry>& Icons()
{
    static auto* pIcons = new std::map<TrayKey, CTrayEntry>;
    return *pIcons;
}

CTrayEntry* FindEntry(HWND hWnd, UINT uID)
{
    auto it = Icons().find({hWnd, uID});
    return it == Icons().end() ? nullptr : &it->second;
}

AfxNotifyIconHook& NotifyIconHook()
{
    static AfxNotifyIconHook hook;
    return hook;
}

int g_nTrayAvailableOverride = -1;
int g_nMenuHostOverride = -1;

BOOL TrayAvailable()
{
    if (g_nTrayAvailableOverride >= 0)
        return g_nTrayAvailableOverride ? TRUE : FALSE;
    // Answered at once, as the original platform did: no waiting for a tray
    // that may appear later.
    return QSystemTrayIcon::isSystemTrayAvailable() ? TRUE : FALSE;
}

// StatusNotifierItem hosts and every Wayland compositor show the icon's menu
// themselves and never let the program pop up its own.
BOOL DesktopShowsTrayMenu()
{
    if (g_nMenuHostOverride >= 0)
        return g_nMenuHostOverride ? TRUE : FALSE;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return TRUE;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return FALSE;
    return bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value() ? TRUE
                                                                                                          : FALSE;
}

QIcon EmptyIcon()
{
    // A transparent image rather than a null icon: the desktop keeps the slot
    // and Qt does not complain about an icon without an image.
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return QIcon(pixmap);
}

QString TipText(const NOTIFYICONDATA& nid)
{
    // szTip may lack its NUL when a caller filled it to the brim.
    return QString::fromUtf8(nid.szTip, static_cast<qsizetype>(strnlen(nid.szTip, sizeof(nid.szTip))));
}

void AddMenuItems(QMenu* pMenu, std::span<const AFX_MENUITEM> items, int nDefaultPos,
                  const std::function<void(QAction*, UINT)>& fnConnect)
{
    int nPos = 0;
    for (const AFX_MENUITEM& item : items) {
        if ((item.flags & MF_SEPARATOR) != 0) {
            pMenu->addSeparator();
        } else if ((item.flags & MF_POPUP) != 0) {
            QMenu* pSub = pMenu->addMenu(QString::fromUtf8(item.text ? item.text : ""));
            AddMenuItems(pSub, item.popup, -1, fnConnect);
        } else {
            QAction* pAction = pMenu->addAction(QString::fromUtf8(item.text ? item.text : ""));
            pAction->setData(item.id);
            if (nPos == nDefaultPos) {
                QFont font = pAction->font();
                font.setBold(true);
                pAction->setFont(font);
            }
            if (fnConnect)
                fnConnect(pAction, item.id);
        }
        ++nPos;
    }
}

std::unique_ptr<QMenu> BuildContextMenu(HWND hWnd, UINT uID)
{
    const AFX_MENU* pResource = AfxFindMenu(uID);
    if (!pResource || pResource->items.empty() || (pResource->items[0].flags & MF_POPUP) == 0)
        return nullptr;
    auto pMenu = std::make_unique<QMenu>();
    AddMenuItems(pMenu.get(), pResource->items[0].popup, -1, [hWnd](QAction* pAction, UINT nID) {
        QObject::connect(pAction, &QAction::triggered, pAction, [hWnd, nID]() {
            if (hWnd)
                hWnd->PostMessage(WM_COMMAND, nID, 0);
        });
    });
    return pMenu;
}

void ApplyRecord(CTrayEntry& entry, const NOTIFYICONDATA& nid)
{
    if ((nid.uFlags & NIF_MESSAGE) != 0)
        entry.nCallbackMessage = nid.uCallbackMessage;
    if ((nid.uFlags & NIF_ICON) != 0) {
        entry.bNullIcon = nid.hIcon ? FALSE : TRUE;
        entry.pIcon->setIcon(nid.hIcon ? IconFromResource(nid.hIcon) : EmptyIcon());
    }
    if ((nid.uFlags & NIF_TIP) != 0) {
        // Some hosts choke on a flood of identical updates, and the program
        // sets the same countdown text every second while it is stopped.
        QString strTip = TipText(nid);
        CString strNew = strTip.toStdString();
        if (strNew != entry.strTip) {
            entry.pIcon->setToolTip(strTip);
            entry.strTip = strNew;
            ++entry.nTipUpdates;
        }
    }
}

BOOL AddIcon(const NOTIFYICONDATA& nid)
{
    if (!qApp || FindEntry(nid.hWnd, nid.uID) || !TrayAvailable())
        return FALSE;
    CTrayEntry& entry = Icons()[{nid.hWnd, nid.uID}];
    entry.pIcon = std::make_unique<QSystemTrayIcon>();
    entry.pIcon->setIcon(EmptyIcon());
    ApplyRecord(entry, nid);
    if (DesktopShowsTrayMenu()) {
        entry.pMenu = BuildContextMenu(nid.hWnd, nid.uID);
        if (entry.pMenu)
            entry.pIcon->setContextMenu(entry.pMenu.get());
    }
    HWND hWnd = nid.hWnd;
    UINT uID = nid.uID;
    QObject::connect(entry.pIcon.get(), &QSystemTrayIcon::activated, entry.pIcon.get(),
                     [hWnd, uID](QSystemTrayIcon::ActivationReason reason) {
                         switch (reason) {
                         case QSystemTrayIcon::Context:
                             AfxTrayDeliverAction(hWnd, uID, AfxTrayAction::Context);
                             break;
                         case QSystemTrayIcon::DoubleClick:
                             AfxTrayDeliverAction(hWnd, uID, AfxTrayAction::DoubleClick);
                             break;
                         case QSystemTrayIcon::Trigger:
                             AfxTrayDeliverAction(hWnd, uID, AfxTrayAction::Trigger);
                             break;
                         case QSystemTrayIcon::MiddleClick:
                             AfxTrayDeliverAction(hWnd, uID, AfxTrayAction::MiddleClick);
                             break;
                         default:
                             break;
                         }
                     });
    entry.pIcon->show();
    return TRUE;
}

BOOL DeleteIcon(const NOTIFYICONDATA& nid)
{
    auto it = Icons().find({nid.hWnd, nid.uID});
    if (it == Icons().end())
        return FALSE;
    CTrayEntry& entry = it->second;
    entry.pIcon->hide();
    entry.pIcon->setContextMenu(nullptr);
    entry.pIcon.reset();
    entry.pMenu.reset();
    Icons().erase(it);
    return TRUE;
}

}  // namespace

void AfxSetNotifyIconHook(AfxNotifyIconHook hook) { NotifyIconHook() = std::move(hook); }

BOOL Shell_NotifyIcon(DWORD dwMessage, NOTIFYICONDATA* pnid)
{
    if (!pnid)
        return FALSE;
    if (NotifyIconHook())
        return NotifyIconHook()(dwMessage, *pnid);
    switch (dwMessage) {
    case NIM_ADD:
        return AddIcon(*pnid);
    case NIM_MODIFY:
        if (CTrayEntry* pEntry = FindEntry(pnid->hWnd, pnid->uID)) {
            ApplyRecord(*pEntry, *pnid);
            return TRUE;
        }
        return FALSE;
    case NIM_DELETE:
        return DeleteIcon(*pnid);
    default:
        return FALSE;
    }
}

UINT AfxTrayActionMessage(AfxTrayAction action)
{
    switch (action) {
    case AfxTrayAction::Context:
        return WM_RBUTTONUP;
    case AfxTrayAction::DoubleClick:
        return WM_LBUTTONDBLCLK;
    case AfxTrayAction::Trigger:
        return WM_LBUTTONUP;
    case AfxTrayAction::MiddleClick:
        return WM_MBUTTONUP;
    }
    return 0;
}

BOOL AfxTrayDeliverAction(HWND hWnd, UINT uID, AfxTrayAction action)
{
    CTrayEntry* pEntry = FindEntry(hWnd, uID);
    if (!pEntry || !hWnd || pEntry->nCallbackMessage == 0)
        return FALSE;
    // The desktop has shown the icon's own menu: a second one from the owner
    // would stack on top of it.
    if (action == AfxTrayAction::Context && pEntry->pMenu)
        return FALSE;
    return hWnd->PostMessage(pEntry->nCallbackMessage, uID, static_cast<LPARAM>(AfxTrayActionMessage(action)));
}

UINT AfxShowPopupMenu(std::span<const AFX_MENUITEM> items, int nDefaultPos, int x, int y, CWnd* /*pOwner*/)
{
    QMenu menu;
    AddMenuItems(&menu, items, nDefaultPos, nullptr);
    QAction* pChosen = menu.exec(QPoint(x, y));
    return pChosen ? pChosen->data().toUInt() : 0;
}

BOOL GetCursorPos(CPoint* pPoint)
{
    if (!pPoint)
        return FALSE;
    const QPoint pos = QCursor::pos();
    pPoint->x = pos.x();
    pPoint->y = pos.y();
    return TRUE;
}

void AfxSetTrayAvailableOverride(int nAvailable) { g_nTrayAvailableOverride = nAvailable; }

void AfxSetTrayMenuHostOverride(int nMenuHost) { g_nMenuHostOverride = nMenuHost; }

int AfxTrayTooltipUpdates(HWND hWnd, UINT uID)
{
    const CTrayEntry* pEntry = FindEntry(hWnd, uID);
    return pEntry ? pEntry->nTipUpdates : 0;
}

CString AfxTrayTooltip(HWND hWnd, UINT uID)
{
    const CTrayEntry* pEntry = FindEntry(hWnd, uID);
    return pEntry ? pEntry->pIcon->toolTip().toStdString() : CString();
}

UINT AfxTrayCallbackMessage(HWND hWnd, UINT uID)
{
    const CTrayEntry* pEntry = FindEntry(hWnd, uID);
    return pEntry ? pEntry->nCallbackMessage : 0;
}

BOOL AfxTrayIconIsNull(HWND hWnd, UINT uID)
{
    const CTrayEntry* pEntry = FindEntry(hWnd, uID);
    return pEntry ? pEntry->bNullIcon : FALSE;
}

std::vector<UINT> AfxTrayContextMenuIds(HWND hWnd, UINT uID)
{
    std::vector<UINT> ids;
    const CTrayEntry* pEntry = FindEntry(hWnd, uID);
    if (!pEntry || !pEntry->pMenu)
        return ids;
    for (QAction* pAction : pEntry->pMenu->actions())
        ids.push_back(pAction->isSeparator() ? 0 : pAction->data().toUInt());
    return ids;
}

BOOL AfxTrayChooseContextMenuItem(HWND hWnd, UINT uID, int nPos)
{
    const CTrayEntry* pEntry = FindEntry(hWnd, uID);
    if (!pEntry || !pEntry->pMenu)
        return FALSE;
    const QList<QAction*> actions = pEntry->pMenu->actions();
    if (nPos < 0 || nPos >= actions.size() || actions[nPos]->isSeparator() || actions[nPos]->menu())
        return FALSE;
    actions[nPos]->trigger();
    return TRUE;
}
