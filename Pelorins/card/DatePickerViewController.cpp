#include "Pelorins/card/DatePickerViewController.h"

#include "Pelorins/card/DatePickerDelegate.h"
#include "Pelorins/card/TextDatePickerWithDelegate.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/PLDueAlertTime.h"
#include "Platform/widgets/Popover.h"
#include "Platform/widgets/SectionedListView.h"

#include <QCalendar>
#include <QCalendarWidget>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

template <typename Widget> Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

DatePickerViewController::DatePickerViewController(QWidget* parent)
    : DatePickerPopUpView(parent)
    , m_textDatePicker(named(new TextDatePickerWithDelegate(this), "textDatePicker"))
    , m_invisibleButton(named(new QPushButton(this), "invisibleButton"))
    , m_calendarDatePicker(named(new QCalendarWidget(this), "calendarDatePicker"))
    , m_timePicker(named(new QTimeEdit(this), "timePicker"))
    , m_alertPopUpButton(named(new QComboBox(this), "alertPopUpButton"))
    , m_customAlertTimeBox(named(new QWidget(this), "customAlertTimeBox"))
    , m_customAlertTimeField(named(new QLineEdit(m_customAlertTimeBox), "customAlertTimeField"))
    , m_cutomAlertMenuField(named(new QComboBox(m_customAlertTimeBox), "cutomAlertMenuField"))
    , m_eventsContainingScrollView(named(new QFrame(this), "eventsContainingScrollView"))
    , m_eventsCollectionView(named(new SectionedListView(m_eventsContainingScrollView), "eventsCollectionView"))
    , m_authoriseBox(named(new QFrame(this), "authoriseBox"))
    , m_grantPermissionButton(
          named(new QPushButton(local(QStringLiteral("Choose Calendars…")), m_authoriseBox), "grantPermissionButton"))
    , m_clearButton(named(new QPushButton(local(QStringLiteral("Clear")), this), "clearButton"))
    , m_doneButton(named(new QPushButton(local(QStringLiteral("Done")), this), "doneButton"))
{
    setMinimumSize(300, 340);
    m_textDatePicker->setCalendar(QCalendar(QCalendar::System::Gregorian));
    m_textDatePicker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    m_textDatePicker->setTextDatePickerDalegate(this);
    m_timePicker->setDisplayFormat(QStringLiteral("HH:mm"));
    m_calendarDatePicker->setGridVisible(false);
    m_calendarDatePicker->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendarDatePicker->hide();
    // Over everything but the day field and the calendar: a click anywhere ends editing the day.
    m_invisibleButton->setFlat(true);
    m_invisibleButton->setStyleSheet(QStringLiteral("background: transparent; border: none;"));
    m_invisibleButton->setFocusPolicy(Qt::NoFocus);
    m_invisibleButton->hide();
    m_eventsCollectionView->setFocusPolicy(Qt::StrongFocus);
    m_eventsCollectionView->setHeaderHeight(eventsHeaderHeight);
    m_eventsCollectionView->setPinsHeaders(true);
    m_eventsCollectionView->setDataSource(this);
    m_eventsCollectionView->setDelegate(this);
    auto* events = new QVBoxLayout(m_eventsContainingScrollView);
    events->setContentsMargins(0, 0, 0, 0);
    events->addWidget(m_eventsCollectionView);
    m_eventsContainingScrollView->setMinimumHeight(120);

    auto* dayAndTime = new QHBoxLayout;
    dayAndTime->addWidget(m_textDatePicker, 1);
    dayAndTime->addWidget(m_timePicker);
    auto* alert = new QHBoxLayout;
    alert->addWidget(new QLabel(local(QStringLiteral("Alert:")), this));
    alert->addWidget(m_alertPopUpButton, 1);
    auto* custom = new QHBoxLayout(m_customAlertTimeBox);
    custom->setContentsMargins(0, 0, 0, 0);
    custom->addWidget(m_customAlertTimeField);
    custom->addWidget(m_cutomAlertMenuField);
    m_customAlertTimeBox->setFixedHeight(0);
    const QList<std::pair<QString, PLDueAlertTime>> choices {{local(QStringLiteral("None")), PLDueAlertTime::none},
        {local(QStringLiteral("Due Soon")), PLDueAlertTime::dueSoon},
        {local(QStringLiteral("At Due Time")), PLDueAlertTime::overDue},
        {local(QStringLiteral("1 Hour Before")), PLDueAlertTime::hourBefore},
        {local(QStringLiteral("2 Hours Before")), PLDueAlertTime::twoHoursBefore},
        {local(QStringLiteral("1 Day Before")), PLDueAlertTime::dayBefore},
        {local(QStringLiteral("2 Days Before")), PLDueAlertTime::twoDaysBefore},
        {local(QStringLiteral("Custom…")), PLDueAlertTime::custom}};
    for (const auto& [title, tag] : choices)
        m_alertPopUpButton->addItem(title, int(tag));
    m_cutomAlertMenuField->addItem(local(QStringLiteral("Minutes")), QStringLiteral("minutes"));
    m_cutomAlertMenuField->addItem(local(QStringLiteral("Hours")), QStringLiteral("hours"));
    m_cutomAlertMenuField->addItem(local(QStringLiteral("Days")), QStringLiteral("days"));
    m_customAlertTimeField->setPlaceholderText(QStringLiteral("0"));
    auto* access = new QVBoxLayout(m_authoriseBox);
    access->setContentsMargins(0, 0, 0, 0);
    auto* accessText = new QLabel(
        local(QStringLiteral("Choose the folders of your calendars to see the day's events and link cards to them.")),
        m_authoriseBox);
    accessText->setWordWrap(true);
    access->addWidget(accessText);
    access->addWidget(m_grantPermissionButton, 0, Qt::AlignLeft);
    m_authoriseBox->hide();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_clearButton);
    buttons->addStretch(1);
    buttons->addWidget(m_doneButton);
    m_doneButton->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(dayAndTime);
    layout->addLayout(alert);
    layout->addWidget(m_customAlertTimeBox);
    layout->addWidget(m_authoriseBox);
    layout->addWidget(m_eventsContainingScrollView, 1);
    layout->addLayout(buttons);

    connect(m_textDatePicker, &QDateEdit::dateChanged, this, &DatePickerViewController::datePicked);
    connect(m_calendarDatePicker, &QCalendarWidget::clicked, this, &DatePickerViewController::datePicked);
    connect(m_calendarDatePicker, &QCalendarWidget::activated, this, &DatePickerViewController::datePicked);
    connect(m_timePicker, &QTimeEdit::timeChanged, this, &DatePickerViewController::timePicked);
    connect(m_invisibleButton, &QPushButton::clicked, this, &DatePickerViewController::invisibleButtonTapped);
    connect(m_alertPopUpButton, &QComboBox::activated, this, &DatePickerViewController::alertMenuSelected);
    connect(m_customAlertTimeField, &QLineEdit::editingFinished, this, &DatePickerViewController::customTimeChanged);
    connect(m_cutomAlertMenuField, &QComboBox::activated, this, &DatePickerViewController::customTimeChanged);
    connect(
        m_grantPermissionButton, &QPushButton::clicked, this, &DatePickerViewController::grantPermissionButtonTapped);
    connect(m_clearButton, &QPushButton::clicked, this, &DatePickerViewController::clearDate);
    connect(m_doneButton, &QPushButton::clicked, this, &DatePickerViewController::doneButtonTapped);
}

DatePickerViewController::~DatePickerViewController()
{
    // The list outlives this part of the object while QWidget deletes the children.
    m_eventsCollectionView->setDelegate(nullptr);
    m_eventsCollectionView->setDataSource(nullptr);
}

void DatePickerViewController::setDelegate(DatePickerDelegate* delegate)
{
    m_delegate = delegate;
    m_eventStore = delegate ? delegate->eventStore() : nullptr;
    // What the popover loads with: it needs the card the delegate shows.
    checkCalendarAuthorisation();
    restoreAlertMenu();
    updateDueSoonMenuTitle();
}

void DatePickerViewController::showEvent(QShowEvent* event)
{
    DatePickerPopUpView::showEvent(event);
    if (!m_appeared) {
        m_appeared = true;
        viewWillAppear();
    }
}

void DatePickerViewController::viewWillAppear()
{
    if (m_date) {
        showDateInPickers(*m_date);
        if (m_delegate)
            m_delegate->datePickedWithDate(m_date);
        fetchEvents(*m_date);
    }
    // Shown without editing the day: the calendar stays closed.
    m_eventsCollectionView->setFocus(Qt::OtherFocusReason);
}

void DatePickerViewController::showDateInPickers(const QDateTime& date)
{
    const QDateTime local = date.toLocalTime();
    const QSignalBlocker day(m_textDatePicker);
    const QSignalBlocker calendar(m_calendarDatePicker);
    const QSignalBlocker time(m_timePicker);
    m_textDatePicker->setDate(local.date());
    m_calendarDatePicker->setSelectedDate(local.date());
    m_timePicker->setTime(local.time());
}

void DatePickerViewController::datePicked(const QDate& day)
{
    {
        const QSignalBlocker field(m_textDatePicker);
        const QSignalBlocker calendar(m_calendarDatePicker);
        m_textDatePicker->setDate(day);
        m_calendarDatePicker->setSelectedDate(day);
    }
    updateDate(day, m_timePicker->time());
}

void DatePickerViewController::timePicked()
{
    updateDate(m_textDatePicker->date(), m_timePicker->time());
}

void DatePickerViewController::updateDate(const QDate& day, const QTime& time)
{
    // A day is a Gregorian day whatever calendar the field shows; the time keeps hour and minute.
    const QDateTime combined(day, QTime(time.hour(), time.minute(), 0), Qt::LocalTime);
    if (combined.isValid())
        m_date = combined.toUTC();
    if (m_delegate)
        m_delegate->datePickedWithDate(m_date);
    if (m_date)
        fetchEvents(*m_date);
    updateReminder();
}

void DatePickerViewController::invisibleButtonTapped()
{
    m_eventsCollectionView->setFocus(Qt::MouseFocusReason);
}

void DatePickerViewController::clearDate()
{
    m_date.reset();
    if (m_delegate)
        m_delegate->datePickedWithDate(std::nullopt);
    removeScheduledNotification();
    if (m_containingPopover)
        m_containingPopover->close();
}

void DatePickerViewController::doneButtonTapped()
{
    if (m_containingPopover)
        m_containingPopover->close();
}

void DatePickerViewController::textDatePickerDidBecomeFirstResponder()
{
    placeCalendar();
    m_invisibleButton->show();
    m_invisibleButton->raise();
    m_calendarDatePicker->show();
    m_calendarDatePicker->raise();
    m_textDatePicker->raise();
}

void DatePickerViewController::textDatePickerDidResignFirstResponder()
{
    m_calendarDatePicker->hide();
    m_invisibleButton->hide();
}

void DatePickerViewController::resizeEvent(QResizeEvent* event)
{
    DatePickerPopUpView::resizeEvent(event);
    placeCalendar();
}

void DatePickerViewController::placeCalendar()
{
    m_invisibleButton->setGeometry(rect());
    const QRect field = m_textDatePicker->geometry();
    const QSize size = m_calendarDatePicker->sizeHint();
    m_calendarDatePicker->setGeometry(field.left(), field.bottom() + 2, std::min(size.width(), width() - field.left()),
        std::min(size.height(), std::max(0, height() - field.bottom() - 2)));
}
