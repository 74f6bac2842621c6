#include "ui/StatisticsDlg.h"

#include "res/resource.h"

CStatisticsDlg::CStatisticsDlg(CWnd* pParent) : CDialog(IDD_STATISTICS, pParent) {}

void CStatisticsDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LAST_PROBLEM_HOST, m_wndLastProblemHost);
    DDX_Control(pDX, IDC_LAST_PROBLEM_CAPTION, m_wndLastProblemCaption);
    DDX_Text(pDX, IDC_STAT_DNS, m_strDnsFailures);
    DDX_Text(pDX, IDC_STAT_HTTP, m_strHttpFailures);
    DDX_Text(pDX, IDC_STAT_SUCCESSES, m_strSuccesses);
    DDX_Text(pDX, IDC_STAT_SOCKET, m_strSocketFailures);
    DDX_Text(pDX, IDC_LAST_PROBLEM_HOST, m_strLastProblemHost);
}

BOOL CStatisticsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // Before any problem there is nothing to say about the last one.
    if (m_strLastProblemHost.empty()) {
        m_wndLastProblemHost.ShowWindow(SW_HIDE);
        m_wndLastProblemCaption.ShowWindow(SW_HIDE);
    }
    return TRUE;
}
