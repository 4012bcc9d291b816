#include "Pelorins/card/DatePickerViewController.h"
#include "Pelorins/card/DatePickerDelegate.h"
#include "Pelorins/card/TextDatePickerWithDelegate.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/Popover.h"
#include "Platform/widgets/SectionedListView.h"
#include "support/QStringPrinting.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <gtest/gtest.h>

namespace {

// Records what the popover reports.
class RecordingDelegate : public DatePickerDelegate
{
public:
    void datePickedWithDate(const std::optional<QDateTime>& date) override { reported.append(date); }
    ListItem* objectValue() const override { return nullptr; }
    std::optional<QString> listItemURLString() const override { return std::nullopt; }
    NotesTextView* noteTextView() const override { return nullptr; }
    CalendarStore* eventStore() const override { return nullptr; }
    ReminderCenter* reminderCenter() const override { return nullptr; }
    UserDefaults& userDefaults() const override { return defaults; }
    void requestDeferredSave() override { }

    QList<std::optional<QDateTime>> reported;
    QTemporaryDir folder;
    mutable UserDefaults defaults {folder.filePath(QStringLiteral("defaults.conf"))};
};

class DatePicker : public ::testing::Test
{
protected:
    // Opens the popover as the card cell does, preset with `date`.
    DatePickerViewController* open(const std::optional<QDateTime>& date)
    {
        popover = new Popover;
        popover->setAttribute(Qt::WA_DeleteOnClose);
        auto* picker = new DatePickerViewController;
        picker->setDate(date);
        picker->setDelegate(&delegate);
        picker->setContainingPopover(popover);
        popover->setContentWidget(picker);
        popover->show();
        QApplication::setActiveWindow(popover);
        QCoreApplication::processEvents();
        return picker;
    }

    void TearDown() override { delete popover; }

    static QDateTime local(int day, int hour, int minute, int second = 0)
    {
        return QDateTime(QDate(2024, 3, day), QTime(hour, minute, second), Qt::LocalTime);
    }

    RecordingDelegate delegate;
    QPointer<Popover> popover;
};

} // namespace

TEST_F(DatePicker, ThePresetDateIsReportedOnceAsItWasGiven)
{
    const QDateTime preset = local(4, 10, 15, 30);
    DatePickerViewController* picker = open(preset);
    ASSERT_EQ(delegate.reported.size(), 1);
    EXPECT_EQ(delegate.reported.first(), preset) << "seconds and all";
    EXPECT_EQ(picker->textDatePicker()->date(), QDate(2024, 3, 4));
    EXPECT_EQ(picker->timePicker()->time(), QTime(10, 15, 30));
    EXPECT_TRUE(picker->eventsCollectionView()->hasFocus()) << "the day is not being edited";
    EXPECT_FALSE(picker->calendarDatePicker()->isVisible());

    popover->hide();
    popover->show();
    EXPECT_EQ(delegate.reported.size(), 1);
}

TEST_F(DatePicker, WithoutADateNothingIsReported)
{
    open(std::nullopt);
    EXPECT_TRUE(delegate.reported.isEmpty());
}

TEST_F(DatePicker, DayAndTimeAreRecombinedWithSecondsZero)
{
    DatePickerViewController* picker = open(local(4, 10, 15, 30));
    picker->timePicker()->setTime(QTime(9, 0));
    EXPECT_EQ(delegate.reported.last(), local(4, 9, 0)) << "a new time keeps the day";
    picker->textDatePicker()->setDate(QDate(2024, 3, 9));
    EXPECT_EQ(delegate.reported.last(), local(9, 9, 0)) << "a new day keeps the time";
    EXPECT_EQ(picker->calendarDatePicker()->selectedDate(), QDate(2024, 3, 9));
    EXPECT_EQ(picker->date(), local(9, 9, 0));
    EXPECT_EQ(delegate.reported.last()->time().second(), 0);
}

TEST_F(DatePicker, ClearReportsNoDateAndClosesDoneOnlyCloses)
{
    DatePickerViewController* picker = open(local(4, 10, 0));
    QTest::mouseClick(picker->clearButton(), Qt::LeftButton);
    EXPECT_EQ(delegate.reported.last(), std::nullopt);
    EXPECT_EQ(picker->date(), std::nullopt);
    QCoreApplication::processEvents();
    EXPECT_TRUE(!popover || !popover->isVisible());

    delegate.reported.clear();
    picker = open(local(4, 10, 0));
    QTest::mouseClick(picker->doneButton(), Qt::LeftButton);
    EXPECT_EQ(delegate.reported.size(), 1) << "only the opening report";
    QCoreApplication::processEvents();
    EXPECT_TRUE(!popover || !popover->isVisible());
}

TEST_F(DatePicker, EditingTheDayShowsTheCalendarAndAClickElsewhereHidesIt)
{
    DatePickerViewController* picker = open(local(4, 10, 0));
    picker->textDatePicker()->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(picker->calendarDatePicker()->isVisible());
    EXPECT_TRUE(picker->invisibleButton()->isVisible());

    QTest::mouseClick(
        picker->invisibleButton(), Qt::LeftButton, {}, picker->invisibleButton()->rect().bottomRight() - QPoint(4, 4));
    EXPECT_FALSE(picker->calendarDatePicker()->isVisible());
    EXPECT_FALSE(picker->invisibleButton()->isVisible());
    EXPECT_TRUE(picker->eventsCollectionView()->hasFocus());
}

TEST_F(DatePicker, WidgetsCarryTheirOutletNames)
{
    DatePickerViewController* picker = open(std::nullopt);
    for (const char* name : {"textDatePicker", "invisibleButton", "calendarDatePicker", "timePicker",
             "customAlertTimeField", "cutomAlertMenuField", "alertPopUpButton", "eventsContainingScrollView",
             "eventsCollectionView", "authoriseBox"})
        EXPECT_NE(picker->findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
}
