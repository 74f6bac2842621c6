// Subclassing a dialog's control, where the mouse goes (statics without
// SS_NOTIFY let it through, the capture takes everything), the cursor shape,
// and a static's click reflected to the control or passed to its parent.
#include "framework/Resources.h"
#include "framework/Testing.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr UINT IDD_MOUSE = 9200;
constexpr int IDC_LEFT = 21;
constexpr int IDC_RIGHT = 22;
constexpr int IDC_UNDER = 23;  // lies below IDC_COVER
constexpr int IDC_COVER = 24;

const AFX_DLGITEM kItems[] = {
    {AfxControl::DefPushButton, IDOK, "OK", 150, 100, 40, 14, WS_TABSTOP},
    {AfxControl::Static, IDC_LEFT, "left", 10, 10, 60, 20, SS_LEFT},
    {AfxControl::Static, IDC_RIGHT, "right", 100, 10, 60, 20, SS_NOTIFY},
    {AfxControl::Static, IDC_UNDER, "under", 10, 50, 60, 20, SS_NOTIFY},
    {AfxControl::Static, IDC_COVER, "cover", 10, 50, 60, 20, SS_LEFT},
};
const AFX_DLGTEMPLATE kDialogs[] = {{IDD_MOUSE, "Mouse", 0, 0, 200, 130, "MS Sans Serif", 8, FALSE, kItems}};
const char kCursorPixels[] = "0F.0";
const AFX_CURSOR kCursors[] = {{77, 2, kCursorPixels, 0, 0}};
const AFX_RESOURCES kResources = {kDialogs, {}, {}, {}, {}, kCursors};

struct CMove {
    int nCtrlId;
    CPoint pt;
};

// A static that writes down the moves and reflected clicks it hears.
class CListeningStatic : public CStatic {
public:
    void OnMouseMove(UINT /*nFlags*/, CPoint point) { m_pMoves->push_back({GetDlgCtrlID(), point}); }
    void OnClicked() { ++m_nClicks; }

    std::vector<CMove>* m_pMoves = nullptr;
    int m_nClicks = 0;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CListeningStatic, CStatic)
    ON_WM_MOUSEMOVE(&CListeningStatic::OnMouseMove)
    ON_CONTROL_REFLECT(STN_CLICKED, &CListeningStatic::OnClicked)
END_MESSAGE_MAP()

// Hears moves only; its clicks go to the dialog.
class CMovesOnlyStatic : public CStatic {
public:
    void OnMouseMove(UINT /*nFlags*/, CPoint point) { m_pMoves->push_back({GetDlgCtrlID(), point}); }

    std::vector<CMove>* m_pMoves = nullptr;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMovesOnlyStatic, CStatic)
    ON_WM_MOUSEMOVE(&CMovesOnlyStatic::OnMouseMove)
END_MESSAGE_MAP()

class CMouseDlg : public CDialog {
public:
    CMouseDlg() : CDialog(IDD_MOUSE) {}
    BOOL OnInitDialog() override
    {
        m_bLeftAttached = m_left.SubclassDlgItem(IDC_LEFT, this);
        m_right.SubclassDlgItem(IDC_RIGHT, this);
        m_under.SubclassDlgItem(IDC_UNDER, this);
        m_left.m_pMoves = m_right.m_pMoves = m_under.m_pMoves = &m_moves;
        return CDialog::OnInitDialog();
    }
    void OnRightClicked() { ++m_nRightCommands; }
    void OnLeftClicked() { ++m_nLeftCommands; }

    CListeningStatic m_left;
    CMovesOnlyStatic m_right;
    CMovesOnlyStatic m_under;
    std::vector<CMove> m_moves;
    BOOL m_bLeftAttached = FALSE;
    int m_nRightCommands = 0;
    int m_nLeftCommands = 0;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMouseDlg, CDialog)
    ON_COMMAND(IDC_RIGHT, &CMouseDlg::OnRightClicked)
    ON_COMMAND(IDC_LEFT, &CMouseDlg::OnLeftClicked)
END_MESSAGE_MAP()

class MouseTest : public ::testing::Test {
protected:
    void SetUp() override { AfxSetResources(&kResources); }
    void TearDown() override
    {
        ReleaseCapture();
        SetCursor(nullptr);
        AfxSetResources(nullptr);
    }

    // Runs the dialog with fn acting while it is open.
    static void WithDialog(const std::function<void(CMouseDlg&)>& fn)
    {
        CMouseDlg dlg;
        bool bRan = false;
        AfxRunOnUiThread([&] {
            bRan = dlg.IsWindowVisible();
            if (bRan)
                fn(dlg);
            dlg.EndDialog(IDOK);
        });
        dlg.DoModal();
        EXPECT_TRUE(bRan) << "the dialog was not open";
    }

    static void AddNotify(CWnd& wnd)
    {
        SetWindowLong(wnd.GetSafeHwnd(), GWL_STYLE, static_cast<LONG>(wnd.GetStyle() | SS_NOTIFY));
    }
};

}  // namespace

TEST_F(MouseTest, ASubclassingObjectHearsTheControlUntilItGoes)
{
    WithDialog([](CMouseDlg& dlg) {
        EXPECT_TRUE(dlg.m_bLeftAttached);
        EXPECT_EQ(dlg.GetDlgItem(IDC_LEFT), &dlg.m_left);
        EXPECT_EQ(dlg.m_left.GetDlgCtrlID(), IDC_LEFT);
        EXPECT_EQ(dlg.m_left.GetWindowText(), "left");
        // Once attached, or for a control that is not there, it fails.
        EXPECT_FALSE(dlg.m_left.SubclassDlgItem(IDC_RIGHT, &dlg));
        CStatic other;
        EXPECT_FALSE(other.SubclassDlgItem(999, &dlg));
        {
            CListeningStatic temporary;
            ASSERT_TRUE(temporary.SubclassDlgItem(IDC_COVER, &dlg));
            EXPECT_EQ(dlg.GetDlgItem(IDC_COVER), &temporary);
        }
        // The control's own object takes over again, and the window stays.
        CWnd* pCover = dlg.GetDlgItem(IDC_COVER);
        ASSERT_NE(pCover, nullptr);
        EXPECT_EQ(dynamic_cast<CListeningStatic*>(pCover), nullptr);
        EXPECT_EQ(pCover->GetWindowText(), "cover");
    });
}

TEST_F(MouseTest, AStaticWithoutNotifyLetsTheMouseThrough)
{
    WithDialog([](CMouseDlg& dlg) {
        // "cover" lies over "under" and lets the mouse through to it.
        AfxMouseMoveForTesting(&dlg.m_under, CPoint{5, 6});
        AfxMouseMoveForTesting(&dlg.m_left, CPoint{3, 4});
        ASSERT_EQ(dlg.m_moves.size(), 1u);
        EXPECT_EQ(dlg.m_moves[0].nCtrlId, IDC_UNDER);

        // With SS_NOTIFY it takes the mouse, in its own coordinates.
        AddNotify(dlg.m_left);
        EXPECT_NE(GetWindowLong(dlg.m_left.GetSafeHwnd(), GWL_STYLE) & SS_NOTIFY, 0);
        AfxMouseMoveForTesting(&dlg.m_left, CPoint{3, 4});
        ASSERT_EQ(dlg.m_moves.size(), 2u);
        EXPECT_EQ(dlg.m_moves[1].nCtrlId, IDC_LEFT);
        EXPECT_EQ(dlg.m_moves[1].pt.x, 3);
        EXPECT_EQ(dlg.m_moves[1].pt.y, 4);
        // Presses too: the left static reflects its click to itself.
        AfxClickForTesting(&dlg.m_left);
        EXPECT_EQ(dlg.m_left.m_nClicks, 1);
        EXPECT_EQ(dlg.m_nLeftCommands, 0);
    });
}

TEST_F(MouseTest, AClickNotReflectedReachesTheParentAsACommand)
{
    WithDialog([](CMouseDlg& dlg) {
        AfxClickForTesting(&dlg.m_right);
        EXPECT_EQ(dlg.m_nRightCommands, 1);
        // Without SS_NOTIFY the click goes to the dialog's background.
        AfxClickForTesting(&dlg.m_left);
        EXPECT_EQ(dlg.m_left.m_nClicks, 0);
        EXPECT_EQ(dlg.m_nLeftCommands, 0);
    });
}

TEST_F(MouseTest, TheCaptureTakesEveryMoveAndClickUntilReleased)
{
    WithDialog([](CMouseDlg& dlg) {
        AddNotify(dlg.m_left);
        EXPECT_EQ(dlg.m_right.SetCapture(), nullptr);
        EXPECT_EQ(CWnd::GetCapture(), &dlg.m_right);
        // Over the left static, but the right one hears it, left of itself.
        AfxMouseMoveForTesting(&dlg.m_left, CPoint{0, 0});
        ASSERT_EQ(dlg.m_moves.size(), 1u);
        EXPECT_EQ(dlg.m_moves[0].nCtrlId, IDC_RIGHT);
        EXPECT_LT(dlg.m_moves[0].pt.x, 0);
        EXPECT_EQ(dlg.m_moves[0].pt.y, 0);
        // Far outside the dialog too.
        AfxMouseMoveForTesting(&dlg.m_left, CPoint{-3000, 2000});
        ASSERT_EQ(dlg.m_moves.size(), 2u);
        EXPECT_EQ(dlg.m_moves[1].nCtrlId, IDC_RIGHT);
        AfxClickForTesting(&dlg.m_left);
        EXPECT_EQ(dlg.m_left.m_nClicks, 0);
        EXPECT_EQ(dlg.m_nRightCommands, 1);

        EXPECT_EQ(dlg.m_left.SetCapture(), &dlg.m_right);
        ReleaseCapture();
        EXPECT_EQ(CWnd::GetCapture(), nullptr);
        AfxMouseMoveForTesting(&dlg.m_left, CPoint{0, 0});
        ASSERT_EQ(dlg.m_moves.size(), 3u);
        EXPECT_EQ(dlg.m_moves[2].nCtrlId, IDC_LEFT);
        // A window that goes lets go of the capture.
        dlg.m_right.SetCapture();
    });
    EXPECT_EQ(CWnd::GetCapture(), nullptr);
}

TEST_F(MouseTest, TheCursorStaysWhileCapturedAndTheWindowsOwnComesBackOnAFreeMove)
{
    const HCURSOR hArrow = AfxLoadStockCursor(IDC_ARROW);
    const HCURSOR hCustom = AfxLoadCursor(77);
    ASSERT_NE(hCustom, nullptr);
    EXPECT_EQ(AfxLoadCursor(78), nullptr);
    EXPECT_EQ(GetCursor(), hArrow);
    WithDialog([&](CMouseDlg& dlg) {
        dlg.m_right.SetCapture();
        EXPECT_EQ(SetCursor(hCustom), hArrow);
        AfxMouseMoveForTesting(&dlg.m_right, CPoint{1, 1});
        AfxMouseMoveForTesting(&dlg.m_left, CPoint{1, 1});
        EXPECT_EQ(GetCursor(), hCustom);
        ReleaseCapture();
        EXPECT_EQ(GetCursor(), hCustom);
        AfxMouseMoveForTesting(&dlg.m_right, CPoint{1, 1});
        EXPECT_EQ(GetCursor(), hArrow);
    });
}
