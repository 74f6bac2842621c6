// The Qt application, waking the user-interface thread, loops, timers,
// descriptor watches, the screen, the pointer, icons and keys.
#include "framework/Images.h"
#include "framework/posix/Waker.h"
#include "framework/qt/QtBridge.h"
#include "framework/qt/QtPort.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <cstring>
#include <map>

namespace {

// Wakes for the framework's queue. Another thread never touches Qt: it
// writes to the waker's eventfd, and the user-interface thread turns that
// into a posted event of its own. Posted events are delivered inside nested loops
// too, and an event made and deleted on one thread is plain to
// ThreadSanitizer, which cannot see Qt's own hand-over between threads.
class CWaker : public QObject {
public:
    static QEvent::Type WakeType()
    {
        static const auto s_type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return s_type;
    }

    CWaker()
    {
        m_waker.Open();
        auto* pNotifier = new QSocketNotifier(m_waker.Descriptor(), QSocketNotifier::Read, this);
        QObject::connect(pNotifier, &QSocketNotifier::activated, this, [this] {
            for (int n = m_waker.TakeWakes(); n > 0; --n)
                QCoreApplication::postEvent(this, new QEvent(WakeType()));
        });
    }

    void Wake()
    {
        if (!m_waker.WakeFromOtherThread())
            QCoreApplication::postEvent(this, new QEvent(WakeType()));
    }

protected:
    bool event(QEvent* pEvent) override
    {
        if (pEvent->type() != WakeType())
            return QObject::event(pEvent);
        AfxPortRunQueued();
        return true;
    }

private:
    CAfxWaker m_waker;
};

std::atomic<CWaker*> g_pWaker{nullptr};

// Timers of the framework: one receiver, Qt's timer id as the token.
class CTimerHost : public QObject {
protected:
    void timerEvent(QTimerEvent* pEvent) override { AfxPortTimer(static_cast<AFX_TOKEN>(pEvent->timerId())); }
};

CTimerHost* g_pTimerHost = nullptr;

struct CWatch {
    QSocketNotifier* pRead = nullptr;
    QSocketNotifier* pWrite = nullptr;
};

// Made once, never destroyed: nothing of ours runs after main.
std::map<AFX_TOKEN, CWatch>& Watches()
{
    static auto* s_pWatches = new std::map<AFX_TOKEN, CWatch>;
    return *s_pWatches;
}

AFX_TOKEN g_nNextWatch = 1;

}  // namespace

CAfxPort& AfxQtPort()
{
    static auto* s_pPort = new CQtPort;
    return *s_pPort;
}

void CQtPort::Init(int& argc, char** argv)
{
    if (QCoreApplication::instance() != nullptr)
        return;
    // QApplication keeps references to both for its whole life, and is
    // never destroyed: windows and icons must not outlive it.
    static int s_argc = argc;
    static char** s_argv = argv;
    // No shared-memory images. The notification-area icon is drawn again
    // twice a probe, and through them each drawing first waits for the X
    // server to have read the last one: a round trip and two more wake-ups
    // of the process each time. Our windows are small, and plain image
    // requests cost less than that wait. Qt reads the switch as it connects
    // to the display. One the user set stands; ours is taken back at once,
    // so that no program we start (the desktop's opener) inherits it.
    const bool bShmSwitchGiven = qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM");
    if (!bShmSwitchGiven)
        qputenv("QT_XCB_NO_MITSHM", "1");
    auto* pApp = new QApplication(s_argc, s_argv);
    if (!bShmSwitchGiven)
        qunsetenv("QT_XCB_NO_MITSHM");
    // The program lives in the notification area with every window hidden;
    // only the framework's own quit ends the loop.
    pApp->setQuitOnLastWindowClosed(false);
    g_pTimerHost = new CTimerHost;
    g_pWaker = new CWaker;
    argc = s_argc;
}

void CQtPort::SetAppIdentity(const CString& strName, HICON hIcon)
{
    if (qApp == nullptr)
        return;
    // Hosts of StatusNotifierItems show the application's name as the icon's
    // title, and X11 window managers see it as the window class; it would
    // otherwise be the executable's file name.
    if (!strName.empty())
        QCoreApplication::setApplicationName(ToQt(strName));
    // Every window without an icon of its own, message boxes among them.
    if (hIcon != nullptr)
        QApplication::setWindowIcon(IconFromResource(hIcon));
}

void CQtPort::WakeUiThread()
{
    if (CWaker* pWaker = g_pWaker.load())
        pWaker->Wake();
}

int CQtPort::RunLoop(AFX_LOOP& loop)
{
    if (loop.bExited)
        return loop.nExitCode;
    QEventLoop eventLoop;
    loop.pBackend = &eventLoop;
    const int nResult = eventLoop.exec();
    loop.pBackend = nullptr;
    return loop.bExited ? loop.nExitCode : nResult;
}

void CQtPort::ExitLoop(AFX_LOOP& loop, int nExitCode)
{
    loop.bExited = TRUE;
    loop.nExitCode = nExitCode;
    if (loop.pBackend != nullptr)
        static_cast<QEventLoop*>(loop.pBackend)->exit(nExitCode);
}

void CQtPort::ProcessEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

BOOL CQtPort::TakesOptionValue(const char* pszName)
{
    // Qt's own options with a value (QApplication and QGuiApplication).
    static const char* const s_apszOptions[] = {
        "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
        "qwindowtitle", "style", "stylesheet", "session", "display", "geometry", "title", "name", "font", "fn",
        "bg", "background", "fg", "foreground", "btn", "button", "visual", "im", "inputstyle", "qmljsdebugger",
    };
    for (const char* pszOption : s_apszOptions) {
        if (std::strcmp(pszName, pszOption) == 0)
            return TRUE;
    }
    return FALSE;
}

void CQtPort::WaitForEvents(int nMs)
{
    // Sleep in an event loop, so posted events and timers wake us.
    QEventLoop loop;
    QTimer::singleShot(nMs, &loop, &QEventLoop::quit);
    loop.exec();
}

AFX_TOKEN CQtPort::StartTimer(UINT nElapseMs)
{
    const int nId = g_pTimerHost->startTimer(static_cast<int>(std::min<UINT>(nElapseMs, 0x7FFFFFFF)));
    return nId > 0 ? static_cast<AFX_TOKEN>(nId) : 0;
}

void CQtPort::StopTimer(AFX_TOKEN token) { g_pTimerHost->killTimer(static_cast<int>(token)); }

AFX_TOKEN CQtPort::WatchDescriptor(int fd, short nEvents)
{
    const AFX_TOKEN token = g_nNextWatch++;
    CWatch& watch = Watches()[token];
    watch.pRead = new QSocketNotifier(fd, QSocketNotifier::Read, g_pTimerHost);
    watch.pWrite = new QSocketNotifier(fd, QSocketNotifier::Write, g_pTimerHost);
    QObject::connect(watch.pRead, &QSocketNotifier::activated, g_pTimerHost,
                     [token] { AfxPortDescriptor(token, AFX_FD_READ); });
    QObject::connect(watch.pWrite, &QSocketNotifier::activated, g_pTimerHost,
                     [token] { AfxPortDescriptor(token, AFX_FD_WRITE); });
    ChangeWatch(token, nEvents);
    return token;
}

void CQtPort::ChangeWatch(AFX_TOKEN token, short nEvents)
{
    auto it = Watches().find(token);
    if (it == Watches().end())
        return;
    it->second.pRead->setEnabled((nEvents & AFX_FD_READ) != 0);
    it->second.pWrite->setEnabled((nEvents & AFX_FD_WRITE) != 0);
}

void CQtPort::UnwatchDescriptor(AFX_TOKEN token)
{
    auto it = Watches().find(token);
    if (it == Watches().end())
        return;
    // The notifier whose signal brought us here may be on the stack.
    for (QSocketNotifier* pNotifier : {it->second.pRead, it->second.pWrite}) {
        pNotifier->setEnabled(false);
        pNotifier->deleteLater();
    }
    Watches().erase(it);
}

CSize CQtPort::ScreenSize()
{
    QScreen* pScreen = QGuiApplication::primaryScreen();
    if (pScreen == nullptr)
        return CSize{};
    const QSize size = pScreen->size();
    return CSize{size.width(), size.height()};
}

CPoint CQtPort::CursorPos()
{
    const QPoint pos = QCursor::pos();
    return CPoint{pos.x(), pos.y()};
}

void CQtPort::ShowWaitCursor(BOOL bShow)
{
    if (QGuiApplication::instance() == nullptr)
        return;
    ShowWaitShape(bShow != FALSE);
}

QPixmap PixmapOf(const AFX_IMAGE32& image)
{
    const QImage img(reinterpret_cast<const uchar*>(image.pixels.data()), image.size, image.size,
                     image.size * static_cast<int>(sizeof(std::uint32_t)), QImage::Format_ARGB32);
    return QPixmap::fromImage(img.copy());  // the image only borrows the pixels
}

QIcon IconFromResource(HICON hIcon)
{
    // The tray changes its icon twice per probe: each image is made once.
    static auto* s_pCache = new std::map<HICON, QIcon>;
    if (hIcon == nullptr)
        return QIcon();
    auto it = s_pCache->find(hIcon);
    if (it != s_pCache->end())
        return it->second;
    QIcon icon;
    for (const AFX_ICON_IMAGE& art : {hIcon->large, hIcon->small}) {
        AFX_IMAGE32 image;
        AfxDecodeIcon(art, image);
        if (image.size > 0)
            icon.addPixmap(PixmapOf(image));
    }
    return (*s_pCache)[hIcon] = icon;
}

int QtKeyFromVirtKey(UINT nVirtKey)
{
    if ((nVirtKey >= 'A' && nVirtKey <= 'Z') || (nVirtKey >= '0' && nVirtKey <= '9'))
        return static_cast<int>(nVirtKey);  // Qt uses the same codes for these
    if (nVirtKey >= 0x70 && nVirtKey <= 0x87)  // VK_F1 .. VK_F24
        return Qt::Key_F1 + static_cast<int>(nVirtKey - 0x70);
    switch (nVirtKey) {
    case VK_BACK:
        return Qt::Key_Backspace;
    case VK_RETURN:
        return Qt::Key_Return;
    case VK_ESCAPE:
        return Qt::Key_Escape;
    case 0x09:
        return Qt::Key_Tab;
    case 0x20:
        return Qt::Key_Space;
    case 0x2E:
        return Qt::Key_Delete;
    default:
        return 0;
    }
}
