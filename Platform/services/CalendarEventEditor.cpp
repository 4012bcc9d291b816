#include "Platform/services/CalendarEventEditor.h"

#include "Platform/core/CivilTime.h"
#include "Platform/services/ICalendarText.h"

#include <QSet>

namespace {

struct OwnLine
{
    ICalendarText::Line line;
    QByteArray name;
    // A line of the event itself, not of a component inside it (an alarm has a DESCRIPTION too).
    bool isOwn;
};

QList<OwnLine> linesOf(const QByteArray& bytes, ICalendarLayout::Range range)
{
    QList<OwnLine> lines;
    int depth = 0;
    for (const ICalendarText::Line& line : ICalendarText::lines(bytes, range.begin, range.end)) {
        const QByteArray name = ICalendarText::name(line.text);
        if (name == "END")
            --depth;
        lines.append(OwnLine {line, name, depth == 1 && name != "BEGIN" && name != "END"});
        if (name == "BEGIN")
            ++depth;
    }
    return lines;
}

QByteArray lineBreakOf(const QByteArray& bytes, const ICalendarText::Line& line)
{
    const QByteArray physical = bytes.mid(line.begin, line.end - line.begin);
    return physical.endsWith("\r\n") || !physical.endsWith('\n') ? QByteArray("\r\n") : QByteArray("\n");
}

// The name and parameters of a line as written, up to its value.
QByteArray prefixOf(const QByteArray& text)
{
    const qsizetype separator = ICalendarText::valueSeparator(text);
    return separator < 0 ? text : text.left(separator);
}

QByteArray timeValueLike(const QByteArray& written, qint64 wallSeconds)
{
    const CivilTime time = CivilTime::fromWallSeconds(wallSeconds);
    const QByteArray date = QByteArray::number(time.year).rightJustified(4, '0')
        + QByteArray::number(time.month).rightJustified(2, '0') + QByteArray::number(time.day).rightJustified(2, '0');
    if (written.trimmed().size() == 8)
        return date;
    return date + 'T' + QByteArray::number(time.hour).rightJustified(2, '0')
        + QByteArray::number(time.minute).rightJustified(2, '0')
        + QByteArray::number(time.second).rightJustified(2, '0') + (written.trimmed().endsWith('Z') ? "Z" : "");
}

} // namespace

QByteArray CalendarEventEditor::withNotes(
    const QByteArray& bytes, ICalendarLayout::Range event, const std::optional<QString>& notes, const QDateTime& now)
{
    const QList<OwnLine> lines = linesOf(bytes, event);
    if (lines.isEmpty())
        return bytes;
    const QByteArray lineBreak = lineBreakOf(bytes, lines.first().line);
    const QByteArray stamp = now.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();
    const bool hasNotes = notes && !notes->isEmpty();
    const auto valueFor
        = [&](const QByteArray& name) { return name == "DESCRIPTION" ? ICalendarText::escapedText(*notes) : stamp; };

    QByteArray edited;
    QSet<QByteArray> written;
    qsizetype insertAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const OwnLine& line = lines[i];
        // New properties go before the first component inside the event, or its END.
        if (i > 0 && !line.isOwn && insertAt < 0)
            insertAt = edited.size();
        const bool replaced
            = line.isOwn && (line.name == "DTSTAMP" || line.name == "LAST-MODIFIED" || line.name == "DESCRIPTION");
        if (!replaced) {
            edited += bytes.mid(line.line.begin, line.line.end - line.line.begin);
            continue;
        }
        if (written.contains(line.name) || (line.name == "DESCRIPTION" && !hasNotes))
            continue;
        written.insert(line.name);
        edited += ICalendarText::folded(prefixOf(line.line.text) + ':' + valueFor(line.name), lineBreak);
    }
    QByteArray added;
    for (const char* property : {"DESCRIPTION", "LAST-MODIFIED", "DTSTAMP"}) {
        const QByteArray name(property);
        if (!written.contains(name) && (name != "DESCRIPTION" || hasNotes))
            added += ICalendarText::folded(name + ':' + valueFor(name), lineBreak);
    }
    edited.insert(insertAt < 0 ? edited.size() : insertAt, added);
    return bytes.left(event.begin) + edited + bytes.mid(event.end);
}

QByteArray CalendarEventEditor::withChangedOccurrence(const QByteArray& bytes, ICalendarLayout::Range series,
    qint64 startWall, std::optional<qint64> endWall, const std::optional<QString>& notes, const QDateTime& now)
{
    const QList<OwnLine> lines = linesOf(bytes, series);
    if (lines.isEmpty())
        return bytes;
    const QByteArray lineBreak = lineBreakOf(bytes, lines.first().line);
    QByteArray occurrence;
    for (const OwnLine& line : lines) {
        const QByteArray& text = line.line.text;
        const bool rule = line.name == "RRULE" || line.name == "RDATE" || line.name == "EXDATE" || line.name == "EXRULE"
            || line.name == "RECURRENCE-ID";
        if (line.isOwn && rule)
            continue;
        if (line.isOwn && line.name == "DTSTART") {
            const QByteArray value = timeValueLike(ICalendarText::value(text), startWall);
            // The occurrence is named by the start its series gave it, in the same form.
            const QByteArray parameters = prefixOf(text).mid(ICalendarText::name(text).size());
            occurrence += ICalendarText::folded(prefixOf(text) + ':' + value, lineBreak);
            occurrence += ICalendarText::folded("RECURRENCE-ID" + parameters + ':' + value, lineBreak);
        } else if (line.isOwn && line.name == "DTEND" && endWall) {
            occurrence += ICalendarText::folded(
                prefixOf(text) + ':' + timeValueLike(ICalendarText::value(text), *endWall), lineBreak);
        } else {
            occurrence += bytes.mid(line.line.begin, line.line.end - line.line.begin);
        }
    }
    occurrence = withNotes(occurrence, {0, occurrence.size()}, notes, now);
    return bytes.left(series.end) + occurrence + bytes.mid(series.end);
}
