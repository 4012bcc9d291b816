// The board view on the reference dataset, offscreen at 1440 x 900: the big board (8 stage
// columns of 250 cards and a done column of 8,000 cards over 365 days) to its first paint with
// its notes not yet read; switching boards with pooled column controllers; one search keystroke;
// the peak memory of opening all 201 boards with a search on each; marking a card done through
// the board, its save included; and the big board from process start to its first paint.
//
// Each measurement runs in a process of its own (this program, called with the measurement's
// name), so that memory and caches of one never help or hurt another. Times are medians of the
// wall clock, with the main thread's processor time beside them: on a busy machine the two part.
// A first paint is everything the board does until it has painted: loading, the events that
// loading posts, and one paint; the measuring the columns do while idle comes after.

#include "LoadedStore.h"
#include "ReferenceDataset.h"

#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "PelorinsKit/board/DoneItemsMover.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace {

constexpr int runs = 7;

double threadMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Wall-clock and processor time of the main thread.
struct Lap
{
    double wall = 0;
    double cpu = 0;
};

// Times from when it was made.
class Stopwatch
{
public:
    Stopwatch()
        : m_cpu(threadMilliseconds())
    {
        m_wall.start();
    }
    Lap lap() const { return {double(m_wall.nsecsElapsed()) / 1e6, threadMilliseconds() - m_cpu}; }

private:
    QElapsedTimer m_wall;
    double m_cpu;
};

struct Times
{
    QList<double> wall;
    QList<double> cpu;

    void add(const Lap& lap)
    {
        wall << lap.wall;
        cpu << lap.cpu;
    }
    static double median(QList<double> values)
    {
        std::sort(values.begin(), values.end());
        return values.at(values.size() / 2);
    }
    void print(const char* what, const char* goal) const
    {
        std::printf("%s: median %.1f ms (processor %.1f ms)%s\n", what, median(wall), median(cpu), goal);
    }
};

QString storePathIn(const QString& dataFolder)
{
    return QDir(dataFolder)
        .filePath(QStringLiteral("%1/%2").arg(DataFolders::folderName, CoreDataManager::storeFileName));
}

// A board view in its own window, as the program shows it, with the preferences of a user who
// has seen boards before.
class BoardWindow
{
public:
    explicit BoardWindow(ManagedObjectContext& context)
        : m_defaults(m_folder.filePath(QStringLiteral("defaults.conf")))
    {
        m_defaults.setValue(MacKanbanColumnsViewController::firstSetupCompletedKey, true);
        m_defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, true);
        MacKanbanColumnsViewController::Services services;
        services.context = &context;
        services.save = [&context] { context.save(nullptr); };
        services.undoManager = &m_undoManager;
        services.defaults = &m_defaults;
        services.notificationCenter = &m_notices;
        board = std::make_unique<MacKanbanColumnsViewController>(services);
        board->resize(1440, 900);
        board->show();
        QCoreApplication::processEvents();
    }

    // Shows the board, to its first paint.
    Lap show(Kanban* kanban)
    {
        Stopwatch watch;
        board->setKanban(kanban);
        board->loadKanban();
        return painted(watch);
    }

    // A search as the search field's pause applies it, to the repaint of every column.
    Lap search(const QString& term)
    {
        Stopwatch watch;
        board->setSearchTerm(term);
        board->reloadColumns();
        return painted(watch);
    }

    Lap painted(const Stopwatch& watch)
    {
        QCoreApplication::sendPostedEvents();
        board->repaint();
        const Lap lap = watch.lap();
        // What the program does while idle, so that the next measurement starts afresh.
        QCoreApplication::processEvents();
        return lap;
    }

    std::unique_ptr<MacKanbanColumnsViewController> board;

private:
    QTemporaryDir m_folder;
    UserDefaults m_defaults;
    NotificationCenter m_notices;
    UndoManager m_undoManager;
};

QList<Kanban*> smallBoards(ManagedObjectContext& context)
{
    QList<Kanban*> boards;
    for (Kanban* board : context.fetchAs<Kanban>(FetchRequest(QStringLiteral("Kanban"))))
        if (board->title() != QLatin1String(ReferenceDataset::largeBoardTitle))
            boards << board;
    return boards;
}

int firstPaint(const QString& storePath)
{
    Times times;
    for (int run = 0; run < runs; ++run) {
        LoadedStore store = load(storePath);
        BoardWindow window(*store.context);
        times.add(window.show(ReferenceDataset::largeBoard(*store.context)));
    }
    times.print("reference board, notes not read, to first paint", " (goal <= 100)");
    std::printf("the first of them, in a new process: %.1f ms (processor %.1f ms)\n", times.wall.first(),
        times.cpu.first());
    return 0;
}

int switching(const QString& storePath)
{
    LoadedStore store = load(storePath);
    BoardWindow window(*store.context);
    const QList<Kanban*> small = smallBoards(*store.context);
    Kanban* large = ReferenceDataset::largeBoard(*store.context);
    // Every board once, so that the controllers are made and pooled.
    window.show(large);
    for (int i = 0; i < 2 * runs + 2; ++i)
        window.show(small.at(i));
    Times betweenSmall;
    Times fromLarge;
    for (int run = 0; run < runs; ++run) {
        window.show(small.at(2 * run));
        betweenSmall.add(window.show(small.at(2 * run + 1)));
        window.show(large);
        fromLarge.add(window.show(small.at(2 * run + 2)));
    }
    betweenSmall.print("switching between two 200-card boards", " (goal <= 50)");
    fromLarge.print("switching from the reference board to a 200-card board", " (goal <= 50)");
    return 0;
}

int searching(const QString& storePath)
{
    const QStringList keystrokes {"c", "ca", "car", "card", "card ", "card 1", "card 12", "card 123"};
    Times cold;
    Times warm;
    for (int run = 0; run < runs; ++run) {
        LoadedStore store = load(storePath);
        BoardWindow window(*store.context);
        window.show(ReferenceDataset::largeBoard(*store.context));
        cold.add(window.search(keystrokes.first()));
        for (const QString& term : keystrokes.mid(1))
            warm.add(window.search(term));
    }
    warm.print("one search keystroke on the reference board, notes read", " (goal <= 50)");
    cold.print("the first search keystroke, notes not read yet", "");
    return 0;
}

int memory(const QString& storePath)
{
    LoadedStore store = load(storePath);
    BoardWindow window(*store.context);
    QList<Kanban*> boards = smallBoards(*store.context);
    boards.prepend(ReferenceDataset::largeBoard(*store.context));
    for (Kanban* kanban : std::as_const(boards)) {
        window.show(kanban);
        window.search(QStringLiteral("checklist item 3"));
        window.search(QString());
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory after opening all %lld boards with a search on each: %ld MB (goal <= 300)\n",
        qlonglong(boards.size()), usage.ru_maxrss / 1024);
    return 0;
}

// Through the program's store, so that the save is the program's.
ManagedObjectContext& programStore(const QString& dataFolder)
{
    DataFolders::setBaseFolderForTesting(dataFolder);
    CoreDataManager::shared().setup([] {}, [](const StoreError&) { qFatal("cannot load the store"); });
    if (!CoreDataManager::shared().context())
        qFatal("the store did not load at once");
    return *CoreDataManager::shared().context();
}

int markDone(const QString& dataFolder)
{
    ManagedObjectContext& context = programStore(dataFolder);
    BoardWindow window(context);
    Kanban* large = ReferenceDataset::largeBoard(context);
    window.show(large);
    Times times;
    for (int run = 0; run < runs; ++run) {
        ListItem* card = large->column().at(run % large->column().size())->item().first();
        Stopwatch watch;
        window.board->doneItemsMover()->moveDoneItems({card}, std::nullopt);
        times.add(window.painted(watch));
    }
    times.print("marking one card done on the reference board, save included", "");
    return 0;
}

int startUp(const QString& dataFolder, const Stopwatch& sinceMain)
{
    ManagedObjectContext& context = programStore(dataFolder);
    const Lap loaded = sinceMain.lap();
    BoardWindow window(context);
    window.show(ReferenceDataset::largeBoard(context));
    std::printf("painted: the store loaded %.1f ms after main(), the board painted %.1f ms after that\n", loaded.wall,
        sinceMain.lap().wall - loaded.wall);
    std::fflush(stdout);
    return 0;
}

// The program's measurements, each in a process of its own.
int runAll(const QString& program)
{
    QTemporaryDir dataFolder;
    const QString storePath = storePathIn(dataFolder.path());
    QDir().mkpath(QFileInfo(storePath).path());
    QString error;
    if (!ReferenceDataset::write(storePath, QDate::currentDate(), &error))
        qFatal("cannot write the reference dataset: %s", qPrintable(error));
    {
        LoadedStore store = load(storePath);
        ReferenceDataset::writePictures(*store.context,
            QDir(QFileInfo(storePath).path()).filePath(QLatin1String(PictureFolders::attachmentPicturesFolderName)));
    }

    const auto runPart = [&](const QString& part, const QString& argument) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(program, {part, argument});
        child.waitForFinished(-1);
        for (const QByteArray& line : child.readAllStandardOutput().split('\n'))
            if (line.contains(" ms") || line.contains(" MB"))
                std::printf("%s\n", line.constData());
        if (child.exitCode() != 0)
            qFatal("%s failed", qPrintable(part));
    };
    runPart(QStringLiteral("--first-paint"), storePath);
    runPart(QStringLiteral("--switch"), storePath);
    runPart(QStringLiteral("--search"), storePath);
    runPart(QStringLiteral("--memory"), storePath);

    QList<double> startUps;
    QByteArray lastReport;
    for (int run = 0; run < runs; ++run) {
        QProcess child;
        QElapsedTimer timer;
        timer.start();
        child.start(program, {QStringLiteral("--start-up"), dataFolder.path()});
        QByteArray output;
        while (!output.contains('\n') && child.waitForReadyRead(60000))
            output += child.readAllStandardOutput();
        startUps << double(timer.nsecsElapsed()) / 1e6;
        lastReport = output.trimmed();
        child.waitForFinished(-1);
    }
    std::printf("the reference board from process start to first paint: median %.1f ms (goal <= 600); last run %s\n",
        Times::median(startUps), lastReport.constData());
    // Last: it changes the store.
    runPart(QStringLiteral("--mark-done"), dataFolder.path());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const Stopwatch sinceMain;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() == 3) {
        const QString& part = arguments.at(1);
        const QString& argument = arguments.at(2);
        if (part == QLatin1String("--first-paint"))
            return firstPaint(argument);
        if (part == QLatin1String("--switch"))
            return switching(argument);
        if (part == QLatin1String("--search"))
            return searching(argument);
        if (part == QLatin1String("--memory"))
            return memory(argument);
        if (part == QLatin1String("--mark-done"))
            return markDone(argument);
        if (part == QLatin1String("--start-up"))
            return startUp(argument, sinceMain);
    }
    return runAll(QApplication::applicationFilePath());
}
