// Opening the store and loading the whole graph, against a plain SQLite scan of the same tables,
// warm in this process and cold in new ones; saving one changed card; memory after loading. Run
// on the reference dataset.

#include "BenchTiming.h"
#include "LoadedStore.h"
#include "ReferenceDataset.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int runs = 5;

// Reads every column of every row of the store's tables, without building any object.
qint64 plainScan(const QString& path)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        qFatal("cannot open the store: %s", sqlite3_errmsg(db));
    QStringList tables;
    sqlite3_stmt* list = nullptr;
    sqlite3_prepare_v2(
        db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'", -1, &list, nullptr);
    while (sqlite3_step(list) == SQLITE_ROW)
        tables.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(list, 0))));
    sqlite3_finalize(list);

    qint64 checksum = 0;
    for (const QString& table : std::as_const(tables)) {
        sqlite3_stmt* scan = nullptr;
        const QByteArray sql = "SELECT * FROM \"" + table.toUtf8() + "\"";
        sqlite3_prepare_v2(db, sql.constData(), -1, &scan, nullptr);
        const int columns = sqlite3_column_count(scan);
        while (sqlite3_step(scan) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                switch (sqlite3_column_type(scan, c)) {
                case SQLITE_INTEGER:
                    checksum += sqlite3_column_int64(scan, c);
                    break;
                case SQLITE_FLOAT:
                    checksum += qint64(sqlite3_column_double(scan, c));
                    break;
                case SQLITE_TEXT:
                    checksum += sqlite3_column_bytes(scan, c) + (sqlite3_column_text(scan, c) ? 1 : 0);
                    break;
                case SQLITE_BLOB:
                    checksum += sqlite3_column_bytes(scan, c) + (sqlite3_column_blob(scan, c) ? 1 : 0);
                    break;
                default:
                    break;
                }
            }
        }
        sqlite3_finalize(scan);
    }
    sqlite3_close(db);
    return checksum;
}

// Peak resident memory of this process so far, in MB.
double peakResidentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// The dataset is written by a child process, so that building it never counts in this
// process's peak memory.
bool writeDatasetApart(const QString& path)
{
    const pid_t child = fork();
    if (child == 0) {
        QString error;
        const bool written = ReferenceDataset::write(path, QDate(2026, 12, 9), &error);
        if (!written)
            std::fprintf(stderr, "cannot write the dataset: %s\n", qPrintable(error));
        _exit(written ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The median of the runs against its target, with the fastest run beside it.
void report(const char* what, const QList<double>& runs, const char* unit, const char* target, double limit)
{
    const double value = median(runs);
    std::printf("%-32s %8.2f %-2s  fastest %8.2f  (target %s)%s\n", what, value, unit,
        *std::min_element(runs.cbegin(), runs.cend()), target, value <= limit ? "" : "  MISSED");
}

}

// The first load of a store in a process, timed by a new process of this program: the warm
// reloads below reuse memory that a program opening its store has to fault in.
double coldLoadInANewProcess(const QString& program, const QString& path)
{
    QProcess child;
    child.start(program, {QStringLiteral("--cold"), path});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        qFatal("the cold load failed");
    return child.readAllStandardOutput().trimmed().toDouble();
}

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--cold") == 0) {
        QCoreApplication application(argc, argv);
        QElapsedTimer timer;
        timer.start();
        LoadedStore store = load(QString::fromLocal8Bit(argv[2]));
        std::printf("%.2f\n", milliseconds(timer));
        return 0;
    }
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Reference.storedata"));
    QElapsedTimer timer;
    timer.start();
    if (!writeDatasetApart(path))
        return 1;
    std::printf(
        "reference dataset: %d cards written in %.1f s\n", ReferenceDataset::cardsInAll, milliseconds(timer) / 1000);

    QCoreApplication application(argc, argv);
    QList<double> scans;
    QList<double> loads;
    QList<double> ratios;
    double peakAfterLoad = 0;
    int cards = 0;
    for (int run = 0; run < runs; ++run) {
        timer.restart();
        plainScan(path);
        scans.append(milliseconds(timer));

        timer.restart();
        LoadedStore store = load(path);
        loads.append(milliseconds(timer));
        ratios.append(loads.last() / scans.last());
        if (run == 0) {
            peakAfterLoad = peakResidentMegabytes();
            cards = store.context->count(FetchRequest(QStringLiteral("ListItem")));
        }
    }

    LoadedStore store = load(path);
    const QList<ListItem*> stage
        = store.context->fetchAs<Kanban>(FetchRequest(QStringLiteral("Kanban"))).first()->column().first()->item();
    QList<double> saves;
    for (int run = 0; run < 20; ++run) {
        ListItem* card = stage.at(run);
        card->setDone(!card->done());
        timer.restart();
        QString error;
        if (!store.context->save(&error))
            qFatal("cannot save: %s", qPrintable(error));
        saves.append(milliseconds(timer));
    }

    QList<double> cold;
    for (int run = 0; run < runs; ++run)
        cold << coldLoadInANewProcess(QCoreApplication::applicationFilePath(), path);

    std::printf("cards loaded: %d; medians of %d runs, or of %d saves\n", cards, runs, int(saves.size()));
    report("first, cold load in a new process", cold, "ms", "none: the program reads a board first", qInf());
    report("open store and load graph", loads, "ms", "< 400 ms", 400);
    report("plain SQLite scan of the tables", scans, "ms", "none, the baseline", qInf());
    report("load / scan of the same run", ratios, "x", "<= 3x", 3);
    report("change one card and save", saves, "ms", "< 5 ms", 5);
    std::printf("%-32s %8.2f MB  (target < 300 MB)%s; a process without widgets: the program's own is "
                "StartUpBench's\n",
        "peak RSS after load", peakAfterLoad, peakAfterLoad < 300 ? "" : "  MISSED");
    return 0;
}
