#pragma once

#include "Platform/services/CalendarEvent.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <sys/types.h>

// One calendar folder in the vdir layout, read without harm whatever a user or a sync tool put in
// it: only regular files are read (a link counts when it leads to one inside the folder), each is
// opened without waiting (a FIFO never blocks) and never read past a size limit (a device never
// fills memory).
class CalendarFolder
{
public:
    // Enough to tell a changed file from the one read before, also when a sync tool replaced it
    // within the same second and at the same size.
    struct Stamp
    {
        dev_t device = 0;
        ino_t inode = 0;
        qint64 size = 0;
        qint64 modified = 0;
        qint64 changed = 0;
        bool operator==(const Stamp& other) const = default;
    };
    struct Entry
    {
        QString name;
        Stamp stamp;
        bool isLink = false;
    };

    explicit CalendarFolder(QString path);

    const QString& path() const { return m_path; }
    QString filePath(const QString& name) const;

    // The ".ics" files, by name: those that can be read (`files`) and the others (`refused`).
    void list(QList<Entry>* files, QStringList* refused) const;
    // The entry of one name, or nothing when it is gone or cannot be read without harm.
    std::optional<Entry> entry(const QString& name) const;
    // The bytes of a regular file of the folder, or nothing when it is gone, is no regular file
    // (any more), or holds more than `limit` bytes.
    std::optional<QByteArray> read(const Entry& entry, qint64 limit) const;

    // Its title from "displayname", its colour from "color", and whether its files may be written.
    CalendarEvent::Calendar calendar() const;

private:
    QString m_path;
};
