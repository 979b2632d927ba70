// The command line's own words: durations and take names.
#include "app/RecordCommand.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(RecordCommand, DurationsAsTheHelpWritesThemAndNothingElse) {
    EXPECT_EQ(app::ParseDuration("90s"), 90);
    EXPECT_EQ(app::ParseDuration("45m"), 2700);
    EXPECT_EQ(app::ParseDuration("1h30m"), 5400);
    EXPECT_EQ(app::ParseDuration("2h5s"), 7205);
    EXPECT_EQ(app::ParseDuration("1:30:00"), 5400);
    EXPECT_EQ(app::ParseDuration("0:45"), 45);
    for (const char* bad : {"", "3", "s", "0s", "1m1h", "1h1h", "1.5h", "30x", "-5s", "1:60",
                            "1:2:3:4", ":30", "1::3", "99999999s"}) {
        EXPECT_FALSE(app::ParseDuration(bad).has_value()) << bad;
    }
}

TEST(RecordCommand, TakeNamesFillInTheTimeAndTheHomeFolder) {
    setenv("TZ", "UTC", 1);
    const std::time_t monday10 = 1797242400; // 2026-12-14 10:00:00 UTC
    const std::string home = testsupport::Env("HOME");
    EXPECT_EQ(app::TakeFileName("~/Lectures/%Y-%m-%d-%H%M.mp3", monday10),
              home + "/Lectures/2026-12-14-1000.mp3");
    EXPECT_EQ(app::TakeFileName("/a/100%%.mp3", monday10), "/a/100%.mp3");
    EXPECT_EQ(app::TakeFileName("/a/~b.mp3", monday10), "/a/~b.mp3");
    const std::string relative = app::TakeFileName("take.mp3", monday10);
    EXPECT_EQ(relative.front(), '/');
    EXPECT_EQ(relative.substr(relative.size() - 9), "/take.mp3");
}
