// Deleting sidebar items and undoing it on the reference dataset, through the sidebar as the user
// does it: a folder of 10 boards and 2,000 cards, a board of 200 cards and the board of 10,000
// cards, each step with its save. Targets: 300 ms for each step of the folder, 30 ms for each
// step of the 200-card board; the big board has none. Medians of 7 runs, of the wall clock and of
// the processor time, which other programs keeping the machine busy do not stretch.

#include "BenchTiming.h"
#include "LoadedStore.h"
#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/SidebarSnapshot.h"
#include "PelorinsKit/model/Folder.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"
#include "ReferenceDataset.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int runs = 7;

DisplayItem* titled(ManagedObjectContext& context, const QString& entity, const QString& title)
{
    for (DisplayItem* item : context.fetchAs<DisplayItem>(FetchRequest(entity)))
        if (item->stringValue(QStringLiteral("title")) == title)
            return item;
    qFatal("no %s titled %s", qPrintable(entity), qPrintable(title));
}

void measure(const char* name, KDLeftSidebarViewController& sidebar, UndoManager& undo, ManagedObjectContext& context,
    const QString& entity, const QString& title, double target)
{
    const SidebarSnapshot snapshot = SidebarSnapshot::take(titled(context, entity, title));
    QList<double> deletions;
    QList<double> undos;
    QList<double> deletionsProcessor;
    QList<double> undosProcessor;
    for (int run = 0; run < runs; ++run) {
        DisplayItem* item = titled(context, entity, title);
        QElapsedTimer timer;
        timer.start();
        double processorStart = processMilliseconds();
        sidebar.deleteItems({item});
        deletions.append(milliseconds(timer));
        deletionsProcessor.append(processMilliseconds() - processorStart);
        QApplication::processEvents();
        timer.restart();
        processorStart = processMilliseconds();
        undo.undo();
        undos.append(milliseconds(timer));
        undosProcessor.append(processMilliseconds() - processorStart);
        QApplication::processEvents();
        undo.removeAllActions();
    }
    const double deleting = median(deletions);
    const double undoing = median(undos);
    std::printf("%-34s delete %7.1f ms  undo %7.1f ms  snapshot %8.1f KiB", name, deleting, undoing,
        double(snapshot.byteSize()) / 1024.0);
    if (target > 0)
        std::printf("  target %3.0f ms: %.2fx, %.2fx", target, deleting / target, undoing / target);
    std::printf("\n%-34s processor time: delete %7.1f ms  undo %7.1f ms\n", "", median(deletionsProcessor),
        median(undosProcessor));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    LoadedStore store = loadReferenceStore(folder);
    ManagedObjectContext& context = *store.context;

    UserDefaults defaults(folder.filePath(QStringLiteral("defaults.conf")));
    UndoManager undo;
    KDLeftSidebarViewController::Services services(&context, defaults, [&context] {
        QString saveError;
        if (!context.save(&saveError))
            qFatal("cannot save: %s", qPrintable(saveError));
    });
    services.undoManager = &undo;
    KDLeftSidebarViewController sidebar(std::move(services));
    sidebar.resize(260, 900);
    sidebar.viewDidAppear();

    measure("folder of 10 boards, 2,000 cards", sidebar, undo, context, QStringLiteral("Folder"),
        QStringLiteral("Folder 7"), 300);
    measure("board of 200 cards", sidebar, undo, context, QStringLiteral("Kanban"), QStringLiteral("Board 3.4"), 30);
    measure("board of 10,000 cards", sidebar, undo, context, QStringLiteral("Kanban"),
        QLatin1String(ReferenceDataset::largeBoardTitle), 0);
    return 0;
}
