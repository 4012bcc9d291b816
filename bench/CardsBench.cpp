// Cards on the reference board (8 stage columns of 250 cards, a done column of 8,000 cards over
// 365 days) in the board view, offscreen at 1440 x 900, with the lists' animations instant and
// the program's store, whose saves run with full sync: marking one card done from its column's
// action to the committed save, and its undo; dropping one card from the first stage column into
// the second (accept, move, history, save); and a save of one changed card alone, which is what
// the disk's sync costs each of them. Prints medians, on the clock and in processor time.

#include "ReferenceDataset.h"

#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

constexpr int runs = 15;

double threadMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Times
{
    QList<double> wall;
    QList<double> cpu;

    template <typename Work> void measure(Work work)
    {
        QElapsedTimer timer;
        const double cpuStart = threadMilliseconds();
        timer.start();
        work();
        wall << double(timer.nsecsElapsed()) / 1e6;
        cpu << threadMilliseconds() - cpuStart;
        // What the program does while idle, so that the next run starts afresh.
        QCoreApplication::processEvents();
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

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    QTemporaryDir dataFolder;
    const QString storePath
        = QDir(dataFolder.path())
              .filePath(QStringLiteral("%1/%2").arg(DataFolders::folderName, CoreDataManager::storeFileName));
    QDir().mkpath(QFileInfo(storePath).path());
    QString error;
    if (!ReferenceDataset::write(storePath, QDate::currentDate(), &error))
        qFatal("cannot write the reference dataset: %s", qPrintable(error));
    DataFolders::setBaseFolderForTesting(dataFolder.path());
    CoreDataManager::shared().setup([] {}, [](const StoreError&) { qFatal("cannot load the store"); });
    ManagedObjectContext* context = CoreDataManager::shared().context();
    if (!context)
        qFatal("the store did not load at once");

    QTemporaryDir configFolder;
    UserDefaults defaults(configFolder.filePath(QStringLiteral("defaults.conf")));
    defaults.setValue(MacKanbanColumnsViewController::firstSetupCompletedKey, true);
    defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, true);
    // The first card done on a board would scroll to the done column: a user's later ones do not.
    defaults.setValue(QStringLiteral("demoScrolledToDoneColumn"), true);
    NotificationCenter notices;
    UndoManager undoManager;
    undoManager.setGroupsByEvent(false);
    MacKanbanColumnsViewController::Services services;
    services.context = context;
    services.save = [] { CoreDataManager::shared().saveContext(); };
    services.undoManager = &undoManager;
    services.defaults = &defaults;
    services.notificationCenter = &notices;
    MacKanbanColumnsViewController board(services);
    board.resize(1440, 900);
    board.show();
    Kanban* large = ReferenceDataset::largeBoard(*context);
    board.setKanban(large);
    board.loadKanban();
    QCoreApplication::processEvents();
    for (MacKanbanColumnController* column : board.columnControllers())
        column->collectionView()->setAnimationDuration(0);

    Times done;
    Times undone;
    for (int run = 0; run < runs; ++run) {
        MacKanbanColumnController* column = board.columnControllerFor(run % 4);
        column->selectItems({IndexPath {0, 0}});
        done.measure([&] { column->flipDoneStatesOfSelectedItems(); });
        undone.measure([&] { undoManager.undo(); });
    }
    done.print("marking one card done from its column, save committed", " (goal <= 30)");
    undone.print("its undo, save committed", "");

    Times dropped;
    MacKanbanColumnController* first = board.columnControllerFor(0);
    MacKanbanColumnController* second = board.columnControllerFor(1);
    for (int run = 0; run < runs; ++run) {
        SectionedListView* source = first->collectionView();
        std::unique_ptr<QMimeData> data(first->mimeDataForItems(source, {IndexPath {0, 0}}));
        first->dragWillBegin(source, {IndexPath {0, 0}}, IndexPath {0, 0});
        dropped.measure([&] {
            second->acceptDrop(second->collectionView(), data.get(), IndexPath {0, 1},
                SectionedListViewDragDelegate::DropOperation::Before, source);
        });
        first->dragEnded(source, Qt::MoveAction);
        undoManager.undo();
        QCoreApplication::processEvents();
    }
    dropped.print("dropping one card from stage 1 into stage 2, save committed", " (goal <= 30)");

    Times saved;
    ListItem* card = large->column().first()->item().first();
    for (int run = 0; run < runs; ++run) {
        card->setTimeWorked(double(run));
        saved.measure([] { CoreDataManager::shared().saveContext(); });
    }
    saved.print("a save of one changed card (one fsync with WAL and synchronous=FULL)", "");
    return 0;
}
