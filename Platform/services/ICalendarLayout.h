#pragma once

#include <QByteArray>
#include <QList>

// Where the calendars (VCALENDAR) and their events (VEVENT) of a file lie in its bytes, found
// without a parser: by BEGIN and END lines. It decides what may be handed to a parser at all (how
// deeply components nest), lets each calendar of a file be read on its own, and lets a write
// change one event's lines and keep every other byte.
class ICalendarLayout
{
public:
    // Deeper nesting is no calendar anyone writes, and a parser that frees components
    // recursively could run out of stack on it.
    static constexpr int maximumDepth = 64;
    // A parser that takes each parameter of a line by searching the rest of the line spends
    // minutes on one line of a few hundred thousand parameters; no property carries more than a
    // few dozen.
    static constexpr int maximumParameters = 100;

    struct Range
    {
        qsizetype begin = 0;
        qsizetype end = 0;
    };
    struct Event
    {
        // From its BEGIN line to the end of its END line.
        Range range;
        // The first UID line's value as written, unfolded.
        QByteArray uid;
    };
    struct Calendar
    {
        Range range;
        QList<Event> events;
    };

    explicit ICalendarLayout(const QByteArray& bytes);

    // Nested too deeply, or a line with too many parameters: never handed to a parser.
    bool isTooComplex() const { return m_tooComplex; }
    // Calendars that end, in the order of the file.
    const QList<Calendar>& calendars() const { return m_calendars; }
    // Events of a calendar that never ends.
    int unfinishedEvents() const { return m_unfinishedEvents; }
    // Whether anything but white space lies outside the calendars: text after the last END, an
    // unfinished calendar, a component that is not a calendar, an END that closes the wrong one.
    // Such a file is never written, since readers disagree about what it holds.
    bool hasStrayText() const { return m_strayText; }

private:
    QList<Calendar> m_calendars;
    int m_unfinishedEvents = 0;
    bool m_tooComplex = false;
    bool m_strayText = false;
};
