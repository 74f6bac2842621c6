// A program that will not end: a hidden window of Prodlet's frame class that
// ignores WM_CLOSE. package-windows.sh runs the installer over it to see that
// a copy which cannot be closed makes the setup fail instead of half
// replacing the program.
#include <windows.h>

static LRESULT CALLBACK FrameProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_CLOSE)
        return 0;
    return DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = "ProdletFrame";
    if (!RegisterClassA(&wc) ||
        !CreateWindowA("ProdletFrame", "Prodlet", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, hInstance, nullptr))
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}
