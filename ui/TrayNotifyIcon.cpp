#include "ui/TrayNotifyIcon.h"

#include "framework/Resources.h"
#include "framework/Wnd.h"

#include <cstdlib>
#include <cstring>

CTrayNotifyIcon::CTrayNotifyIcon() : m_bCreated(FALSE), m_bHidden(FALSE), m_pOwner(nullptr)
{
    std::memset(&m_nid, 0, sizeof(m_nid));
}

CTrayNotifyIcon::~CTrayNotifyIcon() { DeleteIcon(); }

// The record's tooltip holds 63 characters and its NUL; a longer text is cut
// there rather than written past the field.
void CTrayNotifyIcon::CopyTip(const char* pszTooltipText)
{
    const char* psz = pszTooltipText ? pszTooltipText : "";
    std::size_t nLen = std::strlen(psz);
    if (nLen > sizeof(m_nid.szTip) - 1)
        nLen = sizeof(m_nid.szTip) - 1;
    std::memcpy(m_nid.szTip, psz, nLen);
    m_nid.szTip[nLen] = '\0';
}

BOOL CTrayNotifyIcon::Create(CWnd* pNotifyWnd, UINT uID, const char* pszTooltipText, HICON hIcon,
                             UINT nNotifyMessage)
{
    m_pOwner = pNotifyWnd;
    m_nid.cbSize = sizeof(NOTIFYICONDATA);
    m_nid.hWnd = pNotifyWnd ? pNotifyWnd->GetSafeHwnd() : nullptr;
    m_nid.uID = uID;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = nNotifyMessage;
    m_nid.hIcon = hIcon;
    CopyTip(pszTooltipText);
    m_bCreated = Shell_NotifyIcon(NIM_ADD, &m_nid) ? TRUE : FALSE;
    return m_bCreated;
}

BOOL CTrayNotifyIcon::Create(CWnd* pNotifyWnd, UINT uID, const char* pszTooltipText, const HICON* phIcons,
                             int /*nNumIcons*/, DWORD /*dwDelay*/, UINT nNotifyMessage)
{
    return Create(pNotifyWnd, uID, pszTooltipText, phIcons ? phIcons[0] : nullptr, nNotifyMessage);
}

void CTrayNotifyIcon::DeleteIcon()
{
    if (!m_bCreated)
        return;
    m_nid.uFlags = 0;
    Shell_NotifyIcon(NIM_DELETE, &m_nid);
    m_bCreated = FALSE;
}

void CTrayNotifyIcon::HideIcon()
{
    if (m_bHidden)
        return;
    m_nid.uFlags = NIF_ICON;
    Shell_NotifyIcon(NIM_DELETE, &m_nid);
    m_bHidden = TRUE;
}

void CTrayNotifyIcon::ShowIcon()
{
    if (!m_bHidden)
        return;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    // An icon whose first add failed is there once this one succeeds.
    if (Shell_NotifyIcon(NIM_ADD, &m_nid))
        m_bCreated = TRUE;
    m_bHidden = FALSE;
}

// A notification area has appeared: the icon goes in from the record, with
// the icon and tooltip set since. An add that fails leaves the flag as it
// was (the shell may still hold the icon), one that succeeds sets it.
void CTrayNotifyIcon::AddAgain()
{
    if (m_bHidden || m_nid.cbSize == 0)
        return;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    if (Shell_NotifyIcon(NIM_ADD, &m_nid))
        m_bCreated = TRUE;
}

void CTrayNotifyIcon::ReinsertIcon()
{
    HideIcon();
    ShowIcon();
}

BOOL CTrayNotifyIcon::SetTip(const char* pszTooltipText)
{
    // Kept in the record without an icon too, for the add when an area appears.
    CopyTip(pszTooltipText);
    if (!m_bCreated)
        return FALSE;
    m_nid.uFlags = NIF_TIP;
    return Shell_NotifyIcon(NIM_MODIFY, &m_nid);
}

BOOL CTrayNotifyIcon::SetTip(UINT nID)
{
    CString strTip;
    AfxLoadString(nID, strTip);
    return SetTip(strTip.c_str());
}

CString CTrayNotifyIcon::GetTip() const { return m_bCreated ? CString(m_nid.szTip) : CString(); }

BOOL CTrayNotifyIcon::SetIcon(HICON hIcon)
{
    m_nid.hIcon = hIcon;
    if (!m_bCreated)
        return FALSE;
    m_nid.uFlags = NIF_ICON;
    return Shell_NotifyIcon(NIM_MODIFY, &m_nid);
}

// Resource names of the "#123" form name numeric resources; ids count by their
// low 16 bits.
static UINT ResourceIdFromName(const char* lpszName)
{
    if (!lpszName || lpszName[0] != '#')
        return 0;
    return static_cast<UINT>(std::strtoul(lpszName + 1, nullptr, 10));
}

BOOL CTrayNotifyIcon::SetIcon(UINT nIDResource) { return SetIcon(AfxLoadIcon(nIDResource & 0xFFFF)); }

BOOL CTrayNotifyIcon::SetIcon(const char* lpszIconName) { return SetIcon(ResourceIdFromName(lpszIconName)); }

BOOL CTrayNotifyIcon::SetIcon(const HICON* phIcons, int /*nNumIcons*/, DWORD /*dwDelay*/)
{
    return SetIcon(phIcons ? phIcons[0] : nullptr) ? TRUE : FALSE;
}

BOOL CTrayNotifyIcon::SetStockIcon(UINT nIDResource) { return SetIcon(AfxLoadStockIcon(nIDResource & 0xFFFF)); }

BOOL CTrayNotifyIcon::SetStockIcon(const char* lpszIconName)
{
    return SetStockIcon(ResourceIdFromName(lpszIconName));
}

HICON CTrayNotifyIcon::GetIcon() const { return m_bCreated ? m_nid.hIcon : nullptr; }

BOOL CTrayNotifyIcon::SetOwner(CWnd* pNotifyWnd)
{
    if (!m_bCreated)
        return FALSE;
    m_pOwner = pNotifyWnd;
    m_nid.hWnd = pNotifyWnd ? pNotifyWnd->GetSafeHwnd() : nullptr;
    m_nid.uFlags = 0;
    return Shell_NotifyIcon(NIM_MODIFY, &m_nid);
}

CWnd* CTrayNotifyIcon::GetOwner() const { return m_pOwner; }

LRESULT CTrayNotifyIcon::OnNotification(WPARAM wParam, LPARAM lParam)
{
    if (wParam != m_nid.uID)
        return 0;
    if (lParam == NIN_AREAAPPEARED) {
        AddAgain();
        return 1;
    }

    // Loaded afresh for every callback and released before returning.
    CMenu menu;
    if (!menu.LoadMenu(m_nid.uID))
        return 0;
    CMenu* pSubMenu = menu.GetSubMenu(0);
    if (!pSubMenu) {
        menu.DestroyMenu();
        return 0;
    }

    if (lParam == WM_RBUTTONUP) {
        pSubMenu->SetDefaultItem(0, TRUE);
        CPoint pos;
        GetCursorPos(&pos);
        CWnd* pOwner = CWnd::FromHandle(m_nid.hWnd);
        if (pOwner)
            pOwner->SetForegroundWindow();
        pSubMenu->TrackPopupMenu(TPM_LEFTALIGN, pos.x, pos.y, pOwner);
    } else if (lParam == WM_LBUTTONDBLCLK) {
        if (CWnd* pOwner = CWnd::FromHandle(m_nid.hWnd))
            pOwner->SendMessage(WM_COMMAND, pSubMenu->GetMenuItemID(0), 0);
    }

    menu.DestroyMenu();
    return 1;
}
