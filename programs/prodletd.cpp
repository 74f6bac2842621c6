// prodletd: the program on the console backend, for machines without a
// display. The same application, engine, settings and host list as prodlet;
// what the window and the tray would show becomes lines on standard output.
#include "framework/WinApp.h"
#include "framework/console/ConsolePort.h"
#include "programs/CommandLine.h"
#include "programs/DaemonApp.h"
#include "programs/DaemonLog.h"
#include "programs/OnceSettings.h"
#include "platform/InstanceLock.h"
#include "platform/Registry.h"

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

    // One service per settings file: two would probe twice as often and
    // write over each other's counts. --once takes no part: it works on a
    // private copy and never writes the file, so it may check the link
    // while the service runs.
    CInstanceLock settingsLock;
    if (!args.bOnce) {
        const CString strHive = RegGetHivePath();
        CString strError;
        const CString strLock = SettingsLockPath(strHive, strError);
        switch (strLock.empty() ? CInstanceLock::Result::Failed : settingsLock.Acquire(strLock, strError)) {
        case CInstanceLock::Result::Acquired:
            break;
        case CInstanceLock::Result::Held:
            std::fprintf(stderr, "prodletd: another prodletd already runs on the settings file %s\n", strHive.c_str());
            return 1;
        case CInstanceLock::Result::Failed:
            // As before there was a rule, rather than not at all.
            std::fprintf(stderr, "prodletd: cannot check for another prodletd on %s: %s\n", strHive.c_str(),
                         strError.c_str());
            break;
        }
    }

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
