// The console's requests to end (SetConsoleCtrlHandler) and the program's
// own file, for the framework's system part (framework/win32/System.cpp).
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

std::string ProgramPath()
{
    // A path longer than MAX_PATH is cut, and then reported as a failure.
    char szPath[MAX_PATH + 1] = {};
    const DWORD nLength = ::GetModuleFileNameA(nullptr, szPath, MAX_PATH + 1);
    if (nLength == 0 || nLength > MAX_PATH)
        return std::string();
    return std::string(szPath, nLength);
}

void SetConsoleCloseHandler(void (*fn)())
{
    g_fnConsoleClose = fn;
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace w32
