// The hyperlink control in a dialog of its own: hover and capture, the pause
// after a click, the target it hands to the desktop, the beep on failure, the
// visited colour, and statics that draw no text.
#include "framework/Resources.h"
#include "framework/Shell.h"
#include "framework/Testing.h"
#include "res/ResourceTables.h"
#include "res/resource.h"
#include "tests/support/DialogUser.h"
#include "ui/StaticLink.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr UINT IDD_LINKS = 9100;
constexpr int IDC_WIDE = 201;       // a centred web address in a wide static
constexpr int IDC_MAIL = 202;       // the maker's address
constexpr int IDC_MAIL_CASE = 203;  // the maker's mailbox in other letter case
constexpr int IDC_OTHER_MAIL = 204;
constexpr int IDC_ICON = 205;
constexpr int IDC_FRAME = 206;
constexpr int IDC_PLAIN = 207;  // a static nobody made a link

const AFX_DLGITEM kItems[] = {
    {AfxControl::DefPushButton, IDOK, "OK", 150, 120, 40, 14, WS_TABSTOP},
    {AfxControl::Static, IDC_WIDE, "https://www.example.com/prodlet", 10, 10, 180, 10, SS_CENTER},
    {AfxControl::Static, IDC_MAIL, PRODLET_MAIL_ADDRESS, 10, 30, 120, 10, SS_LEFT},
    {AfxControl::Static, IDC_MAIL_CASE, "Prodlet@example.com", 10, 45, 120, 10, SS_LEFT},
    {AfxControl::Static, IDC_OTHER_MAIL, "mailto:someone@example.org", 10, 60, 120, 10, SS_LEFT},
    {AfxControl::IconStatic, IDC_ICON, "", 10, 80, 20, 20, SS_CENTER, IDR_MAINFRAME},
    {AfxControl::Static, IDC_FRAME, "", 40, 80, 40, 20, SS_BLACKFRAME},
    {AfxControl::Static, IDC_PLAIN, "plain text", 10, 110, 100, 10, SS_LEFT},
};
const AFX_DLGTEMPLATE kDialogs[] = {
    {IDD_LINKS, "Links", 0, 0, 200, 140, "MS Sans Serif", 8, FALSE, kItems},
};
const std::array<int, 6> kLinkIds = {IDC_WIDE, IDC_MAIL, IDC_MAIL_CASE, IDC_OTHER_MAIL, IDC_ICON, IDC_FRAME};

// Every static but the plain one is a link; each has a flag of its own.
class CLinksDlg : public CDialog {
public:
    CLinksDlg() : CDialog(IDD_LINKS) {}

    BOOL OnInitDialog() override
    {
        for (size_t i = 0; i < kLinkIds.size(); ++i) {
            m_links[i].SubclassDlgItem(kLinkIds[i], this);
            m_links[i].m_pbVisited = &m_visited[i];
        }
        return CDialog::OnInitDialog();
    }

    CStaticLink& Link(int nID)
    {
        for (size_t i = 0; i < kLinkIds.size(); ++i)
            if (kLinkIds[i] == nID)
                return m_links[i];
        throw std::out_of_range("no such link");
    }
    BOOL& Visited(int nID) { return m_visited[&Link(nID) - m_links.data()]; }

    std::array<CStaticLink, kLinkIds.size()> m_links;
    std::array<BOOL, kLinkIds.size()> m_visited{};
};

class StaticLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_resources = {kDialogs, {}, {}, {}, ProdletIcons(), ProdletCursors()};
        AfxSetResources(&m_resources);
        AfxSetShellExecuteHook([this](const CString& strUrl) {
            m_opened.push_back(strUrl);
            return m_bOpenerTakesIt;
        });
        AfxSetMessageBeepHook([this](UINT uType) { m_beeps.push_back(uType); });
    }
    void TearDown() override
    {
        ReleaseCapture();
        SetCursor(AfxLoadStockCursor(IDC_ARROW));
        AfxSetMessageBeepHook(nullptr);
        AfxSetShellExecuteHook(nullptr);
        AfxSetResources(&ProdletResources());
    }

    // Runs the dialog; fn acts while it is open, then OK closes it.
    void WithDialog(const std::function<void(CLinksDlg&)>& fn)
    {
        CLinksDlg dlg;
        CModalDriver user(dlg, [&] {
            fn(dlg);
            AfxClickForTesting(dlg.GetDlgItem(IDOK));
        });
        EXPECT_EQ(dlg.DoModal(), IDOK);
    }

    // What drawing does first: the colour request. Empty for the usual look.
    static std::optional<AFX_STATICLOOK> Draw(CWnd& wnd)
    {
        AFX_STATICLOOK look;
        if (!AfxStaticLookForTesting(&wnd, look))
            return std::nullopt;
        return look;
    }
    static COLORREF TextColour(CWnd& wnd)
    {
        const std::optional<AFX_STATICLOOK> look = Draw(wnd);
        EXPECT_TRUE(look.has_value() && look->bTextColor);
        return look ? look->crText : 0xFFFFFFFF;
    }

    static HCURSOR Hand() { return AfxLoadCursor(IDC_HAND_CURSOR); }
    static HCURSOR Arrow() { return AfxLoadStockCursor(IDC_ARROW); }
    static CPoint Inside(CWnd& wnd)
    {
        CRect rect;
        wnd.GetClientRect(&rect);
        return CPoint{rect.right / 2, rect.bottom / 2};
    }
    static CPoint Outside(CWnd& wnd)
    {
        CRect rect;
        wnd.GetClientRect(&rect);
        return CPoint{rect.right / 2, rect.bottom + 12};
    }

    AFX_RESOURCES m_resources{};
    std::vector<CString> m_opened;
    std::vector<UINT> m_beeps;
    BOOL m_bOpenerTakesIt = TRUE;
};

}  // namespace

// ---- hover

TEST_F(StaticLinkTest, HoverShowsTheHandAtOnceAndLeavingShowsTheArrowAtOnce)
{
    WithDialog([&](CLinksDlg& dlg) {
        CStaticLink& link = dlg.Link(IDC_WIDE);
        Draw(link);
        EXPECT_NE(link.GetStyle() & SS_NOTIFY, 0u);
        // The text is centred in a wide static: its blank left end is hot too.
        AfxMouseMoveForTesting(&link, CPoint{1, 2});
        EXPECT_EQ(GetCursor(), Hand());
        EXPECT_EQ(CWnd::GetCapture(), &link);
        EXPECT_TRUE(link.m_bCaptured);

        // Moves inside keep it; the first move outside, however far, ends it.
        AfxMouseMoveForTesting(&link, Inside(link));
        EXPECT_EQ(GetCursor(), Hand());
        AfxMouseMoveForTesting(&link, CPoint{-400, -300});
        EXPECT_EQ(GetCursor(), Arrow());
        EXPECT_EQ(CWnd::GetCapture(), nullptr);
        EXPECT_FALSE(link.m_bCaptured);

        // And back over it, the hand comes back.
        AfxMouseMoveForTesting(&link, Inside(link));
        EXPECT_EQ(GetCursor(), Hand());
        AfxMouseMoveForTesting(&link, Outside(link));
        EXPECT_EQ(GetCursor(), Arrow());
    });
    EXPECT_TRUE(m_opened.empty());
}

TEST_F(StaticLinkTest, NoCaptureDuringThePauseAfterAClickAndTheHandBackAfterIt)
{
    m_bOpenerTakesIt = FALSE;  // a failed click leaves the hand standing
    WithDialog([&](CLinksDlg& dlg) {
        CStaticLink& link = dlg.Link(IDC_WIDE);
        Draw(link);
        AfxMouseMoveForTesting(&link, Inside(link));
        AfxClickForTesting(&link);
        EXPECT_EQ(m_opened.size(), 1u);
        EXPECT_EQ(CWnd::GetCapture(), nullptr);
        EXPECT_FALSE(link.m_bCaptured);
        EXPECT_TRUE(link.m_bClickPause);
        EXPECT_TRUE(link.HasTimer(IDT_CLICK_PAUSE));
        EXPECT_EQ(GetCursor(), Hand());

        // During the pause moves over the link leave the arrow and no capture.
        AfxMouseMoveForTesting(&link, Inside(link));
        EXPECT_EQ(GetCursor(), Arrow());
        EXPECT_EQ(CWnd::GetCapture(), nullptr);
        AfxMouseMoveForTesting(&link, CPoint{2, 2});
        EXPECT_EQ(GetCursor(), Arrow());

        // The control's own timer ends the pause, and stops itself.
        EXPECT_TRUE(AfxPumpUntil([&] { return !link.m_bClickPause; }, 10000));
        EXPECT_FALSE(link.HasTimer(IDT_CLICK_PAUSE));
        AfxMouseMoveForTesting(&link, Inside(link));
        EXPECT_EQ(GetCursor(), Hand());
        EXPECT_EQ(CWnd::GetCapture(), &link);
    });
}

TEST_F(StaticLinkTest, AClickDuringThePauseIsHandledAndRestartsIt)
{
    WithDialog([&](CLinksDlg& dlg) {
        CStaticLink& link = dlg.Link(IDC_WIDE);
        Draw(link);
        AfxMouseMoveForTesting(&link, Inside(link));
        AfxClickForTesting(&link);
        // Other timer ids are the static's own business.
        link.SendMessage(WM_TIMER, IDT_CLICK_PAUSE + 1);
        EXPECT_TRUE(link.m_bClickPause);
        // The statics take presses once they have SS_NOTIFY, capture or not.
        AfxClickForTesting(&link);
        EXPECT_EQ(m_opened.size(), 2u);
        EXPECT_TRUE(link.HasTimer(IDT_CLICK_PAUSE));
        link.SendMessage(WM_TIMER, IDT_CLICK_PAUSE);
        EXPECT_FALSE(link.m_bClickPause);
        EXPECT_FALSE(link.HasTimer(IDT_CLICK_PAUSE));
    });
}

// ---- the target

TEST_F(StaticLinkTest, MailTargetIsBuiltOnceWithMailtoAndOtherAddressesGoUnchanged)
{
    WithDialog([&](CLinksDlg& dlg) {
        for (int nID : {IDC_WIDE, IDC_MAIL, IDC_MAIL_CASE, IDC_OTHER_MAIL})
            Draw(dlg.Link(nID));
        AfxClickForTesting(&dlg.Link(IDC_MAIL));
        // The target was made at the first click: a new text changes nothing.
        dlg.Link(IDC_MAIL).SetWindowText("elsewhere@example.net");
        AfxClickForTesting(&dlg.Link(IDC_MAIL));
        AfxClickForTesting(&dlg.Link(IDC_WIDE));
        AfxClickForTesting(&dlg.Link(IDC_OTHER_MAIL));
        AfxClickForTesting(&dlg.Link(IDC_MAIL_CASE));
        EXPECT_EQ(dlg.Link(IDC_MAIL).m_strTarget, "mailto:" PRODLET_MAIL_ADDRESS);
        // The mailbox test is case-sensitive: this text is left as it is,
        // which is no address the desktop can open.
        EXPECT_EQ(dlg.Link(IDC_MAIL_CASE).m_strTarget, "Prodlet@example.com");
    });
    EXPECT_EQ(m_opened, (std::vector<CString>{"mailto:" PRODLET_MAIL_ADDRESS, "mailto:" PRODLET_MAIL_ADDRESS,
                                              "https://www.example.com/prodlet", "mailto:someone@example.org"}));
    EXPECT_EQ(m_beeps, (std::vector<UINT>{MB_OK}));
}

// ---- success, failure and colours

TEST_F(StaticLinkTest, FailedHandOffBeepsAndKeepsTheColourALaterSuccessTurnsItVisited)
{
    WithDialog([&](CLinksDlg& dlg) {
        CStaticLink& link = dlg.Link(IDC_WIDE);
        const std::optional<AFX_STATICLOOK> before = Draw(link);
        ASSERT_TRUE(before.has_value());
        EXPECT_TRUE(before->bFont);
        EXPECT_TRUE(before->bTextColor);
        EXPECT_EQ(before->crText, RGB(0, 0, 255));
        EXPECT_TRUE(before->bTransparent);
        EXPECT_EQ(before->font.lfUnderline, 1);

        m_bOpenerTakesIt = FALSE;
        AfxMouseMoveForTesting(&link, Inside(link));
        AfxClickForTesting(&link);
        EXPECT_EQ(m_beeps, (std::vector<UINT>{MB_OK}));
        EXPECT_FALSE(dlg.Visited(IDC_WIDE));
        EXPECT_EQ(TextColour(link), RGB(0, 0, 255));
        EXPECT_EQ(GetCursor(), Hand());

        m_bOpenerTakesIt = TRUE;
        AfxClickForTesting(&link);
        EXPECT_EQ(m_beeps.size(), 1u);
        EXPECT_TRUE(dlg.Visited(IDC_WIDE));
        EXPECT_EQ(GetCursor(), Arrow());
        const std::optional<AFX_STATICLOOK> after = Draw(link);
        ASSERT_TRUE(after.has_value());
        EXPECT_EQ(after->crText, RGB(128, 0, 128));
        EXPECT_EQ(after->font.lfUnderline, 1);
        // Only the followed link changed.
        EXPECT_EQ(TextColour(dlg.Link(IDC_MAIL)), RGB(0, 0, 255));
    });
    EXPECT_EQ(m_opened.size(), 2u);
}

// The underlined font is the control's own with the underline added.
TEST_F(StaticLinkTest, TheLinkFontIsTheControlsFontUnderlined)
{
    WithDialog([&](CLinksDlg& dlg) {
        CStaticLink& link = dlg.Link(IDC_MAIL);
        LOGFONT own{};
        ASSERT_NE(link.GetFont(), nullptr);
        ASSERT_EQ(link.GetFont()->GetLogFont(&own), static_cast<int>(sizeof(LOGFONT)));
        const std::optional<AFX_STATICLOOK> look = Draw(link);
        ASSERT_TRUE(look.has_value() && look->bFont);
        EXPECT_EQ(look->font.lfHeight, own.lfHeight);
        EXPECT_LT(own.lfHeight, 0);
        EXPECT_EQ(look->font.lfWeight, own.lfWeight);
        EXPECT_STREQ(look->font.lfFaceName, own.lfFaceName);
        EXPECT_NE(own.lfFaceName[0], '\0');
        EXPECT_EQ(own.lfUnderline, 0);
        EXPECT_EQ(look->font.lfUnderline, 1);
    });
}

TEST_F(StaticLinkTest, StaticsOfIconOrFrameTypeAreNotRecolouredButTakeTheMouse)
{
    WithDialog([&](CLinksDlg& dlg) {
        for (int nID : {IDC_ICON, IDC_FRAME}) {
            CStaticLink& link = dlg.Link(nID);
            EXPECT_FALSE(Draw(link).has_value()) << nID;  // the usual look
            EXPECT_NE(link.GetStyle() & SS_NOTIFY, 0u) << nID;
            EXPECT_EQ(link.m_fontUnderline.GetSafeHandle(), nullptr) << nID;
            AfxMouseMoveForTesting(&link, Inside(link));
            EXPECT_EQ(CWnd::GetCapture(), &link) << nID;
            AfxMouseMoveForTesting(&link, Outside(link));
        }
        EXPECT_EQ(dlg.Link(IDC_ICON).GetStyle() & SS_TYPEMASK, SS_ICON);
        // A static that is no link keeps the usual look too.
        EXPECT_FALSE(Draw(*dlg.GetDlgItem(IDC_PLAIN)).has_value());
    });
}

// The flag is the owner's: a new control pointed at a followed flag starts
// out visited, and nothing is recorded when no flag was given.
TEST_F(StaticLinkTest, TheVisitedFlagBelongsToTheOwner)
{
    WithDialog([&](CLinksDlg& dlg) {
        dlg.Visited(IDC_MAIL) = TRUE;
        EXPECT_EQ(TextColour(dlg.Link(IDC_MAIL)), RGB(128, 0, 128));
        dlg.Link(IDC_WIDE).m_pbVisited = nullptr;
        EXPECT_EQ(TextColour(dlg.Link(IDC_WIDE)), RGB(0, 0, 255));
        AfxClickForTesting(&dlg.Link(IDC_WIDE));
        EXPECT_EQ(TextColour(dlg.Link(IDC_WIDE)), RGB(0, 0, 255));
    });
    EXPECT_EQ(m_opened.size(), 1u);
}

// Closing the dialog while the pointer is over a link gives the mouse back.
TEST_F(StaticLinkTest, TheCaptureGoesWithTheDialog)
{
    WithDialog([&](CLinksDlg& dlg) {
        CStaticLink& link = dlg.Link(IDC_WIDE);
        Draw(link);
        AfxMouseMoveForTesting(&link, Inside(link));
        ASSERT_EQ(CWnd::GetCapture(), &link);
    });
    EXPECT_EQ(CWnd::GetCapture(), nullptr);
}
