#include "Pelorins/card/ChecklistButton.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/TextMeasures.h"
#include "support/CardCellFixture.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QMimeData>
#include <QTextBlock>

namespace cards {

using LongNotes = CardCellFixture;

namespace {

// A title, then numbered body lines with a hashtag each: far longer than a card shows, and than
// the notes written into the card at every keystroke.
AttributedString longNotes(int lines)
{
    AttributedString notes(QStringLiteral("Long notes\n"), titleAttributes());
    QString body;
    for (int i = 0; i < lines; ++i)
        body += QStringLiteral("line %1 of text #big\n").arg(i);
    notes.append(AttributedString(body, normalAttributes()));
    return notes;
}

void placeCaret(::NotesTextView* editor, int position)
{
    QTextCursor caret(editor->document());
    caret.setPosition(position);
    editor->setTextCursor(caret);
}

QStringList tagNames(ListItem* card)
{
    QStringList names;
    for (const Tag* tag : card->tags())
        names.append(tag->name());
    names.sort();
    return names;
}

} // namespace

// Typed text in long notes reaches the card with the save that follows; the bytes stored are
// those a whole write of the notes as typed gives, and the typing is one step to undo.
TEST_F(LongNotes, TypingIsStoredAsAWholeWriteStoresItAndUndoneInOneStep)
{
    ListItem* card = addCard(stage(0));
    card->setAttributedNotesNewNote(longNotes(3000));
    card->setNotesExpanded(true);
    const QByteArray before = card->attributedNotesData();
    show();
    ::NotesTextView* editor = edit(card);
    ASSERT_GT(editor->storage().length(), ::ListItemCellView::notesWrittenAtOnce);
    placeCaret(editor, 4);
    type(editor, QStringLiteral("abc"));
    QTest::keyClick(editor, Qt::Key_Return);
    type(editor, QStringLiteral("new words"));
    QTest::keyClick(editor, Qt::Key_Backspace);
    const int saves = board.saves;
    QTRY_VERIFY_WITH_TIMEOUT(board.saves > saves, 3000);

    ListItem* rewritten = addCard(stage(1));
    rewritten->setAttributedNotesNewNote(editor->storage().attributedString());
    EXPECT_EQ(card->attributedNotesData(), rewritten->attributedNotesData()) << "byte for byte";
    EXPECT_TRUE(notes(card).startsWith(QStringLiteral("Longabc\nnew word notes\n")));
    EXPECT_EQ(tagNames(card), QStringList {QStringLiteral("big")});

    ASSERT_TRUE(undo.canUndo());
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Typing"));
    undo.undo();
    EXPECT_EQ(notes(card).left(20), QStringLiteral("Long notes\nline 0 of")) << "one step undoes all of the typing";
    EXPECT_EQ(card->attributedNotesData(), before);
}

// Ending editing, or any action of the card, writes what was typed at once.
TEST_F(LongNotes, WhatIsTypedReachesTheCardWhenEditingEnds)
{
    ListItem* card = addCard(stage(0));
    card->setAttributedNotesNewNote(longNotes(3000));
    card->setNotesExpanded(true);
    show();
    ::NotesTextView* editor = edit(card);
    placeCaret(editor, 0);
    type(editor, QStringLiteral("Very "));
    EXPECT_TRUE(cell(card)->hasUnwrittenNotes());
    endEditing(card);
    EXPECT_FALSE(cell(card)->hasUnwrittenNotes());
    EXPECT_TRUE(notes(card).startsWith(QStringLiteral("Very Long notes\n")));
}

// The column measures a card whose typing has not reached it yet by the notes typed: its height
// is the one a fresh measure of the written card gives.
TEST_F(LongNotes, ACardKeepsTheHeightAFreshMeasureGives)
{
    struct Case
    {
        const char* name;
        bool expanded;
    };
    for (const Case& each : {Case {"collapsed", false}, Case {"expanded", true}}) {
        ListItem* card = addCard(stage(0));
        card->setAttributedNotesNewNote(longNotes(3000));
        card->setNotesExpanded(each.expanded);
        show();
        ::NotesTextView* editor = edit(card);
        const int before = cell(card)->height();
        placeCaret(editor, 10);
        // The first line grows long enough to wrap twice.
        type(editor, QStringLiteral(" and a great many more words besides, enough to wrap the title of the card"));
        QCoreApplication::processEvents();
        const int shown = cell(card)->height();
        if (!each.expanded) {
            EXPECT_GT(shown, before) << "the first line wraps";
        }
        // Written, and measured afresh.
        endEditing(card);
        board.setItemHeightCache({});
        cell(card)->updateCellHeight(false);
        QCoreApplication::processEvents();
        EXPECT_EQ(shown, cell(card)->height()) << each.name;
        board.removeColumns();
    }
}

// The card's tags follow the lines changed: a tag named elsewhere stays, one named nowhere else
// goes, from the card and the board.
TEST_F(LongNotes, TagsFollowTheChangedLinesAgainstTheRestOfTheNotes)
{
    ListItem* card = addCard(stage(0));
    card->setAttributedNotesNewNote(AttributedString(
        QStringLiteral("#a first\n#b second\nthird\n") + QStringLiteral("filler line\n").repeated(40)
            + QStringLiteral("#a last"),
        normalAttributes()));
    card->setNotesExpanded(true);
    show();
    ::NotesTextView* editor = edit(card);
    editor->updateCardTags();
    const auto boardNames = [this] {
        QStringList names;
        for (const Tag* tag : kanban->tags())
            if (!tag->isDeleted())
                names.append(tag->name());
        names.sort();
        return names;
    };
    struct Step
    {
        const char* name;
        std::function<void()> edit;
        QStringList cardTags;
    };
    const auto erase = [editor](int from, int count) {
        QTextCursor selection(editor->document());
        selection.setPosition(from);
        selection.setPosition(from + count, QTextCursor::KeepAnchor);
        editor->setTextCursor(selection);
        QTest::keyClick(editor, Qt::Key_Backspace);
    };
    const QList<Step> steps {
        {"one of two #a goes", [&] { erase(0, 3); }, {QStringLiteral("a"), QStringLiteral("b")}},
        {"the other #a goes",
            [&] {
                const int at = int(editor->string().lastIndexOf(QStringLiteral("#a")));
                erase(at, 2);
            },
            {QStringLiteral("b")}},
        {"#b grows into #bx",
            [&] {
                placeCaret(editor, int(editor->string().indexOf(QStringLiteral("#b"))) + 2);
                type(editor, QStringLiteral("x"));
            },
            {QStringLiteral("bx")}},
        {"#c typed", [&] {
             placeCaret(editor, int(editor->string().indexOf(QStringLiteral("third"))));
             type(editor, QStringLiteral("#c "));
         },
            {QStringLiteral("bx"), QStringLiteral("c")}},
    };
    for (const Step& step : steps) {
        step.edit();
        EXPECT_EQ(tagNames(card), step.cardTags) << step.name;
        EXPECT_EQ(boardNames(), step.cardTags) << step.name << ": the board keeps the tags in use only";
    }
}

// Lines far below what a card shows are left out of its layout; those that come up when lines
// above go are laid out again, and the editor stays as high as its notes measure.
TEST_F(LongNotes, LinesComingUpIntoTheCardAreShown)
{
    ListItem* card = addCard(stage(0));
    card->setAttributedNotesNewNote(longNotes(3000));
    card->setNotesExpanded(true);
    show();
    ::NotesTextView* editor = edit(card);
    QTextDocument* document = editor->document();
    EXPECT_FALSE(document->lastBlock().isVisible()) << "the foot of long notes is not laid out";
    const auto check = [&](const char* when) {
        EXPECT_NEAR(editor->intrinsicHeight(), heightToFit(editor->storage().attributedString(), ::ListItemCellView::notesWidth), 1)
            << when;
        // The first line below the card's foot is laid out, and every one above it.
        QAbstractTextDocumentLayout* layout = document->documentLayout();
        QTextBlock block = document->begin();
        for (; block.isValid() && layout->blockBoundingRect(block).top() <= heightToFitContainer; block = block.next())
            ASSERT_TRUE(block.isVisible()) << when << ", line " << block.blockNumber();
        EXPECT_TRUE(block.isVisible()) << when;
    };
    check("shown");
    // The first 2,000 lines go at once.
    QTextCursor selection(document);
    selection.setPosition(0);
    selection.setPosition(document->findBlockByNumber(2000).position(), QTextCursor::KeepAnchor);
    editor->setTextCursor(selection);
    QTest::keyClick(editor, Qt::Key_Backspace);
    check("after the first lines went");
    EXPECT_TRUE(editor->string().startsWith(QStringLiteral("line 1999 of text #big\n")));
    // Many lines come in at the top.
    placeCaret(editor, 0);
    for (int i = 0; i < 300; ++i)
        QTest::keyClick(editor, Qt::Key_Return);
    check("after lines were added above");
}

// A long card not being edited holds its first lines only; a box ticked there ticks the line in
// the whole notes, and editing holds them whole.
TEST_F(LongNotes, ACardShowingItsFirstLinesChangesTheWholeNotes)
{
    ListItem* card = addCard(stage(0));
    AttributedString checklist(QStringLiteral("first item\nsecond item\n"), checkListAttributes());
    checklist.append(longNotes(3000));
    card->setAttributedNotesNewNote(checklist);
    card->setNotesExpanded(true);
    show();
    ::NotesTextView* editor = cell(card)->noteTextView();
    EXPECT_FALSE(cell(card)->fullTextSet());
    EXPECT_LT(editor->storage().length(), checklist.length());
    ASSERT_GE(editor->checkButtons().size(), 2);
    // As the box does when it is ticked.
    editor->checkUncheckLine(qobject_cast<ChecklistButton*>(editor->checkButtons().at(1)));
    const AttributedString stored = *card->getAttributedNotes();
    EXPECT_EQ(stored.string(), checklist.string()) << "nothing of the notes is lost";
    EXPECT_EQ(stored.attribute(AttributeKey::isChecklistChecked, 12), QVariant(true));

    edit(card);
    EXPECT_TRUE(cell(card)->fullTextSet());
    EXPECT_EQ(cell(card)->noteTextView()->string(), checklist.string());
}

// Many hashtag lines pasted into a new card, then typed on at their end: the notes stored are the
// editor's text as a fresh reading of it gives, every tag styled, and one undo takes the paste
// away whole, with the typing that went on from it.
TEST_F(LongNotes, APasteOfManyTagsIsStoredAsTheEditorShowsIt)
{
    ListItem* card = addCard(stage(0), QString());
    show();
    ::NotesTextView* editor = edit(card);
    QString pasted;
    for (int i = 0; i < 3000; ++i)
        pasted += QStringLiteral("line %1 of text #big\n").arg(i);
    auto* data = new QMimeData;
    data->setText(pasted);
    QApplication::clipboard()->setMimeData(data);
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    QCoreApplication::processEvents();
    type(editor, QStringLiteral("the end #late "));
    // The list of completions shown for "#" took the window's place as the active one here.
    QApplication::setActiveWindow(editor->window());
    endEditing(card);

    const AttributedString stored = *card->getAttributedNotes();
    const TextDocumentTextStorage fresh(editor->document());
    EXPECT_EQ(stored, fresh.attributedString());
    EXPECT_EQ(stored.string(), pasted + QStringLiteral("the end #late "));
    const QColor tagColour = stored.attribute(AttributeKey::foregroundColor, pasted.indexOf(QLatin1Char('#'))).value<QColor>();
    EXPECT_TRUE(tagColour.isValid());
    int styled = 0;
    for (qsizetype at = pasted.indexOf(QLatin1Char('#')); at >= 0; at = pasted.indexOf(QLatin1Char('#'), at + 1))
        styled += stored.attribute(AttributeKey::foregroundColor, int(at) + 3).value<QColor>() == tagColour;
    EXPECT_EQ(styled, 3000);
    EXPECT_EQ(tagNames(card), (QStringList {QStringLiteral("big"), QStringLiteral("late")}));

    undo.undo();
    EXPECT_EQ(notes(card), QString());
}

} // namespace cards
