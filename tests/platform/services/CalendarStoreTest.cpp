#include "Platform/services/VdirCalendarStore.h"

#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UserDefaults.h"
#include "support/LocalTimeZone.h"
#include "support/QStringPrinting.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QByteArray calendarText(const QByteArray& body)
{
    QByteArray text = "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Test//EN\n" + body + "END:VCALENDAR\n";
    return text.replace("\n", "\r\n");
}

QByteArray eventText(const QByteArray& uid, const QByteArray& summary, const QByteArray& times)
{
    return "BEGIN:VEVENT\nUID:" + uid + "\nDTSTAMP:20260101T000000Z\nSUMMARY:" + summary + "\n" + times
        + "END:VEVENT\n";
}

// Content lines with folding undone, in order.
QStringList unfoldedLines(const QByteArray& text)
{
    QString unfolded = QString::fromUtf8(text);
    unfolded.replace("\r\n", "\n").replace(QRegularExpression("\n[ \t]"), QString());
    return unfolded.split('\n', Qt::SkipEmptyParts);
}

QStringList titles(const QList<CalendarEvent>& events)
{
    QStringList result;
    for (const CalendarEvent& event : events)
        result << event.title;
    return result;
}

struct Calendars
{
    QTemporaryDir dir;
    UserDefaults defaults {dir.filePath("prefs.conf")};

    QString folder(const QString& name)
    {
        QDir(dir.path()).mkpath(name);
        return dir.filePath(name);
    }

    // A store to which the user has granted the given calendar folders.
    std::unique_ptr<VdirCalendarStore> store(const QStringList& folders)
    {
        auto store = std::make_unique<VdirCalendarStore>(defaults, [folders] { return folders; });
        store->requestAccess({});
        return store;
    }
};

QList<CalendarEvent> eventsOfDay(CalendarStore& store, QDate day)
{
    const QDateTime from = day.startOfDay();
    return store.events(from, day.addDays(1).startOfDay().addSecs(-1));
}

} // namespace

TEST(CalendarStore, AccessIsGrantedByChoosingFoldersAndCancellingLeavesItOpen)
{
    Calendars calendars;
    const QString work = calendars.folder("work");
    std::optional<QStringList> answer;
    int asked = 0;
    VdirCalendarStore store(calendars.defaults, [&] {
        ++asked;
        return answer;
    });
    EXPECT_EQ(store.authorizationStatus(), CalendarStore::AuthorizationStatus::NotDetermined);

    std::optional<bool> granted;
    store.requestAccess([&](bool ok, const QString& error) {
        granted = ok;
        EXPECT_TRUE(error.isEmpty());
    });
    EXPECT_EQ(granted, false);
    EXPECT_EQ(store.authorizationStatus(), CalendarStore::AuthorizationStatus::NotDetermined);

    answer = QStringList {work};
    store.requestAccess([&](bool ok, const QString&) { granted = ok; });
    EXPECT_EQ(granted, true);
    EXPECT_EQ(store.authorizationStatus(), CalendarStore::AuthorizationStatus::Authorized);

    // Granted access is kept, and asking again grants without a question.
    VdirCalendarStore later(calendars.defaults, [&] {
        ++asked;
        return std::optional<QStringList>();
    });
    later.requestAccess([&](bool ok, const QString&) { granted = ok; });
    EXPECT_EQ(granted, true);
    EXPECT_EQ(later.calendarFolders(), QStringList {work});
    EXPECT_EQ(asked, 2);
}

TEST(CalendarStore, EventsOfADayFollowTheLocalClockAcrossTheEndOfSummerTime)
{
    // Berlin leaves summer time on 25 October 2026.
    LocalTimeZone berlin("Europe/Berlin");
    Calendars calendars;
    const QString folder = calendars.folder("home");
    const QDate day(2026, 10, 25);
    const QList<std::pair<const char*, QByteArray>> files = {
        {"berlin-late",
            eventText("1", "Berlin late",
                "DTSTART;TZID=Europe/Berlin:20261025T233000\nDTEND;TZID=Europe/Berlin:20261025T234500\n")},
        {"utc-late", eventText("2", "UTC late", "DTSTART:20261025T223000Z\nDURATION:PT15M\n")},
        {"utc-next-day", eventText("3", "UTC next day", "DTSTART:20261025T233000Z\nDURATION:PT15M\n")},
        {"new-york",
            eventText("4", "New York",
                "DTSTART;TZID=America/New_York:20261025T180000\nDTEND;TZID=America/New_York:20261025T190000\n")},
        {"repeated-hour",
            eventText("5", "Floating in the repeated hour", "DTSTART:20261025T023000\nDTEND:20261025T024500\n")},
        {"day-before",
            eventText("6", "Day before",
                "DTSTART;TZID=Europe/Berlin:20261024T233000\nDTEND;TZID=Europe/Berlin:20261024T235900\n")},
        {"all-day", eventText("7", "All day", "DTSTART;VALUE=DATE:20261025\nDTEND;VALUE=DATE:20261026\n")},
        {"all-day-before", eventText("8", "All day before", "DTSTART;VALUE=DATE:20261024\n")},
        {"overnight",
            eventText("9", "Overnight",
                "DTSTART;TZID=Europe/Berlin:20261024T220000\nDTEND;TZID=Europe/Berlin:20261025T010000\n")},
    };
    for (const auto& [name, vevent] : files)
        writeFile(QDir(folder).filePath(QString(name) + ".ics"), calendarText(vevent));
    auto store = calendars.store({folder});

    const QList<CalendarEvent> events = eventsOfDay(*store, day);
    EXPECT_EQ(titles(events),
        (QStringList {"Overnight", "All day", "Floating in the repeated hour", "New York", "Berlin late", "UTC late"}));

    const auto find = [&](const QString& title) {
        return *std::find_if(events.begin(), events.end(), [&](const CalendarEvent& e) { return e.title == title; });
    };
    // After the change Berlin is one hour ahead of UTC, before it two.
    EXPECT_EQ(find("Berlin late").startDate.toUTC(), QDateTime(day, QTime(22, 30), QTimeZone::utc()));
    EXPECT_EQ(find("New York").startDate.toUTC(), QDateTime(day, QTime(22, 0), QTimeZone::utc()));
    EXPECT_EQ(find("UTC late").endDate.toUTC(), QDateTime(day, QTime(22, 45), QTimeZone::utc()));

    const CalendarEvent allDay = find("All day");
    EXPECT_TRUE(allDay.isAllDay);
    EXPECT_EQ(allDay.startDate, day.startOfDay());
    EXPECT_EQ(allDay.endDate, day.addDays(1).startOfDay());
    EXPECT_EQ(allDay.startDate.secsTo(allDay.endDate), 25 * 3600);
    EXPECT_EQ(titles(eventsOfDay(*store, day.addDays(1))), QStringList {"UTC next day"});
    EXPECT_EQ(
        titles(eventsOfDay(*store, day.addDays(-1))), (QStringList {"All day before", "Overnight", "Day before"}));
}

TEST(CalendarStore, FindsAnEventByItsIdentifierWithItsCalendar)
{
    Calendars calendars;
    const QString folder = calendars.folder("team");
    writeFile(QDir(folder).filePath("displayname"), "Team\n");
    writeFile(QDir(folder).filePath("color"), "#FF8000\n");
    writeFile(QDir(folder).filePath("a.ics"),
        calendarText(eventText("abc@example.org", "Review", "DTSTART:20261103T090000Z\nDESCRIPTION:Room 4\n")));
    auto store = calendars.store({folder});

    const auto event = store->event("abc@example.org");
    ASSERT_TRUE(event);
    EXPECT_EQ(event->title, "Review");
    EXPECT_EQ(event->notes, "Room 4");
    EXPECT_EQ(event->calendar.title, "Team");
    EXPECT_EQ(event->calendar.color, QColor(255, 128, 0));
    EXPECT_TRUE(event->calendar.allowsContentModifications);
    EXPECT_FALSE(store->event("missing"));
}

TEST(CalendarStore, AUidThatComesBackInLowerCaseStillFindsItsEventAfterAnExactOne)
{
    Calendars calendars;
    const QString folder = calendars.folder("team");
    writeFile(QDir(folder).filePath("a.ics"),
        calendarText(eventText("A1B2-C3@Example.COM", "Upper", "DTSTART:20261103T090000Z\n")));
    writeFile(QDir(folder).filePath("b.ics"),
        calendarText(eventText("a1b2-c3@example.com", "Lower", "DTSTART:20261104T090000Z\n")));
    auto store = calendars.store({folder});
    EXPECT_EQ(store->event("A1B2-C3@Example.COM")->title, "Upper");
    EXPECT_EQ(store->event("a1b2-c3@example.com")->title, "Lower");
    EXPECT_EQ(store->event("A1B2-C3@EXAMPLE.com")->title.size(), 5) << "either copy, found ignoring case";
}

TEST(CalendarStore, WritingALinkKeepsEveryOtherPartOfTheFile)
{
    Calendars calendars;
    const QString folder = calendars.folder("work");
    const QString path = QDir(folder).filePath("meeting.ics");
    const QByteArray original
        = calendarText("BEGIN:VTIMEZONE\nTZID:Europe/Berlin\nBEGIN:STANDARD\nDTSTART:19701025T030000\n"
                       "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\nTZOFFSETFROM:+0200\nTZOFFSETTO:+0100\nEND:STANDARD\n"
                       "BEGIN:DAYLIGHT\nDTSTART:19700329T020000\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\n"
                       "TZOFFSETFROM:+0100\nTZOFFSETTO:+0200\nEND:DAYLIGHT\nEND:VTIMEZONE\n"
                       "BEGIN:VEVENT\nUID:meeting-1\nDTSTAMP:20260101T000000Z\nSUMMARY:Planning\\, quarterly\n"
                       "DTSTART;TZID=Europe/Berlin:20261103T100000\nDTEND;TZID=Europe/Berlin:20261103T110000\n"
                       "LOCATION:Room 4\nATTENDEE;CN=Ana Lima;ROLE=REQ-PARTICIPANT:mailto:ana@example.org\n"
                       "DESCRIPTION:Agenda:\\n1. budget\\; 2. hiring\nX-CUSTOM-FIELD;X-PARAM=yes:kept\n"
                       "BEGIN:VALARM\nACTION:DISPLAY\nDESCRIPTION:Reminder\nTRIGGER:-PT15M\nEND:VALARM\nEND:VEVENT\n");
    writeFile(path, original);
    auto store = calendars.store({folder});

    CalendarEvent event = *store->event("meeting-1");
    EXPECT_EQ(event.notes, "Agenda:\n1. budget; 2. hiring");
    event.notes = *event.notes + "\npelorins://CARD-1";
    QString error;
    ASSERT_TRUE(store->saveNotes(event, &error)) << error.toStdString();

    EXPECT_EQ(store->event("meeting-1")->notes, "Agenda:\n1. budget; 2. hiring\npelorins://CARD-1");
    // The event's own description changes; its alarm's description and everything else stay.
    const auto unchangedLines = [](const QByteArray& text) {
        QStringList lines = unfoldedLines(text);
        lines.removeIf([](const QString& line) {
            return line.startsWith("DTSTAMP") || line.startsWith("LAST-MODIFIED")
                || line.startsWith("DESCRIPTION:Agenda");
        });
        return lines;
    };
    EXPECT_EQ(unchangedLines(readFile(path)), unchangedLines(original));

    // Removing the link gives the notes back; empty notes leave no description behind.
    event.notes = QString();
    ASSERT_TRUE(store->saveNotes(event, &error));
    EXPECT_EQ(store->event("meeting-1")->notes, std::nullopt);
    EXPECT_FALSE(QString::fromUtf8(readFile(path)).contains("DESCRIPTION:Agenda"));
}

TEST(CalendarStore, RepeatingEventsOccurOnEachOfTheirDaysAndALinkGoesIntoOneOccurrence)
{
    LocalTimeZone berlin("Europe/Berlin");
    Calendars calendars;
    const QString folder = calendars.folder("work");
    const QString path = QDir(folder).filePath("weekly.ics");
    // Tuesdays at ten in Berlin from 20 October; not on 3 November; moved to two on 10 November. And
    // a birthday every year.
    writeFile(path,
        calendarText("BEGIN:VEVENT\nUID:weekly\nDTSTAMP:20260101T000000Z\nSUMMARY:Weekly review\n"
                     "DTSTART;TZID=Europe/Berlin:20261020T100000\n"
                     "DTEND;TZID=Europe/Berlin:20261020T110000\nRRULE:FREQ=WEEKLY;COUNT=8\n"
                     "EXDATE;TZID=Europe/Berlin:20261103T100000\nDESCRIPTION:Series notes\n"
                     "END:VEVENT\n"
                     "BEGIN:VEVENT\nUID:weekly\nDTSTAMP:20260101T000000Z\nSUMMARY:Weekly review, moved\n"
                     "RECURRENCE-ID;TZID=Europe/Berlin:20261110T100000\n"
                     "DTSTART;TZID=Europe/Berlin:20261110T140000\n"
                     "DTEND;TZID=Europe/Berlin:20261110T150000\nEND:VEVENT\n"));
    writeFile(QDir(folder).filePath("birthday.ics"),
        calendarText(eventText("birthday", "Birthday", "DTSTART;VALUE=DATE:19901027\nRRULE:FREQ=YEARLY\n")));
    auto store = calendars.store({folder});

    const auto startsOn = [&](QDate day) {
        QStringList starts;
        for (const CalendarEvent& event : eventsOfDay(*store, day))
            starts << event.title + " " + event.startDate.toUTC().toString("hh:mm");
        return starts;
    };
    EXPECT_EQ(startsOn(QDate(2026, 10, 20)), QStringList {"Weekly review 08:00"});
    // Ten o'clock stays ten o'clock after the clocks go back.
    EXPECT_EQ(startsOn(QDate(2026, 10, 27)), (QStringList {"Birthday 23:00", "Weekly review 09:00"}));
    EXPECT_EQ(startsOn(QDate(2027, 10, 27)), QStringList {"Birthday 22:00"});
    EXPECT_EQ(startsOn(QDate(2026, 11, 3)), QStringList {});
    EXPECT_EQ(startsOn(QDate(2026, 11, 10)), QStringList {"Weekly review, moved 13:00"});
    EXPECT_EQ(startsOn(QDate(2026, 11, 11)), QStringList {});
    EXPECT_EQ(startsOn(QDate(2026, 12, 8)), QStringList {"Weekly review 09:00"});
    EXPECT_EQ(startsOn(QDate(2026, 12, 15)), QStringList {});
    EXPECT_EQ(store->event("weekly")->startDate.toUTC(), QDateTime(QDate(2026, 10, 20), QTime(8, 0), QTimeZone::utc()));

    CalendarEvent occurrence = eventsOfDay(*store, QDate(2026, 11, 17)).value(0);
    ASSERT_EQ(occurrence.notes, "Series notes");
    occurrence.notes = *occurrence.notes + "\npelorins://CARD-9";
    QString error;
    ASSERT_TRUE(store->saveNotes(occurrence, &error)) << error.toStdString();

    const QList<CalendarEvent> linkedDay = eventsOfDay(*store, QDate(2026, 11, 17));
    ASSERT_EQ(linkedDay.size(), 1);
    EXPECT_EQ(linkedDay[0].notes, "Series notes\npelorins://CARD-9");
    EXPECT_EQ(linkedDay[0].startDate, occurrence.startDate);
    EXPECT_EQ(linkedDay[0].endDate, occurrence.endDate);
    EXPECT_EQ(linkedDay[0], occurrence);
    EXPECT_EQ(eventsOfDay(*store, QDate(2026, 11, 24)).value(0).notes, "Series notes");
    EXPECT_EQ(eventsOfDay(*store, QDate(2026, 11, 10)).value(0).notes, std::nullopt);

    CalendarEvent birthday = eventsOfDay(*store, QDate(2026, 10, 27)).value(0);
    ASSERT_TRUE(birthday.isAllDay);
    birthday.notes = "pelorins://CARD-8";
    ASSERT_TRUE(store->saveNotes(birthday, &error)) << error.toStdString();
    const QList<CalendarEvent> birthdayDay = eventsOfDay(*store, QDate(2026, 10, 27));
    ASSERT_EQ(birthdayDay.size(), 2);
    EXPECT_EQ(birthdayDay[0], birthday);
    EXPECT_TRUE(birthdayDay[0].isAllDay);
    EXPECT_EQ(birthdayDay[0].notes, "pelorins://CARD-8");
    EXPECT_EQ(eventsOfDay(*store, QDate(2027, 10, 27)).value(0).notes, std::nullopt);

    // Unlinking later writes into the same occurrence and leaves one event on the day.
    CalendarEvent linked = linkedDay[0];
    linked.notes = "Series notes";
    ASSERT_TRUE(store->saveNotes(linked, &error));
    EXPECT_EQ(startsOn(QDate(2026, 11, 17)), QStringList {"Weekly review 09:00"});
    EXPECT_EQ(eventsOfDay(*store, QDate(2026, 11, 17)).value(0).notes, "Series notes");
}

TEST(CalendarStore, RefusesToWriteWhereItWouldLoseOrCannotWrite)
{
    Calendars calendars;
    const QString readOnly = calendars.folder("holidays");
    const QString odd = calendars.folder("odd");
    writeFile(QDir(readOnly).filePath("h.ics"),
        calendarText(eventText("holiday", "Holiday", "DTSTART;VALUE=DATE:20261225\n")));
    // A property that cannot be parsed would be dropped by a rewrite.
    const QByteArray oddText
        = calendarText(eventText("odd", "Odd", "DTSTART:20261225T100000Z\nRDATE;VALUE=PERIOD:not-a-period\n"));
    writeFile(QDir(odd).filePath("o.ics"), oddText);
    ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0555), 0);
    auto store = calendars.store({readOnly, odd});

    QStringList refused = {"odd"};
    // Permissions do not bind the superuser.
    if (!QFileInfo(readOnly).isWritable()) {
        refused << "holiday";
        EXPECT_FALSE(store->event("holiday")->calendar.allowsContentModifications);
    }
    for (const QString& uid : refused) {
        auto event = store->event(uid);
        ASSERT_TRUE(event) << uid.toStdString();
        event->notes = "pelorins://CARD";
        QString error;
        EXPECT_FALSE(store->saveNotes(*event, &error)) << uid.toStdString();
        EXPECT_FALSE(error.isEmpty()) << uid.toStdString();
        EXPECT_FALSE(store->event(uid)->notes) << uid.toStdString();
    }
    EXPECT_EQ(readFile(QDir(odd).filePath("o.ics")), oddText);
    ::chmod(QFile::encodeName(readOnly).constData(), 0755);
}

TEST(CalendarStore, MalformedFilesAreSkippedWithAConsoleLineOnce)
{
    Calendars calendars;
    const QString folder = calendars.folder("mixed");
    const QDir dir(folder);
    writeFile(dir.filePath("good.ics"), calendarText(eventText("good", "Good", "DTSTART:20261103T090000Z\n")));
    writeFile(dir.filePath("garbage.ics"), "this is not a calendar\n");
    writeFile(dir.filePath("truncated.ics"), "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:cut\r\n");
    writeFile(dir.filePath("no-start.ics"), calendarText(eventText("bad-start", "Bad", "DTSTART:tomorrow\n")));
    writeFile(dir.filePath("notes.txt"), "not an event");
    auto store = calendars.store({folder});

    ConsoleLog::Capture capture;
    EXPECT_EQ(titles(eventsOfDay(*store, QDate(2026, 11, 3))), QStringList {"Good"});
    QStringList expected;
    for (const char* name : {"garbage.ics", "no-start.ics", "truncated.ics"})
        expected << "skipping unreadable calendar file " + dir.filePath(name);
    EXPECT_EQ(capture.lines(), expected);

    capture.clear();
    EXPECT_EQ(titles(eventsOfDay(*store, QDate(2026, 11, 3))), QStringList {"Good"});
    EXPECT_TRUE(capture.lines().isEmpty());
}

TEST(CalendarStore, EachCopyOfAnInvitationKeepsItsOwnIdentifierAndABareUidFindsTheFirstCopy)
{
    Calendars calendars;
    const QByteArray invitation
        = calendarText(eventText("Invite-1@Example.COM", "Review", "DTSTART:20261103T090000Z\n"));
    for (const char* name : {"work", "personal"})
        writeFile(QDir(calendars.folder(name)).filePath("invite.ics"), invitation);
    auto store = calendars.store({calendars.folder("work"), calendars.folder("personal")});

    const QList<CalendarEvent> copies = eventsOfDay(*store, QDate(2026, 11, 3));
    ASSERT_EQ(copies.size(), 2);
    EXPECT_NE(copies[0].eventIdentifier, copies[1].eventIdentifier);
    EXPECT_FALSE(copies[0] == copies[1]);
    for (const CalendarEvent& copy : copies) {
        EXPECT_EQ(copy.calendarItemExternalIdentifier, "Invite-1@Example.COM");
        EXPECT_EQ(store->event(copy.eventIdentifier)->calendar.title, copy.calendar.title);
    }
    // As identifiers were stored before they named their file: the first copy, where notes were
    // written then.
    EXPECT_EQ(store->event("Invite-1@Example.COM")->calendar.title, "work");

    // Calendars chosen again from another place still find the copy by its folder and file names.
    const QString personalIdentifier = copies[1].eventIdentifier;
    QDir(calendars.dir.path()).rename("work", "moved-work");
    QDir(calendars.dir.path()).rename("personal", "moved-personal");
    QDir(calendars.dir.path()).mkpath("elsewhere");
    QDir(calendars.dir.path()).rename("moved-personal", "elsewhere/personal");
    calendars.defaults.setValue(VdirCalendarStore::calendarFoldersKey,
        QStringList {calendars.folder("moved-work"), calendars.folder("elsewhere/personal")});
    auto moved = calendars.store({});
    const auto found = moved->event(personalIdentifier);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->calendar.title, "personal");
}

TEST(CalendarStore, FilesChangedAddedOrRemovedAreSeenWithoutAReset)
{
    Calendars calendars;
    const QString folder = calendars.folder("work");
    const QString path = QDir(folder).filePath("a.ics");
    writeFile(path, calendarText(eventText("a", "Before", "DTSTART:20261103T090000Z\n")));
    auto store = calendars.store({folder});
    EXPECT_EQ(titles(eventsOfDay(*store, QDate(2026, 11, 3))), QStringList {"Before"});

    // Same size, written in place within the same second.
    writeFile(path, calendarText(eventText("a", "Latter", "DTSTART:20261103T090000Z\n")));
    writeFile(QDir(folder).filePath("b.ics"), calendarText(eventText("b", "Added", "DTSTART:20261103T100000Z\n")));
    EXPECT_EQ(titles(eventsOfDay(*store, QDate(2026, 11, 3))), (QStringList {"Latter", "Added"}));

    QFile::remove(path);
    writeFile(QDir(folder).filePath("displayname"), "Work\n");
    const QList<CalendarEvent> events = eventsOfDay(*store, QDate(2026, 11, 3));
    EXPECT_EQ(titles(events), QStringList {"Added"});
    EXPECT_EQ(events.value(0).calendar.title, "Work");
}
