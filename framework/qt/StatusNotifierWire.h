// The wire side of the StatusNotifierItem and com.canonical.dbusmenu
// protocols: their structures as QtDBus marshals them, the menu's layout from
// a menu resource, and the introspection data. Only framework/qt/ includes it.
#pragma once

#include "framework/qt/DbusMenu.h"

#include <QByteArray>
#include <QDBusArgument>
#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The wire types of the two protocols.
struct CIconPixmap {
    int nWidth = 0;
    int nHeight = 0;
    QByteArray data;  // ARGB32, network byte order
};
struct CToolTip {
    QString strIconName;
    QList<CIconPixmap> pixmaps;
    QString strTitle;
    QString strText;
};
struct CMenuLayout {
    int nId = 0;
    QVariantMap props;
    QList<CMenuLayout> children;
};
struct CMenuItemProps {
    int nId = 0;
    QVariantMap props;
};

Q_DECLARE_METATYPE(CIconPixmap)
Q_DECLARE_METATYPE(CToolTip)
Q_DECLARE_METATYPE(CMenuLayout)
Q_DECLARE_METATYPE(CMenuItemProps)

QDBusArgument& operator<<(QDBusArgument& arg, const CIconPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& arg, CIconPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& arg, const CToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& arg, CToolTip& tip);
QDBusArgument& operator<<(QDBusArgument& arg, const CMenuLayout& layout);
const QDBusArgument& operator>>(const QDBusArgument& arg, CMenuLayout& layout);
QDBusArgument& operator<<(QDBusArgument& arg, const CMenuItemProps& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, CMenuItemProps& item);

// Once, before the first of them goes on the bus.
void RegisterStatusNotifierTypes();
// Each size of the icon, ARGB32 in network byte order; none for a null icon.
QList<CIconPixmap> IconPixmapsOf(const QIcon& icon);
// An item's properties (all of them for an empty list of names).
QVariantMap DbusMenuItemProperties(const AFX_MENUITEM& item, const QStringList& names);
// The layout below nId (0: the root), nDepth levels deep (-1: all).
CMenuLayout DbusMenuLayout(const std::vector<CDbusMenuEntry>& entries, int nId, int nDepth, const QStringList& names);

// Introspection data, interfaces only.
extern const char kStatusNotifierItemXml[];
extern const char kDbusMenuXml[];
extern const char kDbusPropertiesXml[];
