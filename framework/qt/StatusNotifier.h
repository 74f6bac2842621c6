// Our own StatusNotifierItem with its menu over com.canonical.dbusmenu, and
// the watch for a notification area that appears while the program runs.
//
// Qt's own D-Bus tray icon is private API, and Qt asks once per process
// whether a StatusNotifierItem host exists: a panel that comes up after the
// program never got its icon. This item registers with the watcher each time
// one appears. Only framework/qt/ includes this header.
#pragma once

#include "framework/Port.h"
#include "framework/qt/DbusMenu.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QIcon>
#include <QString>

#include <memory>
#include <span>
#include <vector>

class QDBusServiceWatcher;
class QMenu;

// A StatusNotifierItem watcher owns its name on the session bus.
bool StatusNotifierWatcherPresent();
// An XEmbed tray manager owns the screen's tray selection (X11 only).
bool XEmbedTrayPresent();
// From the first call on, AfxPortTrayAreaAppeared reports each notification
// area that appears: a StatusNotifierItem watcher, or on X11 an XEmbed tray.
void WatchForTrayArea();

class CStatusNotifierItem : public QDBusVirtualObject {
public:
    // pMenu: the same items as a popup of our own, for hosts that ask the
    // item to show its menu (ContextMenu); not owned, may be null.
    CStatusNotifierItem(AFX_TOKEN token, std::span<const AFX_MENUITEM> menu, QMenu* pMenu);
    ~CStatusNotifierItem() override;
    CStatusNotifierItem(const CStatusNotifierItem&) = delete;
    CStatusNotifierItem& operator=(const CStatusNotifierItem&) = delete;

    // Puts the item on the bus and registers it with the watcher; false
    // without a session bus.
    bool Start();
    void SetIcon(const QIcon& icon);
    void SetTip(const QString& strTip);

    QString introspect(const QString& strPath) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    void RegisterWithWatcher();
    void EmitItemSignal(const char* pszName);
    QVariantMap ItemProperties() const;
    QVariantMap MenuProperties() const;
    bool HandleItemCall(const QDBusMessage& message);
    bool HandleMenuCall(const QDBusMessage& message);

    AFX_TOKEN m_token;
    std::span<const AFX_MENUITEM> m_menu;
    std::vector<CDbusMenuEntry> m_entries;
    QString m_strConnection;
    QString m_strService;
    QDBusConnection m_bus;
    std::unique_ptr<QDBusServiceWatcher> m_pWatcher;
    QMenu* m_pMenu;
    QIcon m_icon;
    QString m_strTip;
    bool m_bStarted = false;
};
