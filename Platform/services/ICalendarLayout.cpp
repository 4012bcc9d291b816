#include "Platform/services/ICalendarLayout.h"

#include "Platform/services/ICalendarText.h"

namespace {

const QByteArray byteOrderMark("\xEF\xBB\xBF");

bool isBlank(const QByteArray& bytes, qsizetype begin, qsizetype end)
{
    for (qsizetype i = begin; i < end; ++i) {
        const char c = bytes[i];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

// Whether the line at `at` may begin with `word` (case aside); cheap, so that most lines are
// never unfolded.
bool mayStartWith(const QByteArray& bytes, qsizetype at, const char* word)
{
    for (qsizetype i = 0; word[i]; ++i) {
        if (at + i >= bytes.size() || (bytes[at + i] & ~0x20) != word[i])
            return false;
    }
    return true;
}

// The parameters of the line from `at` to `end`: the semicolons before its value, quotes aside.
int parameterCount(const QByteArray& bytes, qsizetype at, qsizetype end)
{
    int count = 0;
    bool quoted = false;
    for (qsizetype i = at; i < end; ++i) {
        const char c = bytes[i];
        if (c == '"')
            quoted = !quoted;
        else if (c == ':' && !quoted)
            break;
        else if (c == ';' && !quoted)
            ++count;
    }
    return count;
}

} // namespace

ICalendarLayout::ICalendarLayout(const QByteArray& bytes)
{
    QList<QByteArray> open;
    Calendar calendar;
    Event event;
    bool inCalendar = false;
    bool inEvent = false;
    const qsizetype size = bytes.size();
    qsizetype at = bytes.startsWith(byteOrderMark) ? byteOrderMark.size() : 0;
    while (at < size) {
        const qsizetype end = ICalendarText::lineEnd(bytes, at, size);
        if (parameterCount(bytes, at, end) > maximumParameters) {
            m_tooComplex = true;
            return;
        }
        const bool begins = mayStartWith(bytes, at, "BEGIN");
        const bool ends = !begins && mayStartWith(bytes, at, "END");
        const bool uid = inEvent && open.size() == 2 && event.uid.isNull() && mayStartWith(bytes, at, "UID");
        if (begins || ends || uid) {
            const QByteArray line = ICalendarText::unfolded(bytes, at, end);
            const QByteArray name = ICalendarText::name(line);
            const QByteArray value = ICalendarText::value(line).trimmed().toUpper();
            if (name == "BEGIN") {
                open.append(value);
                if (open.size() > maximumDepth) {
                    m_tooComplex = true;
                    return;
                }
                if (open.size() == 1 && value == "VCALENDAR") {
                    calendar = Calendar {{at, end}, {}};
                    inCalendar = true;
                } else if (open.size() == 1) {
                    m_strayText = true;
                } else if (open.size() == 2 && inCalendar && value == "VEVENT") {
                    event = Event {{at, end}, {}};
                    inEvent = true;
                }
            } else if (name == "END") {
                if (open.isEmpty() || open.takeLast() != value)
                    m_strayText = true;
                if (open.size() == 1 && inEvent) {
                    event.range.end = end;
                    calendar.events.append(event);
                    inEvent = false;
                } else if (open.isEmpty() && inCalendar) {
                    calendar.range.end = end;
                    m_calendars.append(calendar);
                    inCalendar = false;
                }
            } else if (name == "UID") {
                event.uid = ICalendarText::value(line);
            }
        } else if (open.isEmpty() && !isBlank(bytes, at, end)) {
            m_strayText = true;
        }
        at = end;
    }
    if (inCalendar) {
        m_unfinishedEvents = int(calendar.events.size()) + (inEvent ? 1 : 0);
        m_strayText = true;
    } else if (!open.isEmpty()) {
        m_strayText = true;
    }
}
