// The one queue to the user-interface thread, timers and descriptor watches.
//
// Posted messages, work handed over by helper threads (look-up answers) and
// socket events all wait in one queue, first in, first out, and are taken one
// at a time: a handler that opens a nested loop (a message box) sees the rest
// delivered inside it in their order, and what it posts comes after them.
#include "framework/WinApp.h"
#include "framework/WndPrivate.h"

#include <deque>
#include <mutex>
#include <unordered_map>

namespace {

CAfxPort* g_pPort = nullptr;

struct CQueued {
    HWND hWnd = nullptr;
    UINT nMessage = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<void()> fn;  // set for work handed over; then hWnd is null
};

// The one thing shared between threads. A wake is outstanding whenever the
// queue holds anything, so only the first item of an empty queue wakes.
struct CQueue {
    std::mutex mutex;
    std::deque<CQueued> items;
};

CQueue& Queue()
{
    static auto* s_pQueue = new CQueue;
    return *s_pQueue;
}

void Push(CQueued item)
{
    CQueue& queue = Queue();
    bool bWake;
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        bWake = queue.items.empty();
        queue.items.push_back(std::move(item));
    }
    if (bWake && g_pPort != nullptr)
        g_pPort->WakeUiThread();
}

struct CCallbackTimer {
    std::function<void()> fn;
    BOOL bOneShot;
};

std::unordered_map<AFX_TOKEN, CCallbackTimer>& CallbackTimers()
{
    static auto* s_pTimers = new std::unordered_map<AFX_TOKEN, CCallbackTimer>;
    return *s_pTimers;
}

std::unordered_map<AFX_TOKEN, AfxDescriptorCallback>& Watches()
{
    static auto* s_pWatches = new std::unordered_map<AFX_TOKEN, AfxDescriptorCallback>;
    return *s_pWatches;
}

}  // namespace

void AfxSetPort(CAfxPort* pPort) { g_pPort = pPort; }

CAfxPort& AfxPort() { return *g_pPort; }

BOOL AfxHasPort() { return g_pPort != nullptr; }

BOOL AfxPostMessage(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    if (hWnd == nullptr)
        return FALSE;
    Push(CQueued{hWnd, nMessage, wParam, lParam, nullptr});
    return TRUE;
}

void AfxRunOnUiThread(std::function<void()> fn)
{
    if (fn)
        Push(CQueued{nullptr, 0, 0, 0, std::move(fn)});
}

void AfxPortRunQueued()
{
    CQueue& queue = Queue();
    CQueued item;
    bool bMore;
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        if (queue.items.empty())
            return;
        item = std::move(queue.items.front());
        queue.items.pop_front();
        bMore = !queue.items.empty();
    }
    // Wake again before running the item, so a nested loop in its handler
    // goes on with the rest.
    if (bMore)
        AfxPort().WakeUiThread();
    // Handed-over work is the framework's or the platform's own; what it
    // calls in the program goes through SendMessage or a dispatch.
    if (item.fn) {
        item.fn();
    } else if (CWndState* pState = AfxStateFromHandle(item.hWnd)) {
        AfxDispatch(pState, item.nMessage, item.wParam, item.lParam);
    }
}

void AfxWakeIfQueued()
{
    CQueue& queue = Queue();
    bool bAny;
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        bAny = !queue.items.empty();
    }
    if (bAny)
        AfxPort().WakeUiThread();
}

// ---- timers

AFX_TOKEN AfxStartCallbackTimer(UINT nElapseMs, std::function<void()> fn, BOOL bOneShot)
{
    const AFX_TOKEN token = AfxPort().StartTimer(nElapseMs);
    if (token != 0)
        CallbackTimers()[token] = CCallbackTimer{std::move(fn), bOneShot};
    return token;
}

void AfxStopCallbackTimer(AFX_TOKEN token)
{
    if (CallbackTimers().erase(token) != 0)
        AfxPort().StopTimer(token);
}

void AfxPortTimer(AFX_TOKEN token)
{
    auto& timers = CallbackTimers();
    auto it = timers.find(token);
    if (it == timers.end()) {
        AfxWindowTimerFired(token);
        return;
    }
    std::function<void()> fn = it->second.fn;
    if (it->second.bOneShot)
        AfxStopCallbackTimer(token);
    fn();
}

std::uintptr_t AfxSetCallbackTimer(UINT nElapseMs, std::function<void()> fn)
{
    return AfxStartCallbackTimer(nElapseMs, std::move(fn), TRUE);
}

void AfxKillCallbackTimer(std::uintptr_t token) { AfxStopCallbackTimer(token); }

// ---- descriptors

AFX_TOKEN AfxWatchDescriptor(int fd, short nEvents, AfxDescriptorCallback fn)
{
    const AFX_TOKEN token = AfxPort().WatchDescriptor(fd, nEvents);
    if (token != 0)
        Watches()[token] = std::move(fn);
    return token;
}

void AfxChangeDescriptorWatch(AFX_TOKEN token, short nEvents)
{
    if (Watches().count(token) != 0)
        AfxPort().ChangeWatch(token, nEvents);
}

void AfxUnwatchDescriptor(AFX_TOKEN token)
{
    if (Watches().erase(token) != 0)
        AfxPort().UnwatchDescriptor(token);
}

void AfxPortDescriptor(AFX_TOKEN token, short nReady)
{
    auto it = Watches().find(token);
    if (it == Watches().end())
        return;
    AfxDescriptorCallback fn = it->second;  // the callback may unwatch
    fn(nReady);
}
