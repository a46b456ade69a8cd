// What the desktop is told of unprompted takes: the first at once, a burst
// after it summed up once the gap is over, never more than one per gap.
#include <gtest/gtest.h>

#include "monitor/theft_notices.h"

TEST(TheftNotices, OneIsToldAtOnceAndABurstAfterItOnceTheGapIsOver)
{
    TheftNotices notices(5000);
    EXPECT_FALSE(notices.Take(0));
    notices.Add("xterm", 120, "Update", "17:05:03");
    EXPECT_EQ("xterm took the focus at 17:05:03, \u201cUpdate\u201d; held 120 ms",
              notices.Take(1000).value_or("none"));

    for (const char* module : {"updater", "nagger", "updater", "popup"})
        notices.Add(module, 40, "t", module[0] == 'p' ? "17:05:09" : "17:05:05");
    EXPECT_FALSE(notices.Take(5999));
    EXPECT_EQ(6000, notices.DueMs().value_or(-1));
    EXPECT_EQ("3 programs took the focus 4 times since 17:05:05; updater 2, nagger 1, popup 1",
              notices.Take(6000).value_or("none"));
    EXPECT_FALSE(notices.DueMs());

    for (const int ms : {300, 90, 120})
        notices.Add("updater", ms);
    EXPECT_EQ("updater took the focus 3 times; shortest hold 90 ms",
              notices.Take(11000).value_or("none"));
    for (const char* module : {"e", "d", "c", "b", "a", "b"})
        notices.Add(module, 10);
    EXPECT_EQ("5 programs took the focus 6 times; b 2, e 1, d 1, \u2026",
              notices.Take(16000).value_or("none"));

    notices.Add("a", 1);
    notices.Clear();
    EXPECT_FALSE(notices.Take(30000));
    // A clock set back does not hold the next notice back.
    notices.Add("a", 1);
    EXPECT_EQ("a took the focus; held 1 ms", notices.Take(100).value_or("none"));
}

// Refused tries are told as such, summed like takes, and beside takes as
// a count of their own.
TEST(TheftNotices, AttemptsAreToldAsRefusedAndSummedLikeTakes)
{
    TheftNotices notices(5000);
    notices.AddAttempt("updater", "17:05:03");
    EXPECT_EQ("updater asked for the focus at 17:05:03 and was refused", notices.Take(0).value_or("none"));
    notices.AddAttempt("updater", "17:05:04");
    notices.AddAttempt("nagger", "17:05:05");
    notices.AddAttempt("updater");
    EXPECT_EQ("2 programs asked for the focus 3 times since 17:05:04 and were refused; updater 2, nagger 1",
              notices.Take(5000).value_or("none"));
    notices.AddAttempt("nagger", "17:05:11");
    notices.Add("xterm", 120, "Update", "17:05:12");
    notices.AddAttempt("nagger");
    EXPECT_EQ("xterm took the focus at 17:05:11, \u201cUpdate\u201d; held 120 ms; refused 2 times more",
              notices.Take(10000).value_or("none"));
}
