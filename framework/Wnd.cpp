// Windows: the registry of handles, the tree, window state through the port,
// timers by id, sending and posting, the window procedure and destruction.
#include "framework/WinApp.h"
#include "framework/WndPrivate.h"

#include <algorithm>
#include <unordered_map>

namespace {

int g_nDispatchDepth = 0;
bool g_bHeldDestroyPosted = false;

// The registry. Handles count up and are never reused, so a handle that
// outlives its window can never name a later one. Deliberately never
// destroyed, like every global of the framework: nothing may run after main.
struct CRegistry {
    std::uintptr_t nNextHandle = 1;
    std::unordered_map<std::uintptr_t, std::unique_ptr<CWndState>> byHandle;
    std::unordered_map<AFX_PORTWND, CWndState*> byPort;
    std::vector<std::function<void(HWND)>> destroyHooks;
    // Native windows destroyed while a handler ran, oldest first: a window
    // held back goes before any window it sits in.
    std::vector<AFX_PORTWND> held;
};

CRegistry& Registry()
{
    static auto* s_pRegistry = new CRegistry;
    return *s_pRegistry;
}

std::uintptr_t HandleValue(HWND hWnd) { return reinterpret_cast<std::uintptr_t>(hWnd); }

CWndState* StateOf(const CWnd* pWnd) { return pWnd != nullptr ? pWnd->State() : nullptr; }

AFX_PORTWND PortOf(const CWnd* pWnd)
{
    CWndState* pState = StateOf(pWnd);
    return pState != nullptr ? pState->pw : nullptr;
}

void StopTimers(CWndState* pState, const CWnd* pOnly)
{
    for (auto it = pState->timers.begin(); it != pState->timers.end();) {
        if (pOnly == nullptr || it->first.first == pOnly) {
            AfxPort().StopTimer(it->second);
            it = pState->timers.erase(it);
        } else {
            ++it;
        }
    }
}

// The top-level windows that pState owns (its dialogs), newest first.
std::vector<HWND> OwnedWindows(const CWndState* pState)
{
    std::vector<HWND> owned;
    for (const auto& [nHandle, pOther] : Registry().byHandle) {
        if (pOther->hOwner != nullptr && pOther->hOwner == pState->hWnd)
            owned.push_back(pOther->hWnd);
    }
    std::sort(owned.begin(), owned.end(), [](HWND a, HWND b) { return HandleValue(a) > HandleValue(b); });
    return owned;
}

// A handler on the stack may have come from this very window (its button's
// click, its close box), and the backend's code that called it is still
// running: the window is hidden now and destroyed from the loop, once no
// handler is on the stack. Without a handler it goes at once, after those
// held back.
void DestroyNative(AFX_PORTWND pw)
{
    if (CDispatchScope::Active()) {
        AfxPort().ShowWindow(pw, SW_HIDE);
        Registry().held.push_back(pw);
        return;
    }
    AfxDestroyHeldWindows();
    AfxPort().DestroyWindow(pw);
}

void Retire(CWndState* pState, BOOL bNative)
{
    // Owned windows go first: a backend may keep them with their owner, and
    // they must not outlive the framework's record of it.
    for (HWND hOwned : OwnedWindows(pState)) {
        if (CWndState* pOwned = AfxStateFromHandle(hOwned))
            Retire(pOwned, TRUE);
    }
    // Children first; their native windows go with ours.
    const std::vector<CWndState*> children = pState->children;
    for (CWndState* pChild : children)
        Retire(pChild, FALSE);
    StopTimers(pState, nullptr);
    for (CWnd* pWnd : pState->attached)
        pWnd->DetachState();
    pState->attached.clear();
    if (pState->pOwner != nullptr)
        pState->pOwner->DetachState();
    pState->pOwner = nullptr;
    pState->pReceiver = nullptr;
    if (pState->pModal != nullptr && pState->pModal->bRunning)
        AfxPort().ExitLoop(pState->pModal->loop, IDCANCEL);
    pState->pModal = nullptr;
    // Their records are gone already; the objects follow.
    pState->controls.clear();
    if (pState->pParent != nullptr)
        std::erase(pState->pParent->children, pState);
    CRegistry& registry = Registry();
    if (bNative && pState->pw != nullptr)
        DestroyNative(pState->pw);
    registry.byPort.erase(pState->pw);
    const HWND hWnd = pState->hWnd;
    registry.byHandle.erase(HandleValue(hWnd));  // deletes pState
    AfxTrayWindowDestroyed(hWnd);
    for (const auto& hook : registry.destroyHooks)
        hook(hWnd);
}

}  // namespace

// ---- dispatch scope

CDispatchScope::CDispatchScope() { ++g_nDispatchDepth; }

CDispatchScope::~CDispatchScope()
{
    if (--g_nDispatchDepth > 0 || Registry().held.empty() || g_bHeldDestroyPosted)
        return;
    // Not from here: the backend's code that called the handler is still
    // on the stack. Its loop runs the queue once that has returned.
    g_bHeldDestroyPosted = true;
    AfxRunOnUiThread([] {
        g_bHeldDestroyPosted = false;
        AfxDestroyHeldWindows();  // a nested loop's turn leaves them to the next
    });
}

bool CDispatchScope::Active() { return g_nDispatchDepth > 0; }

void AfxDestroyHeldWindows()
{
    if (CDispatchScope::Active())
        return;
    for (AFX_PORTWND pw : std::exchange(Registry().held, {}))
        AfxPort().DestroyWindow(pw);
}

LRESULT AfxDispatch(CWndState* pState, UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    if (pState == nullptr || pState->pReceiver == nullptr)
        return 0;
    CDispatchScope scope;
    return pState->pReceiver->WindowProc(nMessage, wParam, lParam);
}

// ---- the registry

CWndState* AfxStateFromHandle(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    CRegistry& registry = Registry();
    auto it = registry.byHandle.find(HandleValue(hWnd));
    return it != registry.byHandle.end() ? it->second.get() : nullptr;
}

CWndState* AfxStateFromPort(AFX_PORTWND pw)
{
    CRegistry& registry = Registry();
    auto it = registry.byPort.find(pw);
    return it != registry.byPort.end() ? it->second : nullptr;
}

CWndState* AfxNewWindow(CWnd* pOwner, AFX_PORTWND pw, AfxWndKind kind, CWndState* pParent)
{
    if (pw == nullptr)
        return nullptr;
    CRegistry& registry = Registry();
    auto pState = std::make_unique<CWndState>();
    CWndState* p = pState.get();
    p->hWnd = reinterpret_cast<HWND>(registry.nNextHandle++);
    p->pw = pw;
    p->kind = kind;
    p->pParent = pParent;
    if (pParent != nullptr)
        pParent->children.push_back(p);
    registry.byHandle[HandleValue(p->hWnd)] = std::move(pState);
    registry.byPort[pw] = p;
    if (pOwner != nullptr)
        pOwner->AttachState(p, TRUE);
    return p;
}

void AfxRetireWindow(CWndState* pState)
{
    if (pState != nullptr)
        Retire(pState, TRUE);
}

std::vector<HWND> AfxTopLevelWindows()
{
    std::vector<HWND> windows;
    for (const auto& [nHandle, pState] : Registry().byHandle) {
        if (pState->pParent == nullptr)
            windows.push_back(pState->hWnd);
    }
    std::sort(windows.begin(), windows.end(), [](HWND a, HWND b) { return HandleValue(a) < HandleValue(b); });
    return windows;
}

void AfxAddWindowDestroyedHook(std::function<void(HWND)> fnHook)
{
    Registry().destroyHooks.push_back(std::move(fnHook));
}

void AfxWindowTimerFired(AFX_TOKEN token)
{
    // Few windows have timers; a scan is cheaper than a second index.
    for (const auto& [nHandle, pState] : Registry().byHandle) {
        for (const auto& [key, nToken] : pState->timers) {
            if (nToken == token) {
                CWnd* pWnd = key.first;
                CDispatchScope scope;
                pWnd->WindowProc(WM_TIMER, key.second, 0);
                return;
            }
        }
    }
    AfxPort().StopTimer(token);  // a tick of a timer that is gone
}

// ---- what the backend reports

void AfxPortCommand(AFX_PORTWND pw, UINT nID)
{
    CWndState* pState = AfxStateFromPort(pw);
    if (pState == nullptr)
        return;
    if (pState->kind != AfxWndKind::Control) {
        // A menu item or shortcut of a frame, or a dialog's own command.
        AfxDispatch(pState, WM_COMMAND, nID & 0xFFFF, 0);
        return;
    }
    // A control notifies the window it sits in.
    CWndState* pParent = pState->pParent;
    if (pParent != nullptr && pState->pOwner != nullptr)
        AfxDispatch(pParent, WM_COMMAND, static_cast<WPARAM>(pState->nCtrlId & 0xFFFF),
                    reinterpret_cast<LPARAM>(pState->pReceiver));
}

void AfxPortClose(AFX_PORTWND pw)
{
    CWndState* pState = AfxStateFromPort(pw);
    if (pState == nullptr)
        return;
    // A dialog's close box and Esc cancel it; any other window gets WM_CLOSE.
    if (pState->kind == AfxWndKind::Dialog)
        AfxDispatch(pState, WM_COMMAND, IDCANCEL, 0);
    else
        AfxDispatch(pState, WM_CLOSE, 0, 0);
}

BOOL AfxPortKey(AFX_PORTWND pw, UINT nVirtKey)
{
    // The key goes on to the form or dialog the window sits in, as the
    // platform's dialog manager takes it.
    CWndState* pHost = AfxStateFromPort(pw);
    while (pHost != nullptr && pHost->kind != AfxWndKind::Form && pHost->kind != AfxWndKind::Dialog)
        pHost = pHost->pParent;
    if (pHost == nullptr)
        return FALSE;
    if (nVirtKey == VK_ESCAPE && pHost->kind == AfxWndKind::Dialog) {
        AfxPortClose(pHost->pw);
        return TRUE;
    }
    if (nVirtKey != VK_RETURN)
        return FALSE;
    // The first default button that is shown; a disabled one takes the key
    // and does nothing, as a disabled button takes no click.
    for (CWndState* pChild : pHost->children) {
        if (pChild->kind != AfxWndKind::Control || pChild->ctrlKind != AfxControl::DefPushButton ||
            AfxPort().IsHidden(pChild->pw))
            continue;
        bool bEnabled = true;
        for (CWndState* p = pChild; p != nullptr && bEnabled; p = p->pParent)
            bEnabled = AfxPort().IsWindowEnabled(p->pw) != FALSE;
        if (bEnabled)
            AfxPortCommand(pChild->pw, 0);
        return TRUE;
    }
    return FALSE;
}

// ---- CWnd

CWnd::CWnd() = default;

CWnd::~CWnd()
{
    // No messages from here: the derived parts are gone already.
    if (m_pState != nullptr) {
        CWndState* pState = m_pState;
        if (m_bOwner) {
            AfxRetireWindow(pState);
        } else {
            StopTimers(pState, this);
            std::erase(pState->attached, this);
            if (pState->pReceiver == this)
                pState->pReceiver = pState->pOwner;
        }
        m_pState = nullptr;
    }
}

void CWnd::AttachState(CWndState* pState, BOOL bOwner)
{
    if (m_pState == pState)
        return;
    if (m_pState != nullptr) {
        CWndState* pOld = m_pState;
        if (m_bOwner) {
            AfxRetireWindow(pOld);
        } else {
            StopTimers(pOld, this);
            std::erase(pOld->attached, this);
        }
    }
    m_pState = pState;
    m_bOwner = pState != nullptr && bOwner;
    if (pState == nullptr)
        return;
    if (bOwner) {
        pState->pOwner = this;
        pState->pReceiver = this;
    } else {
        pState->attached.push_back(this);
    }
}

void CWnd::DetachState()
{
    m_pState = nullptr;
    m_bOwner = FALSE;
}

HWND CWnd::GetSafeHwnd() const { return m_pState != nullptr ? m_pState->hWnd : nullptr; }

CWnd* CWnd::FromHandle(HWND hWnd)
{
    CWndState* pState = AfxStateFromHandle(hWnd);
    return pState != nullptr ? pState->pReceiver : nullptr;
}

int CWnd::GetDlgCtrlID() const { return m_pState ? m_pState->nCtrlId : 0; }

CWnd* CWnd::GetDlgItem(int nID) const
{
    if (m_pState == nullptr)
        return nullptr;
    // Direct children only, as on the original platform.
    for (CWndState* pChild : m_pState->children) {
        if (pChild->nCtrlId == nID && pChild->pReceiver != nullptr)
            return pChild->pReceiver;
    }
    return nullptr;
}

CWnd* CWnd::GetParent() const
{
    return m_pState != nullptr && m_pState->pParent != nullptr ? m_pState->pParent->pReceiver : nullptr;
}

CFrameWnd* CWnd::GetParentFrame() const
{
    for (CWnd* pWnd = GetParent(); pWnd != nullptr; pWnd = pWnd->GetParent()) {
        if (auto* pFrame = dynamic_cast<CFrameWnd*>(pWnd))
            return pFrame;
    }
    return nullptr;
}

BOOL CWnd::IsWindow() const { return m_pState != nullptr; }

void CWnd::SetWindowText(const CString& strText)
{
    // The countdown sets the same text every second: the backend (and what
    // it reports, and what it measures) hears only of a new one.
    AFX_PORTWND pw = PortOf(this);
    if (pw != nullptr && AfxPort().GetText(pw) != strText)
        AfxPort().SetText(pw, strText);
}

CString CWnd::GetWindowText() const
{
    AFX_PORTWND pw = PortOf(this);
    return pw != nullptr ? AfxPort().GetText(pw) : CString();
}

void CWnd::EnableWindow(BOOL bEnable)
{
    AFX_PORTWND pw = PortOf(this);
    if (pw == nullptr)
        return;
    // A control that loses its use while it has the focus hands the focus to
    // the default button of its form or dialog, never on to its neighbour in
    // the tab order (a Space meant for Start must not press Shutdown).
    if (!bEnable && m_pState->pParent != nullptr && AfxPort().HasFocus(pw)) {
        for (CWndState* pSibling : m_pState->pParent->children) {
            if (pSibling != m_pState && pSibling->ctrlKind == AfxControl::DefPushButton &&
                pSibling->kind == AfxWndKind::Control && AfxPort().IsWindowEnabled(pSibling->pw)) {
                AfxPort().SetFocus(pSibling->pw);
                break;
            }
        }
    }
    AfxPort().EnableWindow(pw, bEnable);
}

BOOL CWnd::IsWindowEnabled() const
{
    AFX_PORTWND pw = PortOf(this);
    return pw != nullptr && AfxPort().IsWindowEnabled(pw);
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    AFX_PORTWND pw = PortOf(this);
    if (pw == nullptr)
        return FALSE;
    const BOOL bWasVisible = !AfxPort().IsHidden(pw);
    if (nCmdShow != SW_HIDE && m_pState->kind == AfxWndKind::Frame)
        AfxFrameApplySizeLimits(this);
    AfxPort().ShowWindow(pw, nCmdShow);
    return bWasVisible;
}

BOOL CWnd::IsWindowVisible() const
{
    AFX_PORTWND pw = PortOf(this);
    return pw != nullptr && AfxPort().IsVisible(pw);
}

void CWnd::SetFocus()
{
    if (AFX_PORTWND pw = PortOf(this))
        AfxPort().SetFocus(pw);
}

BOOL CWnd::IsIconic() const
{
    AFX_PORTWND pw = PortOf(this);
    return pw != nullptr && AfxPort().IsMinimized(pw);
}

void CWnd::GetWindowRect(CRect* pRect) const
{
    if (pRect == nullptr)
        return;
    AFX_PORTWND pw = PortOf(this);
    *pRect = pw != nullptr ? AfxPort().GetWindowRect(pw) : CRect();
}

void CWnd::MoveWindow(const CRect& rect, BOOL /*bRepaint: the backend repaints as needed*/)
{
    AFX_PORTWND pw = PortOf(this);
    if (pw == nullptr)
        return;
    if (m_pState->kind == AfxWndKind::Frame)
        AfxFrameSetGeometry(this, rect);
    else
        AfxPort().MoveWindow(pw, rect);
}

BOOL CWnd::SetForegroundWindow()
{
    CWndState* pState = m_pState;
    if (pState == nullptr)
        return FALSE;
    while (pState->pParent != nullptr)
        pState = pState->pParent;
    // Like the platform's call, this brings a window forward but never shows
    // a hidden one: the tray menu makes its hidden owner the foreground window.
    AfxPort().SetForegroundWindow(pState->pw);
    return TRUE;
}

CWnd* CWnd::GetForegroundWindow()
{
    CWndState* pState = AfxStateFromPort(AfxPort().GetForegroundWindow());
    return pState != nullptr ? pState->pOwner : nullptr;
}

void CWnd::SetIcon(HICON hIcon)
{
    if (AFX_PORTWND pw = PortOf(this))
        AfxPort().SetIcon(pw, hIcon);
}

UINT CWnd::SetTimer(UINT nIDEvent, UINT nElapse)
{
    if (m_pState == nullptr)
        return 0;
    const auto key = std::make_pair(this, nIDEvent);
    auto it = m_pState->timers.find(key);
    if (it != m_pState->timers.end()) {
        AfxPort().StopTimer(it->second);
        m_pState->timers.erase(it);
    }
    // As on the original platform, very short intervals are raised to 10 ms.
    const AFX_TOKEN token = AfxPort().StartTimer(std::clamp<UINT>(nElapse, 10, 0x7FFFFFFF));
    if (token == 0)
        return 0;
    m_pState->timers[key] = token;
    return nIDEvent;
}

BOOL CWnd::KillTimer(UINT nIDEvent)
{
    if (m_pState == nullptr)
        return FALSE;
    auto it = m_pState->timers.find(std::make_pair(this, nIDEvent));
    if (it == m_pState->timers.end())
        return FALSE;
    AfxPort().StopTimer(it->second);
    m_pState->timers.erase(it);
    return TRUE;
}

BOOL CWnd::HasTimer(UINT nIDEvent) const
{
    return m_pState != nullptr && m_pState->timers.count(std::make_pair(const_cast<CWnd*>(this), nIDEvent)) != 0;
}

BOOL CWnd::PostMessage(UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    return AfxPostMessage(GetSafeHwnd(), nMessage, wParam, lParam);
}

LRESULT CWnd::SendMessage(UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    // Dispatched also without a window, so a window object's handlers can be
    // driven before (or without) creating it.
    CDispatchScope scope;
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
    CWndState* pState = m_pState;
    if (pState == nullptr)
        return FALSE;
    if (!m_bOwner) {
        // A control member: its window belongs to the control object.
        CWnd* pOwner = pState->pOwner;
        return pOwner != nullptr ? pOwner->DestroyWindow() : FALSE;
    }
    if (pState->bDestroying)
        return FALSE;
    pState->bDestroying = TRUE;

    // Its owned windows (an open dialog) go first, as on the original
    // platform; then the window hears of its end, then its children, each
    // with its own.
    const HWND hWnd = pState->hWnd;
    for (HWND hOwned : OwnedWindows(pState)) {
        if (CWndState* pOwned = AfxStateFromHandle(hOwned); pOwned != nullptr && pOwned->pOwner != nullptr)
            pOwned->pOwner->DestroyWindow();
    }
    if (AfxStateFromHandle(hWnd) == nullptr)
        return TRUE;
    WindowProc(WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    if (CWndState* pLive = AfxStateFromHandle(hWnd)) {
        for (CWndState* pChild : pLive->children)
            children.push_back(pChild->hWnd);
    }
    for (HWND hChild : children) {
        if (CWndState* pChild = AfxStateFromHandle(hChild); pChild != nullptr && pChild->pOwner != nullptr)
            pChild->pOwner->DestroyWindow();
    }
    if (CWndState* pLive = AfxStateFromHandle(hWnd))
        AfxRetireWindow(pLive);

    // The main window's end ends the message loop.
    if (CWinApp* pApp = AfxGetApp(); pApp != nullptr && pApp->m_pMainWnd == this)
        AfxPostQuit(0);
    PostNcDestroy();
    return TRUE;
}
