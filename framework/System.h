// What the framework asks of the operating system itself, apart from the
// backend: one implementation per system (framework/posix/ for Linux), chosen
// by CMake, so that the framework's own files name no system header.
#pragma once

#include <string>

// From now on a request to end the program (SIGINT, SIGTERM or SIGHUP on
// POSIX: the terminal or the session going away, a service manager's stop)
// calls fnRequested on the user-interface thread, from the loop, instead of
// killing the program mid-write. Once per run; a second call does nothing.
void AfxInstallTerminateHandlers(void (*fnRequested)());

// The running program's own file, as an absolute path; empty when the system
// cannot say.
std::string AfxProgramPath();
