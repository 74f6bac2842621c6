// What the Win32 port's source files share. Only framework/win32/ includes it.
#pragma once

#include "framework/Port.h"
#include "framework/Resources.h"
#include "framework/win32/shim/Win32Shim.h"

// The system's icon for a resource icon (its 32 or 16 pixel image), made once.
void* NativeIcon(HICON hIcon, BOOL bSmall);
// A transparent 16-pixel icon: the tray slot of an icon without an image.
void* EmptyTrayIcon();
// The system's cursor for a resource cursor, made once.
void* NativeCursor(HCURSOR hCursor);

inline w32::Wnd WndOf(AFX_PORTWND pw) { return reinterpret_cast<w32::Wnd>(pw); }
inline AFX_PORTWND PortOf(w32::Wnd wnd) { return reinterpret_cast<AFX_PORTWND>(wnd); }
