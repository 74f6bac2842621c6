// The program's resource tables and look-ups by id.
#include "framework/Resources.h"

namespace {

const AFX_RESOURCES* g_pResources = nullptr;

template <typename T>
const T* FindById(std::span<const T> items, UINT nId)
{
    for (const T& item : items) {
        if (item.id == nId)
            return &item;
    }
    return nullptr;
}

}  // namespace

void AfxSetResources(const AFX_RESOURCES* pResources) { g_pResources = pResources; }

const AFX_RESOURCES* AfxGetResources() { return g_pResources; }

const AFX_DLGTEMPLATE* AfxFindDialog(UINT nId)
{
    return g_pResources ? FindById(g_pResources->dialogs, nId) : nullptr;
}

const AFX_MENU* AfxFindMenu(UINT nId) { return g_pResources ? FindById(g_pResources->menus, nId) : nullptr; }

const AFX_ACCELTABLE* AfxFindAccelerators(UINT nId)
{
    return g_pResources ? FindById(g_pResources->accelerators, nId) : nullptr;
}

HICON AfxLoadIcon(UINT nId) { return g_pResources ? FindById(g_pResources->icons, nId) : nullptr; }

HCURSOR AfxLoadCursor(UINT nId) { return g_pResources ? FindById(g_pResources->cursors, nId) : nullptr; }

HCURSOR AfxLoadStockCursor(UINT nId)
{
    static const AFX_CURSOR s_aStock[] = {
        {IDC_ARROW, 0, nullptr, 0, 0},
        {IDC_WAIT, 0, nullptr, 0, 0},
    };
    return FindById(std::span<const AFX_CURSOR>(s_aStock), nId);
}

BOOL AfxLoadString(UINT nId, CString& strOut)
{
    const AFX_STRING* pString = g_pResources ? FindById(g_pResources->strings, nId) : nullptr;
    if (pString == nullptr || pString->text == nullptr) {
        strOut.clear();
        return FALSE;
    }
    strOut = pString->text;
    return TRUE;
}
