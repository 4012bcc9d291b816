#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The content lines of iCalendar text as bytes: where each line begins and ends (with its folded
// continuation lines and its line break), its text unfolded, its name and value. Also the escaping
// of TEXT values and the folding of long lines that writing a line needs.
class ICalendarText
{
public:
    struct Line
    {
        // The line's bytes in the text: from its first byte to the end of its last line break.
        qsizetype begin = 0;
        qsizetype end = 0;
        // Unfolded, without the line break.
        QByteArray text;
    };

    // The lines of bytes [begin, end), in order.
    static QList<Line> lines(const QByteArray& bytes, qsizetype begin, qsizetype end);
    // Where the logical line that begins at `begin` ends: after its line break and its
    // continuation lines.
    static qsizetype lineEnd(const QByteArray& bytes, qsizetype begin, qsizetype end);
    static QByteArray unfolded(const QByteArray& bytes, qsizetype begin, qsizetype end);

    // "DTSTART", upper-cased, of "dtstart;TZID=Europe/Berlin:20260101T100000".
    static QByteArray name(const QByteArray& line);
    // Everything before the colon that starts the value (which may sit inside a quoted parameter).
    static qsizetype valueSeparator(const QByteArray& line);
    static QByteArray value(const QByteArray& line);

    static QString unescapedText(const QByteArray& value);
    static QByteArray escapedText(const QString& text);
    // The line folded into lines of at most 75 bytes, never inside a UTF-8 character, each
    // ended by `lineBreak`.
    static QByteArray folded(const QByteArray& line, const QByteArray& lineBreak);
};
