#pragma once

#include "Platform/services/CalendarFile.h"
#include "Platform/services/CalendarFolder.h"

#include <QHash>
#include <QSet>
#include <memory>
#include <vector>

class CalendarTimeZones;

// One calendar folder as read: its files, each read once and again when it changes, its title and
// colour, and the changed occurrences of its series wherever in the folder they are written.
class VdirCalendar
{
public:
    // A larger file is skipped as unreadable.
    static constexpr qint64 maximumFileSize = 8 * 1024 * 1024;

    struct File
    {
        CalendarFolder::Entry entry;
        // Null when the file could not be read.
        std::unique_ptr<CalendarFile> read;
    };

    explicit VdirCalendar(const QString& folder);

    const CalendarFolder& folder() const { return m_folder; }
    const CalendarEvent::Calendar& calendar() const { return m_calendar; }
    bool isLoaded() const { return m_loaded; }
    // Looks at every file of the folder.
    void refreshAll(CalendarTimeZones& zones);
    // Looks at the named files only (and at links, whose targets may have changed).
    void refresh(const QSet<QString>& names, CalendarTimeZones& zones);
    // Reads the file again on the next refresh, whatever its stamp says.
    void forget(const QString& name);

    // The files, by name; one that could not be read has no reading.
    const std::vector<File>& files() const { return m_files; }
    // Whether a changed occurrence in this calendar replaces the occurrence of series `uid` due at `start`.
    bool isReplaced(const QString& uid, qint64 start) const;

private:
    void update(const QString& name, const std::optional<CalendarFolder::Entry>& entry, CalendarTimeZones& zones);
    void refuse(const QString& name);
    void collectChangedOccurrences();

    CalendarFolder m_folder;
    CalendarEvent::Calendar m_calendar;
    bool m_loaded = false;
    std::vector<File> m_files;
    QSet<QString> m_refused;
    QSet<QString> m_forgotten;
    QHash<QString, QSet<qint64>> m_changedOccurrences;
};
