#pragma once

#include "Platform/services/CalendarStore.h"

#include <QHash>
#include <QStringList>
#include <memory>

struct icalcomponent_impl;
typedef struct icalcomponent_impl icalcomponent;

class UserDefaults;

// Calendars kept as folders of iCalendar files (the vdir layout: one folder per calendar, one
// event per ".ics" file, optional "displayname" and "color" files). Access is granted by choosing
// the folders; the choice is kept in the user defaults. A calendar whose folder cannot be written
// is read-only. Files are parsed once and read again only when they change.
class VdirCalendarStore : public CalendarStore
{
public:
    static constexpr const char* calendarFoldersKey = "calendarFolders";
    // A larger file is skipped as unreadable.
    static constexpr qint64 maximumFileSize = 8 * 1024 * 1024;

    // Asks the user for calendar folders; nothing when the user cancelled.
    using FolderChooser = std::function<std::optional<QStringList>()>;

    VdirCalendarStore(UserDefaults& defaults, FolderChooser chooser);
    ~VdirCalendarStore() override;

    AuthorizationStatus authorizationStatus() const override;
    void requestAccess(const AccessCompletion& completion) override;
    void reset() override;

    QList<CalendarEvent> events(const QDateTime& from, const QDateTime& to) override;
    std::optional<CalendarEvent> event(const QString& eventIdentifier) override;
    bool saveNotes(const CalendarEvent& event, QString* error) override;

    QStringList calendarFolders() const;

private:
    struct ReadFile
    {
        QDateTime modified;
        qint64 size = -1;
        // The parsed file; null when it could not be read.
        std::shared_ptr<icalcomponent> calendar;
    };
    struct CalendarFile
    {
        QString path;
        icalcomponent* calendar = nullptr;
        CalendarEvent::Calendar info;
    };

    // Brings the cache up to date with the folders and returns the readable files, in folder order.
    QList<CalendarFile> calendarFiles();
    const ReadFile& readFile(const QString& path);

    UserDefaults& m_defaults;
    FolderChooser m_chooser;
    QHash<QString, ReadFile> m_files;
};
