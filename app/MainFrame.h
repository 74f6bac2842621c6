// The main frame: a small fixed-size window around the form, hidden in the
// notification area until the user restores it.
#pragma once

#include "framework/WinApp.h"
#include "framework/Wnd.h"

class CMainFrame : public CFrameWnd {
    DECLARE_DYNCREATE(CMainFrame)

public:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    void OnClose();
    void OnGetMinMaxInfo(MINMAXINFO* pMMI);

    // The frame's first rectangle for a screen of cxScreen x cyScreen pixels:
    // a quarter of the width, three tenths of the height, centred.
    static CREATESTRUCT CentredGeometry(int cxScreen, int cyScreen);

    DECLARE_MESSAGE_MAP()
};
