// The reminders of 10,000 cards, kept in reminders.json: re-arming them as the program does at
// start (load and check the file, deliver nothing, find the earliest, arm the timer), each in a
// fresh process, target a median of 50 ms; then scheduling one reminder among them (the replaced one dropped, the timer
// armed again) and the write that follows in the next turn of the event loop, the first one after
// start apart. Processor time is printed beside wall time, as the machine may be shared.

#include "BenchTiming.h"
#include "Platform/services/ReminderCenter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int cardCount = 10000;
constexpr int runs = 15;
constexpr const char* rearmOnce = "--rearm-once";
const QDateTime now(QDate(2026, 6, 1), QTime(9, 0), Qt::UTC);

class SilentReminderCenter : public ReminderCenter
{
public:
    void deliver(const Reminder&) override { ++delivered; }
    int delivered = 0;
};

QString cardLink(int card)
{
    return QStringLiteral("pelorins://%1-4F6A-8B7C-8D9E0F1A2B3C").arg(card, 8, 10, QLatin1Char('0'));
}

Reminder reminderFor(int card, const QDateTime& at)
{
    const QString link = cardLink(card);
    return Reminder {link, QStringLiteral("Card number %1 with a first line of some length").arg(card),
        QStringLiteral("due on: 12/06/2026 17:00"), QStringLiteral("A board"), at,
        {{QStringLiteral("urlString"), link}, {QStringLiteral("selectedMenuTag"), 3}}};
}

struct Run
{
    QList<double> wall;
    QList<double> processor;

    template <typename Work> void measure(Work work)
    {
        const double before = processMilliseconds();
        QElapsedTimer timer;
        timer.start();
        work();
        wall.append(milliseconds(timer));
        processor.append(processMilliseconds() - before);
    }

    void print(const char* what, double target) const
    {
        const double value = median(wall);
        std::printf("  %-44s median %8.3f ms (processor %8.3f ms)", what, value, median(processor));
        if (target > 0)
            std::printf("   target %5.1f ms   (%.2f of the target)", target, value / target);
        std::printf("\n");
    }
};

// Loads the file, checks it and arms the timer, then prints the wall and processor times.
int rearmInThisProcess(const QString& path)
{
    Run rearm;
    SilentReminderCenter center;
    center.setClock([] { return now; });
    rearm.measure([&] {
        center.setStorageFile(path);
        center.start();
    });
    if (center.delivered != 0 || center.scheduledReminders().size() != cardCount || !center.timer().isActive()) {
        std::fprintf(stderr, "re-arming lost or delivered reminders\n");
        return 1;
    }
    std::printf("%f %f\n", rearm.wall.first(), rearm.processor.first());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() == 3 && app.arguments().at(1) == QLatin1String(rearmOnce))
        return rearmInThisProcess(app.arguments().at(2));
    QTemporaryDir folder;
    const QString path = folder.filePath(QString(ReminderCenter::fileName));
    {
        SilentReminderCenter writer;
        writer.setClock([] { return now; });
        writer.setStorageFile(path);
        for (int card = 0; card < cardCount; ++card)
            writer.scheduleReminder(reminderFor(card, now.addSecs(3600 + qint64(card) * 97 % 864000)));
    }
    std::printf("%d reminders, %lld bytes of reminders.json; load average %s\n", cardCount,
        qlonglong(QFile(path).size()), qPrintable(loadAverage()));

    // Each re-arm in a process of its own, as at the program's start, whose heap is new.
    Run rearm;
    for (int run = 0; run < runs; ++run) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString(rearmOnce), path});
        if (!child.waitForFinished(60000) || child.exitCode() != 0)
            qFatal("re-arming failed: %s", child.readAllStandardError().constData());
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        rearm.wall.append(figures.value(0).toDouble());
        rearm.processor.append(figures.value(1).toDouble());
    }
    rearm.print("re-arm 10,000 reminders at start", 50);
    // The same again and again in this process, on a heap that has held them before.
    Run again;
    for (int run = 0; run < runs; ++run) {
        SilentReminderCenter center;
        center.setClock([] { return now; });
        again.measure([&] {
            center.setStorageFile(path);
            center.start();
        });
    }
    again.print("re-arm them again in a running program", 50);

    SilentReminderCenter center;
    center.setClock([] { return now; });
    center.setStorageFile(path);
    center.start();
    // The first write encodes every entry read from the file; later ones only what changed.
    Run firstWrite;
    center.scheduleReminder(reminderFor(cardCount - 1, now.addSecs(7200)));
    firstWrite.measure([] { QCoreApplication::processEvents(); });
    firstWrite.print("the first write after start", 0);
    Run schedule;
    Run write;
    for (int run = 0; run < runs; ++run) {
        const int card = (run * 613) % cardCount;
        schedule.measure([&] { center.scheduleReminder(reminderFor(card, now.addSecs(20 + run))); });
        write.measure([] { QCoreApplication::processEvents(); });
    }
    if (center.scheduledReminders().size() != cardCount || center.timer().interval() != 20 * 1000)
        qFatal("scheduling did not replace one reminder and arm for the earliest");
    schedule.print("schedule one reminder among 10,000", 0);
    write.print("the file written in the next turn", 0);
    return 0;
}
