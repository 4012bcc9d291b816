#include "PelorinsKit/model/Constants.h"
#include "PelorinsKit/model/DueSoonDefinition.h"
#include "PelorinsKit/model/FeedbackState.h"
#include "PelorinsKit/model/KdAnimate.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/PLDueAlertTime.h"

#include "Platform/core/NotificationCenter.h"

#include <QStringList>
#include <gtest/gtest.h>

TEST(Constants, RawValuesOutsideEachEnumerationGiveNoValue)
{
    EXPECT_FALSE(dueSoonDefinitionFromRawValue(7));
    EXPECT_FALSE(dueSoonDefinitionFromRawValue(-1));
    EXPECT_FALSE(plDueAlertTimeFromRawValue(8));
    EXPECT_FALSE(plDueAlertTimeFromRawValue(-1));
    EXPECT_FALSE(feedbackStateFromRawValue(6));
    EXPECT_FALSE(feedbackStateFromRawValue(-1));

    EXPECT_EQ(dueSoonDefinitionFromRawValue(6), DueSoonDefinition::due1week);
    EXPECT_EQ(plDueAlertTimeFromRawValue(7), PLDueAlertTime::custom);
    EXPECT_EQ(feedbackStateFromRawValue(5), FeedbackState::dontAskAgain);
}

TEST(Constants, AllCasesListInRawValueOrder)
{
    ASSERT_EQ(dueSoonDefinitionAllCases.size(), 7u);
    ASSERT_EQ(plDueAlertTimeAllCases.size(), 8u);
    for (size_t i = 0; i < dueSoonDefinitionAllCases.size(); ++i)
        EXPECT_EQ(int(dueSoonDefinitionAllCases[i]), int(i));
    for (size_t i = 0; i < plDueAlertTimeAllCases.size(); ++i)
        EXPECT_EQ(int(plDueAlertTimeAllCases[i]), int(i));
    EXPECT_EQ(dueSoonDefinitionAllCases.front(), DueSoonDefinition::dueToday);
    EXPECT_EQ(plDueAlertTimeAllCases.back(), PLDueAlertTime::custom);
}

TEST(Constants, BackgroundChangedIsPostedUnderItsCapitalisedName)
{
    EXPECT_EQ(QString(NotificationName::backgroundChanged), "BackgroundChanged");
    EXPECT_EQ(QString(NotificationName::PrintInfoChanged), "PrintInfoChanged");
    EXPECT_EQ(QString(applicationSupportDirectorySubFolderName), "Pelorins");

    NotificationCenter center;
    QObject owner;
    int received = 0;
    center.addObserver(
        &owner, NotificationName::backgroundChanged, [&](const NotificationCenter::Notification&) { ++received; });
    center.post("backgroundChanged");
    EXPECT_EQ(received, 0);
    center.post("BackgroundChanged");
    EXPECT_EQ(received, 1);
}

TEST(Constants, KdAnimateRunsTheAnimationsThenCompletesOnceWithTrue)
{
    QStringList calls;
    kdAnimate(0.3, [&] { calls << "animations"; });
    EXPECT_EQ(calls, QStringList {"animations"});

    calls.clear();
    kdAnimate(
        0.3, [&] { calls << "animations"; }, [&](bool finished) { calls << (finished ? "done" : "cancelled"); });
    EXPECT_EQ(calls, QStringList({"animations", "done"}));
}
