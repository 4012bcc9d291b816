#include "Platform/services/VdirCalendar.h"

#include "Platform/core/ConsoleLog.h"

#include <QFileInfo>
#include <algorithm>

namespace {

const QString displayNameFile = QStringLiteral("displayname");
const QString colorFile = QStringLiteral("color");

void reportUnreadable(const QString& path)
{
    ConsoleLog::write(QStringLiteral("skipping unreadable calendar file %1").arg(path));
}

} // namespace

VdirCalendar::VdirCalendar(const QString& folder)
    : m_folder(folder)
{
}

void VdirCalendar::refreshAll(CalendarTimeZones& zones)
{
    m_calendar = m_folder.calendar();
    QList<CalendarFolder::Entry> entries;
    QStringList refused;
    m_folder.list(&entries, &refused);
    QSet<QString> present;
    for (const CalendarFolder::Entry& entry : std::as_const(entries)) {
        present.insert(entry.name);
        update(entry.name, entry, zones);
    }
    for (const QString& name : std::as_const(refused))
        refuse(name);
    // Files deleted since they were read.
    std::erase_if(m_files, [&](const File& file) { return !present.contains(file.entry.name); });
    m_refused.intersect(QSet<QString>(refused.cbegin(), refused.cend()));
    m_loaded = true;
    collectChangedOccurrences();
}

void VdirCalendar::refresh(const QSet<QString>& names, CalendarTimeZones& zones)
{
    QSet<QString> looked = names + m_forgotten;
    for (const File& file : m_files) {
        if (file.entry.isLink)
            looked.insert(file.entry.name);
    }
    if (looked.isEmpty())
        return;
    if (looked.contains(displayNameFile) || looked.contains(colorFile))
        m_calendar = m_folder.calendar();
    for (const QString& name : std::as_const(looked)) {
        if (!name.endsWith(QLatin1String(".ics"), Qt::CaseInsensitive) || name.startsWith(QLatin1Char('.')))
            continue;
        const std::optional<CalendarFolder::Entry> entry = m_folder.entry(name);
        if (entry) {
            update(name, entry, zones);
            continue;
        }
        std::erase_if(m_files, [&](const File& file) { return file.entry.name == name; });
        if (QFileInfo::exists(m_folder.filePath(name)))
            refuse(name);
        else
            m_refused.remove(name);
    }
    collectChangedOccurrences();
}

void VdirCalendar::forget(const QString& name)
{
    m_forgotten.insert(name);
}

// Reads the file when it is new or changed.
void VdirCalendar::update(
    const QString& name, const std::optional<CalendarFolder::Entry>& entry, CalendarTimeZones& zones)
{
    auto known = std::lower_bound(m_files.begin(), m_files.end(), name,
        [](const File& file, const QString& wanted) { return file.entry.name < wanted; });
    const bool forgotten = m_forgotten.remove(name);
    if (known != m_files.end() && known->entry.name == name && known->entry.stamp == entry->stamp && !forgotten) {
        known->entry = *entry;
        return;
    }
    m_refused.remove(name);
    const QString path = m_folder.filePath(name);
    const std::optional<QByteArray> bytes = m_folder.read(*entry, maximumFileSize);
    auto read = bytes ? std::make_unique<CalendarFile>(path, *bytes, zones) : nullptr;
    if (!read || !read->isReadable() || (read->events().empty() && read->unreadableEvents() > 0)) {
        reportUnreadable(path);
        read.reset();
    } else if (read->unreadableEvents() > 0) {
        ConsoleLog::write(QStringLiteral("skipping %1 unreadable event%2 in calendar file %3")
                              .arg(read->unreadableEvents())
                              .arg(read->unreadableEvents() == 1 ? QString() : QStringLiteral("s"), path));
    }
    if (known != m_files.end() && known->entry.name == name)
        *known = File {*entry, std::move(read)};
    else
        m_files.insert(known, File {*entry, std::move(read)});
}

// A name that is no regular file of the folder (a FIFO, a device, a link that leads out of the
// folder) is never opened; it is reported once while it stays.
void VdirCalendar::refuse(const QString& name)
{
    if (!m_refused.contains(name))
        reportUnreadable(m_folder.filePath(name));
    m_refused.insert(name);
}

bool VdirCalendar::isReplaced(const QString& uid, qint64 start) const
{
    const auto changed = m_changedOccurrences.constFind(uid);
    return changed != m_changedOccurrences.cend() && changed->contains(start);
}

void VdirCalendar::collectChangedOccurrences()
{
    m_changedOccurrences.clear();
    for (const File& file : m_files) {
        if (!file.read)
            continue;
        for (const CalendarFileEvent& event : file.read->events()) {
            if (event.recurrenceId)
                m_changedOccurrences[event.uid].insert(*event.recurrenceId);
        }
    }
}
