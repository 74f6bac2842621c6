// Statics as QLabels that ask the framework for their look before they draw
// (the colour request) and, with SS_NOTIFY, report the mouse; their font as
// the framework describes fonts.
#include "framework/qt/QtBridge.h"

#include <QEvent>
#include <QFontInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace {

const char kNotifyProperty[] = "afxNotify";

QColor ColorOf(COLORREF cr) { return QColor(GetRValue(cr), GetGValue(cr), GetBValue(cr)); }

bool Notifies(const QWidget* pWidget) { return pWidget->property(kNotifyProperty).toBool(); }

// The font a LOGFONT describes, starting from the control's own so that what
// the description leaves alone (its exact size) stays as it was.
QFont FontOf(const LOGFONT& lf, const QFont& base)
{
    QFont font = base;
    const QString strFace = QString::fromUtf8(lf.lfFaceName, static_cast<int>(strnlen(lf.lfFaceName, LF_FACESIZE)));
    if (!strFace.isEmpty() && strFace != base.family())
        font.setFamily(strFace);
    const int nPixels = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    if (nPixels > 0 && nPixels != QFontInfo(base).pixelSize())
        font.setPixelSize(nPixels);
    if (lf.lfWeight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp<int>(lf.lfWeight, 1, 1000)));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    return font;
}

void DrawLook(QLabel* pLabel, const AFX_STATICLOOK& look)
{
    QPainter painter(pLabel);
    const QFont font = look.bFont ? FontOf(look.font, pLabel->font()) : pLabel->font();
    painter.setFont(font);
    QColor crText = look.bTextColor ? ColorOf(look.crText) : pLabel->palette().color(QPalette::WindowText);
    // A disabled static is grey whatever colour was asked for, as on the platform.
    if (!pLabel->isEnabled())
        crText = pLabel->palette().color(QPalette::Disabled, QPalette::WindowText);
    const int nFlags = static_cast<int>(pLabel->alignment()) | (pLabel->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect rcText = pLabel->contentsRect();
    if (!look.bTransparent) {
        const QColor crBack = look.bBkColor ? ColorOf(look.crBack) : pLabel->palette().color(QPalette::Window);
        painter.fillRect(painter.boundingRect(rcText, nFlags, pLabel->text()), crBack);
    }
    painter.setPen(crText);
    painter.drawText(rcText, nFlags, pLabel->text());
}

class CStaticHooks : public QObject {
protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        // Events come also while the label is being destroyed, when it is a
        // QLabel no more: only the cases below look at it, each as what it is then.
        switch (pEvent->type()) {
        case QEvent::Paint: {
            auto* pLabel = qobject_cast<QLabel*>(pObject);
            AFX_STATICLOOK look;
            if (pLabel == nullptr)
                return false;
            if (!AfxPortStaticLook(PortOf(pLabel), look))
                return false;  // the usual look
            DrawLook(pLabel, look);
            return true;
        }
        case QEvent::Show:
            // Texts set while the window was hidden are fitted now, once.
            if (auto* pLabel = qobject_cast<QLabel*>(pObject); pLabel && pLabel->pixmap().isNull())
                FitStaticText(pLabel);
            return false;
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress: {
            auto* pWidget = qobject_cast<QWidget*>(pObject);
            auto* pMouse = static_cast<QMouseEvent*>(pEvent);
            if (pWidget == nullptr || !(Notifies(pWidget) || MouseCaptureWidget() == pWidget))
                return false;
            const QPoint pt = pMouse->globalPosition().toPoint();
            if (pEvent->type() == QEvent::MouseMove)
                AfxPortMouseMove(PortOf(pWidget), CPoint{pt.x(), pt.y()});
            else if (pMouse->button() == Qt::LeftButton)
                AfxPortMouseDown(PortOf(pWidget), CPoint{pt.x(), pt.y()});
            return false;
        }
        default:
            return false;
        }
    }
};

QObject* StaticHooks()
{
    static auto* s_pHooks = new CStaticHooks;
    return s_pHooks;
}

}  // namespace

void InstallStaticHooks(QLabel* pLabel, DWORD dwStyle)
{
    pLabel->installEventFilter(StaticHooks());
    pLabel->setProperty(kNotifyProperty, (dwStyle & SS_NOTIFY) != 0);
    pLabel->setMouseTracking((dwStyle & SS_NOTIFY) != 0);
}

void CQtPort::SetStaticNotify(AFX_PORTWND pw, BOOL bNotify)
{
    QWidget* pWidget = WidgetOf(pw);
    pWidget->setProperty(kNotifyProperty, bNotify != FALSE);
    // Moves without a button pressed reach a widget only while it tracks them.
    pWidget->setMouseTracking(bNotify != FALSE);
}

void CQtPort::GetFont(AFX_PORTWND pw, LOGFONT& lf)
{
    const QFont font = WidgetOf(pw)->font();
    lf = LOGFONT{};
    lf.lfHeight = -QFontInfo(font).pixelSize();
    lf.lfWeight = static_cast<LONG>(font.weight());
    lf.lfItalic = font.italic() ? 1 : 0;
    lf.lfUnderline = font.underline() ? 1 : 0;
    lf.lfStrikeOut = font.strikeOut() ? 1 : 0;
    const QByteArray face = font.family().toUtf8();
    std::memcpy(lf.lfFaceName, face.constData(), std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
}

void CQtPort::InvalidateWindow(AFX_PORTWND pw) { WidgetOf(pw)->update(); }
