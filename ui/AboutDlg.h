// The About box: version, a few lines about the program, the maker's e-mail
// and web links, the machine's address as the engine last found it, and how
// long the program has been running. The application's About command fills
// in the two texts; whether each link was followed lives in the application
// object (passed in here, since this folder cannot see it), so it lasts for
// the whole run.
#pragma once

#include "framework/Wnd.h"
#include "ui/StaticLink.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg(BOOL& bMailLinkVisited, BOOL& bWebLinkVisited);

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    CStaticLink m_linkMail;
    CStaticLink m_linkWeb;
    CString m_strIpAddress;
    CString m_strTimeSinceLaunch;

private:
    BOOL& m_bMailLinkVisited;
    BOOL& m_bWebLinkVisited;
};
