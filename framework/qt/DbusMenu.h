// The menu of a StatusNotifierItem as com.canonical.dbusmenu numbers it, and
// its labels. Free of Qt, so that tests can hold it to the protocol.
#pragma once

#include "framework/AfxTypes.h"
#include "framework/Resources.h"

#include <span>
#include <vector>

struct CDbusMenuEntry {
    int nDbusId;  // the item's id in the layout, from 1 in menu order; 0 is the root
    int nParent;  // the id of the popup it is in, 0 at the top
    const AFX_MENUITEM* pItem;
};

// Every item of the menu and of its popups, depth first.
std::vector<CDbusMenuEntry> DbusMenuEntries(std::span<const AFX_MENUITEM> items);
// A menu text as dbusmenu shows it: '_' marks the mnemonic, "__" a '_', and
// "&&" is a plain '&'.
CString DbusMenuLabel(const char* pszText);
