#pragma once

#include <QString>
#include <optional>

// An event's identifier: the file that holds the event and its UID. The same invitation often sits
// in two calendars under one UID; the file tells the copies apart. An identifier without a file
// (a bare UID, as identifiers were once stored) still names an event, less precisely.
class CalendarEventIdentifier
{
public:
    CalendarEventIdentifier(QString filePath, QString uid);

    // Nothing for an identifier that names no file: a bare UID.
    static std::optional<CalendarEventIdentifier> fromString(const QString& identifier);
    QString toString() const;

    const QString& filePath() const { return m_filePath; }
    const QString& uid() const { return m_uid; }

private:
    QString m_filePath;
    QString m_uid;
};
