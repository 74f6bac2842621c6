// The wire side of the StatusNotifierItem and dbusmenu protocols.
#include "framework/qt/StatusNotifierWire.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QImage>
#include <QPixmap>
#include <QtEndian>

QDBusArgument& operator<<(QDBusArgument& arg, const CIconPixmap& pixmap)
{
    arg.beginStructure();
    arg << pixmap.nWidth << pixmap.nHeight << pixmap.data;
    arg.endStructure();
    return arg;
}
const QDBusArgument& operator>>(const QDBusArgument& arg, CIconPixmap& pixmap)
{
    arg.beginStructure();
    arg >> pixmap.nWidth >> pixmap.nHeight >> pixmap.data;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const CToolTip& tip)
{
    arg.beginStructure();
    arg << tip.strIconName << tip.pixmaps << tip.strTitle << tip.strText;
    arg.endStructure();
    return arg;
}
const QDBusArgument& operator>>(const QDBusArgument& arg, CToolTip& tip)
{
    arg.beginStructure();
    arg >> tip.strIconName >> tip.pixmaps >> tip.strTitle >> tip.strText;
    arg.endStructure();
    return arg;
}

// (ia{sv}av): each child is a variant holding a layout of its own.
QDBusArgument& operator<<(QDBusArgument& arg, const CMenuLayout& layout)
{
    arg.beginStructure();
    arg << layout.nId << layout.props;
    arg.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const CMenuLayout& child : layout.children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}
const QDBusArgument& operator>>(const QDBusArgument& arg, CMenuLayout& layout)
{
    arg.beginStructure();
    arg >> layout.nId >> layout.props;
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        layout.children.append(qvariant_cast<CMenuLayout>(child.variant()));
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const CMenuItemProps& item)
{
    arg.beginStructure();
    arg << item.nId << item.props;
    arg.endStructure();
    return arg;
}
const QDBusArgument& operator>>(const QDBusArgument& arg, CMenuItemProps& item)
{
    arg.beginStructure();
    arg >> item.nId >> item.props;
    arg.endStructure();
    return arg;
}

void RegisterStatusNotifierTypes()
{
    static const bool s_bDone = [] {
        qDBusRegisterMetaType<CIconPixmap>();
        qDBusRegisterMetaType<QList<CIconPixmap>>();
        qDBusRegisterMetaType<CToolTip>();
        qDBusRegisterMetaType<CMenuLayout>();
        qDBusRegisterMetaType<CMenuItemProps>();
        qDBusRegisterMetaType<QList<CMenuItemProps>>();
        return true;
    }();
    (void)s_bDone;
}

QList<CIconPixmap> IconPixmapsOf(const QIcon& icon)
{
    QList<CIconPixmap> pixmaps;
    if (icon.isNull())
        return pixmaps;
    for (const QSize& size : icon.availableSizes()) {
        const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        CIconPixmap pixmap;
        pixmap.nWidth = image.width();
        pixmap.nHeight = image.height();
        pixmap.data.resize(static_cast<qsizetype>(image.width()) * image.height() * 4);
        uchar* pOut = reinterpret_cast<uchar*>(pixmap.data.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* pRow = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x, pOut += 4)
                qToBigEndian(pRow[x], pOut);
        }
        pixmaps.append(pixmap);
    }
    return pixmaps;
}

// dbusmenu marks the mnemonic with '_' where our menus use '&'.
CString DbusMenuLabel(const char* pszText)
{
    const CString strText = pszText ? pszText : "";
    CString strLabel;
    for (std::size_t i = 0; i < strText.size(); ++i) {
        const char ch = strText[i];
        if (ch == '&') {
            if (i + 1 < strText.size() && strText[i + 1] == '&') {
                strLabel += '&';
                ++i;
            } else {
                strLabel += '_';
            }
        } else if (ch == '_') {
            strLabel += "__";
        } else {
            strLabel += ch;
        }
    }
    return strLabel;
}

namespace {

void AddEntries(std::vector<CDbusMenuEntry>& entries, std::span<const AFX_MENUITEM> items, int nParent)
{
    for (const AFX_MENUITEM& item : items) {
        const int nId = static_cast<int>(entries.size()) + 1;
        entries.push_back({nId, nParent, &item});
        if ((item.flags & MF_POPUP) != 0)
            AddEntries(entries, item.popup, nId);
    }
}

}  // namespace

std::vector<CDbusMenuEntry> DbusMenuEntries(std::span<const AFX_MENUITEM> items)
{
    std::vector<CDbusMenuEntry> entries;
    AddEntries(entries, items, 0);
    return entries;
}

QVariantMap DbusMenuItemProperties(const AFX_MENUITEM& item, const QStringList& names)
{
    QVariantMap props;
    if ((item.flags & MF_SEPARATOR) != 0) {
        props.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        props.insert(QStringLiteral("label"), QString::fromStdString(DbusMenuLabel(item.text)));
        props.insert(QStringLiteral("enabled"), true);
        props.insert(QStringLiteral("visible"), true);
        if ((item.flags & MF_POPUP) != 0)
            props.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    }
    if (names.isEmpty())
        return props;
    QVariantMap wanted;
    for (const QString& strName : names) {
        auto it = props.constFind(strName);
        if (it != props.constEnd())
            wanted.insert(strName, it.value());
    }
    return wanted;
}

CMenuLayout DbusMenuLayout(const std::vector<CDbusMenuEntry>& entries, int nId, int nDepth, const QStringList& names)
{
    CMenuLayout layout;
    layout.nId = nId;
    if (nId == 0) {
        layout.props.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    } else {
        layout.props = DbusMenuItemProperties(*entries[static_cast<std::size_t>(nId - 1)].pItem, names);
    }
    if (nDepth == 0)
        return layout;
    for (const auto& entry : entries) {
        if (entry.nParent == nId)
            layout.children.append(DbusMenuLayout(entries, entry.nDbusId, nDepth < 0 ? -1 : nDepth - 1, names));
    }
    return layout;
}

const char kStatusNotifierItemXml[] = R"xml(  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionMovieName" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
)xml";

const char kDbusMenuXml[] = R"xml(  <interface name="com.canonical.dbusmenu">
    <property name="Version" type="u" access="read"/>
    <property name="TextDirection" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="IconThemePath" type="as" access="read"/>
    <method name="GetLayout">
      <arg name="parentId" type="i" direction="in"/><arg name="recursionDepth" type="i" direction="in"/>
      <arg name="propertyNames" type="as" direction="in"/>
      <arg name="revision" type="u" direction="out"/><arg name="layout" type="(ia{sv}av)" direction="out"/>
    </method>
    <method name="GetGroupProperties">
      <arg name="ids" type="ai" direction="in"/><arg name="propertyNames" type="as" direction="in"/>
      <arg name="properties" type="a(ia{sv})" direction="out"/>
    </method>
    <method name="GetProperty">
      <arg name="id" type="i" direction="in"/><arg name="name" type="s" direction="in"/>
      <arg name="value" type="v" direction="out"/>
    </method>
    <method name="Event">
      <arg name="id" type="i" direction="in"/><arg name="eventId" type="s" direction="in"/>
      <arg name="data" type="v" direction="in"/><arg name="timestamp" type="u" direction="in"/>
    </method>
    <method name="EventGroup">
      <arg name="events" type="a(isvu)" direction="in"/><arg name="idErrors" type="ai" direction="out"/>
    </method>
    <method name="AboutToShow">
      <arg name="id" type="i" direction="in"/><arg name="needUpdate" type="b" direction="out"/>
    </method>
    <method name="AboutToShowGroup">
      <arg name="ids" type="ai" direction="in"/><arg name="updatesNeeded" type="ai" direction="out"/>
      <arg name="idErrors" type="ai" direction="out"/>
    </method>
    <signal name="ItemsPropertiesUpdated">
      <arg name="updatedProps" type="a(ia{sv})"/><arg name="removedProps" type="a(ias)"/>
    </signal>
    <signal name="LayoutUpdated"><arg name="revision" type="u"/><arg name="parent" type="i"/></signal>
    <signal name="ItemActivationRequested"><arg name="id" type="i"/><arg name="timestamp" type="u"/></signal>
  </interface>
)xml";

const char kDbusPropertiesXml[] = R"xml(  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get">
      <arg name="interface_name" type="s" direction="in"/><arg name="property_name" type="s" direction="in"/>
      <arg name="value" type="v" direction="out"/>
    </method>
    <method name="GetAll">
      <arg name="interface_name" type="s" direction="in"/><arg name="values" type="a{sv}" direction="out"/>
    </method>
    <signal name="PropertiesChanged">
      <arg name="interface_name" type="s"/><arg name="changed_properties" type="a{sv}"/>
      <arg name="invalidated_properties" type="as"/>
    </signal>
  </interface>
)xml";
