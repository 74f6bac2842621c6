// The Statistics dialog: the four counts in their rows, and the last-problem
// caption and host shown only when there was a problem.
#include "res/resource.h"
#include "tests/ui/DialogFixture.h"
#include "ui/StatisticsDlg.h"

using StatisticsDlg = DialogTest;

namespace {

struct Seen {
    std::string strSuccesses, strHttp, strDns, strSocket, strHost;
    bool bCaptionShown = false;
    bool bHostShown = false;
    bool bCountsShown = false;
};

std::string Text(CStatisticsDlg& dlg, int nID)
{
    CWnd* pItem = dlg.GetDlgItem(nID);
    return pItem ? pItem->GetWindowText() : "<no control>";
}

bool Shown(CStatisticsDlg& dlg, int nID)
{
    CWnd* pItem = dlg.GetDlgItem(nID);
    return pItem && pItem->IsWindowVisible();
}

Seen Look(CStatisticsDlg& dlg)
{
    Seen seen;
    seen.strSuccesses = Text(dlg, IDC_STAT_SUCCESSES);
    seen.strHttp = Text(dlg, IDC_STAT_HTTP);
    seen.strDns = Text(dlg, IDC_STAT_DNS);
    seen.strSocket = Text(dlg, IDC_STAT_SOCKET);
    seen.strHost = Text(dlg, IDC_LAST_PROBLEM_HOST);
    seen.bCaptionShown = Shown(dlg, IDC_LAST_PROBLEM_CAPTION);
    seen.bHostShown = Shown(dlg, IDC_LAST_PROBLEM_HOST);
    seen.bCountsShown = Shown(dlg, IDC_STAT_SOCKET);
    return seen;
}

}  // namespace

TEST_F(StatisticsDlg, TheProblemLineIsShownOnlyWithAHost)
{
    for (const char* pszHost : {"192.0.2.44", ""}) {
        CStatisticsDlg dlg;
        dlg.m_strSuccesses = "1234";
        dlg.m_strHttpFailures = "2";
        dlg.m_strDnsFailures = "3";
        dlg.m_strSocketFailures = "4";
        dlg.m_strLastProblemHost = pszHost;
        Seen seen;
        CModalDriver user(dlg, [&] {
            seen = Look(dlg);
            AfxClickForTesting(dlg.GetDlgItem(IDOK));
        });
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(seen.strSuccesses, "1234");
        EXPECT_EQ(seen.strHttp, "2");
        EXPECT_EQ(seen.strDns, "3");
        EXPECT_EQ(seen.strSocket, "4");
        EXPECT_TRUE(seen.bCountsShown);
        EXPECT_EQ(seen.strHost, pszHost);
        EXPECT_EQ(seen.bCaptionShown, *pszHost != 0) << pszHost;
        EXPECT_EQ(seen.bHostShown, *pszHost != 0) << pszHost;
    }
}
