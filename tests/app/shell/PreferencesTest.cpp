#include "Pelorins/shell/DueDatePrefViewController.h"
#include "Pelorins/shell/PreferenceWindowController.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UserDefaults.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <gtest/gtest.h>

namespace {

class PreferencesTest : public ::testing::Test
{
protected:
    QTemporaryDir m_folder;
    UserDefaults m_defaults {m_folder.filePath(QStringLiteral("prefs.conf"))};
};

TEST(PreferenceWindowController, CentresOnTheScreenItOpensOn)
{
    const struct
    {
        QRect screen;
        QRect frame;
    } cases[] = {
        {QRect(0, 0, 1440, 900), QRect(490, 320, 460, 260)},
        {QRect(0, 0, 400, 900), QRect(0, 320, 400, 260)},
        // A screen right of the first: the window stays on it.
        {QRect(1920, 0, 1440, 900), QRect(2410, 320, 460, 260)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PreferenceWindowController::centredFrame(c.screen), c.frame);
}

TEST_F(PreferencesTest, ThePaneShowsTheStoredChoices)
{
    m_defaults.setValue(QStringLiteral("dueHour"), 8);
    m_defaults.setValue(QStringLiteral("dueMinute"), 45);
    m_defaults.setValue(QStringLiteral("dueSoonDefinition"), 3);
    DueDatePrefViewController pane(m_defaults);
    EXPECT_EQ(pane.dueTimePicker()->time(), QTime(8, 45));
    EXPECT_EQ(pane.dueSoonPopUpButton()->count(), 7);
    EXPECT_EQ(pane.dueSoonPopUpButton()->currentIndex(), 3);
}

TEST_F(PreferencesTest, PickingATimeStoresItQuietlyAndADefinitionIsAnnounced)
{
    DueDatePrefViewController pane(m_defaults);
    QObject owner;
    int announced = 0;
    NotificationCenter::shared().addObserver(&owner, NotificationName::dueSoonDefinitionChanged,
        [&](const NotificationCenter::Notification&) { ++announced; });

    pane.dueTimePicker()->setTime(QTime(8, 30));
    EXPECT_EQ(m_defaults.integerForKey(QStringLiteral("dueHour")), 8);
    EXPECT_EQ(m_defaults.integerForKey(QStringLiteral("dueMinute")), 30);
    EXPECT_EQ(announced, 0);

    pane.dueSoonPopUpButton()->setCurrentIndex(4);
    EXPECT_EQ(m_defaults.integerForKey(QStringLiteral("dueSoonDefinition")), 4);
    EXPECT_EQ(announced, 1);

    // Without a selection nothing is stored.
    pane.dueSoonPopUpButton()->setCurrentIndex(-1);
    EXPECT_EQ(m_defaults.integerForKey(QStringLiteral("dueSoonDefinition")), 4);
    EXPECT_EQ(announced, 1);
}

} // namespace
