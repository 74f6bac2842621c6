// The notification area: the record of each icon, its callbacks and its
// context menu; popup menus and the cursor position.
#include "framework/Shell.h"
#include "framework/ShellPrivate.h"
#include "framework/WndPrivate.h"

#include <cstring>
#include <map>
#include <utility>

namespace {

struct CTrayEntry {
    AFX_TOKEN token = 0;
    AFX_PORTTRAY tray = nullptr;
    UINT nCallbackMessage = 0;
    CString strTip;  // what the desktop was last given
    int nTipUpdates = 0;
    BOOL bNullIcon = TRUE;
    std::span<const AFX_MENUITEM> contextMenu;  // shown by the desktop itself; empty when it does not
};

using TrayKey = std::pair<HWND, UINT>;

struct CTrayState {
    std::map<TrayKey, CTrayEntry> icons;
    // Icons whose add failed for want of an area, with their callback
    // message: offered again when one appears.
    std::map<TrayKey, UINT> wanted;
    AFX_TOKEN nNextToken = 1;
    AfxNotifyIconHook hook;
    int nAvailableOverride = -1;
    int nMenuHostOverride = -1;
};

CTrayState& Tray()
{
    static auto* s_pTray = new CTrayState;
    return *s_pTray;
}

CTrayEntry* FindEntry(HWND hWnd, UINT uID)
{
    auto it = Tray().icons.find({hWnd, uID});
    return it == Tray().icons.end() ? nullptr : &it->second;
}

const TrayKey* FindKey(AFX_TOKEN token)
{
    for (const auto& [key, entry] : Tray().icons) {
        if (entry.token == token)
            return &key;
    }
    return nullptr;
}

BOOL TrayAvailable()
{
    if (Tray().nAvailableOverride >= 0)
        return Tray().nAvailableOverride ? TRUE : FALSE;
    // Answered at once, as the original platform did: no waiting for a tray
    // that may appear later.
    return AfxPort().TrayAvailable();
}

BOOL DesktopShowsTrayMenu()
{
    if (Tray().nMenuHostOverride >= 0)
        return Tray().nMenuHostOverride ? TRUE : FALSE;
    return AfxPort().DesktopShowsTrayMenu();
}

CString TipText(const NOTIFYICONDATA& nid)
{
    // szTip may lack its NUL when a caller filled it to the brim.
    return CString(nid.szTip, strnlen(nid.szTip, sizeof(nid.szTip)));
}

void ApplyRecord(CTrayEntry& entry, const NOTIFYICONDATA& nid)
{
    if ((nid.uFlags & NIF_MESSAGE) != 0)
        entry.nCallbackMessage = nid.uCallbackMessage;
    if ((nid.uFlags & NIF_ICON) != 0) {
        entry.bNullIcon = nid.hIcon ? FALSE : TRUE;
        AfxPort().TraySetIcon(entry.tray, nid.hIcon);
    }
    if ((nid.uFlags & NIF_TIP) != 0) {
        // Some hosts choke on a flood of identical updates, and the program
        // sets the same countdown text every second while it is stopped.
        CString strTip = TipText(nid);
        if (strTip != entry.strTip) {
            AfxPort().TraySetTip(entry.tray, strTip);
            entry.strTip = std::move(strTip);
            ++entry.nTipUpdates;
        }
    }
}

// The popup of menu resource uID: the icon's menu where the desktop shows it.
std::span<const AFX_MENUITEM> ContextMenuOf(UINT uID)
{
    const AFX_MENU* pResource = AfxFindMenu(uID);
    if (!pResource || pResource->items.empty() || (pResource->items[0].flags & MF_POPUP) == 0)
        return {};
    return pResource->items[0].popup;
}

BOOL AddIcon(const NOTIFYICONDATA& nid)
{
    // Only a window that lives can own an icon; its end takes the icon along.
    if (!AfxHasPort() || CWnd::FromHandle(nid.hWnd) == nullptr || FindEntry(nid.hWnd, nid.uID))
        return FALSE;
    if (!TrayAvailable()) {
        Tray().wanted[{nid.hWnd, nid.uID}] = nid.uCallbackMessage;
        return FALSE;
    }
    CTrayEntry entry;
    entry.token = Tray().nNextToken++;
    if (DesktopShowsTrayMenu())
        entry.contextMenu = ContextMenuOf(nid.uID);
    // The first item is the default, bold as in the owner's own popup.
    entry.tray = AfxPort().TrayAdd(entry.token, entry.contextMenu, entry.contextMenu.empty() ? -1 : 0);
    if (entry.tray == nullptr) {
        Tray().wanted[{nid.hWnd, nid.uID}] = nid.uCallbackMessage;
        return FALSE;
    }
    Tray().wanted.erase({nid.hWnd, nid.uID});
    CTrayEntry& added = Tray().icons[{nid.hWnd, nid.uID}] = std::move(entry);
    ApplyRecord(added, nid);
    return TRUE;
}

BOOL DeleteIcon(HWND hWnd, UINT uID)
{
    Tray().wanted.erase({hWnd, uID});
    auto it = Tray().icons.find({hWnd, uID});
    if (it == Tray().icons.end())
        return FALSE;
    AfxPort().TrayDelete(it->second.tray);
    Tray().icons.erase(it);
    return TRUE;
}

}  // namespace

void AfxSetNotifyIconHook(AfxNotifyIconHook hook) { Tray().hook = std::move(hook); }

BOOL Shell_NotifyIcon(DWORD dwMessage, NOTIFYICONDATA* pnid)
{
    if (!pnid)
        return FALSE;
    if (Tray().hook)
        return Tray().hook(dwMessage, *pnid);
    switch (dwMessage) {
    case NIM_ADD:
        return AddIcon(*pnid);
    case NIM_MODIFY:
        if (CTrayEntry* pEntry = FindEntry(pnid->hWnd, pnid->uID)) {
            ApplyRecord(*pEntry, *pnid);
            return TRUE;
        }
        return FALSE;
    case NIM_DELETE:
        return DeleteIcon(pnid->hWnd, pnid->uID);
    default:
        return FALSE;
    }
}

void AfxTrayWindowDestroyed(HWND hWnd)
{
    std::erase_if(Tray().wanted, [hWnd](const auto& wanted) { return wanted.first.first == hWnd; });
    auto& icons = Tray().icons;
    for (auto it = icons.begin(); it != icons.end();) {
        if (it->first.first == hWnd) {
            AfxPort().TrayDelete(it->second.tray);
            it = icons.erase(it);
        } else {
            ++it;
        }
    }
}

UINT AfxTrayActionMessage(AfxTrayAction action)
{
    switch (action) {
    case AfxTrayAction::Context:
        return WM_RBUTTONUP;
    case AfxTrayAction::DoubleClick:
        return WM_LBUTTONDBLCLK;
    case AfxTrayAction::Trigger:
        return WM_LBUTTONUP;
    case AfxTrayAction::MiddleClick:
        return WM_MBUTTONUP;
    }
    return 0;
}

BOOL AfxTrayDeliverAction(HWND hWnd, UINT uID, AfxTrayAction action)
{
    CTrayEntry* pEntry = FindEntry(hWnd, uID);
    if (!pEntry || !hWnd || pEntry->nCallbackMessage == 0)
        return FALSE;
    // The desktop has shown the icon's own menu: a second one from the owner
    // would stack on top of it.
    if (action == AfxTrayAction::Context && !pEntry->contextMenu.empty())
        return FALSE;
    // Hosts that show the menu themselves (StatusNotifierItem) know no
    // double-click: their click ("Activate") is the icon's default action.
    if (action == AfxTrayAction::Trigger && !pEntry->contextMenu.empty())
        action = AfxTrayAction::DoubleClick;
    return AfxPostMessage(hWnd, pEntry->nCallbackMessage, uID, static_cast<LPARAM>(AfxTrayActionMessage(action)));
}

void AfxPortTrayAction(AFX_TOKEN token, AfxTrayAction action)
{
    if (const TrayKey* pKey = FindKey(token))
        AfxTrayDeliverAction(pKey->first, pKey->second, action);
}

void AfxPortTrayCommand(AFX_TOKEN token, UINT nID)
{
    if (const TrayKey* pKey = FindKey(token))
        AfxPostMessage(pKey->first, WM_COMMAND, nID, 0);
}

void AfxPortTrayAreaAppeared()
{
    // Posted: the owner adds its icon from its own record, after whatever
    // the port is doing now.
    for (const auto& [key, nCallbackMessage] : Tray().wanted) {
        if (nCallbackMessage != 0 && CWnd::FromHandle(key.first) != nullptr)
            AfxPostMessage(key.first, nCallbackMessage, key.second, static_cast<LPARAM>(NIN_AREAAPPEARED));
    }
}

UINT AfxShowPopupMenu(std::span<const AFX_MENUITEM> items, int nDefaultPos, int x, int y, CWnd* /*pOwner*/)
{
    CDispatchScope scope;  // the menu runs a loop of its own
    return AfxPort().TrackPopupMenu(items, nDefaultPos, CPoint{x, y});
}

BOOL GetCursorPos(CPoint* pPoint)
{
    if (!pPoint)
        return FALSE;
    *pPoint = AfxPort().CursorPos();
    return TRUE;
}

void AfxSetTrayAvailableOverride(int nAvailable) { Tray().nAvailableOverride = nAvailable; }

void AfxSetTrayMenuHostOverride(int nMenuHost) { Tray().nMenuHostOverride = nMenuHost; }

int AfxTrayTooltipUpdates(HWND hWnd, UINT uID)
{
    const CTrayEntry* pEntry = FindEntry(hWnd, uID);
    return pEntry ? pEntry->nTipUpdates : 0;
}

CString AfxTrayTooltip(HWND hWnd, UINT uID)
{
    const CTrayEntry* pEntry = FindEntry(hWnd, uID);
    return pEntry ? pEntry->strTip : CString();
}

UINT AfxTrayCallbackMessage(HWND hWnd, UINT uID)
{
    const CTrayEntry* pEntry = FindEntry(hWnd, uID);
    return pEntry ? pEntry->nCallbackMessage : 0;
}

BOOL AfxTrayIconIsNull(HWND hWnd, UINT uID)
{
    const CTrayEntry* pEntry = FindEntry(hWnd, uID);
    return pEntry ? pEntry->bNullIcon : FALSE;
}

std::vector<UINT> AfxTrayContextMenuIds(HWND hWnd, UINT uID)
{
    std::vector<UINT> ids;
    const CTrayEntry* pEntry = FindEntry(hWnd, uID);
    if (!pEntry)
        return ids;
    for (const AFX_MENUITEM& item : pEntry->contextMenu)
        ids.push_back((item.flags & MF_SEPARATOR) != 0 ? 0 : item.id);
    return ids;
}

BOOL AfxTrayChooseContextMenuItem(HWND hWnd, UINT uID, int nPos)
{
    const CTrayEntry* pEntry = FindEntry(hWnd, uID);
    if (!pEntry || nPos < 0 || nPos >= static_cast<int>(pEntry->contextMenu.size()))
        return FALSE;
    const AFX_MENUITEM& item = pEntry->contextMenu[static_cast<std::size_t>(nPos)];
    if ((item.flags & (MF_SEPARATOR | MF_POPUP)) != 0)
        return FALSE;
    AfxPortTrayCommand(pEntry->token, item.id);
    return TRUE;
}
