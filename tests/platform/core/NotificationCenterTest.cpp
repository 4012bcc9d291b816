#include "Platform/core/NotificationCenter.h"

#include <gtest/gtest.h>
#include <memory>

TEST(NotificationCenter, DeliversByNameAndOptionalObject)
{
    NotificationCenter center;
    QObject owner;
    int board = 0, other = 0;
    QStringList any;
    center.addObserver(&owner, "BackgroundChanged", [&](const auto& n) { any << n.userInfo.value("key").toString(); });
    center.addObserver(&owner, "BackgroundChanged", [&](const auto&) { ++board; }, &board);

    center.post("BackgroundChanged", &board, {{"key", "a"}});
    center.post("BackgroundChanged", &other, {{"key", "b"}});
    center.post("dueDateChanged", &board);

    EXPECT_EQ(any, QStringList({"a", "b"}));
    EXPECT_EQ(board, 1);
    EXPECT_EQ(other, 0);
}

TEST(NotificationCenter, DestroyedObserverIsNeverCalled)
{
    NotificationCenter center;
    int calls = 0;
    auto owner = std::make_unique<QObject>();
    center.addObserver(owner.get(), "tagValueChanged", [&](const auto&) { ++calls; });
    center.post("tagValueChanged");
    owner.reset();
    center.post("tagValueChanged");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, ObserverRemovedOrDestroyedDuringPostIsSkipped)
{
    NotificationCenter center;
    QObject first;
    auto second = std::make_unique<QObject>();
    int secondCalls = 0;
    center.addObserver(&first, "refreshToolBar", [&](const auto&) { second.reset(); });
    center.addObserver(second.get(), "refreshToolBar", [&](const auto&) { ++secondCalls; });
    center.post("refreshToolBar");
    EXPECT_EQ(secondCalls, 0);

    QObject third;
    int thirdCalls = 0;
    center.addObserver(&third, "refreshToolBar", [&](const auto&) { ++thirdCalls; });
    center.removeObserver(&third, "refreshToolBar");
    center.post("refreshToolBar");
    EXPECT_EQ(thirdCalls, 0);
}
