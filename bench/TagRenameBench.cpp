// Renaming and merging a tag on the reference dataset's 10,000-card board (10 tags, each on
// about 2,000 cards), shown by the board view offscreen at 1440 x 900 with every card's notes
// already read: renaming one tag (its hash tags rewritten in every card's notes, the store saved,
// the columns reloaded and painted) and its undo; merging it into another tag after the scripted
// question, and its undo. Prints the median of each on the wall clock with the main thread's
// processor time beside it, and the first rename on its own (cold).

#include "LoadedStore.h"
#include "ReferenceDataset.h"

#include "BenchTiming.h"
#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "PelorinsKit/board/TagRenaming.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

constexpr int runs = 7;

double threadMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Lap
{
    double wall = 0;
    double cpu = 0;
};

// Runs the step, then lets the board reload and paint what it announced.
Lap timed(MacKanbanColumnsViewController& board, const std::function<void()>& step)
{
    QElapsedTimer wall;
    wall.start();
    const double cpu = threadMilliseconds();
    step();
    QCoreApplication::sendPostedEvents();
    board.repaint();
    return {double(wall.nsecsElapsed()) / 1e6, threadMilliseconds() - cpu};
}

void printMedians(const char* what, const QList<Lap>& forward, const QList<Lap>& backward)
{
    QList<double> wall, cpu, undoWall, undoCpu;
    for (const Lap& lap : forward) {
        wall << lap.wall;
        cpu << lap.cpu;
    }
    for (const Lap& lap : backward) {
        undoWall << lap.wall;
        undoCpu << lap.cpu;
    }
    std::printf("%-28s median %7.1f ms (processor %7.1f)   undo %7.1f ms (processor %7.1f)   goal 500 ms each\n", what,
        median(wall), median(cpu), median(undoWall), median(undoCpu));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    QTemporaryDir folder;
    LoadedStore store = loadReferenceStore(folder);
    ManagedObjectContext& context = *store.context;
    Kanban* kanban = ReferenceDataset::largeBoard(context);

    UserDefaults defaults(folder.filePath(QStringLiteral("defaults.conf")));
    defaults.setValue(MacKanbanColumnsViewController::firstSetupCompletedKey, true);
    defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, true);
    NotificationCenter notices;
    UndoManager undoManager;
    undoManager.setGroupsByEvent(false);
    ScriptedAlertPresenter alerts;
    MacKanbanColumnsViewController::Services services;
    services.context = &context;
    services.save = [&context] { context.save(nullptr); };
    services.undoManager = &undoManager;
    services.defaults = &defaults;
    services.notificationCenter = &notices;
    services.alertPresenter = &alerts;
    MacKanbanColumnsViewController board(services);
    board.resize(1440, 900);
    board.show();
    board.setKanban(kanban);
    board.loadKanban();
    QCoreApplication::processEvents();

    const QList<ListItem*> cards = TagRenaming::cardsOf(kanban);
    for (const ListItem* card : cards)
        card->attributedNotes();
    Tag* renamed = kanban->tags().at(0);
    const QString name = renamed->name();
    std::printf("reference board: %lld cards, %lld tags, \"%s\" on %lld cards\n", qlonglong(cards.size()),
        qlonglong(kanban->tags().size()), qPrintable(name), qlonglong(renamed->items().size()));

    const auto undoStep = [&] {
        undoManager.undo();
        renamed = TagRenaming::liveTag(kanban, renamed);
    };

    const Lap cold = timed(board, [&] { board.renameTag(renamed, QStringLiteral("renamed")); });
    timed(board, undoStep);
    std::printf("%-28s %7.1f ms (processor %7.1f)\n", "first rename (cold)", cold.wall, cold.cpu);

    QList<Lap> forward, backward;
    for (int run = 0; run < runs; ++run) {
        forward << timed(board, [&] { board.renameTag(renamed, QStringLiteral("renamed")); });
        backward << timed(board, undoStep);
    }
    printMedians("rename one tag", forward, backward);

    forward.clear();
    backward.clear();
    const QString survivor = kanban->tags().at(1)->name();
    for (int run = 0; run < runs; ++run) {
        alerts.enqueueAnswer(0);
        forward << timed(board, [&] { board.renameTag(renamed, survivor); });
        backward << timed(board, undoStep);
    }
    printMedians("merge it into another", forward, backward);
    if (renamed->name() != name || kanban->tags().size() != ReferenceDataset::tagsPerBoard)
        qFatal("the undo did not bring the tag back");
    return 0;
}
