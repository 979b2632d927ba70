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
    EXPECT_EQ(app::ParseDuration("0:00:45"), 45);
    // Two fields read as hours to some and minutes to others: refused.
    for (const char* bad : {"", "3", "s", "0s", "1m1h", "1h1h", "1.5h", "30x", "-5s", "1:30",
                            "0:45", "1:60:00", "1:2:3:4", ":30", "1::3", "99999999s"}) {
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
    // Shown in messages as typed, less what names nothing.
    EXPECT_EQ(app::TakeFileName("/a/./cli//same.mp3", monday10), "/a/cli/same.mp3");
    EXPECT_EQ(app::TidyPath("/a/b/."), "/a/b");
    EXPECT_EQ(app::TidyPath("/"), "/");
    // As in the window, a take's name ends in .mp3.
    EXPECT_EQ(app::TakeFileName("/a/x.wav", monday10), "/a/x.wav.mp3");
    EXPECT_EQ(app::TakeFileName("/a/take", monday10), "/a/take.mp3");
    EXPECT_EQ(app::TakeFileName("/a/LOUD.MP3", monday10), "/a/LOUD.MP3");
    EXPECT_EQ(app::TakeFileName("/a.b/.hidden", monday10), "/a.b/.hidden.mp3");
}
