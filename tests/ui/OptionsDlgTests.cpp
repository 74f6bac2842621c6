// The Options dialog: each check box shows its own member on opening and is
// read back into it on OK; every other ending reads nothing.
#include "res/resource.h"
#include "tests/ui/DialogFixture.h"
#include "ui/OptionsDlg.h"

using OptionsDlg = DialogTest;

namespace {

const int kBoxes[4] = {IDC_AUTOSTART, IDC_RANDOM_NAME, IDC_RANDOM_TIME, IDC_IGNORE};

BOOL* Members(COptionsDlg& dlg, int i)
{
    BOOL* apMembers[4] = {&dlg.m_bAutoStart, &dlg.m_bRandomName, &dlg.m_bRandomTime, &dlg.m_bIgnore};
    return apMembers[i];
}

int Check(COptionsDlg& dlg, int nID)
{
    auto* pBox = dynamic_cast<CButton*>(dlg.GetDlgItem(nID));
    return pBox ? pBox->GetCheck() : -1;
}

}  // namespace

TEST_F(OptionsDlg, EachBoxShowsItsOwnMemberAndIsReadBackIntoIt)
{
    for (int i = 0; i < 4; ++i) {
        COptionsDlg dlg;
        *Members(dlg, i) = TRUE;
        const int nNext = (i + 1) % 4;
        std::vector<int> shown;
        CModalDriver user(dlg, [&] {
            for (int nID : kBoxes)
                shown.push_back(Check(dlg, nID));
            // Turn this one off and the next one on.
            AfxClickForTesting(dlg.GetDlgItem(kBoxes[i]));
            AfxClickForTesting(dlg.GetDlgItem(kBoxes[nNext]));
            AfxClickForTesting(dlg.GetDlgItem(IDOK));
        });
        EXPECT_EQ(dlg.DoModal(), IDOK) << i;
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(shown.at(j), j == i ? 1 : 0) << "opened with member " << i << ", box " << kBoxes[j];
            EXPECT_EQ(*Members(dlg, j), j == nNext ? TRUE : FALSE) << "member " << j << " after OK";
        }
    }
}

