// The events of one day from 5 calendar folders of 2,000 events each, one file per event as sync
// tools write them (weekly and monthly series, changed occurrences, all-day events, single
// events): the first request of a day once the files are read, then the next day. Targets: 20 ms
// and 5 ms. Then the same with hostile files beside them (deep nesting, a link to /dev/zero,
// FIFOs, rules that never match, hundreds of series once a second): a day under 100 ms.

#include "BenchTiming.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/VdirCalendarStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int calendarCount = 5;
constexpr int eventsPerCalendar = 2000;
constexpr int runs = 9;
const QDate firstDay(2026, 6, 1);

QByteArray calendarText(const QByteArray& body)
{
    QByteArray text = "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Bench//EN\n" + body + "END:VCALENDAR\n";
    return text.replace("\n", "\r\n");
}

QByteArray eventText(const QByteArray& uid, const QByteArray& lines)
{
    return "BEGIN:VEVENT\nUID:" + uid + "\nDTSTAMP:20260101T000000Z\nSUMMARY:Event " + uid + "\n"
        + "DESCRIPTION:Notes of " + uid + "\n" + lines + "END:VEVENT\n";
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray two(int value)
{
    return QByteArray::number(value).rightJustified(2, '0');
}

QByteArray dateText(QDate date)
{
    return date.toString(QStringLiteral("yyyyMMdd")).toLatin1();
}

// One calendar's events, one file each: a mix of what a work calendar holds over a few years.
void writeCalendar(const QDir& folder, int calendar)
{
    static const char* const weekdays[] = {"MO", "TU", "WE", "TH", "FR"};
    for (int i = 0; i < eventsPerCalendar; ++i) {
        const QByteArray uid = "c" + QByteArray::number(calendar) + "-e" + QByteArray::number(i) + "@bench.example";
        const QDate start = QDate(2023, 1, 2).addDays((i * 37) % 1200);
        const QByteArray time = two(7 + i % 11) + two((i % 4) * 15) + "00";
        const QByteArray zone
            = i % 3 == 0 ? "DTSTART;TZID=Europe/Berlin:" : (i % 3 == 1 ? "DTSTART:" : "DTSTART;TZID=America/New_York:");
        QByteArray body;
        switch (i % 10) {
        case 0:
        case 1:
        case 2: {
            // Weekly, some ended by a count or a date.
            const QByteArray end = i % 5 == 0 ? ";COUNT=" + QByteArray::number(20 + i % 200)
                                              : (i % 7 == 0 ? QByteArray(";UNTIL=20281231T235959Z") : QByteArray());
            body = eventText(uid,
                zone + dateText(start) + "T" + time + "\nDURATION:PT45M\nRRULE:FREQ=WEEKLY;BYDAY=" + weekdays[i % 5]
                    + end + "\n");
            // Every other weekly series has one occurrence moved, in the same file.
            if (i % 2 == 0) {
                const QDate moved = firstDay.addDays(i % 60);
                body += eventText(uid,
                    "RECURRENCE-ID" + zone.mid(7) + dateText(moved) + "T" + time + "\n" + zone + dateText(moved)
                        + "T1800" + "00\nDURATION:PT45M\n");
            }
            break;
        }
        case 3:
            body = eventText(uid,
                zone + dateText(start) + "T" + time + "\nDURATION:PT1H\nRRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,TH\n");
            break;
        case 4:
            body = eventText(uid,
                zone + dateText(start) + "T" + time
                    + "\nDURATION:PT1H\nRRULE:FREQ=MONTHLY;BYMONTHDAY=" + QByteArray::number(1 + i % 28) + "\n");
            break;
        case 5:
            body = eventText(uid,
                zone + dateText(start) + "T" + time + "\nDURATION:PT1H\nRRULE:FREQ=MONTHLY;BYDAY="
                    + QByteArray::number(1 + i % 4) + weekdays[i % 5] + "\n");
            break;
        case 6:
            // Birthdays and other yearly all-day events.
            body = eventText(uid,
                "DTSTART;VALUE=DATE:" + dateText(QDate(1980 + i % 40, 1 + i % 12, 1 + i % 28))
                    + "\nRRULE:FREQ=YEARLY\n");
            break;
        case 7:
            // Holidays and trips over several days.
            body = eventText(uid,
                "DTSTART;VALUE=DATE:" + dateText(start) + "\nDTEND;VALUE=DATE:" + dateText(start.addDays(1 + i % 5))
                    + "\n");
            break;
        default:
            body = eventText(uid,
                zone + dateText(start) + "T" + time + "\nDTEND" + zone.mid(7) + dateText(start) + "T" + two(8 + i % 11)
                    + "0000\n");
            break;
        }
        writeFile(folder.filePath(QString::fromLatin1(uid) + ".ics"), calendarText(body));
    }
}

QByteArray nested(int depth)
{
    QByteArray text = "BEGIN:VCALENDAR\r\n";
    for (int i = 0; i < depth; ++i)
        text += "BEGIN:X-A\r\n";
    for (int i = 0; i < depth; ++i)
        text += "END:X-A\r\n";
    return text + "END:VCALENDAR\r\n";
}

QByteArray series(int count, const QByteArray& lines)
{
    QByteArray body;
    for (int i = 0; i < count; ++i)
        body += eventText("hostile-" + QByteArray::number(i), lines);
    return calendarText(body);
}

void writeHostileFiles(const QDir& folder, const QDir& other)
{
    writeFile(folder.filePath("deep.ics"), nested(300000));
    ::symlink("/dev/zero", QFile::encodeName(folder.filePath("w.ics")).constData());
    ::mkfifo(QFile::encodeName(folder.filePath(".pipe")).constData(), 0644);
    ::symlink(".pipe", QFile::encodeName(folder.filePath("z.ics")).constData());
    ::mkfifo(QFile::encodeName(other.filePath("displayname")).constData(), 0644);
    ::mkfifo(QFile::encodeName(other.filePath("color")).constData(), 0644);
    writeFile(folder.filePath("never.ics"),
        series(50, "DTSTART:20260101T000000Z\nRRULE:FREQ=SECONDLY;BYMONTH=2;BYMONTHDAY=30\n"));
    writeFile(folder.filePath("counted.ics"),
        series(200, "DTSTART:19700101T000000Z\nRRULE:FREQ=SECONDLY;COUNT=1000000000\n"));
    writeFile(folder.filePath("live.ics"), series(200, "DTSTART:20260101T000000Z\nRRULE:FREQ=SECONDLY;INTERVAL=7\n"));
}

QList<CalendarEvent> eventsOfDay(CalendarStore& store, QDate day)
{
    return store.events(day.startOfDay(), day.addDays(1).startOfDay().addSecs(-1));
}

struct Figures
{
    double load = 0;
    qsizetype loadEvents = 0;
    QList<double> first;
    QList<double> second;
    QList<double> again;
    qsizetype events = 0;
};

Figures measure(const QStringList& folders, UserDefaults& defaults)
{
    defaults.setValue(VdirCalendarStore::calendarFoldersKey, folders);
    VdirCalendarStore store(defaults, {});
    Figures figures;
    QElapsedTimer timer;
    timer.start();
    figures.loadEvents = eventsOfDay(store, firstDay.addDays(-1)).size();
    figures.load = milliseconds(timer);
    for (int run = 0; run < runs; ++run) {
        const QDate day = firstDay.addDays(run * 9);
        timer.start();
        figures.events = std::max(figures.events, eventsOfDay(store, day).size());
        figures.first.append(milliseconds(timer));
        timer.start();
        eventsOfDay(store, day.addDays(1));
        figures.second.append(milliseconds(timer));
        timer.start();
        eventsOfDay(store, day);
        figures.again.append(milliseconds(timer));
    }
    return figures;
}

void print(const char* what, const QList<double>& times, double target)
{
    const double value = median(times);
    if (target > 0)
        std::printf(
            "  %-34s median %8.2f ms   target %6.1f ms   (%.2f of the target)\n", what, value, target, value / target);
    else
        std::printf("  %-34s median %8.2f ms\n", what, value);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    QTemporaryDir settings;
    QStringList folders;
    for (int calendar = 0; calendar < calendarCount; ++calendar) {
        const QString folder = root.filePath(QStringLiteral("calendar-%1").arg(calendar));
        QDir().mkpath(folder);
        writeCalendar(QDir(folder), calendar);
        folders.append(folder);
    }
    UserDefaults defaults(settings.filePath(QStringLiteral("prefs.conf")));

    const Figures plain = measure(folders, defaults);
    std::printf("%d calendars x %d events, one file each: read in %.0f ms (%lld events that day)\n", calendarCount,
        eventsPerCalendar, plain.load, qlonglong(plain.loadEvents));
    std::printf("  up to %lld events a day\n", qlonglong(plain.events));
    print("first request of a day", plain.first, 20);
    print("the next day", plain.second, 5);
    print("the same day again", plain.again, 0);

    const QString hostile = root.filePath(QStringLiteral("hostile"));
    QDir().mkpath(hostile);
    writeHostileFiles(QDir(hostile), QDir(folders.first()));
    ConsoleLog::Capture quiet;
    const Figures withHostile = measure(folders + QStringList {hostile}, defaults);
    std::printf("the same with hostile files beside them: read in %.0f ms\n", withHostile.load);
    std::printf("  up to %lld events a day\n", qlonglong(withHostile.events));
    print("first request of a day", withHostile.first, 100);
    print("the next day", withHostile.second, 100);
    print("the same day again", withHostile.again, 0);
    return 0;
}
