// The Win32 port of the framework: each call of the port is one or a few
// calls of the shim, which alone talks to Windows. What the user does comes
// back through the shim's callbacks as the framework's AfxPort* reports.
#include "framework/win32/Win32Bridge.h"
#include "framework/win32/Win32Port.h"

#include <cstring>
#include <map>
#include <vector>

namespace {

struct CTrayState {
    void* hIcon = nullptr;
    CString strTip;
};

std::map<std::uintptr_t, CTrayState>& Trays()
{
    static auto* s_pTrays = new std::map<std::uintptr_t, CTrayState>;
    return *s_pTrays;
}

std::function<BOOL()>& RestoreHandler()
{
    static auto* s_pHandler = new std::function<BOOL()>;
    return *s_pHandler;
}

// The tray's records go by the framework's tokens, never 0.
AFX_PORTTRAY TrayOf(std::uintptr_t nId) { return reinterpret_cast<AFX_PORTTRAY>(nId); }
std::uintptr_t IdOf(AFX_PORTTRAY tray) { return reinterpret_cast<std::uintptr_t>(tray); }

std::vector<w32::MenuItem> MenuOf(std::span<const AFX_MENUITEM> items)
{
    std::vector<w32::MenuItem> menu;
    for (const AFX_MENUITEM& item : items) {
        w32::MenuItem entry;
        entry.text = item.text ? item.text : "";
        entry.nId = item.id;
        if (item.flags & MF_SEPARATOR) {
            entry.kind = w32::MenuItem::kSeparator;
        } else if (item.flags & MF_POPUP) {
            entry.kind = w32::MenuItem::kPopup;
            entry.popup = MenuOf(item.popup);
        }
        menu.push_back(std::move(entry));
    }
    return menu;
}

w32::Font FontOf(const AFX_DLGTEMPLATE& tmpl)
{
    return w32::Font{tmpl.fontName ? tmpl.fontName : "", tmpl.pointSize > 0 ? tmpl.pointSize : 8};
}

w32::Control ControlOf(AfxControl kind)
{
    switch (kind) {
    case AfxControl::PushButton: return w32::Control::PushButton;
    case AfxControl::DefPushButton: return w32::Control::DefPushButton;
    case AfxControl::Edit: return w32::Control::Edit;
    case AfxControl::ComboDropDown: return w32::Control::Combo;
    case AfxControl::Static: return w32::Control::Static;
    case AfxControl::GroupBox: return w32::Control::GroupBox;
    case AfxControl::CheckBox: return w32::Control::CheckBox;
    case AfxControl::ListBox: return w32::Control::ListBox;
    case AfxControl::IconStatic: return w32::Control::IconStatic;
    }
    return w32::Control::Static;
}

w32::Rect RectOf(const CRect& rc) { return w32::Rect{rc.left, rc.top, rc.right, rc.bottom}; }
CRect RectOf(const w32::Rect& rc) { return CRect{rc.left, rc.top, rc.right, rc.bottom}; }

// ---- the shim's callbacks

void OnCommand(w32::Wnd wnd, unsigned nId) { AfxPortCommand(PortOf(wnd), nId); }
void OnClose(w32::Wnd wnd) { AfxPortClose(PortOf(wnd)); }
void OnTimer(std::uintptr_t nId) { AfxPortTimer(static_cast<AFX_TOKEN>(nId)); }
void OnWake() { AfxPortRunQueued(); }

void OnTray(std::uintptr_t nId, int nAction)
{
    static const AfxTrayAction s_aActions[] = {AfxTrayAction::Context, AfxTrayAction::DoubleClick,
                                               AfxTrayAction::Trigger, AfxTrayAction::MiddleClick};
    if (nAction >= 0 && nAction < 4)
        AfxPortTrayAction(static_cast<AFX_TOKEN>(nId), s_aActions[nAction]);
}

void OnMouseMove(w32::Wnd wnd, int x, int y) { AfxPortMouseMove(PortOf(wnd), CPoint{x, y}); }
void OnMouseDown(w32::Wnd wnd, int x, int y) { AfxPortMouseDown(PortOf(wnd), CPoint{x, y}); }

bool OnStaticLook(w32::Wnd wnd, w32::StaticLook& look)
{
    AFX_STATICLOOK afx;
    if (!AfxPortStaticLook(PortOf(wnd), afx))
        return false;
    look.bTextColor = afx.bTextColor != FALSE;
    look.crText = afx.crText;
    look.bTransparent = afx.bTransparent != FALSE;
    look.bBkColor = afx.bBkColor != FALSE;
    look.crBack = afx.crBack;
    look.bFont = afx.bFont != FALSE;
    static_assert(sizeof(afx.font) == sizeof(look.font), "LOGFONT keeps the platform's layout");
    std::memcpy(look.font, &afx.font, sizeof(look.font));
    return true;
}

int OnRestore()
{
    const std::function<BOOL()>& fn = RestoreHandler();
    return fn && fn() ? 1 : 0;
}

// The calls are short enough to stand in the class; every one overrides a
// call of the port (AFX_DECLARE_PORT's list).
class CWin32Port final : public CAfxPort {
public:
    void Init(int& /*argc*/, char** /*argv*/) override
    {
        w32::Callbacks callbacks;
        callbacks.command = OnCommand;
        callbacks.close = OnClose;
        callbacks.timer = OnTimer;
        callbacks.wake = OnWake;
        callbacks.tray = OnTray;
        callbacks.mouseMove = OnMouseMove;
        callbacks.mouseDown = OnMouseDown;
        callbacks.staticLook = OnStaticLook;
        w32::Init(callbacks);
        w32::SetRestoreHandler(OnRestore);
    }

    void SetAppIdentity(const CString& strName, HICON hIcon) override
    {
        // The frame's class name is how others find the running program
        // (FindWindow("<Name>Frame")).
        if (!strName.empty())
            w32::SetFrameClassName(strName + "Frame");
        if (hIcon != nullptr)
            w32::SetAppIcon(NativeIcon(hIcon, FALSE), NativeIcon(hIcon, TRUE));
    }

    void WakeUiThread() override { w32::PostWake(); }

    int RunLoop(AFX_LOOP& loop) override
    {
        if (loop.bExited)
            return loop.nExitCode;
        loop.pBackend = &loop;
        w32::RunLoop(&loop.bExited);
        loop.pBackend = nullptr;
        return loop.nExitCode;
    }

    void ExitLoop(AFX_LOOP& loop, int nExitCode) override
    {
        loop.bExited = TRUE;
        loop.nExitCode = nExitCode;
        w32::WakeLoop();
    }

    void ProcessEvents() override { w32::ProcessEvents(); }
    void WaitForEvents(int nMs) override { w32::WaitForEvents(nMs); }

    AFX_TOKEN StartTimer(UINT nElapseMs) override
    {
        const AFX_TOKEN token = m_nextTimer++;
        return w32::SetTimer(token, nElapseMs) ? token : 0;
    }
    void StopTimer(AFX_TOKEN token) override { w32::KillTimer(token); }

    // Windows has no descriptors to watch: its sockets report to a window
    // (WSAAsyncSelect), which the platform's Win32 sockets use.
    AFX_TOKEN WatchDescriptor(int /*fd*/, short /*nEvents*/) override { return 0; }
    void ChangeWatch(AFX_TOKEN /*token*/, short /*nEvents*/) override {}
    void UnwatchDescriptor(AFX_TOKEN /*token*/) override {}

    AFX_PORTWND CreateFrame(const AFX_FRAMEDESC& desc) override
    {
        std::vector<w32::Accel> accels;
        for (const AFX_ACCEL& accel : desc.accels)
            accels.push_back(w32::Accel{accel.fVirt, accel.key, accel.cmd});
        return PortOf(w32::CreateFrame(desc.strTitle, desc.dwStyle, MenuOf(desc.menu), accels));
    }

    AFX_PORTWND CreateForm(AFX_PORTWND pwParent, const AFX_DLGTEMPLATE& tmpl, CSize sizeClient) override
    {
        return PortOf(w32::CreateForm(WndOf(pwParent), FontOf(tmpl), sizeClient.cx, sizeClient.cy));
    }

    AFX_PORTWND CreateDialogWindow(AFX_PORTWND pwOwner, const AFX_DLGTEMPLATE& tmpl, CSize sizeClient) override
    {
        return PortOf(w32::CreateDialogWindow(WndOf(pwOwner), tmpl.caption ? tmpl.caption : "", FontOf(tmpl),
                                              sizeClient.cx, sizeClient.cy));
    }

    AFX_PORTWND CreateControl(AFX_PORTWND pwParent, const AFX_DLGITEM& item, const CRect& rect) override
    {
        void* hIcon = item.kind == AfxControl::IconStatic ? NativeIcon(AfxLoadIcon(item.iconId), FALSE) : nullptr;
        return PortOf(w32::CreateControl(WndOf(pwParent), ControlOf(item.kind), item.id, item.text ? item.text : "",
                                         RectOf(rect), item.style, hIcon));
    }

    CSize DialogBaseUnits(const AFX_DLGTEMPLATE& tmpl) override
    {
        CSize size;
        w32::DialogBaseUnits(FontOf(tmpl), size.cx, size.cy);
        return size;
    }

    void DestroyWindow(AFX_PORTWND pw) override { w32::DestroyWindow(WndOf(pw)); }
    // The framework calls only when the text changes.
    void SetText(AFX_PORTWND pw, const CString& str) override { w32::SetText(WndOf(pw), str); }
    CString GetText(AFX_PORTWND pw) override { return w32::GetText(WndOf(pw)); }
    void EnableWindow(AFX_PORTWND pw, BOOL bEnable) override { w32::EnableWindow(WndOf(pw), bEnable != FALSE); }
    BOOL IsWindowEnabled(AFX_PORTWND pw) override { return w32::IsWindowEnabled(WndOf(pw)); }
    void ShowWindow(AFX_PORTWND pw, int nCmdShow) override { w32::ShowWindow(WndOf(pw), nCmdShow); }
    BOOL IsHidden(AFX_PORTWND pw) override { return w32::IsHidden(WndOf(pw)); }
    BOOL IsVisible(AFX_PORTWND pw) override { return w32::IsVisible(WndOf(pw)); }
    BOOL IsMinimized(AFX_PORTWND pw) override { return w32::IsMinimized(WndOf(pw)); }
    CRect GetWindowRect(AFX_PORTWND pw) override { return RectOf(w32::GetWindowRect(WndOf(pw))); }
    void MoveWindow(AFX_PORTWND pw, const CRect& rect) override { w32::MoveWindow(WndOf(pw), RectOf(rect)); }

    void PlaceWindow(AFX_PORTWND pw, const CRect& rcOuter, const AFX_SIZELIMITS& limits) override
    {
        w32::PlaceWindow(WndOf(pw), RectOf(rcOuter), limits.bFixed != FALSE, limits.bLimited != FALSE,
                         limits.sizeMin.cx, limits.sizeMin.cy, limits.sizeMax.cx, limits.sizeMax.cy);
    }

    void SetForegroundWindow(AFX_PORTWND pw) override { w32::SetForegroundWindow(WndOf(pw)); }
    AFX_PORTWND GetForegroundWindow() override { return PortOf(w32::GetForegroundWindow()); }

    void SetIcon(AFX_PORTWND pw, HICON hIcon) override
    {
        w32::SetIcon(WndOf(pw), NativeIcon(hIcon, FALSE), NativeIcon(hIcon, TRUE));
    }

    void ShowModal(AFX_PORTWND pw) override { w32::ShowModal(WndOf(pw)); }
    BOOL HasFocus(AFX_PORTWND pw) override { return w32::HasFocus(WndOf(pw)); }
    void SetFocus(AFX_PORTWND pw) override { w32::SetFocus(WndOf(pw)); }
    // Screen readers on Windows name a control by the label before it in
    // the tab order, as the templates place them; nothing to set.
    void SetAccessibleName(AFX_PORTWND /*pw*/, const CString& /*strName*/) override {}

    int GetCheck(AFX_PORTWND pw) override { return w32::GetCheck(WndOf(pw)); }
    void SetCheck(AFX_PORTWND pw, int nCheck) override { w32::SetCheck(WndOf(pw), nCheck); }
    void ListReset(AFX_PORTWND pw) override { w32::ListReset(WndOf(pw)); }
    int ListAdd(AFX_PORTWND pw, const CString& str) override { return w32::ListAdd(WndOf(pw), str); }

    void ListInsert(AFX_PORTWND pw, int nIndex, const CString& str) override { w32::ListInsert(WndOf(pw), nIndex, str); }
    void ListDelete(AFX_PORTWND pw, int nIndex) override { w32::ListDelete(WndOf(pw), nIndex); }

    int ListCount(AFX_PORTWND pw) override { return w32::ListCount(WndOf(pw)); }
    int ListGetSel(AFX_PORTWND pw) override { return w32::ListGetSel(WndOf(pw)); }
    void ListSetSel(AFX_PORTWND pw, int nIndex) override { w32::ListSetSel(WndOf(pw), nIndex); }
    CString ListGetText(AFX_PORTWND pw, int nIndex) override { return w32::ListGetText(WndOf(pw), nIndex); }
    void EnableDragReorder(AFX_PORTWND pw) override { w32::MakeDragList(WndOf(pw)); }

    BOOL TrayAvailable() override { return w32::TrayAvailable(); }
    // Windows leaves the icon's menu to the program.
    BOOL DesktopShowsTrayMenu() override { return FALSE; }

    AFX_PORTTRAY TrayAdd(AFX_TOKEN token, std::span<const AFX_MENUITEM> /*contextMenu*/, int /*nDefaultPos*/) override
    {
        CTrayState& state = Trays()[token];
        state.hIcon = EmptyTrayIcon();
        if (!w32::TrayAdd(token, state.hIcon, state.strTip)) {
            // No notification area yet (Explorer still starting): the icon
            // comes with TaskbarCreated, as after a restart of Explorer.
        }
        return TrayOf(token);
    }

    void TraySetIcon(AFX_PORTTRAY tray, HICON hIcon) override
    {
        CTrayState& state = Trays()[IdOf(tray)];
        state.hIcon = hIcon != nullptr ? NativeIcon(hIcon, TRUE) : EmptyTrayIcon();
        w32::TrayModify(IdOf(tray), state.hIcon, state.strTip);
    }

    void TraySetTip(AFX_PORTTRAY tray, const CString& strTip) override
    {
        // The framework calls only when the tip changes.
        CTrayState& state = Trays()[IdOf(tray)];
        state.strTip = strTip;
        w32::TrayModify(IdOf(tray), state.hIcon, state.strTip);
    }

    void TrayDelete(AFX_PORTTRAY tray) override
    {
        w32::TrayDelete(IdOf(tray));
        Trays().erase(IdOf(tray));
    }

    UINT TrackPopupMenu(std::span<const AFX_MENUITEM> items, int nDefaultPos, CPoint pt) override
    {
        return w32::TrackPopupMenu(MenuOf(items), nDefaultPos, pt.x, pt.y);
    }

    int MessageBox(AFX_PORTWND pwOwner, const CString& strCaption, const CString& strText, UINT nType) override
    {
        return w32::ShowMessageBox(WndOf(pwOwner), strCaption, strText, nType);
    }

    void CloseModalWindows() override { w32::CloseModalWindows(); }
    CString FileDialog(BOOL bOpen, const CString& strCaption) override { return w32::FileDialog(bOpen != FALSE, strCaption); }

    CSize ScreenSize() override
    {
        CSize size;
        w32::ScreenSize(size.cx, size.cy);
        return size;
    }

    CPoint CursorPos() override
    {
        CPoint pt;
        w32::CursorPos(pt.x, pt.y);
        return pt;
    }

    void ShowWaitCursor(BOOL bShow) override { w32::ShowWaitCursor(bShow != FALSE); }
    void SetStaticNotify(AFX_PORTWND pw, BOOL bNotify) override { w32::SetStaticNotify(WndOf(pw), bNotify != FALSE); }
    CRect GetClientRect(AFX_PORTWND pw) override { return RectOf(w32::GetClientRect(WndOf(pw))); }

    void GetFont(AFX_PORTWND pw, LOGFONT& lf) override
    {
        unsigned char bytes[60];
        w32::GetFont(WndOf(pw), bytes);
        std::memcpy(&lf, bytes, sizeof(lf));
    }

    void InvalidateWindow(AFX_PORTWND pw) override { w32::Invalidate(WndOf(pw)); }
    void SetMouseCapture(AFX_PORTWND pw) override { w32::SetCapture(WndOf(pw)); }

    void SetCursor(HCURSOR hCursor) override
    {
        // The stock arrow, like none, gives each window its own shape again.
        const bool bOwn = hCursor != nullptr && !(hCursor->pixels == nullptr && hCursor->id == IDC_ARROW);
        w32::SetCursorOverride(bOwn ? NativeCursor(hCursor) : nullptr);
    }

    void Beep() override { w32::Beep(); }
    BOOL OpenUrl(const CString& strUrl) override { return w32::OpenUrl(strUrl); }

private:
    AFX_TOKEN m_nextTimer = 1;
};

}  // namespace

CAfxPort& AfxWin32Port()
{
    static auto* s_pPort = new CWin32Port;
    return *s_pPort;
}

void AfxWin32SetRestoreHandler(std::function<BOOL()> fn) { RestoreHandler() = std::move(fn); }
