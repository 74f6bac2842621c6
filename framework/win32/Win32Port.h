// The framework's Win32 backend: real windows, the system's controls, the
// shell's notification area, all on user32, gdi32, comctl32, comdlg32 and
// shell32. The executable sets it with AfxSetPort before anything else.
#pragma once

#include "framework/Port.h"

#include <functional>

CAfxPort& AfxWin32Port();

// A later start of the program asks the running copy to show its window
// (the one-copy rule): fn answers TRUE when it did, FALSE while the copy is
// still starting (the later start asks again shortly).
void AfxWin32SetRestoreHandler(std::function<BOOL()> fn);
