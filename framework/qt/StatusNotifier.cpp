// A StatusNotifierItem (org.kde.StatusNotifierItem) with its menu over
// com.canonical.dbusmenu, on QtDBus's public API, and the watch for a
// notification area that appears after the program started.
#include "framework/qt/StatusNotifier.h"

#include "framework/qt/QtBridge.h"
#include "framework/qt/StatusNotifierWire.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kPropsInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");

int ArgInt(const QDBusMessage& message, int nIndex)
{
    const QVariantList args = message.arguments();
    return nIndex < args.size() ? args.at(nIndex).toInt() : 0;
}

QString ArgString(const QDBusMessage& message, int nIndex)
{
    const QVariantList args = message.arguments();
    return nIndex < args.size() ? args.at(nIndex).toString() : QString();
}

QList<int> ArgIntList(const QDBusMessage& message, int nIndex)
{
    QList<int> list;
    const QVariantList args = message.arguments();
    if (nIndex < args.size() && args.at(nIndex).canConvert<QDBusArgument>())
        args.at(nIndex).value<QDBusArgument>() >> list;
    return list;
}

// The X screen's number, from the display name (":0.1" is screen 1).
int XScreenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype nColon = display.lastIndexOf(':');
    const qsizetype nDot = display.indexOf('.', nColon < 0 ? 0 : nColon);
    return nDot < 0 ? 0 : std::atoi(display.constData() + nDot + 1);
}

}  // namespace

bool StatusNotifierWatcherPresent()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    return bus.interface()->isServiceRegistered(kWatcher).value();
}

bool XEmbedTrayPresent()
{
    auto* pX11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (pX11 == nullptr || pX11->connection() == nullptr)
        return false;
    xcb_connection_t* pConn = pX11->connection();
    static const xcb_atom_t s_atom = [pConn] {
        const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(XScreenNumber());
        xcb_intern_atom_reply_t* pReply = xcb_intern_atom_reply(
            pConn, xcb_intern_atom(pConn, 0, static_cast<std::uint16_t>(name.size()), name.constData()), nullptr);
        const xcb_atom_t atom = pReply ? pReply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        free(pReply);
        return atom;
    }();
    if (s_atom == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t* pReply =
        xcb_get_selection_owner_reply(pConn, xcb_get_selection_owner(pConn, s_atom), nullptr);
    const bool bOwned = pReply != nullptr && pReply->owner != XCB_NONE;
    free(pReply);
    return bOwned;
}

void WatchForTrayArea()
{
    static bool s_bWatching = false;
    if (s_bWatching || qApp == nullptr)
        return;
    s_bWatching = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        auto* pWatcher = new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForRegistration, qApp);
        QObject::connect(pWatcher, &QDBusServiceWatcher::serviceRegistered, pWatcher,
                         [](const QString&) { AfxPortTrayAreaAppeared(); });
    }
    if (qApp->nativeInterface<QNativeInterface::QX11Application>() != nullptr) {
        // The tray manager announces itself to clients that listen on the
        // root window, which Qt does only for its own tray icons: asking
        // who owns the selection once a second is simpler and as good.
        // A panel that is both (xfce4-panel) takes the selection and the
        // watcher's name in either order; the report waits for the second
        // look, so that the watcher, whose host shows our menu, comes first.
        static int s_nLooks = XEmbedTrayPresent() ? 2 : 0;  // looks in a row that saw a tray
        auto* pTimer = new QTimer(qApp);
        QObject::connect(pTimer, &QTimer::timeout, pTimer, [] {
            if (!XEmbedTrayPresent()) {
                s_nLooks = 0;
            } else if (s_nLooks < 2 && ++s_nLooks == 2) {
                AfxPortTrayAreaAppeared();
            }
        });
        pTimer->start(1000);
    }
}

CStatusNotifierItem::CStatusNotifierItem(AFX_TOKEN token, std::span<const AFX_MENUITEM> menu, QMenu* pMenu)
    : m_token(token), m_menu(menu), m_bus(QString()), m_pMenu(pMenu)
{
    m_entries = DbusMenuEntries(m_menu);
}

CStatusNotifierItem::~CStatusNotifierItem()
{
    if (!m_bStarted)
        return;
    m_pWatcher.reset();
    m_bus.unregisterObject(kItemPath);
    m_bus.unregisterObject(kMenuPath);
    m_bus.unregisterService(m_strService);
    // The watcher drops the item when its connection goes.
    QDBusConnection::disconnectFromBus(m_strConnection);
}

bool CStatusNotifierItem::Start()
{
    RegisterStatusNotifierTypes();
    static int s_nItems = 0;
    const int nItem = ++s_nItems;
    // A connection of its own: the item's object paths are fixed by the
    // protocol, and a second icon would need them again.
    m_strConnection = QStringLiteral("prodlet-sni-%1").arg(nItem);
    m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_strConnection);
    if (!m_bus.isConnected()) {
        QDBusConnection::disconnectFromBus(m_strConnection);
        return false;
    }
    m_bStarted = true;
    if (!m_bus.registerVirtualObject(kItemPath, this) || !m_bus.registerVirtualObject(kMenuPath, this))
        return false;
    m_strService = QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(QCoreApplication::applicationPid()).arg(nItem);
    if (!m_bus.registerService(m_strService))
        m_strService = m_bus.baseService();
    // A watcher that starts again (the panel restarts) forgets its items.
    m_pWatcher = std::make_unique<QDBusServiceWatcher>(kWatcher, m_bus, QDBusServiceWatcher::WatchForRegistration);
    QObject::connect(m_pWatcher.get(), &QDBusServiceWatcher::serviceRegistered, m_pWatcher.get(),
                     [this](const QString&) { RegisterWithWatcher(); });
    RegisterWithWatcher();
    return true;
}

void CStatusNotifierItem::RegisterWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher,
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << m_strService;
    m_bus.send(call);
}

void CStatusNotifierItem::EmitItemSignal(const char* pszName)
{
    if (m_bStarted)
        m_bus.send(QDBusMessage::createSignal(kItemPath, kItemInterface, QString::fromLatin1(pszName)));
}

void CStatusNotifierItem::SetIcon(const QIcon& icon)
{
    m_icon = icon;
    EmitItemSignal("NewIcon");
    EmitItemSignal("NewToolTip");  // the tooltip carries the icon too
}

void CStatusNotifierItem::SetTip(const QString& strTip)
{
    m_strTip = strTip;
    EmitItemSignal("NewToolTip");
}

QVariantMap CStatusNotifierItem::ItemProperties() const
{
    QVariantMap props;
    const QList<CIconPixmap> pixmaps = IconPixmapsOf(m_icon);
    props.insert(QStringLiteral("Category"), QStringLiteral("ApplicationStatus"));
    props.insert(QStringLiteral("Id"), QCoreApplication::applicationName());
    props.insert(QStringLiteral("Title"), QGuiApplication::applicationDisplayName());
    props.insert(QStringLiteral("Status"), QStringLiteral("Active"));
    props.insert(QStringLiteral("WindowId"), 0);
    props.insert(QStringLiteral("IconName"), QString());
    props.insert(QStringLiteral("IconPixmap"), QVariant::fromValue(pixmaps));
    props.insert(QStringLiteral("OverlayIconName"), QString());
    props.insert(QStringLiteral("OverlayIconPixmap"), QVariant::fromValue(QList<CIconPixmap>()));
    props.insert(QStringLiteral("AttentionIconName"), QString());
    props.insert(QStringLiteral("AttentionIconPixmap"), QVariant::fromValue(QList<CIconPixmap>()));
    props.insert(QStringLiteral("AttentionMovieName"), QString());
    props.insert(QStringLiteral("ToolTip"), QVariant::fromValue(CToolTip{QString(), pixmaps, m_strTip, QString()}));
    // Not only a menu: the host's click is Activate, the double-click's command.
    props.insert(QStringLiteral("ItemIsMenu"), false);
    props.insert(QStringLiteral("Menu"), QVariant::fromValue(QDBusObjectPath(kMenuPath)));
    return props;
}

QVariantMap CStatusNotifierItem::MenuProperties() const
{
    QVariantMap props;
    props.insert(QStringLiteral("Version"), 3U);
    props.insert(QStringLiteral("TextDirection"), QStringLiteral("ltr"));
    props.insert(QStringLiteral("Status"), QStringLiteral("normal"));
    props.insert(QStringLiteral("IconThemePath"), QStringList());
    return props;
}

QString CStatusNotifierItem::introspect(const QString& strPath) const
{
    QString strXml = QString::fromLatin1(kDbusPropertiesXml);
    if (strPath == kItemPath)
        strXml += QString::fromLatin1(kStatusNotifierItemXml);
    else if (strPath == kMenuPath)
        strXml += QString::fromLatin1(kDbusMenuXml);
    return strXml;
}

bool CStatusNotifierItem::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    const QString strMember = message.member();
    const bool bMenu = message.path() == kMenuPath;
    if (message.interface() == kPropsInterface) {
        const QString strInterface = ArgString(message, 0);
        const QVariantMap props = bMenu ? MenuProperties() : ItemProperties();
        if (strMember == QLatin1String("GetAll")) {
            connection.send(message.createReply(QVariant::fromValue(props)));
            return true;
        }
        if (strMember == QLatin1String("Get")) {
            const QString strName = ArgString(message, 1);
            if (!props.contains(strName)) {
                connection.send(message.createErrorReply(QDBusError::UnknownProperty, strName));
                return true;
            }
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(props.value(strName)))));
            return true;
        }
        connection.send(message.createErrorReply(QDBusError::PropertyReadOnly, strMember));
        return true;
    }
    if (bMenu ? HandleMenuCall(message) : HandleItemCall(message))
        return true;
    if (message.interface() == QLatin1String("org.freedesktop.DBus.Introspectable"))
        return false;  // QtDBus answers from introspect()
    connection.send(message.createErrorReply(QDBusError::UnknownMethod, strMember));
    return true;
}

bool CStatusNotifierItem::HandleItemCall(const QDBusMessage& message)
{
    const QString strMember = message.member();
    if (strMember == QLatin1String("Activate")) {
        AfxPortTrayAction(m_token, AfxTrayAction::Trigger);
    } else if (strMember == QLatin1String("SecondaryActivate")) {
        AfxPortTrayAction(m_token, AfxTrayAction::MiddleClick);
    } else if (strMember == QLatin1String("ContextMenu")) {
        // A host that does not read the menu itself asks us to show it; on
        // Wayland a popup cannot be placed at the host's position.
        if (m_pMenu != nullptr && !OnWayland())
            m_pMenu->popup(QPoint(ArgInt(message, 0), ArgInt(message, 1)));
    } else if (strMember != QLatin1String("Scroll") && strMember != QLatin1String("ProvideXdgActivationToken")) {
        return false;
    }
    m_bus.send(message.createReply());
    return true;
}

bool CStatusNotifierItem::HandleMenuCall(const QDBusMessage& message)
{
    const QString strMember = message.member();
    const QVariantList args = message.arguments();
    const auto known = [this](int nId) { return nId >= 0 && nId <= static_cast<int>(m_entries.size()); };
    if (strMember == QLatin1String("GetLayout")) {
        const int nParent = ArgInt(message, 0);
        if (!known(nParent)) {
            m_bus.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("no such item")));
            return true;
        }
        const QStringList names = args.size() > 2 ? args.at(2).toStringList() : QStringList();
        // The menu never changes: one revision for the whole run.
        m_bus.send(message.createReply(
            QVariantList{1U, QVariant::fromValue(DbusMenuLayout(m_entries, nParent, ArgInt(message, 1), names))}));
    } else if (strMember == QLatin1String("GetGroupProperties")) {
        const QStringList names = args.size() > 1 ? args.at(1).toStringList() : QStringList();
        QList<CMenuItemProps> items;
        for (int nId : ArgIntList(message, 0)) {
            if (nId >= 1 && known(nId))
                items.append({nId, DbusMenuItemProperties(*m_entries[static_cast<std::size_t>(nId - 1)].pItem, names)});
        }
        m_bus.send(message.createReply(QVariant::fromValue(items)));
    } else if (strMember == QLatin1String("GetProperty")) {
        const int nId = ArgInt(message, 0);
        const QVariantMap props = nId >= 1 && known(nId)
                                      ? DbusMenuItemProperties(*m_entries[static_cast<std::size_t>(nId - 1)].pItem, {})
                                      : QVariantMap();
        const QString strName = ArgString(message, 1);
        if (!props.contains(strName))
            m_bus.send(message.createErrorReply(QDBusError::InvalidArgs, strName));
        else
            m_bus.send(message.createReply(QVariant::fromValue(QDBusVariant(props.value(strName)))));
    } else if (strMember == QLatin1String("Event") || strMember == QLatin1String("EventGroup")) {
        QList<QPair<int, QString>> events;
        if (strMember == QLatin1String("Event")) {
            events.append({ArgInt(message, 0), ArgString(message, 1)});
        } else if (!args.isEmpty() && args.at(0).canConvert<QDBusArgument>()) {
            const QDBusArgument arg = args.at(0).value<QDBusArgument>();
            arg.beginArray();
            while (!arg.atEnd()) {
                int nId = 0;
                QString strEvent;
                QDBusVariant data;
                uint nTime = 0;
                arg.beginStructure();
                arg >> nId >> strEvent >> data >> nTime;
                arg.endStructure();
                events.append({nId, strEvent});
            }
            arg.endArray();
        }
        QList<int> errors;
        for (const auto& [nId, strEvent] : events) {
            if (nId < 1 || !known(nId)) {
                errors.append(nId);
                continue;
            }
            const AFX_MENUITEM& item = *m_entries[static_cast<std::size_t>(nId - 1)].pItem;
            // The command arrives posted, after this answer has gone.
            if (strEvent == QLatin1String("clicked") && (item.flags & (MF_SEPARATOR | MF_POPUP)) == 0)
                AfxPortTrayCommand(m_token, item.id);
        }
        if (strMember == QLatin1String("Event"))
            m_bus.send(message.createReply());
        else
            m_bus.send(message.createReply(QVariant::fromValue(errors)));
    } else if (strMember == QLatin1String("AboutToShow")) {
        m_bus.send(message.createReply(false));
    } else if (strMember == QLatin1String("AboutToShowGroup")) {
        m_bus.send(message.createReply(QVariantList{QVariant::fromValue(QList<int>()), QVariant::fromValue(QList<int>())}));
    } else {
        return false;
    }
    return true;
}
