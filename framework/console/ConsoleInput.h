// What a user would do to the console backend's windows, for tests: beside
// the port, in a library of its own that only tests link.
#pragma once

#include "framework/Testing.h"

CAfxInputSimulator& AfxConsoleInput();
