// The least a Windows tray program can be: one hidden window, one icon in
// the notification area with a tooltip that counts down once a second, and
// nothing else. The benchmark holds prodlet.exe against it, built the same
// way (same compiler, same static runtime) and run the same way under Wine.
// It ends on WM_CLOSE or the icon's right button.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

namespace {

constexpr UINT WM_TRAY_NOTIFY = WM_APP + 2;
NOTIFYICONDATAA g_nid{};
int g_nSeconds = 25 * 60;

LRESULT CALLBACK Proc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    switch (nMsg) {
    case WM_TIMER:
        --g_nSeconds;
        std::snprintf(g_nid.szTip, sizeof(g_nid.szTip), "Bare tray: %d:%02d", g_nSeconds / 60, g_nSeconds % 60);
        g_nid.uFlags = NIF_TIP;
        ::Shell_NotifyIconA(NIM_MODIFY, &g_nid);
        return 0;
    case WM_TRAY_NOTIFY:
        if (LOWORD(lParam) == WM_RBUTTONUP)
            ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_DESTROY:
        ::Shell_NotifyIconA(NIM_DELETE, &g_nid);
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(hWnd, nMsg, wParam, lParam);
    }
}

}  // namespace

int main()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "BareTrayFrame";
    ::RegisterClassA(&wc);
    HWND hWnd = ::CreateWindowExA(0, wc.lpszClassName, "Bare tray", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    g_nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    g_nid.hWnd = hWnd;
    g_nid.uID = 1;
    g_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_nid.uCallbackMessage = WM_TRAY_NOTIFY;
    g_nid.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);
    lstrcpynA(g_nid.szTip, "Bare tray", sizeof(g_nid.szTip));
    ::Shell_NotifyIconA(NIM_ADD, &g_nid);
    ::SetTimer(hWnd, 1, 1000, nullptr);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
