// The column view on the reference board of 10,000 cards, offscreen at 1440 x 900: the single
// list of every stage and day (10,000 cards in 373 sections) and the done column alone (8,000
// cards in 365 day sections). For each: the first paint from a freshly loaded store whose notes
// are not read yet, then a scroll from top to bottom in steps of 120 pixels, each frame
// rendered, with the median, the 99th percentile and the worst frame.
//
// Usage: ColumnViewBench [store]; the reference dataset is written there first when the file does
// not exist (into a temporary folder when no store is named).
#include "BenchTiming.h"
#include "LoadedStore.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "ReferenceDataset.h"
#include "support/FakeColumnBoard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int runs = 5;
constexpr int scrollStep = 120;
constexpr double firstPaintGoal = 50.0;
constexpr double frameGoal = 16.0;

double percentile(QList<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    if (values.isEmpty())
        return 0;
    return values.at(std::min<qsizetype>(values.size() - 1, qsizetype(fraction * double(values.size()))));
}

void render(QWidget& widget, QImage& frame)
{
    QPainter painter(&frame);
    widget.render(&painter);
}

enum class Layout {
    singleList,
    doneColumn,
};

struct Result
{
    QList<double> firstPaints;
    QList<double> frames;
    int sections = 0;
    int cards = 0;
};

// One column of the reference board on screen: the single list shows everything, the done
// column shows its days.
void run(const QString& path, Layout layout, Result& result, bool scroll)
{
    LoadedStore store = load(path);
    Kanban* kanban = ReferenceDataset::largeBoard(*store.context);
    FakeColumnBoard board(kanban);
    board.scrollView()->show();
    const int section = layout == Layout::singleList ? 0 : int(kanban->column().size());
    if (layout == Layout::singleList)
        board.setViewAsMultiColumn(false);

    QImage frame(300, 900, QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer firstPaint;
    firstPaint.start();
    MacKanbanColumnController& column = board.addColumn(section);
    if (layout == Layout::singleList)
        column.setShowAllSections(true);
    column.containerView()->setGeometry(0, 0, 300, 900);
    render(*column.containerView(), frame);
    result.firstPaints.append(milliseconds(firstPaint));
    if (!qEnvironmentVariableIsEmpty("COLUMN_BENCH_SHOT"))
        frame.save(qEnvironmentVariable("COLUMN_BENCH_SHOT") + QString::number(int(layout)) + QStringLiteral(".png"));

    ColumnCollectionView* list = column.collectionView();
    result.sections = list->numberOfSections();
    result.cards = 0;
    for (int s = 0; s < result.sections; ++s)
        result.cards += list->numberOfItems(s);
    if (!scroll)
        return;
    // Between frames the program is idle, and the list measures ahead in its idle slices.
    while (list->verticalScrollBar()->value() < list->verticalScrollBar()->maximum()) {
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->value() + scrollStep);
        render(*column.containerView(), frame);
        result.frames.append(milliseconds(timer));
    }
}

void report(const char* name, const Result& result)
{
    const double firstPaint = percentile(result.firstPaints, 0.5);
    std::printf("%s: %d cards and add cells in %d sections\n", name, result.cards, result.sections);
    std::printf("  first paint, notes not read: median %.1f ms over %d runs (goal <= %.0f ms, %.2fx of it)\n",
        firstPaint, int(result.firstPaints.size()), firstPaintGoal, firstPaint / firstPaintGoal);
    const double worst = result.frames.isEmpty() ? 0 : *std::max_element(result.frames.cbegin(), result.frames.cend());
    const qsizetype over
        = std::count_if(result.frames.cbegin(), result.frames.cend(), [](double frame) { return frame > frameGoal; });
    std::printf("  scroll top to bottom, %d frames of %d px: median %.2f ms, p99 %.2f ms, worst %.2f ms, %lld over "
                "%.0f ms (worst %.2fx of it)\n",
        int(result.frames.size()), scrollStep, percentile(result.frames, 0.5), percentile(result.frames, 0.99), worst,
        qlonglong(over), frameGoal, worst / frameGoal);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const QString path = ReferenceDataset::storeFromArguments(argc, argv, folder);

    for (const auto& [layout, name] :
        {std::pair {Layout::singleList, "single list"}, std::pair {Layout::doneColumn, "done column alone"}}) {
        Result result;
        for (int i = 0; i < runs; ++i)
            run(path, layout, result, i == runs - 1);
        report(name, result);
    }
    return 0;
}
