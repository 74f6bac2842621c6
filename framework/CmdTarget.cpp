// Message-map lookup and handler calls, command handling of a target's own
// map, and the counted wait cursor.
#include "framework/CmdTarget.h"
#include "framework/Port.h"

const AFX_MSGMAP_ENTRY CCmdTarget::_messageEntries[] = {{0, 0, AfxSig_end, nullptr}};
const AFX_MSGMAP CCmdTarget::messageMap = {nullptr, &CCmdTarget::_messageEntries[0]};

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return &CCmdTarget::messageMap; }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nID) const
{
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr; pMap = pMap->pBaseMap) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->nSig != AfxSig_end; ++pEntry) {
            if (pEntry->nMessage == nMessage && pEntry->nID == nID)
                return pEntry;
        }
    }
    return nullptr;
}

LRESULT CCmdTarget::CallHandler(const AFX_MSGMAP_ENTRY* pEntry, WPARAM wParam, LPARAM lParam)
{
    // nSig names the member of the handler union that the entry set.
    switch (pEntry->nSig) {
    case AfxSig_vv:
        (this->*pEntry->fn.pfn_vv)();
        return 0;
    case AfxSig_vu:
        (this->*pEntry->fn.pfn_vu)(static_cast<UINT>(wParam));
        return 0;
    case AfxSig_lwl:
        return (this->*pEntry->fn.pfn_lwl)(wParam, lParam);
    case AfxSig_vMMI:
        (this->*pEntry->fn.pfn_vMMI)(reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case AfxSig_vwp:
        // Coordinates are signed 16-bit: a captured mouse reports points left of or above the window.
        (this->*pEntry->fn.pfn_vwp)(static_cast<UINT>(wParam), CPoint{static_cast<std::int16_t>(LOWORD(lParam)),
                                                                     static_cast<std::int16_t>(HIWORD(lParam))});
        return 0;
    case AfxSig_hDu:
        return reinterpret_cast<LRESULT>(
            (this->*pEntry->fn.pfn_hDu)(reinterpret_cast<CDC*>(wParam), static_cast<UINT>(lParam)));
    case AfxSig_end:
        break;
    }
    return 0;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID)
{
    const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(WM_COMMAND, nID);
    if (pEntry == nullptr)
        return FALSE;
    CallHandler(pEntry, 0, 0);
    return TRUE;
}

namespace {
int g_nWaitCursorCount = 0;  // user-interface thread only
}

void CCmdTarget::BeginWaitCursor()
{
    if (g_nWaitCursorCount++ == 0)
        AfxPort().ShowWaitCursor(TRUE);
}

void CCmdTarget::EndWaitCursor()
{
    if (g_nWaitCursorCount == 0)
        return;
    if (--g_nWaitCursorCount == 0)
        AfxPort().ShowWaitCursor(FALSE);
}

int CCmdTarget::WaitCursorDepthForTesting() { return g_nWaitCursorCount; }
