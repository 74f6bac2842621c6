// prodlet.exe: the program on the framework's Win32 backend, for Windows.
#include "app/ProdletApp.h"
#include "framework/win32/Win32Port.h"
#include "platform/win32/SessionLock.h"
#include "programs/CommandLine.h"

#include <cstdio>

namespace {

// The main frame's window class: a later start, and an installer that wants
// the program gone (FindWindow, then WM_CLOSE), find the running copy by it.
constexpr const char* kFrameClass = "ProdletFrame";
// Generous: the running copy may be starting on a busy machine.
constexpr int kAskTimeoutMs = 10000;

}  // namespace

int main(int argc, char** argv)
{
    const CDesktopArgs args = ParseDesktopArgs(argc, argv);
    switch (args.action) {
    case CommandAction::Help:
        std::fputs(DesktopUsage().c_str(), stdout);
        return 0;
    case CommandAction::Version:
        std::fputs(VersionText("prodlet").c_str(), stdout);
        return 0;
    case CommandAction::Usage:
        std::fprintf(stderr, "prodlet: %s\n%s", args.strError.c_str(), DesktopUsage().c_str());
        return 2;
    case CommandAction::Run:
        break;
    }

    // One copy per user session, decided before anything reads or writes the
    // settings: a second start only brings the first one's window forward.
    CSessionLock lock;
    if (!lock.Claim(kFrameClass)) {
        if (AskRunningCopyToRestore(kFrameClass, kAskTimeoutMs))
            return 0;
        std::fputs("prodlet: a copy of prodlet already runs but does not answer\n", stderr);
        return 1;
    }

    AfxSetPort(&AfxWin32Port());
    // The application object lives exactly as long as the program runs;
    // AfxWinMain has closed everything of it by the time it returns.
    CProdletApp app;
    AfxInitBackend(argc, argv);
    AfxWin32SetRestoreHandler([&app] { return app.RestoreFromAnotherStart(); });
    return AfxWinMain(argc, argv);
}
