#include "ui/AboutDlg.h"

#include "res/resource.h"

CAboutDlg::CAboutDlg(BOOL& bMailLinkVisited, BOOL& bWebLinkVisited)
    : CDialog(IDD_ABOUTBOX), m_bMailLinkVisited(bMailLinkVisited), m_bWebLinkVisited(bWebLinkVisited)
{
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_IP_ADDRESS, m_strIpAddress);
    DDX_Text(pDX, IDC_TIME_SINCE_LAUNCH, m_strTimeSinceLaunch);
}

BOOL CAboutDlg::OnInitDialog()
{
    m_linkMail.SubclassDlgItem(IDC_MAIL_LINK, this);
    m_linkWeb.SubclassDlgItem(IDC_WEB_LINK, this);
    // Before the links are first drawn, which picks their colour.
    m_linkMail.m_pbVisited = &m_bMailLinkVisited;
    m_linkWeb.m_pbVisited = &m_bWebLinkVisited;
    CDialog::OnInitDialog();
    // The focus goes to OK, the only tab stop.
    return TRUE;
}
