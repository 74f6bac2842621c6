// The pointer: the mouse capture as a Qt mouse grab, and the shape the
// program sets, kept as one application-wide override cursor below the wait
// cursor.
#include "framework/Images.h"
#include "framework/qt/QtBridge.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>

#include <map>

namespace {

class CCursorReset;

// Made once and never destroyed: nothing of ours runs after main.
struct CPointer {
    QPointer<QWidget> pGrabber;
    HCURSOR hShape = nullptr;  // set by the program; null: each widget's own
    bool bWait = false;
    bool bOverride = false;  // we hold one override cursor
    CCursorReset* pReset = nullptr;
};

CPointer& Pointer()
{
    static auto* s_pPointer = new CPointer;
    return *s_pPointer;
}

QCursor CursorOf(HCURSOR hCursor)
{
    static auto* s_pCache = new std::map<HCURSOR, QCursor>;
    auto it = s_pCache->find(hCursor);
    if (it != s_pCache->end())
        return it->second;
    AFX_IMAGE32 image;
    if (!AfxDecodeCursor(*hCursor, image))
        return QCursor(hCursor->id == IDC_WAIT ? Qt::WaitCursor : Qt::ArrowCursor);
    return (*s_pCache)[hCursor] = QCursor(PixmapOf(image), hCursor->xHotspot, hCursor->yHotspot);
}

void ApplyShape()
{
    CPointer& ptr = Pointer();
    const bool bWant = ptr.bWait || ptr.hShape != nullptr;
    if (!bWant) {
        if (ptr.bOverride)
            QApplication::restoreOverrideCursor();
        ptr.bOverride = false;
        return;
    }
    const QCursor cursor = ptr.bWait ? QCursor(Qt::WaitCursor) : CursorOf(ptr.hShape);
    if (ptr.bOverride)
        QApplication::changeOverrideCursor(cursor);
    else
        QApplication::setOverrideCursor(cursor);
    ptr.bOverride = true;
}

// The platform's WM_SETCURSOR default: once no window holds the capture, the
// next move over any window shows that window's own shape again. Moves over
// statics reach the framework, which does the same; this catches the rest
// (the dialog's background, other windows).
class CCursorReset : public QObject {
protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::MouseMove) {
            CPointer& ptr = Pointer();
            if (ptr.hShape != nullptr && ptr.pGrabber.isNull()) {
                ptr.hShape = nullptr;
                ApplyShape();
            }
        }
        return QObject::eventFilter(pObject, pEvent);
    }
};

}  // namespace

void ShowWaitShape(bool bShow)
{
    Pointer().bWait = bShow;
    ApplyShape();
}

QWidget* MouseCaptureWidget() { return Pointer().pGrabber.data(); }

void CQtPort::SetMouseCapture(AFX_PORTWND pw)
{
    CPointer& ptr = Pointer();
    QWidget* pWidget = WidgetOf(pw);
    if (ptr.pGrabber == pWidget)
        return;
    if (!ptr.pGrabber.isNull() && QWidget::mouseGrabber() == ptr.pGrabber)
        ptr.pGrabber->releaseMouse();
    ptr.pGrabber = pWidget;
    // The offscreen platform (tests) has no mouse to grab and says so on the console.
    if (pWidget != nullptr && QGuiApplication::platformName() != QLatin1String("offscreen"))
        pWidget->grabMouse();
}

void CQtPort::SetCursor(HCURSOR hCursor)
{
    if (QGuiApplication::instance() == nullptr)
        return;
    CPointer& ptr = Pointer();
    if (ptr.pReset == nullptr) {
        ptr.pReset = new CCursorReset;
        qApp->installEventFilter(ptr.pReset);
    }
    // The arrow is every widget's own shape unless it has another.
    const bool bArrow = hCursor == nullptr || (hCursor->pixels == nullptr && hCursor->id == IDC_ARROW);
    ptr.hShape = bArrow ? nullptr : hCursor;
    ApplyShape();
}

CRect CQtPort::GetClientRect(AFX_PORTWND pw)
{
    QWidget* pWidget = WidgetOf(pw);
    // A frame's inside is below its menu bar: the form it holds.
    if (auto* pFrame = qobject_cast<QMainWindow*>(pWidget); pFrame != nullptr && pFrame->centralWidget() != nullptr)
        pWidget = pFrame->centralWidget();
    const QPoint ptOrigin = pWidget->mapToGlobal(QPoint(0, 0));
    return CRect{ptOrigin.x(), ptOrigin.y(), ptOrigin.x() + pWidget->width(), ptOrigin.y() + pWidget->height()};
}
