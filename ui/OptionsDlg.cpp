#include "ui/OptionsDlg.h"

#include "res/resource.h"

COptionsDlg::COptionsDlg(CWnd* pParent)
    : CDialog(IDD_OPTIONS, pParent), m_bAutoStart(FALSE), m_bRandomName(FALSE), m_bRandomTime(FALSE), m_bIgnore(FALSE)
{
}

// Cancel, Esc and the close box end the dialog without coming here, so the
// members keep what the view put in.
void COptionsDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Check(pDX, IDC_AUTOSTART, m_bAutoStart);
    DDX_Check(pDX, IDC_RANDOM_NAME, m_bRandomName);
    DDX_Check(pDX, IDC_RANDOM_TIME, m_bRandomTime);
    DDX_Check(pDX, IDC_IGNORE, m_bIgnore);
}
