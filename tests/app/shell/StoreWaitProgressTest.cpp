#include "Pelorins/shell/StoreWaitProgress.h"

#include <gtest/gtest.h>

TEST(StoreWaitProgress, OnlyALongWaitShowsABarThatFollowsTheReadingAndGoesWhenItEnds)
{
    qint64 now = 1000;
    StoreWaitProgress progress([&] { return now; });
    progress.report(10, 100);
    now += StoreWaitProgress::showAfterMilliseconds - 1;
    progress.report(20, 100);
    EXPECT_FALSE(progress.dialog()) << "a short wait shows nothing";
    now += 1;
    progress.report(40, 100);
    ASSERT_TRUE(progress.dialog());
    EXPECT_TRUE(progress.dialog()->isVisible());
    EXPECT_EQ(progress.dialog()->value(), 400);
    progress.report(100, 100);
    EXPECT_FALSE(progress.dialog());

    // The next wait is timed afresh.
    progress.report(0, 10);
    now += StoreWaitProgress::showAfterMilliseconds - 1;
    progress.report(5, 10);
    EXPECT_FALSE(progress.dialog());
    progress.report(10, 10);
}
