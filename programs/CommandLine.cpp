#include "programs/CommandLine.h"

#include <cstring>
#include <string_view>

#ifndef PRODLET_VERSION
#error "PRODLET_VERSION must come from the build"
#endif

namespace {

// The toolkit's own options, which it takes out of the arguments itself
// (QGuiApplication and QApplication, given with one dash or two).
const char* const g_apszToolkitWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "style", "stylesheet", "session", "display", "geometry", "title", "name", "font", "fn",
    "bg", "background", "fg", "foreground", "btn", "button", "visual", "im", "inputstyle", "qmljsdebugger",
};
const char* const g_apszToolkitFlags[] = {"reverse", "sync", "nograb", "dograb", "widgetcount", "testability"};

template <std::size_t N>
bool IsOneOf(std::string_view str, const char* const (&apsz)[N])
{
    for (const char* psz : apsz) {
        if (str == psz)
            return true;
    }
    return false;
}

// The name of an option without its dashes and without "=value".
std::string_view OptionName(const char* pszArg)
{
    std::string_view str(pszArg);
    str.remove_prefix(str.starts_with("--") ? 2 : 1);
    return str.substr(0, str.find('='));
}

bool IsSet(const GetEnvFn& fnGetEnv, const char* pszName)
{
    const char* psz = fnGetEnv(pszName);
    return psz != nullptr && *psz != '\0';
}

}  // namespace

CDesktopArgs ParseDesktopArgs(int argc, const char* const* argv)
{
    CDesktopArgs args;
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        const char* pszArg = argv[i];
        if (std::strcmp(pszArg, "--") == 0)
            break;  // the rest are files
        if (pszArg[0] != '-' || pszArg[1] == '\0')
            continue;  // a file; the framework takes the first
        if (std::strcmp(pszArg, "--help") == 0) {
            args.action = CommandAction::Help;
            return args;
        }
        if (std::strcmp(pszArg, "--version") == 0) {
            args.action = CommandAction::Version;
            return args;
        }
        const std::string_view name = OptionName(pszArg);
        const char* pszEquals = std::strchr(pszArg, '=');
        if (IsOneOf(name, g_apszToolkitWithValue)) {
            const char* pszValue = pszEquals ? pszEquals + 1 : (i + 1 < argc ? argv[++i] : nullptr);
            if (pszValue == nullptr) {
                args.action = CommandAction::Usage;
                args.strError = "option '" + CString(pszArg) + "' needs a value";
                return args;
            }
            if (name == "platform")
                args.strPlatform = pszValue;
            else if (name == "display") {
                args.bDisplayOption = TRUE;
                args.strDisplay = pszValue;
            }
            continue;
        }
        if (IsOneOf(name, g_apszToolkitFlags) && pszEquals == nullptr)
            continue;
        args.action = CommandAction::Usage;
        args.strError = "unknown option '" + CString(pszArg) + "'";
        return args;
    }
    return args;
}

CDaemonArgs ParseDaemonArgs(int argc, const char* const* argv)
{
    CDaemonArgs args;
    auto Fail = [&args](const CString& strError) {
        args.action = CommandAction::Usage;
        args.strError = strError;
        return args;
    };
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--help") {
            args.action = CommandAction::Help;
            return args;
        }
        if (arg == "--version") {
            args.action = CommandAction::Version;
            return args;
        }
        if (arg == "--once") {
            args.bOnce = TRUE;
        } else if (arg == "--settings" || arg.starts_with("--settings=")) {
            CString strFile;
            if (arg == "--settings") {
                if (i + 1 >= argc || argv[i + 1] == nullptr)
                    return Fail("option '--settings' needs a file");
                strFile = argv[++i];
            } else {
                strFile = CString(arg.substr(std::strlen("--settings=")));
            }
            if (strFile.empty())
                return Fail("option '--settings' needs a file");
            args.strSettings = strFile;
        } else if (arg.starts_with("-")) {
            return Fail("unknown option '" + CString(arg) + "'");
        } else {
            return Fail("unexpected argument '" + CString(arg) + "'");
        }
    }
    return args;
}

namespace {

// The first platform of a list such as "wayland;xcb" (each with its own
// ":options") that can run here: Wayland or X11 when its display is set; the
// others (offscreen, linuxfb, eglfs, vnc, ...) need no display server, and
// one we do not know the toolkit judges itself. Empty when none can.
std::string_view FirstUsablePlatform(std::string_view list, BOOL bX11, BOOL bWayland)
{
    while (!list.empty()) {
        const std::size_t nEnd = list.find(';');
        std::string_view name = list.substr(0, nEnd);
        list = nEnd == std::string_view::npos ? std::string_view() : list.substr(nEnd + 1);
        name = name.substr(0, name.find(':'));
        if (name.empty())
            continue;
        if (name.starts_with("wayland") ? bWayland : name == "xcb" ? bX11 : TRUE)
            return name;
    }
    return std::string_view();
}

}  // namespace

BOOL DesktopHasDisplay(const CDesktopArgs& args, const GetEnvFn& fnGetEnv)
{
    const BOOL bX11 = IsSet(fnGetEnv, "DISPLAY") || args.bDisplayOption;
    const BOOL bWayland = IsSet(fnGetEnv, "WAYLAND_DISPLAY");
    CString strPlatforms = args.strPlatform;
    if (strPlatforms.empty() && IsSet(fnGetEnv, "QT_QPA_PLATFORM"))
        strPlatforms = fnGetEnv("QT_QPA_PLATFORM");
    if (strPlatforms.empty())
        return bX11 || bWayland;  // the toolkit picks X11 or Wayland itself

    return !FirstUsablePlatform(strPlatforms, bX11, bWayland).empty();
}

CString DesktopUsage()
{
    return "Usage: prodlet [OPTION]... [FILE]\n"
           "Keeps an idle Internet link alive from the notification area.\n"
           "\n"
           "  --help       show this help and exit\n"
           "  --version    show the version and exit\n"
           "  FILE         open FILE as the document; the window is then shown\n"
           "\n"
           "The toolkit's own options (-platform NAME, -display DISPLAY, -style NAME, ...)\n"
           "are passed on. Settings are kept in $PRODLET_HIVE, else in\n"
           "$XDG_CONFIG_HOME/prodlet/registry.reg (~/.config/prodlet/registry.reg).\n"
           "Without a display, run prodletd: the same probes, as a service.\n";
}

CString DaemonUsage()
{
    return "Usage: prodletd [--settings FILE] [--once]\n"
           "Keeps an idle Internet link alive without a display: probes as prodlet does\n"
           "and writes one line per event to standard output, message boxes to standard\n"
           "error.\n"
           "\n"
           "  --settings FILE  keep the settings in FILE (as PRODLET_HIVE=FILE does)\n"
           "  --once           probe the selected host once and exit: 0 if it answered,\n"
           "                   1 if not (the reason on standard error); the settings\n"
           "                   file is left exactly as it was\n"
           "  --help           show this help and exit\n"
           "  --version        show the version and exit\n"
           "\n"
           "Without --settings the settings are kept in $PRODLET_HIVE, else in\n"
           "$XDG_CONFIG_HOME/prodlet/registry.reg (~/.config/prodlet/registry.reg).\n"
           "It ends with status 0 on SIGTERM or SIGINT, and with status 1 when the\n"
           "engine stops after a failure (the Ignore Connection Failures option off).\n";
}

CString VersionText(const char* pszProgram) { return CString(pszProgram) + " " + PRODLET_VERSION + "\n"; }

namespace {

// ":0.1" and "unix:0" are ":0": one server, whatever the screen.
CString X11ServerName(CString strDisplay)
{
    const std::size_t nColon = strDisplay.rfind(':');
    if (nColon != CString::npos) {
        const std::size_t nDot = strDisplay.find('.', nColon);
        if (nDot != CString::npos)
            strDisplay.erase(nDot);
        if (strDisplay.compare(0, nColon, "unix") == 0)
            strDisplay.erase(0, nColon);
    }
    return "x11:" + strDisplay;
}

}  // namespace

CString DesktopDisplayName(const CDesktopArgs& args, const GetEnvFn& fnGetEnv)
{
    if (!DesktopHasDisplay(args, fnGetEnv))
        return CString();
    const BOOL bX11 = IsSet(fnGetEnv, "DISPLAY") || args.bDisplayOption;
    const BOOL bWayland = IsSet(fnGetEnv, "WAYLAND_DISPLAY");
    auto X11 = [&] { return X11ServerName(args.bDisplayOption ? args.strDisplay : CString(fnGetEnv("DISPLAY"))); };
    auto Wayland = [&] { return "wayland:" + CString(fnGetEnv("WAYLAND_DISPLAY")); };
    CString strPlatforms = args.strPlatform;
    if (strPlatforms.empty() && IsSet(fnGetEnv, "QT_QPA_PLATFORM"))
        strPlatforms = fnGetEnv("QT_QPA_PLATFORM");
    if (strPlatforms.empty()) {
        // The toolkit's own choice: Wayland in a Wayland session, else X11.
        const char* pszSession = fnGetEnv("XDG_SESSION_TYPE");
        const bool bWaylandSession = pszSession != nullptr && std::string_view(pszSession) == "wayland";
        return bWayland && (!bX11 || (bWaylandSession && !args.bDisplayOption)) ? Wayland() : X11();
    }
    // The first of the list that DesktopHasDisplay found usable.
    const std::string_view name = FirstUsablePlatform(strPlatforms, bX11, bWayland);
    if (name.starts_with("wayland"))
        return Wayland();
    if (name == "xcb")
        return X11();
    return CString(name);
}
