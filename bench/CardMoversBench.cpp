// The card movers on the reference dataset's 10,000-card board, in the store manager's store:
// marking one card done and unmarking one (both through the board's done mover), moving one card
// between two 250-card stage columns and rearranging one card inside the done column (through
// the columns' movers), each followed by its undo. Every step saves the store, as the program
// does after it: the movers that save do so themselves, and the program saves after unmarking
// and after moving between stages. Prints the median of each, on the
// clock and in processor time, and the time of a save of one changed card: with the store's full
// sync, the disk sets the floor of every step that saves.

#include "ReferenceDataset.h"
#include "support/FakeMoverBoard.h"
#include "support/FakeMoverColumn.h"

#include "BenchTiming.h"
#include "PelorinsKit/board/DoneItemsMover.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int runs = 21;

double threadMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Times `step` as one undoable step and then its undo, `runs` times, on the clock and in this
// thread's processor time (which leaves out waiting for the disk); each undo brings the board
// back, so every run starts from the same board.
void measure(const char* name, UndoManager& undoManager, const std::function<void()>& step)
{
    QList<double> forward, forwardCpu, backward, backwardCpu;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        double cpu = threadMilliseconds();
        undoManager.beginUndoGrouping();
        step();
        undoManager.endUndoGrouping();
        forwardCpu.append(threadMilliseconds() - cpu);
        forward.append(milliseconds(timer));
        timer.restart();
        cpu = threadMilliseconds();
        undoManager.undo();
        backwardCpu.append(threadMilliseconds() - cpu);
        backward.append(milliseconds(timer));
    }
    std::printf("%-40s %7.3f ms (cpu %6.3f)   undo %7.3f ms (cpu %6.3f)\n", name, median(forward), median(forwardCpu),
        median(backward), median(backwardCpu));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QTemporaryDir folder;
    DataFolders::setBaseFolderForTesting(folder.path());
    CoreDataManager& manager = CoreDataManager::shared();
    QDir().mkpath(QFileInfo(manager.storePath()).path());
    QString error;
    if (!ReferenceDataset::write(manager.storePath(), QDate::currentDate(), &error))
        qFatal("cannot write the reference dataset: %s", qPrintable(error));
    manager.setup([] {}, [](const StoreError& failure) { qFatal("%s", failure.what()); });
    if (!manager.context())
        qFatal("the store manager did not load the reference dataset");
    Kanban* board = ReferenceDataset::largeBoard(*manager.context());
    // As shown in the program: the board's cards and history read.
    manager.loading()->loadHistory(board);

    UndoManager undoManager;
    UserDefaults defaults(folder.filePath(QStringLiteral("defaults.conf")));
    defaults.setValue(QLatin1String(DoneItemsMover::demoScrolledToDoneColumnKey), true);
    FakeMoverBoard view(board);
    view.setUndoManager(&undoManager);
    std::vector<std::unique_ptr<FakeMoverColumn>> columns;
    const int stages = int(board->column().size());
    for (int section = 0; section <= stages; ++section) {
        columns.push_back(std::make_unique<FakeMoverColumn>(section, &undoManager));
        view.addController(columns.back().get());
    }
    FakeMoverColumn& doneColumn = *columns.back();
    DoneItemsMover doneMover(&view, defaults);

    std::printf("reference board: %d stage columns of %lld cards, %lld day groups\n", stages,
        qlonglong(board->column().first()->item().size()), qlonglong(board->doneDates().size()));

    // The dataset's histories name no former stage column: unmarking writes a console line per
    // record it skips, kept here instead of printed.
    ConsoleLog::Capture console;
    ListItem* open = board->column().first()->item().at(125);
    measure("mark one card done, with its save (target <= 0.5)", undoManager, [&] { doneMover.moveDoneItems({open}, std::nullopt); });

    ListItem* done = board->doneDates().at(3)->items().first();
    measure("unmark one card, and save", undoManager, [&] {
        doneMover.moveUnDoneItems({done}, std::nullopt);
        manager.saveContext();
    });

    measure("move one card between stage columns, and save", undoManager, [&] {
        columns.at(1)->mover().moveItems({{0, 125}}, {0, 100}, columns.at(0).get());
        manager.saveContext();
    });

    measure("rearrange one card in the done column", undoManager, [&] {
        doneColumn.mover().moveItems({{2, 0}}, {2, 15}, nullptr);
    });

    // The floor under every step that saves: one changed card written with the store's full sync.
    measure("save one changed card", undoManager, [&] {
        open->setTimeWorked(open->timeWorked().value_or(0) + 1);
        manager.saveContext();
    });
    return 0;
}
