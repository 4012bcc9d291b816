#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "support/CardCellFixture.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QStringListModel>

namespace {

class CardHashtags : public CardCellFixture
{
protected:
    // A board tag; with `usedBy`, written by that card too.
    Tag* boardTag(const QString& name, int colour, ListItem* usedBy = nullptr)
    {
        Tag* tag = builder.addTag(kanban, name);
        tag->setColour(colour);
        if (usedBy)
            usedBy->setTags(usedBy->tags() << tag);
        return tag;
    }

    // A shown empty card on a board whose tag `name` another card writes.
    ListItem* emptyCardBesideTag(const QString& name)
    {
        ListItem* user = addCard(stage(0), QStringLiteral("#") + name);
        ListItem* card = addCard(stage(0), QString());
        boardTag(name, 0, user);
        show();
        return card;
    }

    QStringList boardTagNames() const
    {
        QStringList names;
        for (const Tag* tag : kanban->tags())
            if (!tag->isDeleted())
                names.append(tag->name());
        return names;
    }

    static QStringList offered(NotesTextView* editor)
    {
        QCompleter* completer = editor->completer();
        if (!completer || !completer->popup()->isVisible())
            return {};
        return qobject_cast<QStringListModel*>(completer->model())->stringList();
    }

    static void pick(NotesTextView* editor, int row)
    {
        QAbstractItemView* popup = editor->completer()->popup();
        popup->setCurrentIndex(popup->model()->index(row, 0));
        QTest::keyClick(popup, Qt::Key_Return);
        QCoreApplication::processEvents();
    }

    static QStringList names(const QList<Tag*>& tags)
    {
        QStringList names;
        for (const Tag* tag : tags)
            names.append(tag->name());
        return names;
    }
};

} // namespace

TEST_F(CardHashtags, ANewTagTakesTheFirstFreeColourOrKeepsTheDefaultWhenAllAreTaken)
{
    ListItem* user = addCard(stage(0));
    ListItem* typedInto = addCard(stage(0), QString());
    show();
    for (const int colour : {0, 1, 3})
        boardTag(QStringLiteral("t%1").arg(colour), colour, user);
    Tag* made = cell(typedInto)->createTag(QStringLiteral("fresh"));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->colour(), 2);
    EXPECT_EQ(made->kanban(), kanban);

    for (const int colour : {2, 4, 5, 6})
        boardTag(QStringLiteral("u%1").arg(colour), colour, user);
    const int defaultColour = store.context().insertNewObject<Tag>(QStringLiteral("Tag"))->colour();
    EXPECT_EQ(cell(typedInto)->createTag(QStringLiteral("later"))->colour(), defaultColour);
}

TEST_F(CardHashtags, TypingAHashtagLetterByLetterLeavesOneTagInTheColourOfTheShorterOnes)
{
    ListItem* other = addCard(stage(0), QStringLiteral("#work"));
    ListItem* card = addCard(stage(0), QString());
    boardTag(QStringLiteral("work"), 0, other);
    show();
    NotesTextView* editor = edit(card);
    type(editor, QStringLiteral("Call #urgent "));

    EXPECT_EQ(boardTagNames(), (QStringList {"work", "urgent"}));
    EXPECT_EQ(names(card->tags()), QStringList {"urgent"});
    Tag* urgent = card->tags().first();
    EXPECT_EQ(urgent->colour(), 1) << "the first free colour, given to #u and kept as it grew";
    const int hash = int(editor->string().indexOf('#'));
    QTextCursor at(editor->document());
    at.setPosition(hash + 3);
    EXPECT_EQ(at.charFormat().foreground().color(), tagColour(1));
    EXPECT_EQ(at.charFormat().fontWeight(), QFont::Bold);
}

TEST_F(CardHashtags, DeletingTheLastHashtagOfANameRemovesTheTagFromTheBoard)
{
    ListItem* first = addCard(stage(0), QString());
    ListItem* second = addCard(stage(1), QStringLiteral("#home too"));
    show();
    type(edit(first), QStringLiteral("#home"));
    ASSERT_EQ(boardTagNames(), QStringList {"home"});
    second->setTags(first->tags());

    const auto clear = [this](ListItem* card, MacKanbanColumnController& shownIn) {
        ListItemCellView* shown = shownIn.cellShowing(card);
        ASSERT_NE(shown, nullptr);
        shown->window()->activateWindow();
        QApplication::setActiveWindow(shown->window());
        shown->noteTextView()->setFocus(Qt::MouseFocusReason);
        shown->noteTextView()->selectAll();
        QTest::keyClick(shown->noteTextView(), Qt::Key_Backspace);
    };
    clear(first, column(0));
    EXPECT_TRUE(first->tags().isEmpty());
    EXPECT_EQ(boardTagNames(), QStringList {"home"}) << "the second card still writes it";
    clear(second, column(1));
    EXPECT_TRUE(second->tags().isEmpty());
    EXPECT_TRUE(boardTagNames().isEmpty());
}

TEST_F(CardHashtags, ALoneHashSignMakesNoTag)
{
    ListItem* card = addCard(stage(0), QString());
    show();
    type(edit(card), QStringLiteral("Price # 5"));
    EXPECT_TRUE(boardTagNames().isEmpty());
    EXPECT_TRUE(card->tags().isEmpty());
}

TEST_F(CardHashtags, CompletionOffersUsedTagsBeginningWithWhatIsTyped)
{
    ListItem* user = addCard(stage(0), QStringLiteral("#Project #pro #home"));
    ListItem* card = addCard(stage(0), QString());
    boardTag(QStringLiteral("Project"), 0, user);
    boardTag(QStringLiteral("proto"), 1);
    boardTag(QStringLiteral("pro"), 2, user);
    boardTag(QStringLiteral("home"), 3, user);
    show();
    NotesTextView* editor = edit(card);

    type(editor, QStringLiteral("Plan #"));
    EXPECT_EQ(offered(editor), (QStringList {"", "Project ", "home ", "pro "}))
        << "a hash sign alone offers every tag in use";
    type(editor, QStringLiteral("pro"));
    EXPECT_EQ(offered(editor), (QStringList {"", "Project "}));
    EXPECT_TRUE(editor->isTypingHashTag());
    EXPECT_EQ(editor->partialHashTag(), std::optional<QString>("pro"));

    pick(editor, 1);
    EXPECT_EQ(editor->string(), QStringLiteral("Plan #Project "));
    EXPECT_EQ(names(card->tags()), QStringList {"Project"});
    EXPECT_FALSE(editor->isTypingHashTag());
}

TEST_F(CardHashtags, TheEmptyFirstEntryInsertsNothing)
{
    ListItem* card = emptyCardBesideTag(QStringLiteral("Project"));
    NotesTextView* editor = edit(card);
    type(editor, QStringLiteral("#P"));
    ASSERT_FALSE(offered(editor).isEmpty());
    pick(editor, 0);
    EXPECT_EQ(editor->string(), QStringLiteral("#P"));
}

// Undo takes the partial tag away: its list of completions goes with it.
TEST_F(CardHashtags, UndoWhileCompletingHidesTheCompletions)
{
    ListItem* card = emptyCardBesideTag(QStringLiteral("Project"));
    NotesTextView* editor = edit(card);
    type(editor, QStringLiteral("Plan #P"));
    ASSERT_FALSE(offered(editor).isEmpty());
    undo.undo();
    EXPECT_EQ(editor->string(), QString());
    EXPECT_TRUE(offered(editor).isEmpty());
    EXPECT_TRUE(editor->isFirstResponder());
}

TEST_F(CardHashtags, ACompletionAtTheStartOfTheTextKeepsTheHashSign)
{
    ListItem* card = emptyCardBesideTag(QStringLiteral("Project"));
    NotesTextView* editor = edit(card);
    type(editor, QStringLiteral("#"));
    ASSERT_EQ(offered(editor), (QStringList {"", "Project "}));
    pick(editor, 1);
    EXPECT_EQ(editor->string(), QStringLiteral("#Project "));

    // The range the platform proposes for a hash sign alone at the start is moved after it.
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace);
    type(editor, QStringLiteral("#"));
    editor->insertCompletion(QStringLiteral("Project "), {0, 1}, true);
    EXPECT_EQ(editor->string(), QStringLiteral("#Project "));
}

TEST_F(CardHashtags, AFullWidthHashSignMakesTagsButStartsNoCompletion)
{
    ListItem* card = emptyCardBesideTag(QStringLiteral("urgent"));
    NotesTextView* editor = edit(card);
    QKeyEvent fullWidthHash(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("＃"));
    QApplication::sendEvent(editor, &fullWidthHash);
    type(editor, QStringLiteral("ur"));
    EXPECT_FALSE(editor->isTypingHashTag());
    EXPECT_TRUE(offered(editor).isEmpty());
    EXPECT_EQ(names(card->tags()), QStringList {"ur"});

    type(editor, QStringLiteral(" a #b c"));
    EXPECT_FALSE(editor->isTypingHashTag()) << "a space after the hash sign ends the hashtag";
}

TEST_F(CardHashtags, ManyTagsAreStyledInOneChangeAndAKeystrokeRestylesOnlyItsLine)
{
    Tag* big = boardTag(QStringLiteral("big"), 3);
    QString lines;
    for (int i = 0; i < 40; ++i)
        lines += QStringLiteral("line %1 #big\n").arg(i, 2, 10, QLatin1Char('0'));
    const AttributedString plain(lines, normalAttributes());
    ListItem* card = addCard(stage(0));
    card->setAttributedNotes(plain);
    card->setNotesExpanded(true);
    card->setTags({big});
    show();
    NotesTextView* editor = cell(card)->noteTextView();
    QList<TextRange> changes;
    QObject::connect(editor->document(), &QTextDocument::contentsChange, editor,
        [&](int from, int, int added) { changes.append(TextRange {from, added}); });

    editor->runProgrammaticChange([&] { editor->storage().setAttributedString(plain); });
    changes.clear();
    editor->styleTags();
    EXPECT_EQ(changes.size(), 1) << "the document is changed, and laid out, once for every tag";
    AttributedString expected = plain;
    styleTags(expected, kanban->tags());
    EXPECT_EQ(editor->storage().attributedString(), expected);
    changes.clear();
    editor->styleTags();
    EXPECT_TRUE(changes.isEmpty()) << "styled tags are left as they are";

    // A tag of line 30 loses its look behind the editor's back; typing in line 0 leaves it so.
    const int line30 = int(lines.indexOf(QStringLiteral("line 30"))) + 8;
    editor->runProgrammaticChange([&] { editor->storage().addAttributes(normalAttributes(), {line30, 4}); });
    editor = edit(card);
    editor->setSelectedRanges({{0, 0}});
    changes.clear();
    type(editor, QStringLiteral("x"));
    EXPECT_EQ(notes(card).left(8), QStringLiteral("xline 00"));
    for (const TextRange& change : std::as_const(changes))
        EXPECT_LE(change.end(), int(lines.indexOf('\n')) + 2) << "a change outside the typed line";
    EXPECT_EQ(editor->storage().attribute(AttributeKey::foregroundColor, line30 + 2), normalTypingColour());
}
