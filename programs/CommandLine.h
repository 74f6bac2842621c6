// The command lines of both programs, read before any backend is set up, so
// that --help and --version need no display and a missing display is said in
// one line rather than by the toolkit's abort.
#pragma once

#include "framework/AfxTypes.h"

#include <functional>

enum class CommandAction { Run, Help, Version, Usage };

// prodlet [--help | --version] [toolkit options] [FILE]
struct CDesktopArgs {
    CommandAction action = CommandAction::Run;
    CString strError;     // for Usage: what was wrong
    CString strPlatform;  // the toolkit's -platform option, when given
    BOOL bDisplayOption = FALSE;  // the toolkit's -display option was given
    CString strDisplay;           // its value
};

// prodletd [--settings FILE] [--once] | --help | --version
struct CDaemonArgs {
    CommandAction action = CommandAction::Run;
    CString strError;
    CString strSettings;  // empty: the usual place
    BOOL bOnce = FALSE;
};

// Files and the toolkit's own options are left for the framework and the
// toolkit, as before; any other option is a usage error.
CDesktopArgs ParseDesktopArgs(int argc, const char* const* argv);
CDaemonArgs ParseDaemonArgs(int argc, const char* const* argv);

using GetEnvFn = std::function<const char*(const char*)>;
// Whether the toolkit will find somewhere to show windows: a display server
// named by the environment (DISPLAY, WAYLAND_DISPLAY) or a platform that
// needs none (offscreen, linuxfb, ...), by -platform or QT_QPA_PLATFORM.
BOOL DesktopHasDisplay(const CDesktopArgs& args, const GetEnvFn& fnGetEnv);

// The display the toolkit will show the window on, as a name for the
// one-copy-per-display rule: "x11:<display>" (the screen number dropped: one
// server, one copy), "wayland:<socket>", or for a platform without a display
// server its name. Empty when there is none (see DesktopHasDisplay).
CString DesktopDisplayName(const CDesktopArgs& args, const GetEnvFn& fnGetEnv);

CString DesktopUsage();
CString DaemonUsage();
// "<program> <version>" and its licence line.
CString VersionText(const char* pszProgram);
