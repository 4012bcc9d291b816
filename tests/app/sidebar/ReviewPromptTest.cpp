#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Platform/core/ConsoleLog.h"
#include "support/QStringPrinting.h"
#include "support/SidebarHarness.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString feedbackState = KDLeftSidebarViewController::feedbackStateKey;

class ReviewPromptTest : public ::testing::Test, public SidebarHarness
{
protected:
    void SetUp() override { ASSERT_TRUE(store.isOpen()) << store.error().toStdString(); }

    KDLeftSidebarViewController& launch(int launches, int state)
    {
        defaults.setValue(KDLeftSidebarViewController::numberOfLaunchesKey, launches);
        defaults.setValue(feedbackState, state);
        return makeSidebar();
    }
    QString text(const char* name) const
    {
        if (auto* label = sidebar->findChild<QLabel*>(QLatin1String(name)))
            return label->text();
        return sidebar->findChild<QPushButton*>(QLatin1String(name))->text();
    }
    void click(const char* name) { sidebar->findChild<QPushButton*>(QLatin1String(name))->click(); }
    int state() { return int(defaults.integerForKey(feedbackState)); }
    bool boxShown() { return !sidebar->reviewBox()->isHidden(); }
};

} // namespace

TEST_F(ReviewPromptTest, AsksFromTheTenthLaunchUntilAnswered)
{
    struct Case
    {
        int launches;
        int state;
        bool shown;
    };
    for (const Case& c : {Case {9, 0, false}, Case {10, 0, true}, Case {30, 1, true}, Case {30, 2, true},
             Case {30, 3, false}, Case {30, 4, false}, Case {30, 5, false}}) {
        SidebarHarness harness;
        harness.defaults.setValue(KDLeftSidebarViewController::numberOfLaunchesKey, c.launches);
        harness.defaults.setValue(feedbackState, c.state);
        harness.makeSidebar();
        EXPECT_EQ(!harness.sidebar->reviewBox()->isHidden(), c.shown) << c.launches << " " << c.state;
    }
    launch(10, 0);
    EXPECT_EQ(text("promptTextLabel"), QStringLiteral("Do you enjoy using Pelorins?"));
    EXPECT_EQ(text("promptLeftButton"), QStringLiteral("Not really"));
    EXPECT_EQ(text("promptRightButton"), QStringLiteral("Yes!"));
}

TEST_F(ReviewPromptTest, RightThenRightAsksForAReviewAndOpensItsPage)
{
    ConsoleLog::Capture console;
    launch(12, 0);
    click("promptRightButton");
    EXPECT_EQ(state(), 1);
    EXPECT_TRUE(boxShown());
    EXPECT_EQ(text("promptTextLabel"), QStringLiteral("Yay, can you leave a review? 😄"));
    EXPECT_EQ(text("promptLeftButton"), QStringLiteral("Not now"));
    EXPECT_EQ(text("promptRightButton"), QStringLiteral("Sure can!"));
    click("promptRightButton");
    EXPECT_EQ(state(), 3);
    EXPECT_EQ(openedPages, QStringList {QString(KDLeftSidebarViewController::reviewPageAddress)});
    EXPECT_TRUE(console.contains(QStringLiteral("opened review page on iTunes")));
    EXPECT_FALSE(boxShown());
}

TEST_F(ReviewPromptTest, LeftThenRightAsksWhyAndOpensTheSupportPage)
{
    launch(12, 0);
    click("promptLeftButton");
    EXPECT_EQ(state(), 2);
    EXPECT_TRUE(boxShown());
    EXPECT_EQ(text("promptTextLabel"), QStringLiteral("😭 Oh no, can you tell us why?"));
    EXPECT_EQ(text("promptLeftButton"), QStringLiteral("Not now"));
    EXPECT_EQ(text("promptRightButton"), QStringLiteral("Yeah, ok"));
    click("promptRightButton");
    EXPECT_EQ(state(), 4);
    EXPECT_EQ(openedPages, QStringList {QStringLiteral("support")});
    EXPECT_FALSE(boxShown());
}

TEST_F(ReviewPromptTest, LeftThenLeftHidesTheBoxAndKeepsTheQuestionForLater)
{
    launch(12, 0);
    click("promptLeftButton");
    click("promptLeftButton");
    EXPECT_EQ(state(), 2);
    EXPECT_FALSE(boxShown());
    EXPECT_TRUE(openedPages.isEmpty());
}

TEST_F(ReviewPromptTest, HidingSlidesTheBoxAwayOverSevenTenthsOfASecond)
{
    launch(12, 1);
    sidebar->show();
    sidebar->animator()->setFinishesAtOnce(false);
    const int height = sidebar->reviewBox()->height();
    click("promptLeftButton");
    EXPECT_TRUE(boxShown());
    EXPECT_TRUE(sidebar->animator()->isAnimating());
    QTest::qWait(KDLeftSidebarViewController::reviewBoxHideMilliseconds / 2);
    EXPECT_LT(sidebar->reviewBox()->height(), height);
    for (int waited = 0; boxShown() && waited < 5000; waited += 20)
        QTest::qWait(20);
    EXPECT_FALSE(boxShown());
    EXPECT_EQ(state(), 1);
}
