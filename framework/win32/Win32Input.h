// What a user would do to the Win32 backend's windows, for tests: beside the
// port, in a library of its own that only tests link. The keys go through
// the message loop's own TranslateAccelerator and IsDialogMessage.
#pragma once

#include "framework/Testing.h"

CAfxInputSimulator& AfxWin32Input();
