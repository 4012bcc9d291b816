#include "Platform/core/ConsoleLog.h"
#include "support/RecordingReminderCenter.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ReminderCenterTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    // A center over the folder's file, on the test's clock.
    std::unique_ptr<RecordingReminderCenter> open()
    {
        auto center = std::make_unique<RecordingReminderCenter>();
        center->setClock([this] { return now; });
        center->setStorageFile(path());
        return center;
    }

    QString path() const { return folder.filePath(QStringLiteral("reminders.json")); }

    static Reminder reminder(const QString& card, const QDateTime& at)
    {
        const QString link = QStringLiteral("pelorins://") + card;
        return Reminder {link, QStringLiteral("Call ") + card, QStringLiteral("due on: soon"), QStringLiteral("Board"),
            at, {{QStringLiteral("urlString"), link}, {QStringLiteral("selectedMenuTag"), 3}}};
    }

    static QStringList links(const QList<Reminder>& reminders)
    {
        QStringList links;
        for (const Reminder& reminder : reminders)
            links.append(reminder.identifier);
        return links;
    }

    void writeFile(const QByteArray& bytes) { ::writeFile(path(), bytes); }

    QTemporaryDir folder;
    QDateTime now {QDate(2026, 5, 4), QTime(9, 0), Qt::UTC};
};

} // namespace

TEST_F(ReminderCenterTest, RemindersSurviveARestartAndOneCardHasOneReminder)
{
    {
        auto center = open();
        center->scheduleReminder(reminder("A", now.addSecs(3600)));
        center->scheduleReminder(reminder("B", now.addSecs(7200)));
        center->scheduleReminder(reminder("A", now.addSecs(1800)));
        EXPECT_EQ(links(center->scheduledReminders()), (QStringList {"pelorins://B", "pelorins://A"}));
        center->removeScheduledReminder(QStringLiteral("pelorins://B"));
        QCoreApplication::processEvents();
    }
    auto again = open();
    ASSERT_EQ(again->scheduledReminders().size(), 1);
    const Reminder kept = again->scheduledReminders().first();
    EXPECT_EQ(kept.deliveryDate, now.addSecs(1800));
    EXPECT_EQ(kept.title, QStringLiteral("Call A"));
    EXPECT_EQ(kept.userInfo.value("selectedMenuTag").toInt(), 3);
}

TEST_F(ReminderCenterTest, MissedRemindersAreDeliveredOnceAtStart)
{
    {
        auto center = open();
        center->scheduleReminder(reminder("Missed", now.addSecs(60)));
        center->scheduleReminder(reminder("Later", now.addDays(1)));
    }
    now = now.addSecs(3600);
    auto center = open();
    center->start();
    EXPECT_EQ(links(center->delivered), QStringList {"pelorins://Missed"});
    QCoreApplication::processEvents();
    auto third = open();
    third->start();
    EXPECT_TRUE(third->delivered.isEmpty()) << "delivered reminders are dropped";
    EXPECT_EQ(links(third->scheduledReminders()), QStringList {"pelorins://Later"});
}

TEST_F(ReminderCenterTest, TheTimerWakesWithinAMinuteSoAClockJumpIsCaughtInOneTick)
{
    auto center = open();
    center->scheduleReminder(reminder("Soon", now.addSecs(20)));
    EXPECT_TRUE(center->timer().isActive());
    EXPECT_EQ(center->timer().interval(), 20 * 1000);
    center->scheduleReminder(reminder("Soon", now.addDays(2)));
    EXPECT_EQ(center->timer().interval(), ReminderCenter::checkIntervalMilliseconds);

    now = now.addDays(3); // the machine slept, or the clock was set forward
    center->tick();
    EXPECT_EQ(links(center->delivered), QStringList {"pelorins://Soon"});
    EXPECT_TRUE(center->scheduledReminders().isEmpty());
    EXPECT_FALSE(center->timer().isActive());
}

TEST_F(ReminderCenterTest, AnUnreadableFileIsSetAsideAndBadEntriesAreDropped)
{
    struct Case
    {
        const char* name;
        QByteArray bytes;
    };
    const QList<Case> unreadable {{"not JSON", "{{{"}, {"not a list", "{\"a\": 1}"},
        {"oversized", QByteArray(ReminderCenter::maximumFileBytes + 1, ' ')}};
    for (const Case& test : unreadable) {
        SCOPED_TRACE(test.name);
        writeFile(test.bytes);
        ConsoleLog::Capture console;
        auto center = open();
        EXPECT_TRUE(center->scheduledReminders().isEmpty());
        EXPECT_FALSE(QFile::exists(path()));
        EXPECT_TRUE(QFile::exists(path() + ".unreadable"));
        ASSERT_EQ(console.lines().size(), 1);
        EXPECT_TRUE(console.lines().first().startsWith("Reminders could not be read"));
    }

    // One that cannot even be opened is set aside too, and never written over.
    ASSERT_TRUE(QDir().mkpath(path()));
    ::writeFile(QDir(path()).filePath(QStringLiteral("kept")), "earlier reminders");
    {
        ConsoleLog::Capture console;
        auto center = open();
        EXPECT_TRUE(center->scheduledReminders().isEmpty());
        ASSERT_EQ(console.lines().size(), 1);
        EXPECT_TRUE(console.lines().first().startsWith("Reminders could not be read"));
        center->scheduleReminder(reminder("New", now.addSecs(60)));
        QCoreApplication::processEvents();
        EXPECT_EQ(readFile(path() + ".unreadable/kept"), "earlier reminders");
    }
    EXPECT_EQ(links(open()->scheduledReminders()), QStringList {"pelorins://New"});
    QDir(path() + ".unreadable").removeRecursively();

    writeFile(R"([{"identifier":"pelorins://A","deliveryDate":"2026-05-04T10:00:00.000Z",
        "userInfo":{"urlString":"pelorins://A"}},
        {"identifier":"x","deliveryDate":"2026-05-04T10:00:00.000Z","userInfo":{"urlString":"https://a"}},
        {"identifier":"y","deliveryDate":"soon","userInfo":{"urlString":"pelorins://Y"}},
        {"identifier":"z","deliveryDate":"2026-05-04T10:00:00.000Z"}, 7,
        {"identifier":"p","deliveryDate":"2026-02-30T10:00:00.000Z","userInfo":{"urlString":"pelorins://P"}},
        {"identifier":"q","deliveryDate":"2026-05-04T10:00:00.000Z","title":null,"userInfo":{"urlString":"pelorins://Q"}},
        {"identifier":"r","deliveryDate":"2026-05-04T10:00:00.000Z","userInfo":"pelorins://R"},
        {"identifier":"s","deliveryDate":"2026-05-04T10:00:00.000Z","userInfo":{"urlString":{"a":"pelorins://S"}}},
        {"identifier":1,"deliveryDate":"2026-05-04T10:00:00.000Z","userInfo":{"urlString":"pelorins://T"}},
        [{"identifier":"u","deliveryDate":"2026-05-04T10:00:00.000Z","userInfo":{"urlString":"pelorins://U"}}],
        {"identifier":"pelorins://B","deliveryDate":"2026-05-04T12:00:00+02:00",
        "userInfo":{"urlString":"pelorins://B"}}])");
    ConsoleLog::Capture console;
    auto center = open();
    EXPECT_EQ(links(center->scheduledReminders()), (QStringList {"pelorins://A", "pelorins://B"}));
    EXPECT_EQ(console.lines(), QStringList {"Dropped 10 unreadable reminders"});
}

TEST_F(ReminderCenterTest, EntriesLoadedAreFoundDeliveredAndWrittenBackIntact)
{
    // Spacing, escapes, braces inside texts and nested user info, as another writer may leave them.
    writeFile(R"( [ {"identifier": "pelorins://A", "title": "Call \"A\" } {", "other": [1, {"x": {}}],
          "deliveryDate": "2026-05-04T10:00:00.000Z",
          "userInfo": {"selectedMenuTag": 3, "nested": {"urlString": "https://no"}, "urlString": "pelorins://A"}} ,
        {"identifier":"pelorins://é", "deliveryDate":"2026-05-04T11:00:00.000Z",
          "userInfo":{"urlString":"pelorins://é"}}
        ] )");
    auto center = open();
    center->scheduleReminder(reminder("C", now.addSecs(30)));
    EXPECT_EQ(center->timer().interval(), 30 * 1000);
    std::optional<Reminder> found = center->scheduledReminderFor(QStringLiteral("pelorins://A"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->title, QStringLiteral("Call \"A\" } {"));
    EXPECT_FALSE(center->scheduledReminderFor(QStringLiteral("https://no")));
    center->removeScheduledReminder(QStringLiteral("pelorins://\u00e9"));
    QCoreApplication::processEvents();

    auto again = open();
    EXPECT_EQ(links(again->scheduledReminders()), (QStringList {"pelorins://A", "pelorins://C"}));
    found = again->scheduledReminderFor(QStringLiteral("pelorins://A"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->title, QStringLiteral("Call \"A\" } {"));
    EXPECT_EQ(found->deliveryDate, QDateTime(QDate(2026, 5, 4), QTime(10, 0), Qt::UTC));
    EXPECT_EQ(found->userInfo.value("selectedMenuTag").toInt(), 3);
    now = now.addSecs(3600);
    again->start();
    EXPECT_EQ(links(again->delivered), (QStringList {"pelorins://A", "pelorins://C"}));
}
