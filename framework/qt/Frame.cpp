// The frame window: creation from resources, size limits asked of the frame
// by WM_GETMINMAXINFO, closing, command routing.
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "framework/qt/QtBridge.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

#include <algorithm>

namespace {

void SendCommand(CWndImpl* pImpl, UINT nID)
{
    if (CWnd* pWnd = pImpl->Owner()) {
        CDispatchScope scope;
        pWnd->WindowProc(WM_COMMAND, nID, 0);
    }
}

// Closing by the window manager (title bar, Alt+F4) is WM_CLOSE to the frame.
class CFrameWidget : public QMainWindow {
public:
    explicit CFrameWidget(Qt::WindowFlags flags) : QMainWindow(nullptr, flags) {}

protected:
    void closeEvent(QCloseEvent* pEvent) override
    {
        pEvent->ignore();
        CWndImpl* pImpl = CWndImpl::FromWidget(this);
        if (pImpl != nullptr && pImpl->Owner() != nullptr) {
            CDispatchScope scope;
            pImpl->Owner()->WindowProc(WM_CLOSE, 0, 0);
        }
    }
};

Qt::WindowFlags FlagsOfStyle(DWORD dwStyle)
{
    // Every top-level window gets a caption; the rest follows the style.
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (dwStyle & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (dwStyle & WS_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    if (dwStyle & WS_MAXIMIZEBOX)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

MINMAXINFO DefaultMinMaxInfo()
{
    MINMAXINFO mmi;
    const int cxScreen = GetSystemMetrics(SM_CXSCREEN);
    const int cyScreen = GetSystemMetrics(SM_CYSCREEN);
    mmi.ptMaxSize = CPoint{cxScreen, cyScreen};
    mmi.ptMaxPosition = CPoint{0, 0};
    mmi.ptMinTrackSize = CPoint{1, 1};
    mmi.ptMaxTrackSize = CPoint{std::max(cxScreen, 1), std::max(cyScreen, 1)};
    return mmi;
}

bool SamePoint(const CPoint& a, const CPoint& b) { return a.x == b.x && a.y == b.y; }

void AddMenuItems(QWidget* pMenu, std::span<const AFX_MENUITEM> items, CWndImpl* pImpl)
{
    auto* pMenuBar = qobject_cast<QMenuBar*>(pMenu);
    auto* pPopup = qobject_cast<QMenu*>(pMenu);
    for (const AFX_MENUITEM& item : items) {
        const QString strText = QString::fromUtf8(item.text ? item.text : "");
        if (item.flags & MF_POPUP) {
            QMenu* pSub = pMenuBar ? pMenuBar->addMenu(strText) : pPopup->addMenu(strText);
            AddMenuItems(pSub, item.popup, pImpl);
        } else if (item.flags & MF_SEPARATOR) {
            if (pMenuBar)
                pMenuBar->addSeparator();
            else
                pPopup->addSeparator();
        } else {
            QAction* pAction = pMenuBar ? pMenuBar->addAction(strText) : pPopup->addAction(strText);
            const UINT nID = item.id;
            QObject::connect(pAction, &QAction::triggered, pImpl, [pImpl, nID] { SendCommand(pImpl, nID); });
        }
    }
}

void AddAccelerators(QWidget* pWidget, const AFX_ACCELTABLE& table, CWndImpl* pImpl)
{
    for (const AFX_ACCEL& accel : table.entries) {
        const int nKey = AfxQtKeyFromVirtKey(accel.key);
        if (nKey == 0)
            continue;
        Qt::KeyboardModifiers mods;
        if (accel.fVirt & FCONTROL)
            mods |= Qt::ControlModifier;
        if (accel.fVirt & FSHIFT)
            mods |= Qt::ShiftModifier;
        if (accel.fVirt & FALT)
            mods |= Qt::AltModifier;
        auto* pShortcut = new QShortcut(QKeySequence(QKeyCombination(mods, static_cast<Qt::Key>(nKey))), pWidget);
        pShortcut->setContext(Qt::WindowShortcut);
        const UINT nID = accel.cmd;
        QObject::connect(pShortcut, &QShortcut::activated, pImpl, [pImpl, nID] { SendCommand(pImpl, nID); });
    }
}

}  // namespace

void AfxFrameSetGeometry(CWnd* pFrame, const CRect& rectOuter)
{
    QWidget* pWidget = AfxWidgetOf(pFrame);
    if (pWidget == nullptr)
        return;
    const MINMAXINFO mmiDefault = DefaultMinMaxInfo();
    MINMAXINFO mmi = mmiDefault;
    pFrame->SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    if (AfxWidgetOf(pFrame) != pWidget)
        return;  // the handler took the window away

    int cx = rectOuter.Width();
    int cy = rectOuter.Height();
    const bool bLimited = !SamePoint(mmi.ptMinTrackSize, mmiDefault.ptMinTrackSize) ||
                          !SamePoint(mmi.ptMaxTrackSize, mmiDefault.ptMaxTrackSize);
    if (bLimited) {
        cx = std::clamp(cx, mmi.ptMinTrackSize.x, std::max(mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x));
        cy = std::clamp(cy, mmi.ptMinTrackSize.y, std::max(mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y));
    }
    // Qt sizes the inside of a window; the rect and the limits are outside sizes.
    const QSize sizeDecor = pWidget->frameGeometry().size() - pWidget->geometry().size();
    const QSize sizeClient(std::max(0, cx - sizeDecor.width()), std::max(0, cy - sizeDecor.height()));
    const bool bSizable = (pFrame->Impl()->m_dwStyle & WS_THICKFRAME) != 0;
    if (!bSizable || (bLimited && SamePoint(mmi.ptMinTrackSize, mmi.ptMaxTrackSize))) {
        pWidget->setFixedSize(sizeClient);
    } else {
        pWidget->setMinimumSize(0, 0);
        pWidget->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        if (bLimited) {
            pWidget->setMinimumSize(std::max(0, mmi.ptMinTrackSize.x - sizeDecor.width()),
                                    std::max(0, mmi.ptMinTrackSize.y - sizeDecor.height()));
            pWidget->setMaximumSize(std::max(0, mmi.ptMaxTrackSize.x - sizeDecor.width()),
                                    std::max(0, mmi.ptMaxTrackSize.y - sizeDecor.height()));
        }
        pWidget->resize(sizeClient);
    }
    pWidget->move(rectOuter.left, rectOuter.top);
}

void AfxFrameApplySizeLimits(CWnd* pFrame)
{
    CRect rect;
    pFrame->GetWindowRect(&rect);
    AfxFrameSetGeometry(pFrame, rect);
}

// ---- CFrameWnd

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd() = default;

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& /*cs*/) { return TRUE; }

namespace {

BOOL CreateFrameWidget(CFrameWnd* pFrame, const CString& strTitle, const CREATESTRUCT& cs)
{
    auto* pWidget = new CFrameWidget(FlagsOfStyle(cs.style));
    pWidget->setWindowTitle(QString::fromStdString(strTitle));
    auto* pImpl = new CWndImpl(pFrame, pWidget);
    pImpl->m_bFrame = TRUE;
    pImpl->m_dwStyle = cs.style;
    pFrame->AttachImpl(pImpl, TRUE);
    AfxFrameSetGeometry(pFrame, CRect{cs.x, cs.y, cs.x + cs.cx, cs.y + cs.cy});
    return pFrame->IsWindow();
}

}  // namespace

BOOL CFrameWnd::LoadFrame(UINT nIDResource, const CString& strTitle)
{
    if (IsWindow())
        return FALSE;
    // The platform's default: an overlapped window on a cascade position.
    CREATESTRUCT cs;
    const int cxScreen = GetSystemMetrics(SM_CXSCREEN);
    const int cyScreen = GetSystemMetrics(SM_CYSCREEN);
    cs.x = cxScreen / 8;
    cs.y = cyScreen / 8;
    cs.cx = cxScreen * 3 / 4;
    cs.cy = cyScreen * 3 / 4;
    cs.style = WS_OVERLAPPEDWINDOW;
    if (!PreCreateWindow(cs))
        return FALSE;
    if (!CreateFrameWidget(this, strTitle, cs))
        return FALSE;
    auto* pWidget = static_cast<QMainWindow*>(AfxWidgetOf(this));
    if (HICON hIcon = AfxLoadIcon(nIDResource))
        SetIcon(hIcon);
    if (const AFX_MENU* pMenu = AfxFindMenu(nIDResource))
        AddMenuItems(pWidget->menuBar(), pMenu->items, m_pImpl);
    if (const AFX_ACCELTABLE* pTable = AfxFindAccelerators(nIDResource))
        AddAccelerators(pWidget, *pTable, m_pImpl);
    return TRUE;
}

BOOL CFrameWnd::CreateBare(const CString& strTitle, const CRect& rect)
{
    if (IsWindow())
        return FALSE;
    CREATESTRUCT cs;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.Width();
    cs.cy = rect.Height();
    cs.style = WS_OVERLAPPEDWINDOW;
    return CreateFrameWidget(this, strTitle, cs);
}

BOOL CFrameWnd::OnCmdMsg(UINT nID)
{
    // The active view's own map, then the frame's, then the application.
    if (m_pActiveView != nullptr && m_pActiveView->CCmdTarget::OnCmdMsg(nID))
        return TRUE;
    if (CWnd::OnCmdMsg(nID))
        return TRUE;
    CWinApp* pApp = AfxGetApp();
    return pApp != nullptr && pApp->OnCmdMsg(nID);
}
