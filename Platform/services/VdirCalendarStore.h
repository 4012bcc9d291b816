#pragma once

#include "Platform/services/CalendarFolderWatcher.h"
#include "Platform/services/CalendarStore.h"
#include "Platform/services/CalendarTimeZones.h"

#include <QStringList>
#include <memory>
#include <vector>

class CalendarFile;
class UserDefaults;
class VdirCalendar;
struct CalendarFileEvent;

// Calendars kept as folders of iCalendar files (the vdir layout: one folder per calendar, one
// event per ".ics" file, optional "displayname" and "color" files). Access is granted by choosing
// the folders; the choice is kept in the user defaults. A calendar whose folder cannot be written
// is read-only. Files are parsed once and read again only when they change; whatever a folder
// holds, a request neither crashes, nor hangs, nor takes much longer than its time for repeating
// events.
class VdirCalendarStore : public CalendarStore
{
public:
    static constexpr const char* calendarFoldersKey = "calendarFolders";
    // What one request may spend on working out repeating events; what is left follows on the
    // next request.
    static constexpr qint64 expansionMilliseconds = 60;

    // Asks the user for calendar folders; nothing when the user cancelled.
    using FolderChooser = std::function<std::optional<QStringList>()>;

    VdirCalendarStore(UserDefaults& defaults, FolderChooser chooser);
    ~VdirCalendarStore() override;

    AuthorizationStatus authorizationStatus() const override;
    void requestAccess(const AccessCompletion& completion) override;
    void reset() override;

    QList<CalendarEvent> events(const QDateTime& from, const QDateTime& to) override;
    // An identifier that names a file finds the copy in that file. One that does not (a bare UID,
    // as identifiers were stored before events carried their file), or whose file is gone, finds
    // the first copy in the order of the calendar folders and their file names, preferring a
    // calendar of the same folder and a file of the same name.
    std::optional<CalendarEvent> event(const QString& eventIdentifier) override;
    // Writes into exactly the copy the event was read from, changing that event's lines only.
    bool saveNotes(const CalendarEvent& event, QString* error) override;

    QStringList calendarFolders() const;
    // The calendars of a chosen folder: the folder itself when it holds events or a calendar's
    // name or colour, else each of its folders (the "~/.calendars/<calendar>/" layout).
    static QStringList calendarFoldersIn(const QString& folder);

private:
    struct Location
    {
        VdirCalendar* calendar = nullptr;
        const CalendarFile* file = nullptr;
    };

    void refresh();
    Location locate(const QString& eventIdentifier);
    CalendarEvent eventOf(const VdirCalendar& calendar, const CalendarFile& file, const CalendarFileEvent& read,
        qint64 start, qint64 end) const;

    UserDefaults& m_defaults;
    FolderChooser m_chooser;
    CalendarTimeZones m_zones;
    CalendarFolderWatcher m_watcher;
    std::vector<std::unique_ptr<VdirCalendar>> m_calendars;
};
