// What a top-level window asks of the window manager or compositor: its
// decoration, and being brought forward.
#include "framework/qt/QtBridge.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr char kStyle[] = "_afx_style";

// Motif window-manager hints: the one way to ask an X11 window manager for
// the buttons and functions of a window's decoration.
constexpr std::uint32_t kMwmHintsFunctions = 1u << 0;
constexpr std::uint32_t kMwmHintsDecorations = 1u << 1;
constexpr std::uint32_t kMwmFuncResize = 1u << 1;
constexpr std::uint32_t kMwmFuncMove = 1u << 2;
constexpr std::uint32_t kMwmFuncMinimize = 1u << 3;
constexpr std::uint32_t kMwmFuncMaximize = 1u << 4;
constexpr std::uint32_t kMwmFuncClose = 1u << 5;
constexpr std::uint32_t kMwmDecorBorder = 1u << 1;
constexpr std::uint32_t kMwmDecorResizeH = 1u << 2;
constexpr std::uint32_t kMwmDecorTitle = 1u << 3;
constexpr std::uint32_t kMwmDecorMenu = 1u << 4;
constexpr std::uint32_t kMwmDecorMinimize = 1u << 5;
constexpr std::uint32_t kMwmDecorMaximize = 1u << 6;

// Qt asks for a title bar without buttons as "move and resize", which lets a
// window manager offer resizing, and drops closing altogether, which takes
// the keyboard's close command away too. Ours say exactly what the style
// says; closing stays a function (the keyboard close command still closes a
// window without a close box, as on the original platform) but no button.
void SetMotifHints(QWidget* pWindow, DWORD dwStyle)
{
    auto* pX11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (pX11 == nullptr || pX11->connection() == nullptr)
        return;
    xcb_connection_t* pConn = pX11->connection();
    static const xcb_atom_t s_atom = [pConn] {
        static const char s_szName[] = "_MOTIF_WM_HINTS";
        xcb_intern_atom_reply_t* pReply =
            xcb_intern_atom_reply(pConn, xcb_intern_atom(pConn, 0, sizeof(s_szName) - 1, s_szName), nullptr);
        const xcb_atom_t atom = pReply ? pReply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        free(pReply);
        return atom;
    }();
    if (s_atom == XCB_ATOM_NONE)
        return;
    std::uint32_t nFunctions = kMwmFuncMove | kMwmFuncClose;
    std::uint32_t nDecorations = kMwmDecorBorder | kMwmDecorTitle;
    if (dwStyle & WS_THICKFRAME) {
        nFunctions |= kMwmFuncResize;
        nDecorations |= kMwmDecorResizeH;
    }
    if (dwStyle & WS_SYSMENU)
        nDecorations |= kMwmDecorMenu;
    if (dwStyle & WS_MINIMIZEBOX) {
        nFunctions |= kMwmFuncMinimize;
        nDecorations |= kMwmDecorMinimize;
    }
    if (dwStyle & WS_MAXIMIZEBOX) {
        nFunctions |= kMwmFuncMaximize;
        nDecorations |= kMwmDecorMaximize;
    }
    const std::uint32_t aHints[5] = {kMwmHintsFunctions | kMwmHintsDecorations, nFunctions, nDecorations, 0, 0};
    xcb_change_property(pConn, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(pWindow->winId()), s_atom, s_atom,
                        32, 5, aHints);
    xcb_flush(pConn);
}

// Qt's own decoration on Wayland (used where the compositor draws none)
// always offers minimise, maximise and close, and maximising a window of
// fixed size breaks the protocol: Weston drops the program for a surface
// that does not match the maximised state. So our top-level windows draw
// their title themselves there: this strip, over the top of the window's
// inside, shows the icon and the title and moves the window when dragged.
class CTitleStrip : public QWidget {
public:
    explicit CTitleStrip(QWidget* pWindow) : QWidget(pWindow)
    {
        QFont font = pWindow->font();
        font.setBold(true);
        setFont(font);
        setGeometry(0, 0, pWindow->width(), fontMetrics().height() + 10);
        QMargins margins = pWindow->contentsMargins();
        margins.setTop(margins.top() + height());
        pWindow->setContentsMargins(margins);
        pWindow->installEventFilter(this);
        raise();
    }

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (pObject == parent()) {
            switch (pEvent->type()) {
            case QEvent::Resize:
                setGeometry(0, 0, parentWidget()->width(), height());
                break;
            case QEvent::WindowTitleChange:
            case QEvent::WindowIconChange:
            case QEvent::ActivationChange:
                update();
                break;
            default:
                break;
            }
        }
        return false;
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const bool bActive = window()->isActiveWindow();
        painter.fillRect(rect(), palette().color(bActive ? QPalette::Highlight : QPalette::Mid));
        const QIcon icon = window()->windowIcon();
        const int nIcon = 16;
        if (!icon.isNull())
            painter.drawPixmap(6, (height() - nIcon) / 2, icon.pixmap(nIcon, nIcon));
        painter.setPen(palette().color(bActive ? QPalette::HighlightedText : QPalette::WindowText));
        const QRect rcText = rect().adjusted(nIcon + 12, 0, -(nIcon + 12), 0);
        painter.drawText(rcText, Qt::AlignCenter | Qt::TextSingleLine,
                         fontMetrics().elidedText(window()->windowTitle(), Qt::ElideRight, rcText.width()));
    }

    void mousePressEvent(QMouseEvent* pEvent) override
    {
        if (pEvent->button() == Qt::LeftButton && window()->windowHandle() != nullptr)
            window()->windowHandle()->startSystemMove();
    }
};

}  // namespace

bool OnWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

Qt::WindowFlags DecorationFlags()
{
    return OnWayland() ? Qt::WindowFlags(Qt::FramelessWindowHint) : Qt::WindowFlags();
}

void AddTitleStrip(QWidget* pWindow)
{
    if (OnWayland() && TitleStripHeight(pWindow) == 0)
        new CTitleStrip(pWindow);
}

int TitleStripHeight(const QWidget* pWindow)
{
    if (pWindow == nullptr || !pWindow->isWindow())
        return 0;
    for (QObject* pChild : pWindow->children()) {
        if (auto* pStrip = dynamic_cast<CTitleStrip*>(pChild))
            return pStrip->height();
    }
    return 0;
}

void SetWindowStyle(QWidget* pWindow, DWORD dwStyle) { pWindow->setProperty(kStyle, static_cast<uint>(dwStyle)); }

void PrepareTopLevel(QWidget* pWindow)
{
    const QVariant style = pWindow->property(kStyle);
    if (style.isValid() && QGuiApplication::platformName() == QLatin1String("xcb"))
        SetMotifHints(pWindow, static_cast<DWORD>(style.toUInt()));
}

void BringForward(QWidget* pWindow)
{
    // The offscreen platform (tests) cannot raise and says so on the console.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        pWindow->raise();
    pWindow->activateWindow();
}
