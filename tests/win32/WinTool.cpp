// What the end-to-end run under Wine asks of the program's windows, from the
// outside as another program would (the way an installer or a screen reader
// sees them):
//
//   wintool texts TITLE   prints the texts of the visible top-level window
//                         of that title and of its children, one a line;
//                         status 1 if there is none
//   wintool close CLASS   posts WM_CLOSE to the window of that class (as an
//                         installer ends a running copy); 1 if none
//   wintool shown CLASS   status 0 if a window of that class is visible
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

BOOL CALLBACK PrintText(HWND hWnd, LPARAM)
{
    char szText[1024] = {};
    ::GetWindowTextA(hWnd, szText, sizeof(szText));
    if (szText[0] != '\0' && ::IsWindowVisible(hWnd))
        std::printf("%s\n", szText);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: wintool texts TITLE | close CLASS | shown CLASS\n", stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "texts") == 0) {
        HWND hWnd = ::FindWindowA(nullptr, argv[2]);
        if (hWnd == nullptr || !::IsWindowVisible(hWnd))
            return 1;
        PrintText(hWnd, 0);
        ::EnumChildWindows(hWnd, PrintText, 0);
        return 0;
    }
    HWND hWnd = ::FindWindowA(argv[2], nullptr);
    if (std::strcmp(argv[1], "close") == 0)
        return hWnd != nullptr && ::PostMessageA(hWnd, WM_CLOSE, 0, 0) ? 0 : 1;
    if (std::strcmp(argv[1], "shown") == 0)
        return hWnd != nullptr && ::IsWindowVisible(hWnd) ? 0 : 1;
    return 2;
}
