// Menus over the menu resource tables. A CMenu never copies the table: it
// views the items in place, and its sub menus view their popups the same way.
#include "framework/Shell.h"
#include "framework/ShellPrivate.h"
#include "framework/Wnd.h"

namespace {

AfxTrackPopupHook& TrackPopupHook()
{
    static AfxTrackPopupHook hook;
    return hook;
}

}  // namespace

void AfxSetTrackPopupHook(AfxTrackPopupHook hook) { TrackPopupHook() = std::move(hook); }

CMenu::~CMenu() { DestroyMenu(); }

BOOL CMenu::LoadMenu(UINT nIDResource)
{
    DestroyMenu();
    const AFX_MENU* pMenu = AfxFindMenu(nIDResource);
    if (!pMenu)
        return FALSE;
    AttachItems(pMenu->items);
    return TRUE;
}

// Sub menus are made once, so the pointers GetSubMenu hands out stay valid
// until the menu is destroyed, as with the platform's menu handles.
void CMenu::AttachItems(std::span<const AFX_MENUITEM> items)
{
    m_pItems = items.data();
    m_nItems = static_cast<int>(items.size());
    m_bLoaded = TRUE;
    m_pSubMenus = std::make_unique<CMenu[]>(items.size());
    for (int i = 0; i < m_nItems; ++i) {
        if ((m_pItems[i].flags & MF_POPUP) != 0)
            m_pSubMenus[i].AttachItems(m_pItems[i].popup);
    }
}

BOOL CMenu::DestroyMenu()
{
    if (!m_bLoaded)
        return FALSE;
    m_pSubMenus.reset();
    m_pItems = nullptr;
    m_nItems = 0;
    m_nDefaultPos = -1;
    m_bLoaded = FALSE;
    return TRUE;
}

int CMenu::GetMenuItemCount() const { return m_bLoaded ? m_nItems : -1; }

CMenu* CMenu::GetSubMenu(int nPos)
{
    if (nPos < 0 || nPos >= m_nItems || (m_pItems[nPos].flags & MF_POPUP) == 0)
        return nullptr;
    return &m_pSubMenus[nPos];
}

UINT CMenu::GetMenuItemID(int nPos) const
{
    if (nPos < 0 || nPos >= m_nItems)
        return static_cast<UINT>(-1);
    const AFX_MENUITEM& item = m_pItems[nPos];
    if ((item.flags & MF_POPUP) != 0)
        return static_cast<UINT>(-1);
    if ((item.flags & MF_SEPARATOR) != 0)
        return 0;
    return item.id;
}

BOOL CMenu::SetDefaultItem(UINT uItem, BOOL fByPos)
{
    if (!m_bLoaded)
        return FALSE;
    // (UINT)-1 takes the default away, by position or by command alike.
    if (uItem == static_cast<UINT>(-1)) {
        m_nDefaultPos = -1;
        return TRUE;
    }
    if (fByPos) {
        if (uItem >= static_cast<UINT>(m_nItems))
            return FALSE;
        m_nDefaultPos = static_cast<int>(uItem);
        return TRUE;
    }
    for (int i = 0; i < m_nItems; ++i) {
        const AFX_MENUITEM& item = m_pItems[i];
        if ((item.flags & (MF_POPUP | MF_SEPARATOR)) == 0 && item.id == uItem) {
            m_nDefaultPos = i;
            return TRUE;
        }
    }
    return FALSE;
}

CString CMenu::GetMenuText(int nPos) const
{
    if (nPos < 0 || nPos >= m_nItems || !m_pItems[nPos].text)
        return CString();
    return CString(m_pItems[nPos].text);
}

BOOL CMenu::TrackPopupMenu(UINT /*nFlags*/, int x, int y, CWnd* pOwner)
{
    if (!m_bLoaded || m_nItems == 0)
        return FALSE;
    UINT nChosen = 0;
    if (TrackPopupHook())
        nChosen = TrackPopupHook()(*this, x, y, pOwner);
    else
        nChosen = AfxShowPopupMenu(std::span<const AFX_MENUITEM>(m_pItems, static_cast<std::size_t>(m_nItems)),
                                   m_nDefaultPos, x, y, pOwner);
    // Posted, not sent: the owner acts on the command after the menu has
    // closed and its own caller has returned.
    if (nChosen != 0 && pOwner)
        pOwner->PostMessage(WM_COMMAND, nChosen, 0);
    return TRUE;
}
