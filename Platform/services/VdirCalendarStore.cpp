#include "Platform/services/VdirCalendarStore.h"

#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/CalendarEventEditor.h"
#include "Platform/services/CalendarEventIdentifier.h"
#include "Platform/services/CalendarFile.h"
#include "Platform/core/CivilTime.h"
#include "Platform/services/VdirCalendar.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace {

constexpr qint64 day = CivilTime::secondsPerDay;
// Time enough to work out one event's occurrences when writing it.
constexpr qint64 writeExpansionMilliseconds = 1000;

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

QDateTime dateTimeOf(qint64 instant)
{
    return QDateTime::fromSecsSinceEpoch(instant, Qt::UTC);
}

std::optional<QString> normalizedNotes(const std::optional<QString>& notes)
{
    return notes && !notes->isEmpty() ? notes : std::nullopt;
}

// The event of `file` that holds the occurrence's own properties: a changed occurrence written
// for it, or else its series or single event. `series` tells which one it was.
int eventFor(const CalendarFile& file, const QString& uid, qint64 occurrence, bool* series)
{
    int found = -1;
    const std::vector<CalendarFileEvent>& events = file.events();
    for (int index = 0; index < int(events.size()); ++index) {
        const CalendarFileEvent& event = events[std::size_t(index)];
        if (event.uid != uid)
            continue;
        if (event.recurrenceId && *event.recurrenceId == occurrence) {
            *series = false;
            return index;
        }
        if (!event.recurrenceId && found < 0)
            found = index;
    }
    *series = found >= 0 && events[std::size_t(found)].isRepeating();
    return found;
}

bool isOccurrenceOf(CalendarFile& file, int series, qint64 start)
{
    ExpansionBudget budget(writeExpansionMilliseconds);
    std::vector<CalendarFile::Occurrence> found;
    return file.occurrences(start, start, budget, found)
        && std::any_of(found.begin(), found.end(), [&](const CalendarFile::Occurrence& occurrence) {
               return occurrence.event == series && occurrence.start == start;
           });
}

} // namespace

VdirCalendarStore::VdirCalendarStore(UserDefaults& defaults, FolderChooser chooser)
    : m_defaults(defaults)
    , m_chooser(std::move(chooser))
{
}

VdirCalendarStore::~VdirCalendarStore() = default;

CalendarStore::AuthorizationStatus VdirCalendarStore::authorizationStatus() const
{
    // Until folders are chosen the user can still be asked; nothing here is ever refused for good.
    return calendarFolders().isEmpty() ? AuthorizationStatus::NotDetermined : AuthorizationStatus::Authorized;
}

void VdirCalendarStore::requestAccess(const AccessCompletion& completion)
{
    if (authorizationStatus() != AuthorizationStatus::Authorized) {
        const std::optional<QStringList> chosen = m_chooser ? m_chooser() : std::nullopt;
        if (chosen && !chosen->isEmpty()) {
            QStringList calendars;
            for (const QString& folder : *chosen)
                calendars.append(calendarFoldersIn(folder));
            m_defaults.setValue(calendarFoldersKey, calendars);
            m_defaults.synchronize();
            reset();
        }
    }
    if (completion)
        completion(authorizationStatus() == AuthorizationStatus::Authorized, QString());
}

QStringList VdirCalendarStore::calendarFoldersIn(const QString& folder)
{
    const QDir chosen(folder);
    const bool isCalendar = !chosen.entryList({QStringLiteral("*.ics")}, QDir::Files).isEmpty()
        || chosen.exists(QStringLiteral("displayname")) || chosen.exists(QStringLiteral("color"));
    const QStringList inside
        = isCalendar ? QStringList() : chosen.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    if (inside.isEmpty())
        return {folder};
    QStringList calendars;
    for (const QString& name : inside)
        calendars.append(chosen.filePath(name));
    return calendars;
}

void VdirCalendarStore::reset()
{
    m_calendars.clear();
    m_watcher.clear();
}

QStringList VdirCalendarStore::calendarFolders() const
{
    return m_defaults.value(calendarFoldersKey).toStringList();
}

// Brings the calendars up to date: a folder that is watched is looked at only where it changed.
void VdirCalendarStore::refresh()
{
    // Dates and times without a zone were read in the old zone.
    if (m_zones.updateLocalZone())
        reset();
    const QStringList folders = calendarFolders();
    std::vector<std::unique_ptr<VdirCalendar>> calendars;
    for (const QString& folder : folders) {
        const auto known
            = std::find_if(m_calendars.begin(), m_calendars.end(), [&](const std::unique_ptr<VdirCalendar>& calendar) {
                  return calendar && calendar->folder().path() == folder;
              });
        calendars.push_back(known != m_calendars.end() ? std::move(*known) : std::make_unique<VdirCalendar>(folder));
    }
    m_calendars = std::move(calendars);

    const CalendarFolderWatcher::Changes changes = m_watcher.takeChanges();
    for (const std::unique_ptr<VdirCalendar>& calendar : m_calendars) {
        const QString& folder = calendar->folder().path();
        const bool wasWatched = m_watcher.isWatching(folder);
        // Watched before it is looked at, so that no change falls between the two.
        const bool watched = m_watcher.watch(folder);
        if (!calendar->isLoaded() || !wasWatched || !watched || changes.folders.contains(folder))
            calendar->refreshAll(m_zones);
        else
            calendar->refresh(changes.files.value(folder), m_zones);
    }
}

QList<CalendarEvent> VdirCalendarStore::events(const QDateTime& from, const QDateTime& to)
{
    if (!from.isValid() || !to.isValid())
        return {};
    refresh();
    const qint64 first = from.toSecsSinceEpoch();
    const qint64 last = to.toSecsSinceEpoch();
    ExpansionBudget budget(expansionMilliseconds);
    struct Found
    {
        const VdirCalendar* calendar;
        const CalendarFile* file;
        CalendarFile::Occurrence occurrence;
    };
    std::vector<Found> found;
    std::vector<CalendarFile::Occurrence> occurrences;
    for (const std::unique_ptr<VdirCalendar>& calendar : m_calendars) {
        for (const VdirCalendar::File& file : calendar->files()) {
            if (!file.read)
                continue;
            occurrences.clear();
            file.read->occurrences(first, last, budget, occurrences);
            for (const CalendarFile::Occurrence& occurrence : occurrences) {
                const CalendarFileEvent& read = file.read->events()[std::size_t(occurrence.event)];
                // A changed occurrence anywhere in the calendar stands in for the one its series gives.
                if (!read.isRepeating() || !calendar->isReplaced(read.uid, occurrence.start))
                    found.push_back(Found {calendar.get(), file.read.get(), occurrence});
            }
        }
    }
    if (budget.isSpent()) {
        ConsoleLog::write(QStringLiteral("repeating events took longer than %1 ms; asking again shows the rest")
                              .arg(expansionMilliseconds));
    }
    std::stable_sort(found.begin(), found.end(),
        [](const Found& a, const Found& b) { return a.occurrence.start < b.occurrence.start; });
    QList<CalendarEvent> events;
    events.reserve(qsizetype(found.size()));
    for (const Found& f : found) {
        events.append(eventOf(*f.calendar, *f.file, f.file->events()[std::size_t(f.occurrence.event)],
            f.occurrence.start, f.occurrence.end));
    }
    return events;
}

std::optional<CalendarEvent> VdirCalendarStore::event(const QString& eventIdentifier)
{
    refresh();
    const Location location = locate(eventIdentifier);
    if (!location.file)
        return std::nullopt;
    const std::optional<CalendarEventIdentifier> named = CalendarEventIdentifier::fromString(eventIdentifier);
    const QString uid = named ? named->uid() : eventIdentifier;
    const CalendarFileEvent* first = nullptr;
    for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (const CalendarFileEvent& read : location.file->events()) {
            if (read.uid.compare(uid, sensitivity) == 0 && (!first || read.start < first->start))
                first = &read;
        }
        if (first)
            break;
    }
    return eventOf(*location.calendar, *location.file, *first, first->start, first->end);
}

// The file that holds the event named by an identifier (see `event`).
VdirCalendarStore::Location VdirCalendarStore::locate(const QString& eventIdentifier)
{
    const std::optional<CalendarEventIdentifier> named = CalendarEventIdentifier::fromString(eventIdentifier);
    const QString uid = named ? named->uid() : eventIdentifier;
    const QFileInfo namedFile(named ? named->filePath() : QString());
    Location best;
    int bestScore = -1;
    for (const std::unique_ptr<VdirCalendar>& calendar : m_calendars) {
        const QString folder = QDir::cleanPath(calendar->folder().path());
        const bool sameFolder = named && folder == QDir::cleanPath(namedFile.path());
        const bool sameFolderName = named && QFileInfo(folder).fileName() == namedFile.dir().dirName();
        for (const VdirCalendar::File& file : calendar->files()) {
            if (!file.read)
                continue;
            const auto& events = file.read->events();
            // Links keep UIDs in URLs, whose host part comes back in lower case: a UID that
            // differs only in case still names the event, after any exact one.
            const bool exact
                = std::any_of(events.begin(), events.end(), [&](const CalendarFileEvent& e) { return e.uid == uid; });
            if (!exact && std::none_of(events.begin(), events.end(), [&](const CalendarFileEvent& e) {
                    return e.uid.compare(uid, Qt::CaseInsensitive) == 0;
                }))
                continue;
            const bool sameName = named && file.entry.name == namedFile.fileName();
            const int score = (exact ? 5 : 0)
                + (sameFolder && sameName ? 4
                                          : (sameFolder ? 3 : (sameFolderName && sameName ? 2 : (sameName ? 1 : 0))));
            if (score > bestScore) {
                best = Location {calendar.get(), file.read.get()};
                bestScore = score;
            }
        }
    }
    return best;
}

CalendarEvent VdirCalendarStore::eventOf(const VdirCalendar& calendar, const CalendarFile& file,
    const CalendarFileEvent& read, qint64 start, qint64 end) const
{
    CalendarEvent event;
    event.eventIdentifier = CalendarEventIdentifier(file.path(), read.uid).toString();
    event.calendarItemExternalIdentifier = read.uid;
    event.title = read.title;
    event.startDate = dateTimeOf(start);
    event.endDate = dateTimeOf(end);
    event.isAllDay = read.isAllDay;
    event.occurrenceDate = dateTimeOf(read.recurrenceId.value_or(start));
    event.notes = read.notes;
    event.calendar = calendar.calendar();
    return event;
}

bool VdirCalendarStore::saveNotes(const CalendarEvent& event, QString* error)
{
    const QString missing = QStringLiteral("The event is no longer in the calendar.");
    refresh();
    const std::optional<CalendarEventIdentifier> named = CalendarEventIdentifier::fromString(event.eventIdentifier);
    const Location location = locate(event.eventIdentifier);
    // A copy that names its file is written there or nowhere.
    if (!location.file || (named && location.file->path() != named->filePath()))
        return fail(error, missing);
    VdirCalendar& calendar = *location.calendar;
    const QString path = location.file->path();
    const QString name = QFileInfo(path).fileName();
    if (!calendar.calendar().allowsContentModifications)
        return fail(error, QStringLiteral("The calendar is read-only."));

    // Read afresh, so that nothing of what was read before is changed unless the write succeeds.
    const std::optional<CalendarFolder::Entry> entry = calendar.folder().entry(name);
    if (entry && entry->isLink)
        return fail(error, QStringLiteral("%1 is a link to another file and is left as it is.").arg(path));
    const std::optional<QByteArray> bytes
        = entry ? calendar.folder().read(*entry, VdirCalendar::maximumFileSize) : std::nullopt;
    if (!bytes)
        return fail(error, QStringLiteral("Cannot read %1.").arg(path));
    CalendarFile file(path, *bytes, m_zones);
    const QString uid = named ? named->uid() : event.eventIdentifier;
    const qint64 occurrence = event.occurrenceDate.toSecsSinceEpoch();
    bool series = false;
    const int index = eventFor(file, uid, occurrence, &series);
    if (index < 0 || (series && !isOccurrenceOf(file, index, occurrence)))
        return fail(error, missing);
    if (file.layout().hasStrayText())
        return fail(error, QStringLiteral("%1 holds text outside its calendar data and is left as it is.").arg(path));
    if (!file.isWritable(index))
        return fail(error, QStringLiteral("%1 holds data that cannot be rewritten without loss.").arg(path));

    const CalendarFileEvent& target = file.events()[std::size_t(index)];
    const ICalendarLayout::Range range
        = file.layout().calendars().at(target.calendarIndex).events.at(target.eventIndex).range;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QByteArray edited;
    if (series) {
        const CalendarFileEvent::Repetition& repetition = *target.repetition;
        const qint64 startWall = repetition.startClock.toWallSeconds(occurrence);
        std::optional<qint64> endWall;
        if (repetition.endClock) {
            endWall = target.isAllDay ? startWall + repetition.lengthDays * day
                                      : repetition.endClock->toWallSeconds(occurrence + repetition.lengthSeconds);
        }
        edited = CalendarEventEditor::withChangedOccurrence(*bytes, range, startWall, endWall, event.notes, now);
    } else {
        edited = CalendarEventEditor::withNotes(*bytes, range, event.notes, now);
    }

    // The written file must read back as the same events, with the new notes in the right one.
    CalendarFile written(path, edited, m_zones);
    bool writtenSeries = true;
    const int writtenIndex = eventFor(written, uid, occurrence, &writtenSeries);
    if (written.events().size() != file.events().size() + (series ? 1 : 0)
        || written.unreadableEvents() != file.unreadableEvents() || writtenIndex < 0 || writtenSeries
        || normalizedNotes(written.events()[std::size_t(writtenIndex)].notes) != normalizedNotes(event.notes))
        return fail(error, QStringLiteral("Cannot write the notes into %1 without changing other data.").arg(path));

    QSaveFile output(path);
    if (!output.open(QIODevice::WriteOnly) || output.write(edited) != edited.size() || !output.commit())
        return fail(error, QStringLiteral("Cannot write %1: %2").arg(path, output.errorString()));
    calendar.forget(name);
    return true;
}
