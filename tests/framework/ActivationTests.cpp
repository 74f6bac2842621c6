// Which window has the keyboard when a modal dialog ends: its owner again,
// while the owner is shown; a hidden owner stays hidden and inactive.
#include "framework/Resources.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

#include <gtest/gtest.h>

namespace {

constexpr UINT IDD_ASK = 9300;

const AFX_DLGITEM kItems[] = {
    {AfxControl::DefPushButton, IDOK, "OK", 10, 10, 40, 14, WS_TABSTOP},
};
const AFX_DLGTEMPLATE kDialogs[] = {{IDD_ASK, "Ask", 0, 0, 120, 60, "MS Sans Serif", 8, FALSE, kItems}};
const AFX_RESOURCES kResources = {kDialogs, {}, {}, {}, {}, {}};

class ActivationTest : public ::testing::Test {
protected:
    void SetUp() override { AfxSetResources(&kResources); }
    void TearDown() override
    {
        m_frame.DestroyWindow();
        AfxPumpMessages();
        AfxSetResources(nullptr);
    }

    // Runs a dialog owned by the frame; true when it was the active window
    // while it was open.
    bool RunDialog()
    {
        CDialog dlg(IDD_ASK, &m_frame);
        bool bActive = false;
        AfxRunOnUiThread([&] {
            bActive = AfxPumpUntil([&] { return CWnd::GetForegroundWindow() == &dlg; }, 10000) != FALSE;
            dlg.EndDialog(IDOK);
        });
        EXPECT_EQ(dlg.DoModal(), IDOK);
        return bActive;
    }

    static bool ActiveBecomes(const CWnd* pWnd)
    {
        return AfxPumpUntil([&] { return CWnd::GetForegroundWindow() == pWnd; }, 10000) != FALSE;
    }

    CFrameWnd m_frame;
};

}  // namespace

TEST_F(ActivationTest, TheShownOwnerIsActiveAgainWhenItsDialogEnds)
{
    ASSERT_TRUE(m_frame.CreateBare("Owner", CRect{50, 60, 450, 360}));
    m_frame.ShowWindow(SW_SHOW);
    m_frame.SetForegroundWindow();
    ASSERT_TRUE(ActiveBecomes(&m_frame));

    EXPECT_TRUE(RunDialog());
    EXPECT_TRUE(ActiveBecomes(&m_frame)) << "the keyboard did not come back to the owner";
    // And again: the second dialog finds its owner as the first left it.
    EXPECT_TRUE(RunDialog());
    EXPECT_TRUE(ActiveBecomes(&m_frame));
}

TEST_F(ActivationTest, AHiddenOwnerStaysHiddenWhenItsDialogEnds)
{
    ASSERT_TRUE(m_frame.CreateBare("Owner", CRect{50, 60, 450, 360}));
    EXPECT_TRUE(RunDialog());
    AfxPumpMessages();
    EXPECT_FALSE(m_frame.IsWindowVisible());
    EXPECT_NE(CWnd::GetForegroundWindow(), &m_frame);
}
