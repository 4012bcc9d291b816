// The card editor on the reference board's first stage column (250 cards), offscreen at
// 1440 x 900: a keystroke in a card of 1 KB of notes until the card is painted again (the notes
// written into the card, tags, height and layout counted; saving is deferred and not in the
// path), opening the editor of a collapsed card until it is painted with all its text, and typing
// a hashtag, whose tags are made and cleaned up on the whole board of 10,000 cards.
//
// Usage: CardEditorBench [store]; the reference dataset is written there first when the file does
// not exist (into a temporary folder when no store is named).
#include "BenchTiming.h"
#include "CardCellBench.h"
#include "LoadedStore.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "Platform/core/UndoManager.h"
#include "ReferenceDataset.h"
#include "support/FakeColumnBoard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int keystrokes = 200;
constexpr int openings = 40;
constexpr int tagRounds = 6;
constexpr double keystrokeGoal = 8.0;
constexpr double openingGoal = 16.0;

// About 1 KB of notes: a title and body lines with a tag.
AttributedString kilobyteOfNotes()
{
    AttributedString notes(QStringLiteral("Quarterly planning\n"), titleAttributes());
    QString body;
    while (body.size() < 1000)
        body += QStringLiteral("Agree the scope with the team and write down what is left #planning\n");
    notes.append(AttributedString(body, normalAttributes()));
    return notes;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir folder;
    const QString path = ReferenceDataset::storeFromArguments(argc, argv, folder);

    LoadedStore store = load(path);
    Kanban* kanban = ReferenceDataset::largeBoard(*store.context);
    KanbanColumn* stage = kanban->column().first();
    UndoManager undo;
    FakeColumnBoard board(kanban);
    board.setUndoManager(&undo);
    board.scrollView()->show();

    // The first three cards, collapsed, are opened; the fourth gets the 1 KB of notes.
    ListItem* typedInto = stage->item().at(3);
    typedInto->setAttributedNotes(kilobyteOfNotes());
    typedInto->setNotesExpanded(true);
    QList<ListItem*> collapsed;
    for (int i = 0; i < 3; ++i) {
        ListItem* card = stage->item().at(i);
        AttributedString notes(card->getAttributedNotes().value_or(AttributedString(QStringLiteral("Card"))));
        notes.append(AttributedString(QStringLiteral("\nsecond line\nthird line"), normalAttributes()));
        card->setAttributedNotes(notes);
        card->setNotesExpanded(false);
        collapsed.append(card);
    }

    MacKanbanColumnController& column = board.addColumn(0);
    column.containerView()->setGeometry(0, 0, 300, 900);
    QApplication::processEvents();
    std::printf(
        "CardEditorBench: first stage column, %lld cards, offscreen at 1440 x 900\n", qlonglong(stage->item().size()));

    QImage frame(300, 900, QImage::Format_ARGB32_Premultiplied);
    QList<double> opening;
    for (int i = 0; i < openings; ++i) {
        ListItem* card = collapsed.at(i % collapsed.size());
        ListItemCellView* shown = column.cellShowing(card);
        if (!shown)
            qFatal("a collapsed card is not shown");
        QElapsedTimer timer;
        timer.start();
        focus(shown);
        QApplication::processEvents();
        paint(*column.cellShowing(card), frame);
        opening.append(milliseconds(timer));
        if (!shown->fullTextSet())
            qFatal("the editor did not show the whole notes");
        shown->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
    }
    const double open = median(opening);
    std::printf("  opening a collapsed card's editor until painted: median %.2f ms over %d (goal <= %.0f ms, %.2fx "
                "of it)\n",
        open, openings, openingGoal, open / openingGoal);
    std::fflush(stdout);
    QList<double> typing;
    QList<double> typingProcessor;
    const int savesBefore = board.saves;
    ListItemCellView* cell = column.cellShowing(typedInto);
    if (!cell)
        qFatal("the card typed into is not shown");
    focus(cell);
    QTextCursor end = cell->noteTextView()->textCursor();
    end.movePosition(QTextCursor::End);
    cell->noteTextView()->setTextCursor(end);
    for (int i = 0; i < keystrokes; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        BenchClock clock;
        QApplication::sendEvent(cell->noteTextView(), &press);
        QApplication::sendEvent(cell->noteTextView(), &release);
        // The column lays its rows out again, then the card is painted.
        QApplication::processEvents();
        paint(*column.cellShowing(typedInto), frame);
        typing.append(clock.wall());
        typingProcessor.append(clock.processor());
    }
    const int saves = board.saves - savesBefore;
    cell->setFocus(Qt::OtherFocusReason);
    const double keystroke = median(typing);
    std::printf("  keystroke in %lld characters of notes until painted: median %.2f ms over %d (goal <= %.0f ms, "
                "%.2fx of it), processor time %.2f ms; %d saves while typing\n",
        qlonglong(typedInto->getAttributedNotes()->length()), keystroke, keystrokes, keystrokeGoal,
        keystroke / keystrokeGoal, median(typingProcessor), saves);

    // "#urgent " typed letter by letter at the end of another card: each letter makes the tag of
    // the longer text and drops the shorter one, whose clean-up reads every card of the board.
    // Any other card on screen: the one typed into has grown and pushed the later ones down.
    ListItem* tagged = nullptr;
    ListItemCellView* tagCell = nullptr;
    for (ListItem* card : stage->item()) {
        if (card == typedInto || !column.cellShowing(card))
            continue;
        tagged = card;
        tagCell = column.cellShowing(card);
        break;
    }
    if (!tagCell)
        qFatal("no other card is shown to tag");
    focus(tagCell);
    QList<double> tagging;
    QList<double> taggingProcessor;
    const QString hashtag = QStringLiteral(" #urgent ");
    for (int round = 0; round < tagRounds; ++round) {
        QTextCursor at = tagCell->noteTextView()->textCursor();
        at.movePosition(QTextCursor::End);
        tagCell->noteTextView()->setTextCursor(at);
        for (const QChar letter : hashtag) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(letter));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(letter));
            BenchClock clock;
            QApplication::sendEvent(tagCell->noteTextView(), &press);
            QApplication::sendEvent(tagCell->noteTextView(), &release);
            QApplication::processEvents();
            paint(*column.cellShowing(tagged), frame);
            // The first round reads every card's tag names once; later rounds find them kept.
            if (round > 0) {
                tagging.append(clock.wall());
                taggingProcessor.append(clock.processor());
            }
        }
        // The hashtag goes again, so the next round makes its tags anew.
        tagCell->noteTextView()->hideCompletions();
        QTextCursor back = tagCell->noteTextView()->textCursor();
        back.movePosition(QTextCursor::End);
        back.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, int(hashtag.size()));
        tagCell->noteTextView()->setTextCursor(back);
        QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
        QApplication::sendEvent(tagCell->noteTextView(), &erase);
        QApplication::processEvents();
    }
    const double tagKeystroke = median(tagging);
    std::printf("  keystroke of \"#urgent \" on a board of %d cards, tags made and cleaned up: median %.2f ms over "
                "%lld (goal <= %.0f ms, %.2fx of it), processor time %.2f ms\n",
        ReferenceDataset::largeBoardStages * ReferenceDataset::largeBoardOpenCardsPerStage
            + ReferenceDataset::largeBoardDoneCards,
        tagKeystroke, qlonglong(tagging.size()), keystrokeGoal, tagKeystroke / keystrokeGoal, median(taggingProcessor));

#ifdef NDEBUG
    const char* build = "optimised";
#else
    const char* build = "debug";
#endif
    std::printf("  measured on an %s build that encodes the notes on every write into the card\n", build);
    return 0;
}
