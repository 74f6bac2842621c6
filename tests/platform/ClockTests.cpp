#include "platform/Clock.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

TEST(Clock, InstalledClockIsUsedUntilItGoes)
{
    {
        CFakeClock fake;
        EXPECT_EQ(GetTickCount(), 1000u);
        fake.Advance(2500);
        EXPECT_EQ(GetTickCount(), 3500u);
        Sleep(60000);  // returns at once: the fake only records it
        EXPECT_EQ(fake.m_dwSlept, 60000u);
        EXPECT_EQ(FormatLocalTime("%H:%M:%S"), "10:20:32");
    }
    const std::time_t tBefore = std::time(nullptr);
    const std::time_t tClock = Clock().Time();
    EXPECT_GE(tClock, tBefore);
    EXPECT_LE(tClock, std::time(nullptr));

    const DWORD dwStart = GetTickCount();
    Sleep(30);
    EXPECT_GE(static_cast<DWORD>(GetTickCount() - dwStart), 30u);
}

TEST(Clock, SystemClockShowsLocalTime)
{
    const char* pszOld = std::getenv("TZ");
    const std::string strOld = pszOld ? pszOld : "";
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(Clock().LocalTime(3600 * 5).tm_hour, 5);
    setenv("TZ", "XST-3", 1);  // three hours east of UTC
    tzset();
    EXPECT_EQ(Clock().LocalTime(3600 * 5).tm_hour, 8);
    if (pszOld)
        setenv("TZ", strOld.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
