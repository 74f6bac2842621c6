// The Statistics dialog: a snapshot of the engine's four probe counts and the
// host of the last problem, as texts the view's Statistics command fills in.
// It is not refreshed while open and writes nothing back.
#pragma once

#include "framework/Wnd.h"

class CStatisticsDlg : public CDialog {
public:
    explicit CStatisticsDlg(CWnd* pParent = nullptr);

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    CString m_strSuccesses;
    CString m_strHttpFailures;
    CString m_strDnsFailures;
    CString m_strSocketFailures;
    CString m_strLastProblemHost;
    CStatic m_wndLastProblemHost;
    CStatic m_wndLastProblemCaption;
};
