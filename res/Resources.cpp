// Menus, accelerators and strings of the program, and the one table that hands
// all resources to the framework.
#include "framework/Resources.h"
#include "res/ResourceTables.h"
#include "res/resource.h"

namespace {

constexpr AFX_MENUITEM kProdletPopup[] = {
    {MF_STRING, "&Edit Names...", ID_EDIT_NAMES, {}},
    {MF_STRING, "&Options...", ID_OPTIONS, {}},
    {MF_STRING, "Statistics...", ID_STATISTICS, {}},
};

constexpr AFX_MENUITEM kHelpPopup[] = {
    {MF_STRING, "&Help Topics", ID_HELP_FINDER, {}},
    {MF_SEPARATOR, "", 0, {}},
    {MF_STRING, "&About Prodlet...", ID_APP_ABOUT, {}},
};

constexpr AFX_MENUITEM kFrameMenu[] = {
    {MF_POPUP, "&Prodlet", 0, kProdletPopup},
    {MF_POPUP, "&Help", 0, kHelpPopup},
};

// The first item is the tray's default command (a double-click restores).
constexpr AFX_MENUITEM kTrayPopup[] = {
    {MF_STRING, "&Restore", ID_RESTORE, {}},
    {MF_SEPARATOR, "", 0, {}},
    {MF_STRING, "&About Prodlet...", ID_APP_ABOUT, {}},
    {MF_SEPARATOR, "", 0, {}},
    {MF_STRING, "E&xit", ID_EXIT, {}},
};

// The title of the tray popup is never shown.
constexpr AFX_MENUITEM kTrayMenu[] = {
    {MF_POPUP, "_POPUP_", 0, kTrayPopup},
};

constexpr AFX_MENU kMenus[] = {
    {IDR_MAINFRAME, kFrameMenu},
    {IDR_TRAY_MENU, kTrayMenu},
};

// Undo and the pane keys have no handler in the program; they stay so the
// keyboard behaves as it always did.
constexpr AFX_ACCEL kFrameAccels[] = {
    {FCONTROL, 'N', ID_FILE_NEW},
    {FCONTROL, 'O', ID_FILE_OPEN},
    {FCONTROL, 'S', ID_FILE_SAVE},
    {FCONTROL, 'Z', ID_EDIT_UNDO},
    {FALT, VK_BACK, ID_EDIT_UNDO},
    {0, VK_F6, ID_NEXT_PANE},
    {FSHIFT, VK_F6, ID_PREV_PANE},
};

constexpr AFX_ACCELTABLE kAccelerators[] = {
    {IDR_MAINFRAME, kFrameAccels},
};

// Document string fields: title, document name, new-document name, filter
// name, filter extension, file type id, file type name.
constexpr AFX_STRING kStrings[] = {
    {IDR_MAINFRAME, "Prodlet\n\nProdlet\n\n\nProdlet.Document\nProdlet Document"},
    {AFX_IDS_APP_TITLE, "Prodlet"},
    {AFX_IDP_FAILED_TO_LAUNCH_HELP, "Prodlet could not open its manual.\n\nThe manual is the file\n%1"},
};

}  // namespace

const AFX_RESOURCES& ProdletResources()
{
    static const AFX_RESOURCES resources{ProdletDialogs(), kMenus, kAccelerators, kStrings, ProdletIcons(),
                                           ProdletCursors()};
    return resources;
}
