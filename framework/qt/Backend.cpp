// The Qt application object, pumping messages, running work on the
// user-interface thread, screen metrics, icons and the wait cursor.
#include "framework/WinApp.h"
#include "framework/qt/QtBridge.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QEventLoop>
#include <QImage>
#include <QMetaObject>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <mutex>
#include <atomic>

namespace {

// Work handed over from another thread waits in a queue of our own, under a
// plain mutex, and an eventfd wakes the user-interface thread for it. Qt's own
// queued calls would do, but their hand-over goes through futexes and atomics
// that ThreadSanitizer cannot see, and then every hand-over looks like a race.
class CRunQueue {
public:
    CRunQueue() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
        m_pNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
        QObject::connect(m_pNotifier, &QSocketNotifier::activated, [this] { RunPending(); });
    }
    void Post(std::function<void()> fn)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_pending.push_back(std::move(fn));
        }
        const std::uint64_t nOne = 1;
        ssize_t nWritten = ::write(m_fd, &nOne, sizeof(nOne));
        (void)nWritten;  // a full counter still wakes the reader
    }

private:
    void RunPending()
    {
        std::uint64_t nCount = 0;
        ssize_t nRead = ::read(m_fd, &nCount, sizeof(nCount));
        (void)nRead;
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            batch.swap(m_pending);
        }
        for (std::function<void()>& fn : batch)
            fn();
    }

    int m_fd;
    QSocketNotifier* m_pNotifier;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_pending;
};

std::atomic<CRunQueue*> g_pRunQueue{nullptr};

std::atomic<int> g_nTestScreenCx{0};
std::atomic<int> g_nTestScreenCy{0};

QRgb PaletteColour(char ch)
{
    static const QRgb s_aPalette[16] = {
        qRgb(0x00, 0x00, 0x00), qRgb(0x80, 0x00, 0x00), qRgb(0x00, 0x80, 0x00), qRgb(0x80, 0x80, 0x00),
        qRgb(0x00, 0x00, 0x80), qRgb(0x80, 0x00, 0x80), qRgb(0x00, 0x80, 0x80), qRgb(0xC0, 0xC0, 0xC0),
        qRgb(0x80, 0x80, 0x80), qRgb(0xFF, 0x00, 0x00), qRgb(0x00, 0xFF, 0x00), qRgb(0xFF, 0xFF, 0x00),
        qRgb(0x00, 0x00, 0xFF), qRgb(0xFF, 0x00, 0xFF), qRgb(0x00, 0xFF, 0xFF), qRgb(0xFF, 0xFF, 0xFF),
    };
    int nIndex = -1;
    if (ch >= '0' && ch <= '9')
        nIndex = ch - '0';
    else if (ch >= 'A' && ch <= 'F')
        nIndex = ch - 'A' + 10;
    else if (ch >= 'a' && ch <= 'f')
        nIndex = ch - 'a' + 10;
    return nIndex < 0 ? qRgba(0, 0, 0, 0) : s_aPalette[nIndex];
}

void AddImage(QIcon& icon, const AFX_ICON_IMAGE& image)
{
    if (image.pixels == nullptr || image.size <= 0)
        return;
    QImage img(image.size, image.size, QImage::Format_ARGB32);
    const char* p = image.pixels;
    for (int y = 0; y < image.size; ++y) {
        for (int x = 0; x < image.size; ++x) {
            // A short string leaves the rest transparent rather than reading past it.
            const char ch = *p ? *p++ : '.';
            img.setPixel(x, y, PaletteColour(ch));
        }
    }
    icon.addPixmap(QPixmap::fromImage(img));
}

}  // namespace

void AfxInitBackend(int& argc, char** argv)
{
    if (QCoreApplication::instance() != nullptr)
        return;
    // QApplication keeps references to both for its whole life.
    static int s_argc = argc;
    static char** s_argv = argv;
    auto* pApp = new QApplication(s_argc, s_argv);
    // The program lives in the notification area with every window hidden;
    // only the framework's own quit ends the loop.
    pApp->setQuitOnLastWindowClosed(false);
    g_pRunQueue = new CRunQueue;  // lives as long as the process
    argc = s_argc;
}

void AfxPumpMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Windows destroyed outside any event handler are deleted here; Qt
    // defers those deletions until a loop at their own level runs.
    if (!CDispatchScope::Active())
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

BOOL AfxPumpUntil(const std::function<bool()>& pred, int nTimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        AfxPumpMessages();
        if (pred())
            return TRUE;
        const qint64 nLeft = nTimeoutMs - timer.elapsed();
        if (nLeft <= 0)
            return FALSE;
        // Sleep in the event loop, so posted events and timers wake us.
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(std::min<qint64>(nLeft, 10)), &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void AfxRunOnUiThread(std::function<void()> fn)
{
    CRunQueue* pQueue = g_pRunQueue.load();
    if (pQueue == nullptr || !fn)
        return;
    pQueue->Post(std::move(fn));
}

void AfxSetScreenSizeForTesting(int cx, int cy)
{
    g_nTestScreenCx = cx;
    g_nTestScreenCy = cy;
}

int GetSystemMetrics(int nIndex)
{
    if (g_nTestScreenCx > 0 && g_nTestScreenCy > 0)
        return nIndex == SM_CXSCREEN ? g_nTestScreenCx.load() : nIndex == SM_CYSCREEN ? g_nTestScreenCy.load() : 0;
    QScreen* pScreen = QGuiApplication::primaryScreen();
    if (pScreen == nullptr)
        return 0;
    const QSize size = pScreen->size();
    if (nIndex == SM_CXSCREEN)
        return size.width();
    if (nIndex == SM_CYSCREEN)
        return size.height();
    return 0;
}

QIcon IconFromResource(HICON hIcon)
{
    QIcon icon;
    if (hIcon == nullptr)
        return icon;
    AddImage(icon, hIcon->large);
    AddImage(icon, hIcon->small);
    return icon;
}

void AfxShowWaitCursor(bool bShow)
{
    if (QGuiApplication::instance() == nullptr)
        return;
    if (bShow)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}

int AfxQtKeyFromVirtKey(UINT nVirtKey)
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
