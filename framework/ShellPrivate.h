// Internals shared by the framework's menu and notification-area code and by
// its tests. Free of Qt, like every header outside framework/qt/.
#pragma once

#include "framework/Port.h"
#include "framework/Resources.h"
#include "framework/Shell.h"

#include <span>
#include <vector>

// Shows items as a popup menu at (x, y), the item at nDefaultPos in bold, and
// returns when it closes: the id of the chosen item, or 0.
UINT AfxShowPopupMenu(std::span<const AFX_MENUITEM> items, int nDefaultPos, int x, int y, CWnd* pOwner);

// The mouse message the owner gets for an action (WM_RBUTTONUP, ...).
UINT AfxTrayActionMessage(AfxTrayAction action);
// Delivers an action over icon (hWnd, uID) as the desktop's report of it
// would: FALSE if there is no such icon or the action is not passed on.
BOOL AfxTrayDeliverAction(HWND hWnd, UINT uID, AfxTrayAction action);

// Test controls. -1 asks the desktop; 0 or 1 overrides its answer.
void AfxSetTrayAvailableOverride(int nAvailable);
void AfxSetTrayMenuHostOverride(int nMenuHost);  // 1: the desktop shows the icon's menu itself

// Test probes of one icon; zero, empty or FALSE when there is no such icon.
int AfxTrayTooltipUpdates(HWND hWnd, UINT uID);  // tooltips sent to the desktop
CString AfxTrayTooltip(HWND hWnd, UINT uID);
UINT AfxTrayCallbackMessage(HWND hWnd, UINT uID);
BOOL AfxTrayIconIsNull(HWND hWnd, UINT uID);
// The command ids of the icon's context menu, 0 for separators; empty when the
// icon carries none.
std::vector<UINT> AfxTrayContextMenuIds(HWND hWnd, UINT uID);
// Chooses the item at nPos of the icon's context menu, as the desktop would.
BOOL AfxTrayChooseContextMenuItem(HWND hWnd, UINT uID, int nPos);
