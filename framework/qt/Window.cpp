// CWnd and its backend state: the tree of windows, window state, timers,
// posted and sent messages, destruction.
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "framework/qt/QtBridge.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimerEvent>
#include <QVariant>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace {

constexpr const char* kImplProperty = "afxWndImpl";

int g_nDispatchDepth = 0;  // user-interface thread only

// Posted messages go through one long-lived receiver, so a message never
// refers to a Qt object that might be gone; whether its window still lives
// is decided at delivery from the registry below.
class CPostedMessageEvent : public QEvent {
public:
    static QEvent::Type TypeId()
    {
        static const QEvent::Type s_type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return s_type;
    }
    CPostedMessageEvent(CWnd* pWnd, std::uint64_t nSerial, UINT nMessage, WPARAM wParam, LPARAM lParam)
        : QEvent(TypeId()), m_pWnd(pWnd), m_nSerial(nSerial), m_nMessage(nMessage), m_wParam(wParam),
          m_lParam(lParam)
    {
    }
    CWnd* m_pWnd;
    std::uint64_t m_nSerial;
    UINT m_nMessage;
    WPARAM m_wParam;
    LPARAM m_lParam;
};

class CMessageDispatcher : public QObject {
protected:
    bool event(QEvent* pEvent) override;
};

// Every CWnd that has a window, with a serial number per window life: a
// message posted to one window never reaches a later window of the same
// object or a new object at the same address.
std::mutex g_mutexLive;
std::unordered_map<const CWnd*, std::uint64_t> g_mapLive;
std::uint64_t g_nNextSerial = 1;
CMessageDispatcher* g_pDispatcher = nullptr;

void RegisterWnd(const CWnd* pWnd)
{
    std::lock_guard<std::mutex> lock(g_mutexLive);
    if (g_pDispatcher == nullptr)
        g_pDispatcher = new CMessageDispatcher;  // lives as long as the program
    g_mapLive[pWnd] = g_nNextSerial++;
}

void UnregisterWnd(const CWnd* pWnd)
{
    std::lock_guard<std::mutex> lock(g_mutexLive);
    g_mapLive.erase(pWnd);
}

bool IsLive(const CWnd* pWnd, std::uint64_t nSerial)
{
    std::lock_guard<std::mutex> lock(g_mutexLive);
    auto it = g_mapLive.find(pWnd);
    return it != g_mapLive.end() && it->second == nSerial;
}

bool CMessageDispatcher::event(QEvent* pEvent)
{
    if (pEvent->type() != CPostedMessageEvent::TypeId())
        return QObject::event(pEvent);
    auto* pMsg = static_cast<CPostedMessageEvent*>(pEvent);
    if (IsLive(pMsg->m_pWnd, pMsg->m_nSerial) && pMsg->m_pWnd->IsWindow()) {
        CDispatchScope scope;
        pMsg->m_pWnd->WindowProc(pMsg->m_nMessage, pMsg->m_wParam, pMsg->m_lParam);
    }
    return true;
}

// Windows whose nearest window above them is pWidget's.
void CollectChildWindows(const QWidget* pWidget, std::vector<CWnd*>& children)
{
    for (QObject* pObject : pWidget->children()) {
        auto* pChild = qobject_cast<QWidget*>(pObject);
        if (pChild == nullptr)
            continue;
        CWndImpl* pImpl = CWndImpl::FromWidget(pChild);
        if (pImpl != nullptr && pImpl->Owner() != nullptr)
            children.push_back(pImpl->Owner());
        else
            CollectChildWindows(pChild, children);
    }
}

}  // namespace

// ---- dispatch scope

CDispatchScope::CDispatchScope() { ++g_nDispatchDepth; }
CDispatchScope::~CDispatchScope() { --g_nDispatchDepth; }
bool CDispatchScope::Active() { return g_nDispatchDepth > 0; }

// ---- CWndImpl

CWndImpl::CWndImpl(CWnd* pOwner, QWidget* pWidget, int nCtrlId)
    : m_pWidget(pWidget), m_pOwner(pOwner), m_nCtrlId(nCtrlId)
{
    if (pWidget != nullptr)
        pWidget->setProperty(kImplProperty, QVariant::fromValue(reinterpret_cast<quintptr>(this)));
}

CWndImpl::~CWndImpl() = default;

CWndImpl* CWndImpl::FromWidget(const QWidget* pWidget)
{
    if (pWidget == nullptr)
        return nullptr;
    const QVariant value = pWidget->property(kImplProperty);
    return value.isValid() ? reinterpret_cast<CWndImpl*>(value.value<quintptr>()) : nullptr;
}

CWnd* CWndImpl::WndAtOrAbove(const QWidget* pWidget)
{
    for (; pWidget != nullptr; pWidget = pWidget->parentWidget()) {
        CWndImpl* pImpl = FromWidget(pWidget);
        if (pImpl != nullptr && pImpl->Owner() != nullptr)
            return pImpl->Owner();
    }
    return nullptr;
}

void CWndImpl::Attach(CWnd* pWnd)
{
    if (std::find(m_attached.begin(), m_attached.end(), pWnd) == m_attached.end())
        m_attached.push_back(pWnd);
}

void CWndImpl::Detach(CWnd* pWnd)
{
    m_attached.erase(std::remove(m_attached.begin(), m_attached.end(), pWnd), m_attached.end());
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->first.first == pWnd) {
            killTimer(it->second);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

UINT CWndImpl::SetTimer(CWnd* pWnd, UINT nIDEvent, UINT nElapse)
{
    const auto key = std::make_pair(pWnd, nIDEvent);
    auto it = m_timers.find(key);
    if (it != m_timers.end()) {
        killTimer(it->second);
        m_timers.erase(it);
    }
    // As on the original platform, very short intervals are raised to 10 ms.
    const int nQtId = startTimer(static_cast<int>(std::clamp<UINT>(nElapse, 10, 0x7FFFFFFF)));
    if (nQtId == 0)
        return 0;
    m_timers[key] = nQtId;
    return nIDEvent;
}

BOOL CWndImpl::KillTimer(CWnd* pWnd, UINT nIDEvent)
{
    auto it = m_timers.find(std::make_pair(pWnd, nIDEvent));
    if (it == m_timers.end())
        return FALSE;
    killTimer(it->second);
    m_timers.erase(it);
    return TRUE;
}

BOOL CWndImpl::HasTimer(const CWnd* pWnd, UINT nIDEvent) const
{
    return m_timers.count(std::make_pair(const_cast<CWnd*>(pWnd), nIDEvent)) != 0;
}

void CWndImpl::timerEvent(QTimerEvent* pEvent)
{
    for (const auto& [key, nQtId] : m_timers) {
        if (nQtId == pEvent->timerId()) {
            CWnd* pWnd = key.first;
            const UINT nIDEvent = key.second;
            CDispatchScope scope;
            pWnd->WindowProc(WM_TIMER, nIDEvent, 0);
            return;
        }
    }
    killTimer(pEvent->timerId());
}

void CWndImpl::Retire()
{
    for (const auto& entry : m_timers)
        killTimer(entry.second);
    m_timers.clear();
    for (CWnd* pWnd : m_attached) {
        pWnd->m_pImpl = nullptr;
        pWnd->m_bOwnsImpl = FALSE;
        UnregisterWnd(pWnd);
    }
    m_attached.clear();
    m_controls.clear();
    if (m_pModal != nullptr && m_pModal->pLoop != nullptr)
        m_pModal->pLoop->quit();
    m_pOwner = nullptr;
    if (QWidget* pWidget = m_pWidget.data()) {
        pWidget->setProperty(kImplProperty, QVariant());
        pWidget->hide();
        // The widget may be the one whose signal or event brought us here.
        pWidget->deleteLater();
    }
    deleteLater();
}

QWidget* AfxWidgetOf(const CWnd* pWnd)
{
    return pWnd != nullptr && pWnd->Impl() != nullptr ? pWnd->Impl()->Widget() : nullptr;
}

void AfxNotifyParent(CWndImpl* pControl)
{
    if (pControl == nullptr || pControl->Owner() == nullptr || pControl->Widget() == nullptr)
        return;
    CWnd* pParent = CWndImpl::WndAtOrAbove(pControl->Widget()->parentWidget());
    if (pParent == nullptr)
        return;
    CDispatchScope scope;
    pParent->WindowProc(WM_COMMAND, static_cast<WPARAM>(pControl->CtrlId() & 0xFFFF),
                        reinterpret_cast<LPARAM>(pControl->Owner()));
}

// ---- CWnd

CWnd::CWnd() = default;

CWnd::~CWnd()
{
    // No messages from here: the derived parts are gone already.
    if (m_pImpl != nullptr) {
        CWndImpl* pImpl = m_pImpl;
        m_pImpl = nullptr;
        if (m_bOwnsImpl)
            pImpl->Retire();
        else
            pImpl->Detach(this);
    }
    UnregisterWnd(this);
}

void CWnd::AttachImpl(CWndImpl* pImpl, BOOL bOwner)
{
    if (m_pImpl == pImpl)
        return;
    if (m_pImpl != nullptr) {
        CWndImpl* pOld = m_pImpl;
        m_pImpl = nullptr;
        if (m_bOwnsImpl)
            pOld->Retire();
        else
            pOld->Detach(this);
    }
    m_pImpl = pImpl;
    m_bOwnsImpl = pImpl != nullptr && bOwner;
    if (pImpl == nullptr) {
        UnregisterWnd(this);
        return;
    }
    if (!bOwner)
        pImpl->Attach(this);
    RegisterWnd(this);
}

int CWnd::GetDlgCtrlID() const { return m_pImpl ? m_pImpl->CtrlId() : 0; }

CWnd* CWnd::GetDlgItem(int nID) const
{
    QWidget* pWidget = AfxWidgetOf(this);
    if (pWidget == nullptr)
        return nullptr;
    // Direct children only, as on the original platform.
    std::vector<CWnd*> children;
    CollectChildWindows(pWidget, children);
    for (CWnd* pChild : children) {
        if (pChild->GetDlgCtrlID() == nID)
            return pChild;
    }
    return nullptr;
}

CWnd* CWnd::GetParent() const
{
    QWidget* pWidget = AfxWidgetOf(this);
    return pWidget ? CWndImpl::WndAtOrAbove(pWidget->parentWidget()) : nullptr;
}

CFrameWnd* CWnd::GetParentFrame() const
{
    for (CWnd* pWnd = GetParent(); pWnd != nullptr; pWnd = pWnd->GetParent()) {
        if (auto* pFrame = dynamic_cast<CFrameWnd*>(pWnd))
            return pFrame;
    }
    return nullptr;
}

BOOL CWnd::IsWindow() const { return AfxWidgetOf(this) != nullptr; }

void CWnd::SetWindowText(const CString& strText)
{
    QWidget* pWidget = AfxWidgetOf(this);
    if (pWidget == nullptr)
        return;
    const QString str = QString::fromStdString(strText);
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
        pButton->setText(str);
    else if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
        pEdit->setText(str);
    else if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
        pCombo->setEditText(str);
    else if (auto* pLabel = qobject_cast<QLabel*>(pWidget)) {
        pLabel->setText(str);
        AfxFitStaticText(pLabel);
    }
    else if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget))
        pGroup->setTitle(str);
    else
        pWidget->setWindowTitle(str);
}

CString CWnd::GetWindowText() const
{
    QWidget* pWidget = AfxWidgetOf(this);
    if (pWidget == nullptr)
        return CString();
    QString str;
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
        str = pButton->text();
    else if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
        str = pEdit->text();
    else if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
        str = pCombo->currentText();
    else if (auto* pLabel = qobject_cast<QLabel*>(pWidget))
        str = pLabel->text();
    else if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget))
        str = pGroup->title();
    else
        str = pWidget->windowTitle();
    return str.toStdString();
}

void CWnd::EnableWindow(BOOL bEnable)
{
    if (QWidget* pWidget = AfxWidgetOf(this))
        pWidget->setEnabled(bEnable != FALSE);
}

BOOL CWnd::IsWindowEnabled() const
{
    // The window's own state, not its parent's, as on the original platform.
    QWidget* pWidget = AfxWidgetOf(this);
    return pWidget != nullptr && !pWidget->testAttribute(Qt::WA_ForceDisabled);
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    QWidget* pWidget = AfxWidgetOf(this);
    if (pWidget == nullptr)
        return FALSE;
    const BOOL bWasVisible = !pWidget->isHidden();
    if (nCmdShow == SW_HIDE) {
        pWidget->hide();
        return bWasVisible;
    }
    if (m_pImpl->m_bFrame)
        AfxFrameApplySizeLimits(this);
    if (pWidget->isWindow() && nCmdShow == SW_SHOWNORMAL)
        pWidget->showNormal();
    else
        pWidget->show();
    return bWasVisible;
}

BOOL CWnd::IsWindowVisible() const
{
    QWidget* pWidget = AfxWidgetOf(this);
    return pWidget != nullptr && pWidget->isVisible();
}

void CWnd::GetWindowRect(CRect* pRect) const
{
    QWidget* pWidget = AfxWidgetOf(this);
    if (pRect == nullptr)
        return;
    *pRect = CRect();
    if (pWidget == nullptr)
        return;
    QRect rect;
    if (pWidget->isWindow())
        rect = pWidget->frameGeometry();
    else
        rect = QRect(pWidget->mapToGlobal(QPoint(0, 0)), pWidget->size());
    *pRect = CRect{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

void CWnd::MoveWindow(const CRect& rect, BOOL /*bRepaint: Qt repaints as needed*/)
{
    QWidget* pWidget = AfxWidgetOf(this);
    if (pWidget == nullptr)
        return;
    if (m_pImpl->m_bFrame) {
        AfxFrameSetGeometry(this, rect);
    } else if (pWidget->isWindow()) {
        // The rect is the outer one; Qt sizes the inside and places the outside.
        const QSize sizeFrame = pWidget->frameGeometry().size() - pWidget->geometry().size();
        pWidget->resize(std::max(0, rect.Width() - sizeFrame.width()), std::max(0, rect.Height() - sizeFrame.height()));
        pWidget->move(rect.left, rect.top);
    } else {
        pWidget->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
    }
}

BOOL CWnd::SetForegroundWindow()
{
    QWidget* pWidget = AfxWidgetOf(this);
    if (pWidget == nullptr)
        return FALSE;
    QWidget* pWindow = pWidget->window();
    // Like the platform's call, this brings a window forward but never shows
    // a hidden one: the tray menu makes its hidden owner the foreground window.
    if (!pWindow->isVisible())
        return TRUE;
    // The offscreen platform (tests) cannot raise and says so on the console.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        pWindow->raise();
    pWindow->activateWindow();
    return TRUE;
}

void CWnd::SetIcon(HICON hIcon)
{
    if (QWidget* pWidget = AfxWidgetOf(this))
        pWidget->setWindowIcon(IconFromResource(hIcon));
}

UINT CWnd::SetTimer(UINT nIDEvent, UINT nElapse)
{
    return m_pImpl && m_pImpl->Widget() ? m_pImpl->SetTimer(this, nIDEvent, nElapse) : 0;
}

BOOL CWnd::KillTimer(UINT nIDEvent) { return m_pImpl ? m_pImpl->KillTimer(this, nIDEvent) : FALSE; }

BOOL CWnd::HasTimer(UINT nIDEvent) const { return m_pImpl ? m_pImpl->HasTimer(this, nIDEvent) : FALSE; }

BOOL CWnd::PostMessage(UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    // Only the registry is read here: this may run on any thread.
    std::lock_guard<std::mutex> lock(g_mutexLive);
    auto it = g_mapLive.find(this);
    if (it == g_mapLive.end() || g_pDispatcher == nullptr)
        return FALSE;
    QCoreApplication::postEvent(g_pDispatcher, new CPostedMessageEvent(this, it->second, nMessage, wParam, lParam));
    return TRUE;
}

LRESULT CWnd::SendMessage(UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    // Dispatched also without a window, so a window object's handlers can be
    // driven before (or without) creating it.
    return WindowProc(nMessage, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    if (nMessage == WM_COMMAND) {
        if (OnCmdMsg(LOWORD(static_cast<LPARAM>(wParam))))
            return 0;
        return DefWindowProc(nMessage, wParam, lParam);
    }
    if (const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(nMessage, 0))
        return CallHandler(pEntry, wParam, lParam);
    return DefWindowProc(nMessage, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT nMessage, WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    if (nMessage == WM_CLOSE)
        DestroyWindow();
    return 0;
}

BOOL CWnd::OnCmdMsg(UINT nID) { return CCmdTarget::OnCmdMsg(nID); }

BOOL CWnd::DestroyWindow()
{
    CWndImpl* pImpl = m_pImpl;
    if (pImpl == nullptr)
        return FALSE;
    if (!m_bOwnsImpl) {
        // A control member: its window belongs to the control object.
        CWnd* pOwner = pImpl->Owner();
        return pOwner != nullptr ? pOwner->DestroyWindow() : FALSE;
    }
    if (pImpl->m_bDestroying)
        return FALSE;
    pImpl->m_bDestroying = TRUE;

    WindowProc(WM_DESTROY, 0, 0);
    std::vector<CWnd*> children;
    if (QWidget* pWidget = pImpl->Widget())
        CollectChildWindows(pWidget, children);
    for (CWnd* pChild : children)
        pChild->DestroyWindow();

    m_pImpl = nullptr;
    m_bOwnsImpl = FALSE;
    UnregisterWnd(this);
    pImpl->Retire();

    // The main window's end ends the message loop.
    if (CWinApp* pApp = AfxGetApp(); pApp != nullptr && pApp->m_pMainWnd == this)
        AfxPostQuit(0);
    PostNcDestroy();
    return TRUE;
}
