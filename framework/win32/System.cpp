// What the framework asks of Windows itself (framework/System.h). A program
// of the GUI subsystem has no signals: the session's end and an installer's
// close reach it as its windows' messages (WM_ENDSESSION, WM_CLOSE), which
// the port handles. Started from a console, Ctrl+C, Ctrl+Break and the
// console's closing end it in order too.
#include "framework/System.h"
#include "framework/WinApp.h"
#include "framework/win32/shim/Win32Shim.h"

#include <atomic>

namespace {

std::atomic<void (*)()> g_fnRequested{nullptr};

// On the system's console thread: the loop does the rest.
void OnConsoleClose()
{
    AfxRunOnUiThread([] {
        if (void (*fn)() = g_fnRequested.load())
            fn();
    });
}

}  // namespace

void AfxInstallTerminateHandlers(void (*fnRequested)())
{
    if (g_fnRequested.exchange(fnRequested) != nullptr)
        return;
    w32::SetConsoleCloseHandler(OnConsoleClose);
}

std::string AfxProgramPath() { return w32::ProgramPath(); }
