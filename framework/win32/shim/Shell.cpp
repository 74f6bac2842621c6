// The shell's and the desktop's own things: icons and cursors through
// CreateIconIndirect, the notification area through Shell_NotifyIconA (its
// callback as WM_TRAY_NOTIFY, TaskbarCreated adds the icons again), popup
// menus, MessageBoxA, the common file dialogs and ShellExecuteA.
#include "framework/win32/shim/ShimPrivate.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

namespace w32 {
namespace {

// The tray icon's callback message.
constexpr UINT WM_TRAY_NOTIFY = WM_APP + 2;

struct TrayIcon {
    HICON hIcon = nullptr;
    std::string strTip;
};

std::map<std::uintptr_t, TrayIcon>& TrayIcons()
{
    static auto* s_pIcons = new std::map<std::uintptr_t, TrayIcon>;
    return *s_pIcons;
}

HWND g_hTrayHost = nullptr;
UINT g_nTaskbarCreated = 0;
void (*g_fnTrayRecreate)() = nullptr;
HCURSOR g_hCursorOverride = nullptr;
int g_nWaitCount = 0;

// The record CTrayNotifyIcon keeps, in the shell's own form.
NOTIFYICONDATAA IconData(std::uintptr_t nId, const TrayIcon& icon, UINT uFlags)
{
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    nid.hWnd = TrayHost();
    nid.uID = static_cast<UINT>(nId);
    nid.uFlags = uFlags;
    nid.uCallbackMessage = WM_TRAY_NOTIFY;
    nid.hIcon = icon.hIcon;
    lstrcpynA(nid.szTip, icon.strTip.c_str(), sizeof(nid.szTip));
    return nid;
}

LRESULT CALLBACK TrayHostProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    if (nMsg == WM_TRAY_NOTIFY) {
        int nAction = -1;
        switch (LOWORD(lParam)) {
        case WM_RBUTTONUP:
        case WM_CONTEXTMENU:
            nAction = kTrayContext;
            break;
        case WM_LBUTTONDBLCLK:
            nAction = kTrayDoubleClick;
            break;
        case WM_LBUTTONUP:
            nAction = kTrayTrigger;
            break;
        case WM_MBUTTONUP:
            nAction = kTrayMiddle;
            break;
        default:
            break;
        }
        if (nAction >= 0 && Cb().tray != nullptr) {
            CallOut out;
            Cb().tray(static_cast<std::uintptr_t>(wParam), nAction);
        }
        return 0;
    }
    if (g_nTaskbarCreated != 0 && nMsg == g_nTaskbarCreated) {
        // Explorer restarted: without this the icon of a hidden program
        // would be gone, and the program out of reach.
        RecreateTrayIcons();
        return 0;
    }
    if (nMsg == WM_QUERYENDSESSION)
        return TRUE;
    return ::DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

// A 32-bit image with its alpha, and the mask the system wants beside it.
bool MakeBitmaps(const Image& image, HBITMAP& hColor, HBITMAP& hMask)
{
    BITMAPV5HEADER bi{};
    bi.bV5Size = sizeof(bi);
    bi.bV5Width = image.size;
    bi.bV5Height = -image.size;  // top-down
    bi.bV5Planes = 1;
    bi.bV5BitCount = 32;
    bi.bV5Compression = BI_BITFIELDS;
    bi.bV5RedMask = 0x00FF0000;
    bi.bV5GreenMask = 0x0000FF00;
    bi.bV5BlueMask = 0x000000FF;
    bi.bV5AlphaMask = 0xFF000000;
    void* pBits = nullptr;
    HDC hdc = ::GetDC(nullptr);
    hColor = ::CreateDIBSection(hdc, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &pBits, nullptr, 0);
    ::ReleaseDC(nullptr, hdc);
    if (hColor == nullptr || pBits == nullptr)
        return false;
    std::memcpy(pBits, image.pixels.data(), image.pixels.size() * sizeof(std::uint32_t));
    // The mask: set where the image is transparent (rows padded to 16 bits).
    const int nStride = ((image.size + 15) / 16) * 2;
    std::vector<BYTE> mask(static_cast<std::size_t>(nStride) * image.size, 0);
    for (int y = 0; y < image.size; ++y) {
        for (int x = 0; x < image.size; ++x) {
            if ((image.pixels[static_cast<std::size_t>(y) * image.size + x] >> 24) == 0)
                mask[static_cast<std::size_t>(y) * nStride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
        }
    }
    hMask = ::CreateBitmap(image.size, image.size, 1, 1, mask.data());
    return hMask != nullptr;
}

void* MakeIcon(const Image& image, bool bIcon, int xHotspot, int yHotspot)
{
    if (image.size <= 0 || image.pixels.size() != static_cast<std::size_t>(image.size) * image.size)
        return nullptr;
    HBITMAP hColor = nullptr, hMask = nullptr;
    HICON hIcon = nullptr;
    if (MakeBitmaps(image, hColor, hMask)) {
        ICONINFO info{};
        info.fIcon = bIcon ? TRUE : FALSE;
        info.xHotspot = static_cast<DWORD>(xHotspot);
        info.yHotspot = static_cast<DWORD>(yHotspot);
        info.hbmColor = hColor;
        info.hbmMask = hMask;
        hIcon = ::CreateIconIndirect(&info);
    }
    if (hColor != nullptr)
        ::DeleteObject(hColor);
    if (hMask != nullptr)
        ::DeleteObject(hMask);
    return hIcon;
}

// The system's own dialogs (message boxes, file dialogs) that are shown.
BOOL CALLBACK AddSystemDialog(HWND hWnd, LPARAM lParam)
{
    char szClass[16] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (lstrcmpA(szClass, "#32770") == 0 && ::IsWindowVisible(hWnd))
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

HMENU BuildPopup(const std::vector<MenuItem>& items)
{
    HMENU hMenu = ::CreatePopupMenu();
    for (const MenuItem& item : items) {
        if (item.kind == MenuItem::kSeparator)
            ::AppendMenuA(hMenu, MF_SEPARATOR, 0, nullptr);
        else if (item.kind == MenuItem::kPopup)
            ::AppendMenuA(hMenu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(BuildPopup(item.popup)),
                          item.text.c_str());
        else
            ::AppendMenuA(hMenu, MF_STRING, item.nId, item.text.c_str());
    }
    return hMenu;
}

}  // namespace

HWND TrayHost()
{
    if (g_hTrayHost != nullptr)
        return g_hTrayHost;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = TrayHostProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "AfxTrayHost";
    ::RegisterClassExA(&wc);
    // Top-level (TaskbarCreated is broadcast to top-level windows only),
    // never shown, and no button in the task bar.
    g_hTrayHost = ::CreateWindowExA(WS_EX_TOOLWINDOW, "AfxTrayHost", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    wc.hInstance, nullptr);
    g_nTaskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
    return g_hTrayHost;
}

void RecreateTrayIcons()
{
    for (const auto& [nId, icon] : TrayIcons()) {
        NOTIFYICONDATAA nid = IconData(nId, icon, NIF_MESSAGE | NIF_ICON | NIF_TIP);
        ::Shell_NotifyIconA(NIM_ADD, &nid);
    }
    if (g_fnTrayRecreate != nullptr) {
        CallOut out;
        g_fnTrayRecreate();
    }
}

void SetTrayRecreateHandler(void (*fn)()) { g_fnTrayRecreate = fn; }

HCURSOR CursorOverride() { return g_hCursorOverride; }

bool WaitShown() { return g_nWaitCount > 0; }

void* CreateIcon(const Image& image) { return MakeIcon(image, true, 0, 0); }

void* CreateCursor(const Image& image, int xHotspot, int yHotspot) { return MakeIcon(image, false, xHotspot, yHotspot); }

void* StockCursor(unsigned nId) { return ::LoadCursorA(nullptr, MAKEINTRESOURCEA(nId)); }

void SetCursorOverride(void* hCursor)
{
    g_hCursorOverride = static_cast<HCURSOR>(hCursor);
    if (g_nWaitCount == 0)
        ::SetCursor(g_hCursorOverride != nullptr ? g_hCursorOverride : ::LoadCursorA(nullptr, IDC_ARROW));
}

void ShowWaitCursor(bool bShow)
{
    g_nWaitCount = bShow ? 1 : 0;
    if (bShow)
        ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    else
        ::SetCursor(g_hCursorOverride != nullptr ? g_hCursorOverride : ::LoadCursorA(nullptr, IDC_ARROW));
}

bool TrayAvailable() { return ::FindWindowA("Shell_TrayWnd", nullptr) != nullptr; }

bool TrayAdd(std::uintptr_t nId, void* hIcon, const std::string& strTip)
{
    TrayIcon& icon = TrayIcons()[nId];
    icon.hIcon = static_cast<HICON>(hIcon);
    icon.strTip = strTip;
    NOTIFYICONDATAA nid = IconData(nId, icon, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    return ::Shell_NotifyIconA(NIM_ADD, &nid) != FALSE;
}

bool TrayModify(std::uintptr_t nId, void* hIcon, const std::string& strTip)
{
    auto it = TrayIcons().find(nId);
    if (it == TrayIcons().end())
        return false;
    it->second.hIcon = static_cast<HICON>(hIcon);
    it->second.strTip = strTip;
    NOTIFYICONDATAA nid = IconData(nId, it->second, NIF_ICON | NIF_TIP);
    return ::Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

void TrayDelete(std::uintptr_t nId)
{
    auto it = TrayIcons().find(nId);
    if (it == TrayIcons().end())
        return;
    NOTIFYICONDATAA nid = IconData(nId, it->second, 0);
    ::Shell_NotifyIconA(NIM_DELETE, &nid);
    TrayIcons().erase(it);
}

unsigned TrackPopupMenu(const std::vector<MenuItem>& items, int nDefault, int x, int y)
{
    HMENU hMenu = BuildPopup(items);
    if (nDefault >= 0)
        ::SetMenuDefaultItem(hMenu, static_cast<UINT>(nDefault), TRUE);  // drawn in bold
    HWND hOwner = TrayHost();
    // Without this the menu would not close when the user clicks elsewhere.
    ::SetForegroundWindow(hOwner);
    const UINT nChosen = static_cast<UINT>(
        ::TrackPopupMenu(hMenu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, hOwner, nullptr));
    ::PostMessageA(hOwner, WM_NULL, 0, 0);
    ::DestroyMenu(hMenu);
    return nChosen;
}

int ShowMessageBox(Wnd owner, const std::string& strCaption, const std::string& strText, unsigned nType)
{
    HWND hOwner = owner != nullptr ? ::GetAncestor(H(owner), GA_ROOT) : nullptr;
    // A hidden owner would keep the box out of sight and out of the task bar.
    if (hOwner != nullptr && !::IsWindowVisible(hOwner))
        hOwner = nullptr;
    const UINT uType = nType | (hOwner == nullptr ? MB_TASKMODAL | MB_SETFOREGROUND : 0);
    return ::MessageBoxA(hOwner, strText.c_str(), strCaption.c_str(), uType);
}

void CloseModalWindows()
{
    // The system's message boxes and file dialogs of this thread.
    std::vector<HWND> boxes;
    ::EnumThreadWindows(::GetCurrentThreadId(), AddSystemDialog, reinterpret_cast<LPARAM>(&boxes));
    for (HWND hWnd : boxes)
        ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
}

std::string FileDialog(bool bOpen, const std::string& strCaption)
{
    char szFile[MAX_PATH] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.lpstrFile = szFile;
    ofn.nMaxFile = sizeof(szFile);
    ofn.lpstrTitle = strCaption.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | (bOpen ? OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST : OFN_OVERWRITEPROMPT);
    const BOOL bOk = bOpen ? ::GetOpenFileNameA(&ofn) : ::GetSaveFileNameA(&ofn);
    return bOk ? std::string(szFile) : std::string();
}

void ScreenSize(int& cx, int& cy)
{
    cx = ::GetSystemMetrics(SM_CXSCREEN);
    cy = ::GetSystemMetrics(SM_CYSCREEN);
}

void CursorPos(int& x, int& y)
{
    POINT pt{};
    ::GetCursorPos(&pt);
    x = pt.x;
    y = pt.y;
}

void Beep() { ::MessageBeep(MB_OK); }

bool OpenUrl(const std::string& strUrl)
{
    const auto nResult = reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(nullptr, "open", strUrl.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return nResult > 32;
}

}  // namespace w32
