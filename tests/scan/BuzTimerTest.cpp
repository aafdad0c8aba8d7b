#include "scan/BuzTimer.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(BuzTimer, TimeTexts)
{
    EXPECT_EQ(buzTimer::FormatSeconds(0), "00:00:00");
    EXPECT_EQ(buzTimer::FormatSeconds(7), "00:00:07");
    EXPECT_EQ(buzTimer::FormatSeconds(59), "00:00:59");
    EXPECT_EQ(buzTimer::FormatSeconds(60), "00:01:00");
    EXPECT_EQ(buzTimer::FormatSeconds(185), "00:03:05");
    EXPECT_EQ(buzTimer::FormatSeconds(3599), "00:59:59");
    EXPECT_EQ(buzTimer::FormatSeconds(3600), "1:0:00");
    EXPECT_EQ(buzTimer::FormatSeconds(3725), "1:2:05");
    EXPECT_EQ(buzTimer::FormatSeconds(100 * 3600 + 59 * 60 + 1), "100:59:01");
}

TEST(BuzTimer, ElapsedAndRemainingFollowTheClock)
{
    qint64 now = 1000000;
    buzTimer timer([&] { return now; });
    now += 75 * 1000 + 999; // whole seconds only
    EXPECT_EQ(timer.Elapsed(), "00:01:15");

    // A quarter done after 75 s: three quarters take 225 s more.
    EXPECT_EQ(timer.Remaining(25, 100), "00:03:45");
    EXPECT_EQ(timer.Remaining(0, 100), "");
    EXPECT_EQ(timer.Remaining(5, 4), "");     // total below done
    EXPECT_EQ(timer.Remaining(0.5, 0.5), ""); // total below 1
    EXPECT_EQ(timer.Remaining(100, 100), "00:00:00");

    timer.Reset();
    EXPECT_EQ(timer.Elapsed(), "00:00:00");
    now += 3725 * 1000;
    EXPECT_EQ(timer.Elapsed(), "1:2:05");
}
