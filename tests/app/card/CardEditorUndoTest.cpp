#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/notes/NotesTextViewFormatHelper.h"
#include "support/CardCellFixture.h"
#include "support/QtWarningCatcher.h"

#include <QToolButton>

namespace {

using CardEditorUndo = CardCellFixture;

} // namespace

TEST_F(CardEditorUndo, TypingStyleChangeAndTypingUndoAndRedoStepByStep)
{
    ListItem* card = addCard(stage(0), QString());
    card->setAttributedNotes(std::nullopt);
    card->setNotesExpanded(true);
    show();
    NotesTextView* editor = edit(card);
    type(editor, "Heading");
    editor->setSelectedRanges({{0, 0}});
    editor->formatSelectionAsHeader();
    QCoreApplication::processEvents();
    QTest::keyClick(editor, Qt::Key_End);
    type(editor, " two");
    const AttributedString typed = *card->getAttributedNotes();
    EXPECT_EQ(typed.string(), QStringLiteral("Heading two"));
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Typing"));

    undo.undo();
    EXPECT_EQ(notes(card), QStringLiteral("Heading"));
    EXPECT_EQ(undo.undoActionName(), NotesTextViewFormatHelper::styleChangeActionName);
    const AttributedString styled = *card->getAttributedNotes();
    undo.undo();
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Typing"));
    const AttributedString asTyped = *card->getAttributedNotes();
    EXPECT_EQ(asTyped.string(), QStringLiteral("Heading"));
    EXPECT_NE(asTyped, styled) << "the style change is undone";
    undo.undo();
    EXPECT_EQ(notes(card), QString());
    EXPECT_FALSE(undo.canUndo());

    undo.redo();
    EXPECT_EQ(*card->getAttributedNotes(), asTyped);
    undo.redo();
    EXPECT_EQ(*card->getAttributedNotes(), styled);
    undo.redo();
    EXPECT_EQ(*card->getAttributedNotes(), typed);
    EXPECT_EQ(editor->storage().attributedString(), typed) << "the editor shows what the card holds";
}

// Undo and redo of the card being edited keep it in editing, the caret after the text each took
// out or put back: the keys typed next land there.
TEST_F(CardEditorUndo, UndoAndRedoWhileEditingLeaveTheCaretAtTheChange)
{
    ListItem* card = addCard(stage(0), QStringLiteral("Sow beans"));
    show();
    NotesTextView* editor = edit(card);
    editor->setSelectedRanges({{3, 0}});
    type(editor, " peas and");
    ASSERT_EQ(notes(card), QStringLiteral("Sow peas and beans"));

    undo.undo();
    EXPECT_EQ(notes(card), QStringLiteral("Sow beans"));
    EXPECT_EQ(editor->textCursor().position(), 3);
    undo.redo();
    EXPECT_EQ(notes(card), QStringLiteral("Sow peas and beans"));
    EXPECT_EQ(editor->textCursor().position(), 12);
    EXPECT_TRUE(editor->hasFocus());
    EXPECT_TRUE(editor->isFirstResponder());
    EXPECT_FALSE(cell(card)->editingButtons().first()->isHidden());
    type(editor, " broad");
    EXPECT_EQ(notes(card), QStringLiteral("Sow peas and broad beans"));
}

TEST_F(CardEditorUndo, UndoAfterTheCellWasReusedChangesOnlyItsOwnCard)
{
    ListItem* first = addCard(stage(0), QStringLiteral("first"));
    ListItem* second = addCard(stage(0), QStringLiteral("second"));
    show();
    ListItemCellView* shown = cell(first);
    NotesTextView* editor = edit(first);
    QTest::keyClick(editor, Qt::Key_End);
    type(editor, "!");
    endEditing(first);
    cell(second)->setObjectValue(nullptr);
    shown->setObjectValue(second);

    undo.undo();
    EXPECT_EQ(notes(first), QStringLiteral("first"));
    EXPECT_EQ(notes(second), QStringLiteral("second"));
    EXPECT_EQ(editor->string(), QStringLiteral("second"));
}

TEST_F(CardEditorUndo, ACardMoveBetweenTwoTypingRunsSplitsThem)
{
    ListItem* card = addCard(stage(0), QStringLiteral("x"));
    addCard(stage(0), QStringLiteral("other"));
    show();
    NotesTextView* editor = edit(card);
    QTest::keyClick(editor, Qt::Key_End);
    type(editor, "a");
    // Something else is recorded meanwhile, as a card move is.
    QObject mover;
    undo.registerUndo(&mover, [] {});
    undo.setActionName(QStringLiteral("Move Card"));
    type(editor, "b");
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Typing"));
    undo.undo();
    EXPECT_EQ(notes(card), QStringLiteral("xa"));
    undo.undo();
    undo.undo();
    EXPECT_EQ(notes(card), QStringLiteral("x"));
}

TEST_F(CardEditorUndo, ACaretMovedByTheUserClosesTheTypingStep)
{
    ListItem* card = addCard(stage(0), QStringLiteral("ab"));
    show();
    NotesTextView* editor = edit(card);
    editor->setSelectedRanges({{0, 0}});
    type(editor, "1");
    type(editor, "2");
    QTest::keyClick(editor, Qt::Key_End);
    type(editor, "3");
    undo.undo();
    EXPECT_EQ(notes(card), QStringLiteral("12ab"));
    undo.undo();
    EXPECT_EQ(notes(card), QStringLiteral("ab")) << "the first two keystrokes are one step";
}

TEST_F(CardEditorUndo, UndoOfACardNoLongerShownWritesTheCard)
{
    ListItem* card = addCard(stage(0), QStringLiteral("note"));
    show();
    NotesTextView* editor = edit(card);
    type(editor, "new ");
    endEditing(card);
    board.setItemHeightCache({{card, 123.0}});
    board.setUseItemHeightCache(true);
    cell(card)->setObjectValue(nullptr);
    undo.undo();
    EXPECT_EQ(notes(card), QStringLiteral("note"));
    EXPECT_FALSE(board.cachedItemHeight(card)) << "its height is measured again";
}

// Undo and redo of a card shown with search highlights: the highlights follow the notes put back
// and never fall past their end.
TEST_F(CardEditorUndo, UndoOfAHighlightedCardHighlightsTheNotesPutBack)
{
    ListItem* card = addCard(stage(0), QStringLiteral("milk"));
    board.setSearchTerm(QStringLiteral("milk"));
    show();
    NotesTextView* editor = edit(card);
    QTest::keyClick(editor, Qt::Key_End);
    type(editor, " and more milk");
    endEditing(card);
    // The board shows the search anew, as it does when the search field changes.
    cell(card)->configure();
    ASSERT_EQ(editor->searchHighlights(), (QList<TextRange> {{0, 4}, {14, 4}}));

    const QtWarningCatcher cursorWarnings(QStringLiteral("QTextCursor"));
    undo.undo();
    EXPECT_EQ(notes(card), QStringLiteral("milk"));
    EXPECT_EQ(editor->searchHighlights(), (QList<TextRange> {{0, 4}}));
    undo.redo();
    EXPECT_EQ(notes(card), QStringLiteral("milk and more milk"));
    EXPECT_EQ(editor->searchHighlights(), (QList<TextRange> {{0, 4}, {14, 4}}));
    EXPECT_EQ(cursorWarnings.caught(), QStringList());
}
