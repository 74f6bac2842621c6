// The console's requests to end (SetConsoleCtrlHandler), for the framework's
// system part (framework/win32/System.cpp).
#include "framework/win32/shim/Win32Shim.h"

#include <windows.h>

namespace w32 {
namespace {

void (*g_fnConsoleClose)() = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD dwType)
{
    if (dwType != CTRL_C_EVENT && dwType != CTRL_BREAK_EVENT && dwType != CTRL_CLOSE_EVENT)
        return FALSE;
    if (g_fnConsoleClose != nullptr)
        g_fnConsoleClose();
    return TRUE;
}

}  // namespace

void SetConsoleCloseHandler(void (*fn)())
{
    g_fnConsoleClose = fn;
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace w32
