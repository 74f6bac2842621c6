// One prodlet per display: the first start holds the display, a later one
// reaches it and is answered, a killed one leaves the display free.
#include "framework/WinApp.h"
#include "programs/DesktopInstance.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <future>
#include <unistd.h>

#include <vector>

namespace {

constexpr int kWaitMs = 30000;

struct CClaim {
    CDesktopInstance::Outcome outcome;
    CString strAnswer;
    CString strWarning;
};

CClaim Claim(CDesktopInstance& instance, const CString& strDir, const CString& strDisplay, int nTimeoutMs = kWaitMs)
{
    CClaim claim;
    claim.outcome = instance.Claim(strDir, strDisplay, "restore", nTimeoutMs, claim.strAnswer, claim.strWarning);
    return claim;
}

// A later start on another thread while this one runs the first copy's loop.
CClaim ClaimWhileServing(const CString& strDir, const CString& strDisplay)
{
    auto claim = std::async(std::launch::async, [=] {
        CDesktopInstance later;
        return Claim(later, strDir, strDisplay);
    });
    AfxPumpUntil([&claim] { return claim.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                 2 * kWaitMs + 5000);
    return claim.get();
}

}  // namespace

TEST(DesktopInstance, ALaterStartOnTheSameDisplayIsAnsweredByTheFirst)
{
    CTempDir dir;
    CDesktopInstance first;
    const CClaim claim = Claim(first, dir.Path(), "x11::5");
    ASSERT_EQ(claim.outcome, CDesktopInstance::Outcome::First);
    EXPECT_EQ(claim.strWarning, "");
    ASSERT_TRUE(first.IsServing());
    std::vector<CString> requests;
    first.Serve([&requests](const CString& strRequest) {
        requests.push_back(strRequest);
        return CString("ok");
    });

    const CClaim later = ClaimWhileServing(dir.Path(), "x11::5");
    EXPECT_EQ(later.outcome, CDesktopInstance::Outcome::Forwarded);
    EXPECT_EQ(later.strAnswer, "ok");
    EXPECT_EQ(requests, std::vector<CString>{"restore"});

    // Another display is another copy's.
    CDesktopInstance other;
    EXPECT_EQ(Claim(other, dir.Path(), "x11::6").outcome, CDesktopInstance::Outcome::First);
    EXPECT_EQ(requests.size(), 1u);
}

TEST(DesktopInstance, AHolderThatNeverAnswersIsReportedNotTakenForAnAnswer)
{
    CTempDir dir;
    CDesktopInstance first;
    ASSERT_EQ(Claim(first, dir.Path(), "x11::5").outcome, CDesktopInstance::Outcome::First);
    // Holds the display, but never serves (hung before its loop).
    CDesktopInstance later;
    const CClaim claim = Claim(later, dir.Path(), "x11::5", 300);
    EXPECT_EQ(claim.outcome, CDesktopInstance::Outcome::NoAnswer);
    EXPECT_EQ(claim.strAnswer, "");
}

TEST(DesktopInstance, ACopyKilledOutrightLeavesTheDisplayToTheNextStart)
{
    CTempDir dir;
    CForkedHolder holder([&] {
        auto* pInstance = new CDesktopInstance;  // the child holds the display until it is killed
        return Claim(*pInstance, dir.Path(), "x11::5").outcome == CDesktopInstance::Outcome::First;
    });
    ASSERT_TRUE(holder.Took());
    ASSERT_TRUE(holder.KillOutright());

    // Its lock and socket files are still there; they stop no one.
    CDesktopInstance next;
    const CClaim claim = Claim(next, dir.Path(), "x11::5");
    ASSERT_EQ(claim.outcome, CDesktopInstance::Outcome::First);
    EXPECT_EQ(claim.strWarning, "");
    next.Serve([](const CString&) { return CString("ok"); });
    EXPECT_EQ(ClaimWhileServing(dir.Path(), "x11::5").strAnswer, "ok");
}
