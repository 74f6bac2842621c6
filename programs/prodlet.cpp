// prodlet: the program on the Qt Widgets backend, for desktops.
#include "app/ProdletApp.h"
#include "framework/qt/QtPort.h"
#include "programs/CommandLine.h"

#include <cstdio>
#include <cstdlib>

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
    if (!DesktopHasDisplay(args, [](const char* pszName) { return std::getenv(pszName); })) {
        std::fputs("prodlet: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                   "prodletd runs without one\n",
                   stderr);
        return 1;
    }

    AfxSetPort(&AfxQtPort());
    // The application object lives exactly as long as the program runs;
    // AfxWinMain has closed everything of it by the time it returns.
    CProdletApp app;
    return AfxWinMain(argc, argv);
}
