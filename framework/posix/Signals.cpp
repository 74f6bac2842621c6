// SIGINT, SIGTERM and SIGHUP on POSIX: the handler only writes to a pipe; the
// user-interface thread watches the pipe and ends the program the ordinary way.
#include "framework/System.h"
#include "framework/WinApp.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Plain values: the handler may run at any moment, until the very end.
int g_aSignalPipe[2] = {-1, -1};
void (*g_fnRequested)() = nullptr;

extern "C" void OnTerminateSignal(int)
{
    const int nSavedErrno = errno;
    const char ch = 1;
    if (write(g_aSignalPipe[1], &ch, 1) < 0) {
        // The pipe is full: a request is already on its way.
    }
    errno = nSavedErrno;
}

}  // namespace

void AfxInstallTerminateHandlers(void (*fnRequested)())
{
    if (g_aSignalPipe[0] >= 0 || pipe2(g_aSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_fnRequested = fnRequested;
    AfxWatchDescriptor(g_aSignalPipe[0], AFX_FD_READ, [](short) {
        char aBuf[16];
        while (read(g_aSignalPipe[0], aBuf, sizeof(aBuf)) > 0) {
        }
        if (g_fnRequested != nullptr)
            g_fnRequested();
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminateSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int nSignal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(nSignal, &sa, nullptr);
}
