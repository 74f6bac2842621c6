// prodletd: the program on the console backend, for machines without a
// display. The same application, engine, settings and host list as prodlet;
// what the window and the tray would show becomes lines on standard output.
#include "framework/WinApp.h"
#include "framework/console/ConsolePort.h"
#include "programs/CommandLine.h"
#include "programs/DaemonApp.h"
#include "programs/DaemonLog.h"
#include "programs/OnceSettings.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const CDaemonArgs args = ParseDaemonArgs(argc, argv);
    switch (args.action) {
    case CommandAction::Help:
        std::fputs(DaemonUsage().c_str(), stdout);
        return 0;
    case CommandAction::Version:
        std::fputs(VersionText("prodletd").c_str(), stdout);
        return 0;
    case CommandAction::Usage:
        std::fprintf(stderr, "prodletd: %s\n%s", args.strError.c_str(), DaemonUsage().c_str());
        return 2;
    case CommandAction::Run:
        break;
    }
    if (!args.strSettings.empty())
        setenv("PRODLET_HIVE", args.strSettings.c_str(), 1);

    // A line as it happens, also into a pipe or a service manager's journal.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    COnceSettings onceSettings;
    if (args.bOnce) {
        CString strError;
        if (!onceSettings.Prepare(strError)) {
            std::fprintf(stderr, "prodletd: %s\n", strError.c_str());
            return 1;
        }
    }

    AfxSetPort(&AfxConsolePort());
    AfxConsoleSetProgramName("prodletd");
    CDaemonLog log(stdout);
    AfxConsoleSetListener(&log);
    int nResult;
    {
        // The application object lives exactly as long as the program runs.
        // Its own command line is empty: the options above are prodletd's.
        CDaemonApp app(log, args.bOnce);
        char* apszArgs[] = {argv[0], nullptr};
        nResult = AfxWinMain(1, apszArgs);
    }
    AfxConsoleSetListener(nullptr);
    return nResult;
}
