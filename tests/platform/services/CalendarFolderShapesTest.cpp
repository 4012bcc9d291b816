#include "Platform/services/VdirCalendarStore.h"

#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UserDefaults.h"
#include "support/LocalTimeZone.h"
#include "support/QStringPrinting.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"';
    for (const char c : bytes) {
        if (c == '\n')
            *os << "\\n\n";
        else if (c == '\r')
            *os << "\\r";
        else
            *os << c;
    }
    *os << '"';
}

namespace {

// Set in the environment of the child process: the name of the shape it reads.
constexpr const char* childShapeVariable = "PELORINS_CALENDAR_SHAPE";
constexpr int childTimeoutMilliseconds = 20000;

const QDate day(2026, 5, 4);

QByteArray crlf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

QByteArray calendar(const QByteArray& body)
{
    return crlf("BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Test//EN\n" + body + "END:VCALENDAR\n");
}

QByteArray event(const QByteArray& uid, const QByteArray& summary, const QByteArray& lines)
{
    return "BEGIN:VEVENT\nUID:" + uid + "\nDTSTAMP:20260101T000000Z\nSUMMARY:" + summary + "\n" + lines
        + "END:VEVENT\n";
}

const QByteArray standup = calendar(event("standup", "Standup", "DTSTART:20260504T090000Z\nDURATION:PT15M\n"));

void makeLink(const QString& target, const QString& path)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()), 0);
}

void makeFifo(const QString& path)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
}

// A shape of calendar folder "work" or "personal" (the user chose both, in that order), the
// events shown for `day`, and what saving a card link into one of them does to the files.
struct Shape
{
    const char* name;
    // Files by their path below the folders' parent.
    QList<std::pair<QString, QByteArray>> files;
    // What plain files cannot be: links, FIFOs, files too large to keep in the source.
    std::function<void(const QDir&)> prepare = nullptr;
    // "HH:mm title @ calendar", in the order given.
    QStringList events;
    // Console lines, paths below the folders' parent.
    QStringList console = {};
    // Handled wrongly, it crashes or hangs: read in a child process with a time limit.
    bool hostile = false;
    // The days shown one after another from `day`, as a user steps through them.
    int daysShown = 1;
    // Links a card into this event of the day.
    QString link = {};
    bool linkSaves = true;
    // After the save, the files that changed ("STAMP" stands for the time of the save); every
    // other file keeps its bytes.
    QList<std::pair<QString, QByteArray>> saved = {};
};

QByteArray nested(int depth)
{
    QByteArray text = "BEGIN:VCALENDAR\r\n";
    text.reserve(depth * 20 + 40);
    for (int i = 0; i < depth; ++i)
        text += "BEGIN:X-A\r\n";
    for (int i = 0; i < depth; ++i)
        text += "END:X-A\r\n";
    return text + "END:VCALENDAR\r\n";
}

QByteArray manyParameters(int count)
{
    QByteArray line = "X-A";
    line.reserve(count * 4 + 8);
    for (int i = 0; i < count; ++i)
        line += ";P=1";
    return calendar(event("parameters", "Parameters", "DTSTART:20260504T100000Z\n" + line + ":v\n"));
}

QByteArray countedSeconds()
{
    QByteArray body;
    for (int i = 0; i < 200; ++i)
        body += event("second-" + QByteArray::number(i), "Second",
            "DTSTART:19700101T000000Z\nRRULE:FREQ=SECONDLY;COUNT=1000000000\n");
    return calendar(body + event("burst", "Burst", "DTSTART:20260504T100000Z\nRRULE:FREQ=SECONDLY;COUNT=3\n"));
}

const QByteArray mailBody = "\xEF\xBB\xBF"
                            "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Mail//EN\nBEGIN:VEVENT\nUID:mail-1\n"
                            "DTSTAMP:20260101T000000Z\nSUMMARY:Mail\nDTSTART:20260504T093000Z\nDTEND:20260504T100000Z\n"
                            "CATEGORIES:a,b,c\nX-ALT-DESC;FMTTYPE=text/html:<p>Hello\\, world\\; again</p>\n";

QList<Shape> shapes()
{
    return {
        {"a file of 300,000 nested components is skipped", {{"work/standup.ics", standup}},
            [](const QDir& root) { writeFile(root.filePath("personal/deep.ics"), nested(300000)); },
            {"09:00 Standup @ work"}, {"skipping unreadable calendar file personal/deep.ics"}, true},
        {"a file with a line of 300,000 parameters is skipped", {{"work/standup.ics", standup}},
            [](const QDir& root) { writeFile(root.filePath("personal/parameters.ics"), manyParameters(300000)); },
            {"09:00 Standup @ work"}, {"skipping unreadable calendar file personal/parameters.ics"}, true},
        {"a link named w.ics to /dev/zero is skipped", {{"work/standup.ics", standup}},
            [](const QDir& root) { makeLink("/dev/zero", root.filePath("work/w.ics")); }, {"09:00 Standup @ work"},
            {"skipping unreadable calendar file work/w.ics"}, true},
        {"FIFOs behind a link named z.ics, and named displayname and color, are never opened",
            {{"work/standup.ics", standup},
                {"personal/lunch.ics", calendar(event("lunch", "Lunch", "DTSTART:20260504T120000Z\n"))}},
            [](const QDir& root) {
                makeFifo(root.filePath("work/.pipe"));
                makeLink(".pipe", root.filePath("work/z.ics"));
                makeFifo(root.filePath("personal/displayname"));
                makeFifo(root.filePath("personal/color"));
            },
            {"09:00 Standup @ work", "12:00 Lunch @ personal"}, {"skipping unreadable calendar file work/z.ics"}, true},
        {"a rule that never matches shows nothing",
            {{"work/standup.ics", standup},
                {"work/never.ics",
                    calendar(event(
                        "never", "Never", "DTSTART:20260101T000000Z\nRRULE:FREQ=SECONDLY;BYMONTH=2;BYMONTHDAY=30\n"))}},
            nullptr, {"09:00 Standup @ work"}, {}, true},
        {"200 counted series once a second cost nothing on a day far from them, day after day",
            {{"work/standup.ics", standup}, {"work/seconds.ics", countedSeconds()}}, nullptr,
            {"09:00 Standup @ work", "10:00 Burst @ work", "10:00 Burst @ work", "10:00 Burst @ work"}, {}, true, 7},
        {"the same invitation in two calendars is written in the copy that was linked",
            {{"work/invite.ics",
                 calendar(
                     event("invite-1", "Review", "DTSTART:20260504T100000Z\nDURATION:PT1H\nDESCRIPTION:Work copy\n"))},
                {"personal/invite.ics",
                    calendar(event("invite-1", "Review",
                        "DTSTART:20260504T100000Z\nDURATION:PT1H\nDESCRIPTION:Personal copy\n"))}},
            nullptr, {"10:00 Review @ work", "10:00 Review @ personal"}, {}, false, 1, "10:00 Review @ personal", true,
            {{"personal/invite.ics",
                calendar("BEGIN:VEVENT\nUID:invite-1\nDTSTAMP:STAMP\nSUMMARY:Review\nDTSTART:20260504T100000Z\n"
                         "DURATION:PT1H\nDESCRIPTION:Personal copy\\npelorins://CARD\nLAST-MODIFIED:STAMP\n"
                         "END:VEVENT\n")}}},
        {"a link x.ics to a calendar file outside the folder is skipped", {{"work/standup.ics", standup}},
            [](const QDir& root) {
                writeFile(root.filePath("elsewhere/outside.ics"),
                    calendar(event("outside", "Outside", "DTSTART:20260504T110000Z\n")));
                makeLink("../elsewhere/outside.ics", root.filePath("work/x.ics"));
            },
            {"09:00 Standup @ work"}, {"skipping unreadable calendar file work/x.ics"}},
        {"a link inside the folder is read but never written through",
            {{"work/standup.ics", standup},
                {"work/sub/team.ics", calendar(event("team", "Team", "DTSTART:20260504T140000Z\n"))}},
            [](const QDir& root) { makeLink("sub/team.ics", root.filePath("work/y.ics")); },
            {"09:00 Standup @ work", "14:00 Team @ work"}, {}, false, 1, "14:00 Team @ work", false},
        {"a save changes the event's notes and stamps and keeps every other byte",
            {{"work/mail.ics",
                mailBody
                    + "DESCRIPTION:A long description that is folded at seventy-five octets as the \n"
                      " sender folded it\\, with an escaped comma\nATTENDEE;CN=\"Lima, Ana\":mailto:ana@example.org\n"
                      "END:VEVENT\nBEGIN:VEVENT\nUID:series-1\nDTSTAMP:20260101T000000Z\nSUMMARY:Series\n"
                      "DTSTART:20260505T080000Z\nRRULE:COUNT=10;FREQ=WEEKLY;BYDAY=TU\nEND:VEVENT\nEND:VCALENDAR\n"}},
            nullptr, {"09:30 Mail @ work"}, {}, false, 1, "09:30 Mail @ work", true,
            {{"work/mail.ics",
                QByteArray(mailBody).replace("DTSTAMP:20260101T000000Z\nSUMMARY:Mail", "DTSTAMP:STAMP\nSUMMARY:Mail")
                    + "DESCRIPTION:A long description that is folded at seventy-five octets as the\n"
                      "  sender folded it\\, with an escaped comma\\npelorins://CARD\n"
                      "ATTENDEE;CN=\"Lima, Ana\":mailto:ana@example.org\nLAST-MODIFIED:STAMP\n"
                      "END:VEVENT\nBEGIN:VEVENT\nUID:series-1\nDTSTAMP:20260101T000000Z\nSUMMARY:Series\n"
                      "DTSTART:20260505T080000Z\nRRULE:COUNT=10;FREQ=WEEKLY;BYDAY=TU\nEND:VEVENT\nEND:VCALENDAR\n"}}},
        {"linking one occurrence adds a changed occurrence after its series, in the file's line endings",
            {{"work/weekly.ics",
                "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Mail//EN\nBEGIN:VEVENT\nUID:weekly-1\n"
                "DTSTAMP:20260101T000000Z\nSUMMARY:Weekly\nDTSTART;TZID=Europe/Berlin:20260420T100000\n"
                "DTEND;TZID=Europe/Berlin:20260420T110000\nRRULE:COUNT=10;FREQ=WEEKLY;BYDAY=MO\n"
                "DESCRIPTION:Agenda\nBEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:Reminder\nTRIGGER:-PT15M\n"
                "END:VALARM\nEND:VEVENT\nEND:VCALENDAR\n"}},
            nullptr, {"08:00 Weekly @ work"}, {}, false, 1, "08:00 Weekly @ work", true,
            {{"work/weekly.ics",
                "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Mail//EN\nBEGIN:VEVENT\nUID:weekly-1\n"
                "DTSTAMP:20260101T000000Z\nSUMMARY:Weekly\nDTSTART;TZID=Europe/Berlin:20260420T100000\n"
                "DTEND;TZID=Europe/Berlin:20260420T110000\nRRULE:COUNT=10;FREQ=WEEKLY;BYDAY=MO\n"
                "DESCRIPTION:Agenda\nBEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:Reminder\nTRIGGER:-PT15M\n"
                "END:VALARM\nEND:VEVENT\nBEGIN:VEVENT\nUID:weekly-1\nDTSTAMP:STAMP\nSUMMARY:Weekly\n"
                "DTSTART;TZID=Europe/Berlin:20260504T100000\nRECURRENCE-ID;TZID=Europe/Berlin:20260504T100000\n"
                "DTEND;TZID=Europe/Berlin:20260504T110000\nDESCRIPTION:Agenda\\npelorins://CARD\n"
                "LAST-MODIFIED:STAMP\nBEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:Reminder\nTRIGGER:-PT15M\n"
                "END:VALARM\nEND:VEVENT\nEND:VCALENDAR\n"}}},
        {"a file with text after its last END is read but never written",
            {{"work/trailing.ics",
                calendar(event("trailing", "Trailing", "DTSTART:20260504T113000Z\n")) + "X-NOTE:kept by the user\r\n"}},
            nullptr, {"11:30 Trailing @ work"}, {}, false, 1, "11:30 Trailing @ work", false},
        {"a moved occurrence written in another file of the calendar replaces its occurrence",
            {{"work/series.ics",
                 calendar(
                     event("weekly-2", "Planning", "DTSTART:20260420T100000Z\nDURATION:PT1H\nRRULE:FREQ=WEEKLY\n"))},
                {"work/moved.ics",
                    calendar(event("weekly-2", "Planning, moved",
                        "RECURRENCE-ID:20260504T100000Z\nDTSTART:20260504T150000Z\nDURATION:PT1H\n"))}},
            nullptr, {"15:00 Planning, moved @ work"}},
        {"every calendar of a file is read, and only the events without a UID or a start are skipped",
            {{"work/two.ics",
                 calendar(event("first", "First block", "DTSTART:20260504T070000Z\n"))
                     + calendar(event("second", "Second block", "DTSTART:20260504T080000Z\n"))},
                {"work/mixed.ics",
                    calendar("BEGIN:VEVENT\nDTSTAMP:20260101T000000Z\nSUMMARY:No UID\nDTSTART:20260504T160000Z\n"
                             "END:VEVENT\n"
                        + event("no-start", "No start", "") + event("good", "Good", "DTSTART:20260504T160000Z\n"))}},
            nullptr, {"07:00 First block @ work", "08:00 Second block @ work", "16:00 Good @ work"},
            {"skipping 2 unreadable events in calendar file work/mixed.ics"}, false, 1, "08:00 Second block @ work",
            true,
            {{"work/two.ics",
                calendar(event("first", "First block", "DTSTART:20260504T070000Z\n"))
                    + calendar("BEGIN:VEVENT\nUID:second\nDTSTAMP:STAMP\nSUMMARY:Second block\n"
                               "DTSTART:20260504T080000Z\nDESCRIPTION:pelorins://CARD\nLAST-MODIFIED:STAMP\n"
                               "END:VEVENT\n")}}},
    };
}

QString described(const CalendarEvent& event)
{
    return event.startDate.toUTC().toString(QStringLiteral("HH:mm")) + ' ' + event.title + " @ " + event.calendar.title;
}

QStringList described(const QList<CalendarEvent>& events)
{
    QStringList result;
    for (const CalendarEvent& event : events)
        result << described(event);
    return result;
}

QList<CalendarEvent> eventsOfDay(CalendarStore& store, QDate shown)
{
    return store.events(shown.startOfDay(), shown.addDays(1).startOfDay().addSecs(-1));
}

// The bytes of every regular file below `root`, by path below it.
QHash<QString, QByteArray> regularFiles(const QDir& root)
{
    QHash<QString, QByteArray> files;
    QDirIterator found(
        root.path(), QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (found.hasNext()) {
        const QString path = found.next();
        struct stat status;
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            files.insert(root.relativeFilePath(path), file.readAll());
    }
    return files;
}

// The time a save wrote, as "STAMP".
QByteArray withoutStamp(QByteArray bytes)
{
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("LAST-MODIFIED:(\\d{8}T\\d{6}Z)")).match(QString::fromLatin1(bytes));
    return match.hasMatch() ? bytes.replace(match.captured(1).toLatin1(), "STAMP") : bytes;
}

void readShape(const Shape& shape)
{
    LocalTimeZone utc("UTC");
    QTemporaryDir rootDir;
    QTemporaryDir settingsDir;
    const QDir root(rootDir.path());
    root.mkpath("work");
    root.mkpath("personal");
    for (const auto& [path, bytes] : shape.files)
        writeFile(root.filePath(path), bytes);
    if (shape.prepare)
        shape.prepare(root);
    const QHash<QString, QByteArray> before = regularFiles(root);

    UserDefaults defaults(settingsDir.filePath("prefs.conf"));
    const QStringList folders = {root.filePath("work"), root.filePath("personal")};
    VdirCalendarStore store(defaults, [&] { return folders; });
    store.requestAccess({});
    ConsoleLog::Capture capture;
    const QList<CalendarEvent> events = eventsOfDay(store, day);
    for (int shown = 1; shown < shape.daysShown; ++shown)
        eventsOfDay(store, day.addDays(shown));
    EXPECT_EQ(described(events), shape.events);
    EXPECT_EQ(capture.lines().replaceInStrings(root.path() + '/', QString()), shape.console);
    if (shape.link.isEmpty())
        return;

    const auto linked = std::find_if(
        events.begin(), events.end(), [&](const CalendarEvent& e) { return described(e) == shape.link; });
    ASSERT_NE(linked, events.end());
    CalendarEvent changed = *linked;
    changed.notes = changed.notes ? *changed.notes + "\npelorins://CARD" : QStringLiteral("pelorins://CARD");
    QString error;
    EXPECT_EQ(store.saveNotes(changed, &error), shape.linkSaves) << error.toStdString();
    EXPECT_EQ(error.isEmpty(), shape.linkSaves);
    QHash<QString, QByteArray> expected = before;
    for (const auto& [path, bytes] : shape.saved)
        expected.insert(path, bytes);
    for (auto file = expected.cbegin(); file != expected.cend(); ++file) {
        QFile written(root.filePath(file.key()));
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(withoutStamp(written.readAll()), *file) << file.key().toStdString();
    }
    if (shape.linkSaves) {
        const QList<CalendarEvent> after = eventsOfDay(store, day);
        EXPECT_EQ(described(after), shape.events);
        const auto read = std::find_if(
            after.begin(), after.end(), [&](const CalendarEvent& e) { return described(e) == shape.link; });
        ASSERT_NE(read, after.end());
        EXPECT_EQ(read->notes, changed.notes);
    }
}

void readShapeInChild(const Shape& shape)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(childShapeVariable, QString::fromUtf8(shape.name));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=CalendarFolderShapes.ChildReadsOneShape"});
    ASSERT_TRUE(child.waitForStarted());
    if (!child.waitForFinished(childTimeoutMilliseconds)) {
        child.kill();
        child.waitForFinished();
        ADD_FAILURE() << "still reading after " << childTimeoutMilliseconds << " ms";
        return;
    }
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << child.readAll().toStdString();
    EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
}

} // namespace

TEST(CalendarFolderShapes, EachShapeShowsItsEventsAndSavesOnlyWhatItShould)
{
    for (const Shape& shape : shapes()) {
        SCOPED_TRACE(shape.name);
        if (shape.hostile)
            readShapeInChild(shape);
        else
            readShape(shape);
    }
}

// The child's part: reads one hostile shape, with its memory limited so that reading a device to
// its end fails at once instead of swapping the machine.
TEST(CalendarFolderShapes, ChildReadsOneShape)
{
    const QString name = qEnvironmentVariable(childShapeVariable);
    if (name.isEmpty())
        GTEST_SKIP() << "runs only as the child process of EachShapeShowsItsEventsAndSavesOnlyWhatItShould";
#ifndef __SANITIZE_ADDRESS__
    const rlimit memory {rlim_t(4) << 30, rlim_t(4) << 30};
    ::setrlimit(RLIMIT_AS, &memory);
#endif
    const QList<Shape> all = shapes();
    const auto shape = std::find_if(all.begin(), all.end(), [&](const Shape& s) { return name == s.name; });
    ASSERT_NE(shape, all.end());
    readShape(*shape);
}
