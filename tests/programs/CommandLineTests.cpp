// The command lines of prodlet and prodletd, and whether prodlet finds a
// display, all before any backend exists.
#include "programs/CommandLine.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

template <typename Parse>
auto ParseWith(Parse fnParse, std::vector<const char*> args)
{
    args.insert(args.begin(), "prog");
    return fnParse(static_cast<int>(args.size()), args.data());
}

CDesktopArgs Desktop(std::vector<const char*> args) { return ParseWith(ParseDesktopArgs, std::move(args)); }
CDaemonArgs Daemon(std::vector<const char*> args) { return ParseWith(ParseDaemonArgs, std::move(args)); }

GetEnvFn Env(std::map<std::string, std::string> vars)
{
    return [vars = std::move(vars)](const char* pszName) -> const char* {
        auto it = vars.find(pszName);
        return it == vars.end() ? nullptr : it->second.c_str();
    };
}

}  // namespace

TEST(DesktopCommandLine, HelpAndVersionComeFirstWhateverFollows)
{
    EXPECT_EQ(Desktop({"--help"}).action, CommandAction::Help);
    EXPECT_EQ(Desktop({"--version"}).action, CommandAction::Version);
    EXPECT_EQ(Desktop({"some.doc", "--help", "--frob"}).action, CommandAction::Help);
    EXPECT_EQ(Desktop({}).action, CommandAction::Run);
}

TEST(DesktopCommandLine, FilesAndToolkitOptionsAreLeftAlone)
{
    for (const auto& args : std::vector<std::vector<const char*>>{
             {"some.doc"},
             {"-"},  // a file called "-", as the framework reads it
             {"-platform", "offscreen", "some.doc"},
             {"--style=fusion", "-reverse"},
             {"--", "--help"},  // after "--" every argument is a file
         }) {
        const CDesktopArgs parsed = Desktop(args);
        EXPECT_EQ(parsed.action, CommandAction::Run) << args.front();
        EXPECT_TRUE(parsed.strError.empty());
    }
    EXPECT_EQ(Desktop({"-platform", "offscreen"}).strPlatform, "offscreen");
    EXPECT_EQ(Desktop({"--platform=xcb"}).strPlatform, "xcb");
    EXPECT_TRUE(Desktop({"-display", ":3"}).bDisplayOption);
}

TEST(DesktopCommandLine, AnyOtherOptionIsAUsageError)
{
    for (const char* pszBad : {"--frob", "-h", "--helpme", "-reverse=1", "--settings"}) {
        const CDesktopArgs parsed = Desktop({pszBad});
        EXPECT_EQ(parsed.action, CommandAction::Usage) << pszBad;
        EXPECT_NE(parsed.strError.find(pszBad), CString::npos) << parsed.strError;
    }
    // A toolkit option that needs a value and has none.
    EXPECT_EQ(Desktop({"-platform"}).action, CommandAction::Usage);
}

TEST(DesktopDisplay, FoundThroughTheEnvironmentOrAPlatformWithoutServer)
{
    const CDesktopArgs none;
    EXPECT_FALSE(DesktopHasDisplay(none, Env({})));
    EXPECT_FALSE(DesktopHasDisplay(none, Env({{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}})));
    EXPECT_TRUE(DesktopHasDisplay(none, Env({{"DISPLAY", ":0"}})));
    EXPECT_TRUE(DesktopHasDisplay(none, Env({{"WAYLAND_DISPLAY", "wayland-0"}})));

    // A platform named by the environment must find its own server.
    EXPECT_FALSE(DesktopHasDisplay(none, Env({{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "wayland-0"}})));
    EXPECT_FALSE(DesktopHasDisplay(none, Env({{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":0"}})));
    EXPECT_TRUE(DesktopHasDisplay(none, Env({{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":0"}})));
    EXPECT_TRUE(DesktopHasDisplay(none, Env({{"QT_QPA_PLATFORM", "offscreen"}})));
    EXPECT_TRUE(DesktopHasDisplay(none, Env({{"QT_QPA_PLATFORM", "linuxfb:fb=/dev/fb1"}})));

    // The command line goes before the environment.
    EXPECT_TRUE(DesktopHasDisplay(Desktop({"-platform", "offscreen"}), Env({{"QT_QPA_PLATFORM", "xcb"}})));
    EXPECT_FALSE(DesktopHasDisplay(Desktop({"-platform", "xcb"}), Env({{"QT_QPA_PLATFORM", "offscreen"}})));
    EXPECT_TRUE(DesktopHasDisplay(Desktop({"-display", ":1"}), Env({})));
}

TEST(DesktopDisplay, NamedForTheOneCopyRuleAsTheToolkitWillChooseIt)
{
    const CDesktopArgs none;
    EXPECT_EQ(DesktopDisplayName(none, Env({})), "");
    // One X server, one name, whatever the screen and however it is spelt.
    EXPECT_EQ(DesktopDisplayName(none, Env({{"DISPLAY", ":0"}})), "x11::0");
    EXPECT_EQ(DesktopDisplayName(none, Env({{"DISPLAY", ":0.1"}})), "x11::0");
    EXPECT_EQ(DesktopDisplayName(none, Env({{"DISPLAY", "unix:0"}})), "x11::0");
    EXPECT_EQ(DesktopDisplayName(none, Env({{"DISPLAY", "host:10.0"}})), "x11:host:10");
    EXPECT_NE(DesktopDisplayName(none, Env({{"DISPLAY", ":1"}})), "x11::0");
    EXPECT_EQ(DesktopDisplayName(Desktop({"-display", ":3.0"}), Env({{"DISPLAY", ":0"}})), "x11::3");

    // Wayland where the toolkit takes it: alone, or in a Wayland session.
    EXPECT_EQ(DesktopDisplayName(none, Env({{"WAYLAND_DISPLAY", "wayland-0"}})), "wayland:wayland-0");
    EXPECT_EQ(DesktopDisplayName(none, Env({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}})), "x11::0");
    EXPECT_EQ(DesktopDisplayName(none, Env({{"WAYLAND_DISPLAY", "wayland-0"},
                                            {"DISPLAY", ":0"},
                                            {"XDG_SESSION_TYPE", "wayland"}})),
              "wayland:wayland-0");

    // A platform that is asked for decides, the command line first.
    const auto both = Env({{"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":2"}, {"QT_QPA_PLATFORM", "xcb"}});
    EXPECT_EQ(DesktopDisplayName(none, both), "x11::2");
    EXPECT_EQ(DesktopDisplayName(Desktop({"-platform", "wayland"}), both), "wayland:wayland-1");
    EXPECT_EQ(DesktopDisplayName(none, Env({{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":0"}})), "x11::0");
    EXPECT_EQ(DesktopDisplayName(none, Env({{"QT_QPA_PLATFORM", "offscreen"}, {"DISPLAY", ":0"}})), "offscreen");
    EXPECT_EQ(DesktopDisplayName(none, Env({{"QT_QPA_PLATFORM", "xcb"}})), "");
}

TEST(DaemonCommandLine, OptionsAndTheirValues)
{
    const CDaemonArgs plain = Daemon({});
    EXPECT_EQ(plain.action, CommandAction::Run);
    EXPECT_FALSE(plain.bOnce);
    EXPECT_TRUE(plain.strSettings.empty());

    const CDaemonArgs both = Daemon({"--settings", "/srv/prodlet.reg", "--once"});
    EXPECT_EQ(both.action, CommandAction::Run);
    EXPECT_TRUE(both.bOnce);
    EXPECT_EQ(both.strSettings, "/srv/prodlet.reg");
    EXPECT_EQ(Daemon({"--settings=/a b.reg"}).strSettings, "/a b.reg");
    EXPECT_EQ(Daemon({"--settings", "a.reg", "--settings", "b.reg"}).strSettings, "b.reg");

    EXPECT_EQ(Daemon({"--once", "--help"}).action, CommandAction::Help);
    EXPECT_EQ(Daemon({"--version"}).action, CommandAction::Version);
}

TEST(DaemonCommandLine, AnythingElseIsAUsageError)
{
    for (const auto& args : std::vector<std::vector<const char*>>{
             {"--settings"}, {"--settings="}, {"--settings", ""}, {"--frob"}, {"-once"}, {"some.doc"},
             {"-platform", "offscreen"},  // no toolkit here
         }) {
        const CDaemonArgs parsed = Daemon(args);
        EXPECT_EQ(parsed.action, CommandAction::Usage) << args.front();
        EXPECT_FALSE(parsed.strError.empty());
    }
}

TEST(CommandLineTexts, UsageNamesEveryOptionAndVersionTheProgram)
{
    for (const char* pszOption : {"--settings FILE", "--once", "--help", "--version"})
        EXPECT_NE(DaemonUsage().find(pszOption), CString::npos) << pszOption;
    for (const char* pszOption : {"--help", "--version", "FILE", "prodletd"})
        EXPECT_NE(DesktopUsage().find(pszOption), CString::npos) << pszOption;
    EXPECT_EQ(VersionText("prodletd").rfind("prodletd ", 0), 0u);
    EXPECT_EQ(VersionText("prodletd").back(), '\n');
}
