#pragma once

#include "Pelorins/card/DatePickerPopUpView.h"
#include "Pelorins/card/TextDatePickerDelegate.h"
#include "Platform/services/CalendarEvent.h"
#include "Platform/widgets/Popover.h"
#include "Platform/widgets/SectionedListViewDataSource.h"
#include "Platform/widgets/SectionedListViewDelegate.h"

#include <QDateTime>
#include <QPointer>
#include <QStringList>
#include <optional>

struct Reminder;

class CalendarStore;
class DatePickerDelegate;
class QCalendarWidget;
class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;
class SectionedListView;
class QTimeEdit;
class QVariantAnimation;
class ReminderCenter;
class TextDatePickerWithDelegate;

// The due-date popover of a card: a day field (with a calendar while it is edited), a time, the
// reminder choice and the day's calendar events. Every change of the day or time goes to the
// delegate at once; Done only closes, and Clear removes the due date. The popover never touches
// the card itself.
//
// Widgets carry their outlet names as object names.
class DatePickerViewController : public DatePickerPopUpView,
                                 public TextDatePickerDelegate,
                                 public SectionedListViewDataSource,
                                 public SectionedListViewDelegate
{
    Q_OBJECT

public:
    explicit DatePickerViewController(QWidget* parent = nullptr);
    ~DatePickerViewController() override;

    std::optional<QDateTime> date() const { return m_date; }
    void setDate(const std::optional<QDateTime>& date) { m_date = date; }
    DatePickerDelegate* delegate() const { return m_delegate; }
    // Also takes the delegate's calendars.
    void setDelegate(DatePickerDelegate* delegate);
    CalendarStore* eventStore() const { return m_eventStore; }
    Popover* containingPopover() const { return m_containingPopover; }
    void setContainingPopover(Popover* popover) { m_containingPopover = popover; }

    TextDatePickerWithDelegate* textDatePicker() const { return m_textDatePicker; }
    QPushButton* invisibleButton() const { return m_invisibleButton; }
    QCalendarWidget* calendarDatePicker() const { return m_calendarDatePicker; }
    QTimeEdit* timePicker() const { return m_timePicker; }
    QComboBox* alertPopUpButton() const { return m_alertPopUpButton; }
    QWidget* customAlertTimeBox() const { return m_customAlertTimeBox; }
    QLineEdit* customAlertTimeField() const { return m_customAlertTimeField; }
    QComboBox* cutomAlertMenuField() const { return m_cutomAlertMenuField; }
    QFrame* eventsContainingScrollView() const { return m_eventsContainingScrollView; }
    SectionedListView* eventsCollectionView() const { return m_eventsCollectionView; }
    QFrame* authoriseBox() const { return m_authoriseBox; }
    QPushButton* grantPermissionButton() const { return m_grantPermissionButton; }
    QPushButton* clearButton() const { return m_clearButton; }
    QPushButton* doneButton() const { return m_doneButton; }

    // Actions.
    void datePicked(const QDate& day);
    void timePicked();
    void invisibleButtonTapped();
    void clearDate();
    void doneButtonTapped();

    // The day of `day` and the hour and minute of `time`, in local Gregorian time with seconds 0,
    // become the date, which goes to the delegate.
    void updateDate(const QDate& day, const QTime& time);

    // Reminders. The choices carry their tags (0 none to 7 custom) as item data, the custom units
    // their identifiers ("minutes", "hours", "days").
    static constexpr int customRowHeight = 28;
    static const QStringList dueSoonMenuTitles;
    ReminderCenter* reminderCenter() const;
    // The card's pending reminder, found by its link.
    std::optional<Reminder> scheduledNotification() const;
    void restoreAlertMenu();
    void updateDueSoonMenuTitle();
    // Schedules the card's reminder anew for the date and the choice, or removes it.
    void updateReminder();
    void scheduleReminder(
        const QDateTime& at, int tag, const std::optional<QString>& customUnit, std::optional<int> customIntegers);
    void alertMenuSelected();
    void customTimeChanged();

    // Calendar events: those of the chosen day and those linked to the card, by start, in a
    // section per day. Nothing is read before the user granted access.
    static constexpr int eventsHeaderHeight = 22;
    void checkCalendarAuthorisation();
    void grantPermissionButtonTapped();
    void fetchEvents(const QDateTime& day);
    const QList<CalendarEvent>& events() const { return m_events; }
    const QList<QDateTime>& distinctEventDates() const { return m_distinctEventDates; }
    // The events shown whose start falls on the day beginning at `day`, in order.
    QList<CalendarEvent> eventsOn(const QDateTime& day) const;

    // SectionedListViewDataSource: the event list.
    int numberOfSections() const override;
    int numberOfItems(int section) const override;
    QString itemKind(const IndexPath& path) const override;
    QSize sizeForItem(const IndexPath& path, int availableWidth) const override;
    quint64 itemIdentity(const IndexPath& path) const override;
    QWidget* createItemWidget(const QString& kind) override;
    void configureItem(QWidget* widget, const IndexPath& path) override;
    QWidget* createHeaderWidget() override;
    void configureHeader(QWidget* widget, int section) override;
    // SectionedListViewDelegate: one event is selected at a time.
    QSet<IndexPath> shouldSelectItems(const QSet<IndexPath>& proposed) override;
    void didSelectItems(const QSet<IndexPath>& paths) override;
    void didDeselectItems(const QSet<IndexPath>& paths) override;

    // TextDatePickerDelegate: the calendar shows while the day field is edited.
    void textDatePickerDidBecomeFirstResponder() override;
    void textDatePickerDidResignFirstResponder() override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void viewWillAppear();
    void placeCalendar();
    void showDateInPickers(const QDateTime& date);
    void removeScheduledNotification();
    void setCustomRowHeight(int height, bool animated);
    int selectedAlertTag() const;
    // The custom row's unit and number; none when the number cannot be read or the unit is unknown.
    std::optional<std::pair<QString, int>> customAlertTime() const;
    const CalendarEvent& eventAt(const IndexPath& path) const;
    void showSelection(const QSet<IndexPath>& paths, bool selected);

    std::optional<QDateTime> m_date;
    DatePickerDelegate* m_delegate = nullptr;
    CalendarStore* m_eventStore = nullptr;
    QPointer<Popover> m_containingPopover;
    bool m_appeared = false;

    TextDatePickerWithDelegate* m_textDatePicker = nullptr;
    QPushButton* m_invisibleButton = nullptr;
    QCalendarWidget* m_calendarDatePicker = nullptr;
    QTimeEdit* m_timePicker = nullptr;
    QComboBox* m_alertPopUpButton = nullptr;
    QWidget* m_customAlertTimeBox = nullptr;
    QLineEdit* m_customAlertTimeField = nullptr;
    QComboBox* m_cutomAlertMenuField = nullptr;
    QFrame* m_eventsContainingScrollView = nullptr;
    SectionedListView* m_eventsCollectionView = nullptr;
    QFrame* m_authoriseBox = nullptr;
    QPushButton* m_grantPermissionButton = nullptr;
    QPushButton* m_clearButton = nullptr;
    QPushButton* m_doneButton = nullptr;
    QPointer<QVariantAnimation> m_customRowAnimation;

    QList<CalendarEvent> m_events;
    QList<QDateTime> m_distinctEventDates;
    // Indexes into m_events of each section's events.
    QList<QList<int>> m_sectionEvents;
};
