// The one loop of the console backend: poll on the descriptors the framework
// watches and on an eventfd that wakes the user-interface thread, with a
// time-out up to the next timer. Nothing polls at intervals: an idle program
// sleeps until one of its own timers is due or a descriptor is ready.
#include "framework/console/ConsoleBridge.h"
#include "framework/posix/Waker.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>

namespace {

using Clock = std::chrono::steady_clock;

struct CTimer {
    Clock::time_point due;
    Clock::duration period;
};

struct CWatch {
    int fd = -1;
    short nEvents = 0;
    BOOL bBroken = FALSE;  // the descriptor was closed under the watch: polled no more
};

// Made once, never destroyed: nothing of ours runs after main.
struct CLoopState {
    CAfxWaker waker;
    int nPendingWakes = 0;  // user-interface thread only
    std::map<AFX_TOKEN, CTimer> timers;
    AFX_TOKEN nNextTimer = 1;
    std::map<AFX_TOKEN, CWatch> watches;
    AFX_TOKEN nNextWatch = 1;
    unsigned long long nIteration = 0;  // counts every pass, nested ones too
};

CLoopState& State()
{
    static auto* s_pState = new CLoopState;
    return *s_pState;
}

short ReadyOf(short nRevents, short nWanted)
{
    short nReady = 0;
    // A hang-up or an error reads as readable: the reader then finds out.
    if ((nWanted & AFX_FD_READ) && (nRevents & (POLLIN | POLLPRI | POLLHUP | POLLERR | POLLRDHUP)))
        nReady |= AFX_FD_READ;
    if ((nWanted & AFX_FD_WRITE) && (nRevents & (POLLOUT | POLLERR | POLLHUP)))
        nReady |= AFX_FD_WRITE;
    return nReady;
}

// One pass: wait at most nTimeoutMs (-1: as long as nothing happens), then
// deliver the wakes that were pending, the timers that are due and the
// descriptors that are ready. A nested loop inside a delivery has delivered
// what was pending and polled afresh; this pass then stops, and the next one
// looks again.
void Iterate(int nTimeoutMs)
{
    CLoopState& state = State();
    const unsigned long long nPass = ++state.nIteration;

    // The time-out: the next timer, or none at all.
    Clock::time_point now = Clock::now();
    Clock::duration wait = nTimeoutMs < 0 ? Clock::duration::max() : std::chrono::milliseconds(nTimeoutMs);
    for (const auto& [token, timer] : state.timers)
        wait = std::min(wait, std::max(Clock::duration::zero(), timer.due - now));
    if (state.nPendingWakes > 0)
        wait = Clock::duration::zero();

    std::vector<pollfd> fds;
    std::vector<AFX_TOKEN> tokens;
    fds.reserve(state.watches.size() + 1);
    tokens.reserve(state.watches.size() + 1);
    const int fdWake = state.waker.Descriptor();
    fds.push_back(pollfd{fdWake, POLLIN, 0});
    tokens.push_back(0);
    for (const auto& [token, watch] : state.watches) {
        short nEvents = 0;
        if (watch.nEvents & AFX_FD_READ)
            nEvents |= POLLIN | POLLRDHUP;
        if (watch.nEvents & AFX_FD_WRITE)
            nEvents |= POLLOUT;
        if (nEvents == 0 || watch.bBroken)
            continue;
        fds.push_back(pollfd{watch.fd, nEvents, 0});
        tokens.push_back(token);
    }

    timespec ts{};
    timespec* pts = nullptr;
    if (wait != Clock::duration::max()) {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        ts.tv_sec = static_cast<time_t>(ns / 1000000000);
        ts.tv_nsec = static_cast<long>(ns % 1000000000);
        pts = &ts;
    }
    int nReady = ::ppoll(fds.data(), fds.size(), pts, nullptr);
    if (nReady < 0)
        nReady = 0;  // a signal: its handler has written to a watched pipe
    if (nReady > 0 && fdWake >= 0 && (fds[0].revents & POLLIN))
        state.nPendingWakes += state.waker.TakeWakes();

    // The wakes pending now, one queue item each; what these items post
    // waits for the next pass, so timers and sockets get their turn.
    for (int n = state.nPendingWakes; n > 0 && state.nPendingWakes > 0; --n) {
        --state.nPendingWakes;
        AfxPortRunQueued();
        if (state.nIteration != nPass)
            return;
    }

    now = Clock::now();
    std::vector<AFX_TOKEN> due;
    for (const auto& [token, timer] : state.timers) {
        if (timer.due <= now)
            due.push_back(token);
    }
    for (AFX_TOKEN token : due) {
        auto it = state.timers.find(token);
        if (it == state.timers.end())
            continue;  // stopped by an earlier one
        // As with the original platform's timers, a late tick is not made
        // up for: one tick, and the next a period on.
        CTimer& timer = it->second;
        timer.due += timer.period;
        if (timer.due <= now)
            timer.due = now + timer.period;
        AfxPortTimer(token);
        if (state.nIteration != nPass)
            return;
    }

    for (std::size_t i = 1; i < fds.size() && nReady > 0; ++i) {
        if (fds[i].revents == 0)
            continue;
        auto it = state.watches.find(tokens[i]);
        if (it == state.watches.end())
            continue;  // unwatched by an earlier delivery
        if (fds[i].revents & POLLNVAL) {
            // Closed while watched: polling it again would return at once,
            // for ever. Its owner is told once, as for a hang-up.
            it->second.bBroken = TRUE;
        }
        const short nFdReady = (fds[i].revents & POLLNVAL) ? static_cast<short>(it->second.nEvents & AFX_FD_READ)
                                                            : ReadyOf(fds[i].revents, it->second.nEvents);
        if (nFdReady == 0)
            continue;
        AfxPortDescriptor(tokens[i], nFdReady);
        if (state.nIteration != nPass)
            return;
    }
}

}  // namespace

CAfxPort& AfxConsolePort()
{
    static auto* s_pPort = new CConsolePort;
    return *s_pPort;
}

void CConsolePort::Init(int& /*argc*/, char** argv)
{
    CLoopState& state = State();
    if (state.waker.Descriptor() >= 0)
        return;
    state.waker.Open();
    if (argv != nullptr && argv[0] != nullptr && ConsoleProgramName().empty()) {
        const char* pszSlash = std::strrchr(argv[0], '/');
        AfxConsoleSetProgramName(pszSlash ? pszSlash + 1 : argv[0]);
    }
}

void CConsolePort::WakeUiThread()
{
    CLoopState& state = State();
    if (state.waker.Descriptor() < 0)
        return;  // not running yet: the framework wakes again once it is
    if (!state.waker.WakeFromOtherThread())
        ++state.nPendingWakes;
}

int CConsolePort::RunLoop(AFX_LOOP& loop)
{
    if (loop.bExited)
        return loop.nExitCode;
    // Nested loops are this loop run again further down the stack.
    int nMarker = 0;
    loop.pBackend = &nMarker;
    while (!loop.bExited)
        Iterate(-1);
    loop.pBackend = nullptr;
    return loop.nExitCode;
}

void CConsolePort::ExitLoop(AFX_LOOP& loop, int nExitCode)
{
    loop.bExited = TRUE;
    loop.nExitCode = nExitCode;
}

void CConsolePort::ProcessEvents() { Iterate(0); }

void CConsolePort::WaitForEvents(int nMs) { Iterate(std::max(0, nMs)); }

AFX_TOKEN CConsolePort::StartTimer(UINT nElapseMs)
{
    CLoopState& state = State();
    const AFX_TOKEN token = state.nNextTimer++;
    // A period of nothing would tick in every pass, for ever.
    const auto period = std::chrono::milliseconds(std::max<UINT>(nElapseMs, 1));
    state.timers[token] = CTimer{Clock::now() + period, period};
    return token;
}

void CConsolePort::StopTimer(AFX_TOKEN token) { State().timers.erase(token); }

AFX_TOKEN CConsolePort::WatchDescriptor(int fd, short nEvents)
{
    if (fd < 0)
        return 0;
    CLoopState& state = State();
    const AFX_TOKEN token = state.nNextWatch++;
    state.watches[token] = CWatch{fd, nEvents, FALSE};
    return token;
}

void CConsolePort::ChangeWatch(AFX_TOKEN token, short nEvents)
{
    auto it = State().watches.find(token);
    if (it != State().watches.end())
        it->second.nEvents = nEvents;
}

void CConsolePort::UnwatchDescriptor(AFX_TOKEN token) { State().watches.erase(token); }

// There is no screen; frames are laid out on a nominal one of the size the
// end-to-end desktop uses, so sizes and positions stay ordinary numbers.
CSize CConsolePort::ScreenSize() { return CSize{1024, 768}; }

CPoint CConsolePort::CursorPos() { return CPoint{0, 0}; }

void CConsolePort::ShowWaitCursor(BOOL /*bShow*/) {}
