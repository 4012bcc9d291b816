// The board view's timers: due dates checked each whole minute and the done days renamed at
// local midnight, stopped over sleep and set again when the clock or the zone changes.

#include "Pelorins/board/MacKanbanColumnsViewController.h"

#include "Pelorins/board/BoardHost.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/services/SystemEventMonitor.h"

#include <algorithm>

namespace {

const QString willSleepEvent = QStringLiteral("willSleep");
const QString didWakeEvent = QStringLiteral("didWake");

} // namespace

void MacKanbanColumnsViewController::startTimers()
{
    for (QTimer* timer : {&m_minutelyTimer, &m_dailyTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    // Each fire sets the next one from the moment it was due, never from a fixed interval, so
    // that a day of 23 or 25 hours still ends at midnight.
    connect(&m_minutelyTimer, &QTimer::timeout, this, [this] {
        const QDateTime due = m_minutelyFireDate.value_or(now());
        checkForDueItems();
        armMinutelyTimer(std::max(now(), due));
    });
    connect(&m_dailyTimer, &QTimer::timeout, this, [this] {
        const QDateTime due = m_dailyFireDate.value_or(now());
        updateDoneColumnHeaders();
        armDailyTimer(std::max(now(), due));
    });
    scheduleMinutelyTimer();
    scheduleDailyTimer();

    m_services.notificationCenter->addObserver(this, NotificationName::dueSoonDefinitionChanged,
        [this](const NotificationCenter::Notification&) { checkForDueItems(); });
    if (SystemEventMonitor* monitor = m_services.systemEvents) {
        connect(monitor, &SystemEventMonitor::clockChanged, this, &MacKanbanColumnsViewController::scheduleAllTimers);
        connect(
            monitor, &SystemEventMonitor::timeZoneChanged, this, &MacKanbanColumnsViewController::scheduleAllTimers);
        connect(monitor, &SystemEventMonitor::willSleep, this, [this] { sleepListener(willSleepEvent); });
        connect(monitor, &SystemEventMonitor::didWake, this, [this] { sleepListener(didWakeEvent); });
    }
}

QDateTime MacKanbanColumnsViewController::nextWholeMinute(const QDateTime& now)
{
    constexpr qint64 minute = 60 * 1000;
    const qint64 since = now.toMSecsSinceEpoch();
    const qint64 floored = since - ((since % minute) + minute) % minute;
    return QDateTime::fromMSecsSinceEpoch(floored + minute, Qt::UTC);
}

QDateTime MacKanbanColumnsViewController::nextLocalMidnight(const QDateTime& now, const QTimeZone& zone)
{
    const QDate today = now.toTimeZone(zone).date();
    return today.addDays(1).startOfDay(zone).toUTC();
}

void MacKanbanColumnsViewController::scheduleMinutelyTimer()
{
    armMinutelyTimer(now());
}

void MacKanbanColumnsViewController::scheduleDailyTimer()
{
    armDailyTimer(now());
}

void MacKanbanColumnsViewController::armMinutelyTimer(const QDateTime& after)
{
    m_minutelyTimer.stop();
    m_minutelyFireDate = nextWholeMinute(after);
    m_minutelyTimer.start(int(std::clamp<qint64>(now().msecsTo(*m_minutelyFireDate), 0, 60 * 1000)));
}

void MacKanbanColumnsViewController::armDailyTimer(const QDateTime& after)
{
    m_dailyTimer.stop();
    m_dailyFireDate = nextLocalMidnight(after);
    if (!m_dailyFireDate->isValid()) {
        m_dailyFireDate.reset();
        return;
    }
    m_dailyTimer.start(int(std::clamp<qint64>(now().msecsTo(*m_dailyFireDate), 0, 26 * 3600 * 1000)));
}

void MacKanbanColumnsViewController::scheduleAllTimers()
{
    scheduleMinutelyTimer();
    scheduleDailyTimer();
}

void MacKanbanColumnsViewController::sleepListener(const QString& eventName)
{
    if (eventName == willSleepEvent) {
        m_minutelyTimer.stop();
        m_dailyTimer.stop();
        m_minutelyFireDate.reset();
        m_dailyFireDate.reset();
    } else if (eventName == didWakeEvent) {
        scheduleMinutelyTimer();
        scheduleDailyTimer();
    } else {
        ConsoleLog::write(QStringLiteral("Some other event other than the first two"));
    }
}

std::optional<QDateTime> MacKanbanColumnsViewController::minutelyFireDate() const
{
    return m_minutelyTimer.isActive() ? m_minutelyFireDate : std::nullopt;
}

std::optional<QDateTime> MacKanbanColumnsViewController::dailyFireDate() const
{
    return m_dailyTimer.isActive() ? m_dailyFireDate : std::nullopt;
}

void MacKanbanColumnsViewController::checkForDueItems()
{
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        controller->updateDueDateColours();
    if (BoardHost* host = mainSplitViewController())
        host->refreshSidebarListWhileKeepingSelection();
}

void MacKanbanColumnsViewController::updateDoneColumnHeaders()
{
    // The done column, and in one column the list that shows the days among its sections.
    const int stages = stageCount();
    for (MacKanbanColumnController* controller : std::as_const(m_columnControllers))
        if (controller->specifiedSection() == stages || controller->showAllSections())
            controller->updateDoneColumnHeaders();
}
