#pragma once

#include "Platform/services/CalendarFileEvent.h"
#include "Platform/services/ExpansionBudget.h"
#include "Platform/services/ICalendarLayout.h"

#include <QByteArray>
#include <QString>
#include <vector>

class CalendarTimeZones;

// The events of one calendar file, read from its bytes: each calendar of the file on its own, and
// an event that cannot be read (no UID, no start) skipped without the events beside it. The
// occurrences are worked out a week at a time and kept, so that the next day shown, or the same
// day again, costs no more work.
class CalendarFile
{
public:
    // More in one week are left out, with a console line.
    static constexpr int maximumOccurrences = 10000;
    static constexpr qint64 weekSeconds = 7 * 86400;

    struct Occurrence
    {
        int event;
        qint64 start;
        qint64 end;
    };

    CalendarFile(const QString& path, const QByteArray& bytes, CalendarTimeZones& zones);

    const QString& path() const { return m_path; }
    // False when nothing of the file could be read at all.
    bool isReadable() const { return m_readable; }
    int unreadableEvents() const { return m_unreadableEvents; }
    const std::vector<CalendarFileEvent>& events() const { return m_events; }
    // Whether an event's lines can be found in the file's bytes, so that it can be written.
    bool isWritable(int event) const;
    const ICalendarLayout& layout() const { return m_layout; }

    // Appends the occurrences overlapping [from, to] (instants), changed occurrences included as
    // they are written. False when the budget ran out before they were all worked out; asking
    // again goes on from there.
    bool occurrences(qint64 from, qint64 to, ExpansionBudget& budget, std::vector<Occurrence>& out);

private:
    struct Week
    {
        qint64 from = 0;
        std::vector<Occurrence> found;
        std::size_t nextEvent = 0;
    };

    Week& week(qint64 from);
    bool workOut(Week& week, ExpansionBudget& budget);
    void readCalendar(int calendarIndex, const QByteArray& bytes, CalendarTimeZones& zones);
    bool addOccurrences(int index, Week& week, ExpansionBudget& budget);
    void reportTooMany();

    QString m_path;
    ICalendarLayout m_layout;
    bool m_readable = false;
    int m_unreadableEvents = 0;
    std::vector<CalendarFileEvent> m_events;
    // Per calendar of the file: whether its events match the layout's one to one.
    std::vector<bool> m_matchesLayout;
    std::vector<Week> m_weeks;
    std::vector<qint64> m_walls;
    bool m_reportedTooMany = false;
};
