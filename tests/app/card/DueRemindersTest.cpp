#include "Pelorins/card/DatePickerViewController.h"
#include "PelorinsKit/model/DueSoonDefinition.h"
#include "support/CardCellFixture.h"
#include "support/RecordingReminderCenter.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

namespace {

class DueReminders : public CardCellFixture
{
protected:
    void SetUp() override
    {
        CardCellFixture::SetUp();
        // Days before the due date, whatever the machine's clock says: nothing is due yet.
        center.setClock([this] { return due.addDays(-7); });
        board.reminders = &center;
        card = addCard(stage(0), QStringLiteral("Pay rent\nby transfer"));
        card->setUniqueIdentifier(QStringLiteral("CARD-1"));
        card->setDueDate(due);
        kanban->setTitle(QStringLiteral("Home"));
        show();
    }

    DatePickerViewController* openPopover() { return openDatePopover(card); }

    static void choose(QComboBox* box, const QVariant& data)
    {
        box->setCurrentIndex(box->findData(data));
        emit box->activated(box->currentIndex());
    }

    void chooseCustom(DatePickerViewController* picker, const QString& number, const QString& unit)
    {
        picker->customAlertTimeField()->setText(number);
        picker->cutomAlertMenuField()->setCurrentIndex(picker->cutomAlertMenuField()->findData(unit));
        choose(picker->alertPopUpButton(), 7);
    }

    std::optional<Reminder> reminder() const
    {
        const QList<Reminder> all = center.scheduledReminders();
        return all.isEmpty() ? std::nullopt : std::optional<Reminder>(all.last());
    }

    RecordingReminderCenter center;
    ListItem* card = nullptr;
    QDateTime due {QDate(2026, 6, 10), QTime(12, 0), Qt::LocalTime};
};

} // namespace

TEST_F(DueReminders, EachChoiceDeliversAtItsMomentWithTheCardsTexts)
{
    struct Case
    {
        int tag;
        int dueSoonDefinition;
        QDateTime delivery;
    };
    const QList<Case> cases {{3, 0, due.addSecs(-3600)}, {6, 0, due.addDays(-2)},
        {1, 0, QDateTime(due.date(), QTime(0, 0), Qt::LocalTime)}, {1, 4, due.addSecs(-345600)},
        {1, 6, due.addSecs(-604800)}, {2, 0, due}};
    DatePickerViewController* picker = openPopover();
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << "tag " << test.tag << ", due soon " << test.dueSoonDefinition);
        board.defaults().setValue(dueSoonDefinitionKey, test.dueSoonDefinition);
        choose(picker->alertPopUpButton(), test.tag);
        ASSERT_EQ(center.scheduledReminders().size(), 1) << "never two reminders for one card";
        EXPECT_EQ(reminder()->deliveryDate, test.delivery);
        EXPECT_EQ(reminder()->userInfo.value("selectedMenuTag").toInt(), test.tag);
    }
    EXPECT_EQ(reminder()->title, QStringLiteral("Pay rent"));
    EXPECT_TRUE(reminder()->subtitle.startsWith(
        QStringLiteral("due on: ") + QLocale().toString(due.date(), QLocale::ShortFormat) + QLatin1Char(' ')));
    EXPECT_TRUE(reminder()->subtitle.contains(QStringLiteral("12")));
    EXPECT_FALSE(reminder()->subtitle.contains(QStringLiteral("12:00:00"))) << "no seconds";
    EXPECT_EQ(reminder()->informativeText, QStringLiteral("Home"));
    EXPECT_EQ(reminder()->userInfo.value("urlString").toString(), QStringLiteral("pelorins://CARD-1"));
    EXPECT_FALSE(reminder()->userInfo.contains("customUnit"));

    picker->timePicker()->setTime(QTime(15, 30));
    EXPECT_EQ(reminder()->deliveryDate, QDateTime(due.date(), QTime(15, 30), Qt::LocalTime)) << "it follows the time";
    EXPECT_EQ(reminder()->userInfo.value("selectedMenuTag").toInt(), 2);

    choose(picker->alertPopUpButton(), 0);
    EXPECT_TRUE(center.scheduledReminders().isEmpty());
}

TEST_F(DueReminders, ACustomReminderIsRestoredWhenThePopoverOpensAgain)
{
    DatePickerViewController* picker = openPopover();
    chooseCustom(picker, QStringLiteral("90"), QStringLiteral("minutes"));
    ASSERT_TRUE(reminder());
    EXPECT_EQ(reminder()->deliveryDate, due.addSecs(-5400));
    EXPECT_EQ(reminder()->userInfo.value("customUnit").toString(), QStringLiteral("minutes"));
    EXPECT_EQ(reminder()->userInfo.value("customIntegers").toInt(), 90);

    picker = openPopover();
    EXPECT_EQ(picker->alertPopUpButton()->currentData().toInt(), 7);
    EXPECT_EQ(picker->customAlertTimeField()->text(), QStringLiteral("90"));
    EXPECT_EQ(picker->cutomAlertMenuField()->currentData().toString(), QStringLiteral("minutes"));
    EXPECT_EQ(picker->customAlertTimeBox()->height(), DatePickerViewController::customRowHeight);

    // A number that cannot be read schedules nothing and keeps the reminder in place.
    picker->customAlertTimeField()->setText(QStringLiteral("abc"));
    emit picker->customAlertTimeField()->editingFinished();
    ASSERT_EQ(center.scheduledReminders().size(), 1);
    EXPECT_EQ(reminder()->deliveryDate, due.addSecs(-5400));
}

TEST_F(DueReminders, ClearingTheDateRemovesTheReminderAndWithoutADateNothingIsScheduled)
{
    DatePickerViewController* picker = openPopover();
    choose(picker->alertPopUpButton(), 3);
    ASSERT_TRUE(reminder());
    QTest::mouseClick(picker->clearButton(), Qt::LeftButton);
    EXPECT_TRUE(center.scheduledReminders().isEmpty());

    picker = openPopover();
    picker->clearDate();
    ListItemCellView loose;
    DatePickerViewController undated;
    undated.setDelegate(&loose);
    choose(undated.alertPopUpButton(), 3);
    EXPECT_TRUE(center.scheduledReminders().isEmpty());
}

TEST_F(DueReminders, ADueReminderIsDeliveredOnceWithItsCardLink)
{
    DatePickerViewController* picker = openPopover();
    choose(picker->alertPopUpButton(), 2);
    center.setClock([this] { return due.addSecs(1); });
    center.tick();
    ASSERT_EQ(center.delivered.size(), 1);
    EXPECT_EQ(center.delivered.first().userInfo.value("urlString").toString(), QStringLiteral("pelorins://CARD-1"));
    EXPECT_TRUE(center.scheduledReminders().isEmpty());
}
