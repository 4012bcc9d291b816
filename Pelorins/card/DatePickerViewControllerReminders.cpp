// The due-date popover's reminder: one scheduled reminder per card, found again by the card's
// link, restored into the pop-up when the popover opens and moved with every change.

#include "Pelorins/card/DatePickerDelegate.h"
#include "Pelorins/card/DatePickerViewController.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/DueSoonDefinition.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/PLDueAlertTime.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/ReminderCenter.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <QTimer>
#include <QVariantAnimation>

namespace {

const QString urlStringKey = QStringLiteral("urlString");
const QString selectedMenuTagKey = QStringLiteral("selectedMenuTag");
const QString customUnitKey = QStringLiteral("customUnit");
const QString customIntegersKey = QStringLiteral("customIntegers");
constexpr int customRowAnimationMilliseconds = 300;

// Seconds before the due moment of the fixed choices 2 to 6.
qint64 leadOfTag(int tag)
{
    static const QHash<int, qint64> leads {{int(PLDueAlertTime::overDue), 0}, {int(PLDueAlertTime::hourBefore), 3600},
        {int(PLDueAlertTime::twoHoursBefore), 7200}, {int(PLDueAlertTime::dayBefore), 86400},
        {int(PLDueAlertTime::twoDaysBefore), 172800}};
    return leads.value(tag);
}

qint64 secondsPerUnit(const QString& unit)
{
    static const QHash<QString, qint64> seconds {
        {QStringLiteral("minutes"), 60}, {QStringLiteral("hours"), 3600}, {QStringLiteral("days"), 86400}};
    return seconds.value(unit);
}

// A whole number stored as any number type; none for anything else.
std::optional<qint64> integerValue(const QVariant& value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    const bool numeric = value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong
        || value.typeId() == QMetaType::Double;
    if (!numeric || !ok || number != std::floor(number))
        return std::nullopt;
    return qint64(number);
}

QString boardTitleOf(const ListItem& card)
{
    KanbanColumn* column = card.column();
    if (!column)
        return QString();
    if (Kanban* kanban = column->kanban(); kanban && !kanban->title().isEmpty())
        return kanban->title();
    if (Kanban* kanban = column->mainKanban())
        return kanban->title();
    return QString();
}

} // namespace

const QStringList DatePickerViewController::dueSoonMenuTitles {QStringLiteral("Due Soon (On the day)"),
    QStringLiteral("Due Soon (24 hours)"), QStringLiteral("Due Soon (2 days before)"),
    QStringLiteral("Due Soon (3 days before)"), QStringLiteral("Due Soon (4 days before)"),
    QStringLiteral("Due Soon (5 days before)"), QStringLiteral("Due Soon (1 week before)")};

ReminderCenter* DatePickerViewController::reminderCenter() const
{
    return m_delegate ? m_delegate->reminderCenter() : nullptr;
}

std::optional<Reminder> DatePickerViewController::scheduledNotification() const
{
    ListItem* card = m_delegate ? m_delegate->objectValue() : nullptr;
    ReminderCenter* center = reminderCenter();
    if (!card || !center)
        return std::nullopt;
    return center->scheduledReminderFor(card->itemURLString());
}

void DatePickerViewController::removeScheduledNotification()
{
    if (const std::optional<Reminder> reminder = scheduledNotification())
        reminderCenter()->removeScheduledReminder(reminder->identifier);
}

void DatePickerViewController::restoreAlertMenu()
{
    const std::optional<Reminder> reminder = scheduledNotification();
    const std::optional<qint64> tag
        = reminder ? integerValue(reminder->userInfo.value(selectedMenuTagKey)) : std::nullopt;
    if (!tag) {
        setCustomRowHeight(0, false);
        return;
    }
    // A stored number beyond the tags names no item, however it would narrow.
    const int index = *tag >= 0 && *tag <= int(PLDueAlertTime::custom) ? m_alertPopUpButton->findData(int(*tag)) : -1;
    if (index < 0)
        return;
    m_alertPopUpButton->setCurrentIndex(index);
    if (*tag != int(PLDueAlertTime::custom)) {
        setCustomRowHeight(0, false);
        return;
    }
    setCustomRowHeight(customRowHeight, false);
    const QVariant unit = reminder->userInfo.value(customUnitKey);
    const std::optional<qint64> count = integerValue(reminder->userInfo.value(customIntegersKey));
    if (unit.typeId() != QMetaType::QString || !count)
        return;
    m_customAlertTimeField->setText(QString::number(*count));
    const int unitIndex = m_cutomAlertMenuField->findData(unit.toString());
    if (unitIndex >= 0)
        m_cutomAlertMenuField->setCurrentIndex(unitIndex);
}

void DatePickerViewController::updateDueSoonMenuTitle()
{
    const int index = m_alertPopUpButton->findData(int(PLDueAlertTime::dueSoon));
    const int definition = m_delegate ? m_delegate->userDefaults().integerForKey(dueSoonDefinitionKey) : -1;
    if (index >= 0 && definition >= 0 && definition < dueSoonMenuTitles.size())
        m_alertPopUpButton->setItemText(index, dueSoonMenuTitles.at(definition));
}

void DatePickerViewController::alertMenuSelected()
{
    updateReminder();
}

void DatePickerViewController::customTimeChanged()
{
    // An unreadable number changes nothing, so the reminder in place stays.
    if (selectedAlertTag() == int(PLDueAlertTime::custom) && !customAlertTime())
        return;
    removeScheduledNotification();
    updateReminder();
}

int DatePickerViewController::selectedAlertTag() const
{
    return m_alertPopUpButton->currentIndex() < 0 ? 0 : m_alertPopUpButton->currentData().toInt();
}

std::optional<std::pair<QString, int>> DatePickerViewController::customAlertTime() const
{
    static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]+$"));
    const QString text = m_customAlertTimeField->text();
    bool ok = false;
    const int number = wholeNumber.match(text).hasMatch() ? text.toInt(&ok) : 0;
    const QString unit = m_cutomAlertMenuField->currentData().toString();
    if (!ok || secondsPerUnit(unit) == 0)
        return std::nullopt;
    return std::pair {unit, number};
}

void DatePickerViewController::updateReminder()
{
    const int tag = selectedAlertTag();
    // The row follows the choice once the reminder is scheduled.
    QTimer::singleShot(
        0, this, [this, tag] { setCustomRowHeight(tag == int(PLDueAlertTime::custom) ? customRowHeight : 0, true); });
    if (!m_date)
        return;
    const QDateTime due = *m_date;
    ReminderCenter* center = reminderCenter();
    const QDateTime now = center ? center->now() : QDateTime::currentDateTimeUtc();
    QDateTime delivery;
    std::optional<QString> unit;
    std::optional<int> count;
    switch (PLDueAlertTime(tag)) {
    case PLDueAlertTime::none:
        removeScheduledNotification();
        return;
    case PLDueAlertTime::dueSoon: {
        const int definition = m_delegate ? m_delegate->userDefaults().integerForKey(dueSoonDefinitionKey) : -1;
        static const QList<qint64> leads {0, 86400, 172800, 259200, 345600, 432000, 604800};
        if (definition == int(DueSoonDefinition::dueToday))
            delivery = DateHelpers::beginningOfDate(due);
        else if (definition > 0 && definition < leads.size())
            delivery = due.addSecs(-leads.at(definition));
        else
            delivery = now;
        break;
    }
    case PLDueAlertTime::overDue:
    case PLDueAlertTime::hourBefore:
    case PLDueAlertTime::twoHoursBefore:
    case PLDueAlertTime::dayBefore:
    case PLDueAlertTime::twoDaysBefore:
        delivery = due.addSecs(-leadOfTag(tag));
        break;
    case PLDueAlertTime::custom: {
        // An empty or unreadable number would remind at once; the reminder in place stays.
        const std::optional<std::pair<QString, int>> custom = customAlertTime();
        if (!custom)
            return;
        delivery = due.addSecs(-qint64(custom->second) * secondsPerUnit(custom->first));
        unit = custom->first;
        count = custom->second;
        break;
    }
    default:
        return;
    }
    scheduleReminder(delivery, tag, unit, count);
}

void DatePickerViewController::scheduleReminder(
    const QDateTime& at, int tag, const std::optional<QString>& customUnit, std::optional<int> customIntegers)
{
    removeScheduledNotification();
    ListItem* card = m_delegate ? m_delegate->objectValue() : nullptr;
    ReminderCenter* center = reminderCenter();
    if (!card || !center)
        return;
    Reminder reminder;
    reminder.identifier = card->itemURLString();
    reminder.title = card->firstLineOfNotes();
    if (const std::optional<QDateTime> due = card->dueDate())
        // Some locales' short format has seconds, which a due time never shows.
        reminder.subtitle = QStringLiteral("due on: ")
            + QLocale().toString(due->toLocalTime().date(), QLocale::ShortFormat) + QLatin1Char(' ')
            + DateHelpers::shortTimeString(*due);
    reminder.informativeText = boardTitleOf(*card);
    reminder.deliveryDate = at;
    reminder.userInfo = {{urlStringKey, card->itemURLString()}, {selectedMenuTagKey, tag}};
    if (customUnit && customIntegers) {
        reminder.userInfo.insert(customUnitKey, *customUnit);
        reminder.userInfo.insert(customIntegersKey, *customIntegers);
    }
    center->scheduleReminder(reminder);
}

void DatePickerViewController::setCustomRowHeight(int height, bool animated)
{
    delete m_customRowAnimation;
    if (!animated || m_customAlertTimeBox->height() == height) {
        m_customAlertTimeBox->setFixedHeight(height);
        return;
    }
    m_customRowAnimation = new QVariantAnimation(this);
    m_customRowAnimation->setDuration(customRowAnimationMilliseconds);
    m_customRowAnimation->setStartValue(m_customAlertTimeBox->height());
    m_customRowAnimation->setEndValue(height);
    connect(m_customRowAnimation, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& value) { m_customAlertTimeBox->setFixedHeight(value.toInt()); });
    m_customRowAnimation->start(QAbstractAnimation::DeleteWhenStopped);
}
