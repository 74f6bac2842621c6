// The Options dialog: four check boxes for the engine's option flags. The
// view's Options command fills the members before the dialog opens and reads
// them after OK; the dialog itself stores nothing.
#pragma once

#include "framework/Wnd.h"

class COptionsDlg : public CDialog {
public:
    explicit COptionsDlg(CWnd* pParent = nullptr);

    void DoDataExchange(CDataExchange* pDX) override;

    BOOL m_bAutoStart;
    BOOL m_bRandomName;
    BOOL m_bRandomTime;
    BOOL m_bIgnore;
};
