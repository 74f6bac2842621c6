// prodlet: the program on the Qt Widgets backend, for desktops.
#include "app/ProdletApp.h"
#include "framework/qt/QtPort.h"
#include "programs/CommandLine.h"
#include "programs/DesktopInstance.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* kRestoreRequest = "restore";
// Generous: the running copy may be starting on a busy machine.
constexpr int kAskTimeoutMs = 10000;

}  // namespace

int main(int argc, char** argv)
{
    // Before the toolkit: it needs a display even for --help, and without
    // one it aborts.
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
    const GetEnvFn fnGetEnv = [](const char* pszName) { return std::getenv(pszName); };
    if (!DesktopHasDisplay(args, fnGetEnv)) {
        std::fputs("prodlet: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                   "prodletd runs without one\n",
                   stderr);
        return 1;
    }

    // One copy per user and display, decided before anything reads or
    // writes the settings: a second start only brings the first one's
    // window forward.
    CDesktopInstance instance;
    {
        const CString strDisplay = DesktopDisplayName(args, fnGetEnv);
        CString strError;
        const CString strRuntimeDir = strDisplay.empty() ? CString() : InstanceRuntimeDir(strError);
        CString strAnswer;
        CString strWarning = strError.empty() ? CString() : "cannot check for a running copy: " + strError;
        switch (instance.Claim(strRuntimeDir, strDisplay, kRestoreRequest, kAskTimeoutMs, strAnswer, strWarning)) {
        case CDesktopInstance::Outcome::First:
            break;
        case CDesktopInstance::Outcome::Forwarded:
            if (strAnswer == "ok")
                return 0;
            std::fprintf(stderr, "prodlet: the copy running on display %s answered: %s\n", strDisplay.c_str(),
                         strAnswer.c_str());
            return 1;
        case CDesktopInstance::Outcome::NoAnswer:
            std::fprintf(stderr, "prodlet: a copy of prodlet already runs on display %s but does not answer\n",
                         strDisplay.c_str());
            return 1;
        }
        if (!strWarning.empty())
            std::fprintf(stderr, "prodlet: %s\n", strWarning.c_str());
    }

    AfxSetPort(&AfxQtPort());
    // The application object lives exactly as long as the program runs;
    // AfxWinMain has closed everything of it by the time it returns.
    CProdletApp app;
    AfxInitBackend(argc, argv);
    instance.Serve([&app](const CString& strRequest) -> CString {
        if (strRequest != kRestoreRequest)
            return "unknown request";
        return app.RestoreFromAnotherStart() ? CString("ok") : CString(kInstanceAnswerWait);
    });
    return AfxWinMain(argc, argv);
}
