// The stages of the reference board (8 stage columns of 250 cards, a done column of 8,000 cards)
// in the board view, offscreen at 1440 x 900: inserting a stage and undoing it, re-arranging two
// stages and undoing it, deleting a 250-card stage and undoing the deletion (rebuilt from its
// nodes, tags merged), and copying and pasting two stages (500 cards). Each figure is the median
// wall-clock time of a few runs, the columns' repaint included; the notes of the cards are
// encoded and decoded through the notes codec of this build.

#include "LoadedStore.h"
#include "ReferenceDataset.h"

#include "BenchTiming.h"
#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/model/Kanban.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int runs = 5;

// Runs `step` to the board's repaint and answers the milliseconds it took.
double timed(MacKanbanColumnsViewController& board, const std::function<void()>& step)
{
    QElapsedTimer watch;
    watch.start();
    step();
    QCoreApplication::sendPostedEvents();
    board.repaint();
    const double elapsed = double(watch.nsecsElapsed()) / 1e6;
    QCoreApplication::processEvents();
    return elapsed;
}

void report(const char* what, const QList<double>& times, double goal)
{
    const double value = median(times);
    std::printf("%s: median %.1f ms, goal %.0f ms (%.2f of it)\n", what, value, goal, value / goal);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    LoadedStore store = loadReferenceStore(folder);
    Kanban* kanban = ReferenceDataset::largeBoard(*store.context);

    UserDefaults defaults(folder.filePath(QStringLiteral("defaults.conf")));
    defaults.setValue(MacKanbanColumnsViewController::firstSetupCompletedKey, true);
    defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, true);
    NotificationCenter notices;
    UndoManager undoManager;
    undoManager.setGroupsByEvent(false);
    MacKanbanColumnsViewController::Services services;
    services.context = store.context.get();
    services.undoManager = &undoManager;
    services.defaults = &defaults;
    services.notificationCenter = &notices;
    MacKanbanColumnsViewController board(services);
    board.animator().setFinishesAtOnce(true);
    board.resize(1440, 900);
    board.show();
    board.setKanban(kanban);
    board.loadKanban();
    QCoreApplication::processEvents();

    const auto undo = [&] { undoManager.undo(); };
    QList<double> insert, insertUndo, rearrange, rearrangeUndo, remove, removeUndo, copyPaste;
    for (int run = 0; run < runs; ++run) {
        insert << timed(board, [&] { board.insertNewSection(1, false); });
        insertUndo << timed(board, undo);
        rearrange << timed(board, [&] { board.rearrangeSections({0, 1}, 3); });
        rearrangeUndo << timed(board, undo);
        remove << timed(board, [&] { board.deleteSections(QList<int> {2}, std::nullopt); });
        removeUndo << timed(board, undo);
        copyPaste << timed(board, [&] {
            for (MacKanbanColumnController* column : board.columnControllers())
                column->setSelected(column->specifiedSection() == 3 || column->specifiedSection() == 4);
            board.copy();
            board.paste();
        });
        // The pasted stages go again, outside the measurement.
        QList<int> pasted;
        for (MacKanbanColumnController* column : board.columnControllers())
            if (column->isSelected())
                pasted << column->specifiedSection();
        undoManager.removeAllActions();
        board.deleteSections(pasted, std::nullopt);
        undoManager.removeAllActions();
        QCoreApplication::processEvents();
    }
    std::printf("Stages of the reference board (%d stage columns), %d runs each\n", int(kanban->column().size()), runs);
    report("insert a section", insert, 50);
    report("undo the insertion", insertUndo, 50);
    report("re-arrange two stages", rearrange, 50);
    report("undo the re-arrangement", rearrangeUndo, 50);
    report("delete a 250-card stage", remove, 300);
    report("undo the deletion", removeUndo, 300);
    report("copy and paste two stages (500 cards)", copyPaste, 500);
    return 0;
}
