#pragma once

#include <QHash>
#include <QSet>
#include <QString>

// Tells which files of the calendar folders changed since it was last asked, so that a request
// for events need not look at every file of every folder (thousands in a synced calendar). It
// asks the kernel (inotify) without an event loop: the news waits until it is taken.
class CalendarFolderWatcher
{
public:
    struct Changes
    {
        // Folders whose list of files may have changed, or that must be looked at whole.
        QSet<QString> folders;
        // Files written in place, by folder.
        QHash<QString, QSet<QString>> files;
    };

    CalendarFolderWatcher();
    ~CalendarFolderWatcher();
    CalendarFolderWatcher(const CalendarFolderWatcher&) = delete;
    CalendarFolderWatcher& operator=(const CalendarFolderWatcher&) = delete;

    // False when the folder's changes cannot be followed: it must then be looked at whole on
    // every request.
    bool watch(const QString& folder);
    bool isWatching(const QString& folder) const { return m_watched.contains(folder); }
    void clear();
    Changes takeChanges();

private:
    int m_descriptor = -1;
    QHash<int, QString> m_folders;
    QHash<QString, int> m_watched;
};
