// Long notes in a card, offscreen, on a board of one stage (300 x 900) with five short cards
// besides: pasting 110,000 lines of "line of text #big" into a new card until the card is painted
// with them, and keystrokes afterwards; keystrokes in a note of 100 KB with 5,500 hashtags and in a
// plain note of 2.6 MB; and showing the board with the 2.6 MB card expanded, against the same board
// with a short note in its place. A keystroke counts everything the program does for it until the
// card is painted again: the editor, the column laying its rows out, and the card's notes written
// and measured. Saving is the fake board's (counted, not timed): the store's save is not in it.
//
// Warm figures are medians in this process. The paste and the showing of the board are also timed
// cold, each in a new process (the bench runs itself with "--cold <case>"), where fresh memory is
// paid for as in the program. Left out: the window system, fonts loaded at launch, and reading the
// store (StoreLoadBench and StartUpBench have those).
//
// Usage: LongNotesBench [--cold paste|board-long|board-short] [--only paste|tagged|plain|board]
// "--only" runs one case, to be read under callgrind.
#include "BenchTiming.h"
#include "CardCellBench.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "support/FakeColumnBoard.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QProcess>
#include <QTextBlock>
#include <cstdio>
#include <memory>

namespace {

constexpr int pastedLines = 110000;
constexpr int taggedLines = 5500;
constexpr int plainLines = 42000;
constexpr int keystrokes = 40;
constexpr double pasteGoal = 1500.0;
constexpr double afterPasteGoal = 16.0;
constexpr double taggedGoal = 8.0;
constexpr double plainGoal = 16.0;

QString linesOf(const QString& line, int count)
{
    QString text;
    text.reserve(qsizetype(line.size() + 1) * count);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += line;
    }
    return text;
}

// About 2.6 MB of plain text, without tags.
QString plainNote()
{
    return linesOf(QStringLiteral("A line of plain text in a long note, one of many like it in here"), plainLines);
}

// One stage of five short cards, and the card the case is about at its top.
class Board
{
public:
    Board()
        : m_context(EntityModel::makeContext(EntityModel::currentModel()))
    {
        auto* root = m_context->insertNewObject<Root>(QStringLiteral("Root"));
        m_kanban = m_context->insertNewObject<Kanban>(QStringLiteral("Kanban"));
        m_kanban->setTitle(QStringLiteral("Long notes"));
        m_kanban->setParent(root);
        auto* stage = m_context->insertNewObject<KanbanColumn>(QStringLiteral("KanbanColumn"));
        stage->setTitle(QStringLiteral("To do"));
        stage->setKanban(m_kanban);
        auto* done = m_context->insertNewObject<KanbanColumn>(QStringLiteral("KanbanColumn"));
        done->setTitle(QStringLiteral("Done"));
        m_kanban->setMainColumn(done);
        m_card = addCard(stage);
        for (int i = 0; i < 5; ++i) {
            ListItem* card = addCard(stage);
            card->setAttributedNotes(AttributedString(QStringLiteral("Card %1").arg(i), normalAttributes()));
            card->setNotesExpanded(true);
        }
        m_view = std::make_unique<FakeColumnBoard>(m_kanban);
        m_view->setUndoManager(&m_undo);
    }

    ListItem* card() const { return m_card; }

    void show()
    {
        m_view->scrollView()->show();
        MacKanbanColumnController& column = m_view->addColumn(0);
        column.containerView()->setGeometry(0, 0, 300, 900);
        m_column = &column;
    }

    ListItemCellView* cell() const { return m_column->cellShowing(m_card); }

    // The event loop turns, then the card is painted as the screen would.
    void paint()
    {
        QApplication::processEvents();
        ListItemCellView* shown = cell();
        if (!shown)
            qFatal("the card is not shown");
        ::paint(*shown, m_frame);
    }

    // Letters typed at the start of the note, each until the card is painted again.
    QList<double> type(int count)
    {
        focus(cell());
        paint();
        cell()->noteTextView()->setTextCursor(QTextCursor(cell()->noteTextView()->document()->firstBlock()));
        QList<double> times;
        for (int i = 0; i < count; ++i)
            times.append(typeLetter());
        return times;
    }

    // Apart, so that callgrind can count the keystrokes alone: --toggle-collect='*typeLetter*'.
    [[gnu::noinline]] double typeLetter()
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        BenchClock clock;
        QApplication::sendEvent(cell()->noteTextView(), &press);
        QApplication::sendEvent(cell()->noteTextView(), &release);
        paint();
        return clock.wall();
    }

    int saves() const { return m_view->saves; }

private:
    ListItem* addCard(KanbanColumn* stage)
    {
        auto* card = m_context->insertNewObject<ListItem>(QStringLiteral("ListItem"));
        card->setColumn(stage);
        return card;
    }

    std::unique_ptr<ManagedObjectContext> m_context;
    Kanban* m_kanban = nullptr;
    ListItem* m_card = nullptr;
    UndoManager m_undo;
    std::unique_ptr<FakeColumnBoard> m_view;
    MacKanbanColumnController* m_column = nullptr;
    QImage m_frame {300, 900, QImage::Format_ARGB32_Premultiplied};
};

// Pastes the hashtag lines into the new, empty card with Ctrl+V; the time until it is painted.
double paste(Board& board)
{
    board.show();
    focus(board.cell());
    board.paint();
    auto* data = new QMimeData;
    data->setText(linesOf(QStringLiteral("line of text #big"), pastedLines));
    QApplication::clipboard()->setMimeData(data);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("v"));
    BenchClock clock;
    QApplication::sendEvent(board.cell()->noteTextView(), &press);
    board.paint();
    const double painted = clock.wall();
    if (board.cell()->noteTextView()->document()->blockCount() < pastedLines)
        qFatal("the paste did not arrive");
    return painted;
}

// Shows the board, with the card's notes given and the card expanded, until the card is painted.
double showBoard(Board& board, const QString& notes)
{
    board.card()->setAttributedNotes(AttributedString(notes, normalAttributes()));
    board.card()->setNotesExpanded(true);
    BenchClock clock;
    board.show();
    board.paint();
    return clock.wall();
}

int runCold(const QString& which)
{
    Board board;
    double figure = 0;
    if (which == QLatin1String("paste"))
        figure = paste(board);
    else if (which == QLatin1String("board-long"))
        figure = showBoard(board, plainNote());
    else if (which == QLatin1String("board-short"))
        figure = showBoard(board, QStringLiteral("A short note"));
    else
        return 2;
    std::printf("%.1f\n", figure);
    return 0;
}

double cold(const QString& which)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--cold"), which});
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        qFatal("the cold run of %s failed", qPrintable(which));
    // The figure is the last line; the program's console lines come before it.
    return process.readAllStandardOutput().trimmed().split('\n').last().toDouble();
}

void report(const char* what, double figure, double goal)
{
    std::printf("  %s: %.1f ms (goal <= %.0f ms, %.2fx of it), load %s\n", what, figure, goal, figure / goal,
        qPrintable(loadAverage()));
}

void reportMedian(const char* what, const QList<double>& times, double goal)
{
    const double figure = median(times);
    std::printf("  %s: median %.2f ms over %lld (goal <= %.0f ms, %.2fx of it), load %s\n", what, figure,
        qlonglong(times.size()), goal, figure / goal, qPrintable(loadAverage()));
}

void pasteCase(bool withCold)
{
    Board board;
    report("paste of 110,000 lines of \"line of text #big\" until painted", paste(board), pasteGoal);
    if (withCold)
        report("the same in a new process", cold(QStringLiteral("paste")), pasteGoal);
    const int savesBefore = board.saves();
    reportMedian("keystroke in the pasted note until painted", board.type(keystrokes), afterPasteGoal);
    std::printf("  (%d saves while typing)\n", board.saves() - savesBefore);
}

void taggedCase()
{
    Board board;
    board.card()->setAttributedNotes(
        AttributedString(linesOf(QStringLiteral("line of text #big"), taggedLines), normalAttributes()));
    board.card()->setNotesExpanded(true);
    board.show();
    board.paint();
    reportMedian("keystroke in 100 KB of notes with 5,500 hashtags", board.type(keystrokes), taggedGoal);
}

void plainCase()
{
    Board board;
    showBoard(board, plainNote());
    reportMedian("keystroke in the 2.6 MB plain note", board.type(keystrokes), plainGoal);
}

void boardCase(bool withCold)
{
    double withLong = 0;
    double withShort = 0;
    {
        Board board;
        withLong = showBoard(board, plainNote());
    }
    {
        Board board;
        withShort = showBoard(board, QStringLiteral("A short note"));
    }
    std::printf("  board shown until painted: with the 2.6 MB card %.1f ms, with a short one %.1f ms (goal: as fast, "
                "%.2fx of it), load %s\n",
        withLong, withShort, withLong / withShort, qPrintable(loadAverage()));
    if (!withCold)
        return;
    const double coldLong = cold(QStringLiteral("board-long"));
    const double coldShort = cold(QStringLiteral("board-short"));
    std::printf("  the same in a new process: %.1f ms and %.1f ms (%.2fx), load %s\n", coldLong, coldShort,
        coldLong / coldShort, qPrintable(loadAverage()));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() == 2 && arguments.first() == QLatin1String("--cold"))
        return runCold(arguments.at(1));
    const QString only = arguments.size() == 2 && arguments.first() == QLatin1String("--only") ? arguments.at(1) : QString();

    std::printf("LongNotesBench: a card among five on a board of one stage, offscreen, 300 x 900\n");
    if (only.isEmpty() || only == QLatin1String("paste"))
        pasteCase(only.isEmpty());
    if (only.isEmpty() || only == QLatin1String("tagged"))
        taggedCase();
    if (only.isEmpty() || only == QLatin1String("plain"))
        plainCase();
    if (only.isEmpty() || only == QLatin1String("board"))
        boardCase(only.isEmpty());

#ifdef NDEBUG
    const char* build = "optimised";
#else
    const char* build = "debug";
#endif
    std::printf("  measured on an %s build; the store's save, the window system and the launch are left out\n", build);
    return 0;
}
