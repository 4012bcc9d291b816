#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/TextMeasures.h"
#include "Platform/widgets/ActionResponder.h"
#include "support/CardCellFixture.h"

#include <QAction>
#include <QClipboard>
#include <QMimeData>

namespace cards {

using NotesTextView = CardCellFixture;

namespace {

QString styleOfLine(::NotesTextView* editor, int position)
{
    return editor->storage().attribute(AttributeKey::noteStyleName, position).toString();
}

} // namespace

TEST_F(NotesTextView, AnEmptyNoteStartsAsATitleAndReturnGoesOnInBody)
{
    ListItem* card = addCard(stage(0), QString());
    card->setAttributedNotes(std::nullopt);
    card->setNotesExpanded(true);
    show();
    ::NotesTextView* editor = edit(card);
    QTest::keyClicks(editor, "Shopping");
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, "Milk");
    EXPECT_EQ(notes(card), QStringLiteral("Shopping\nMilk"));
    EXPECT_EQ(styleOfLine(editor, 0), QStringLiteral("title"));
    EXPECT_EQ(styleOfLine(editor, 9), QStringLiteral("body"));
    const AttributedString stored = *card->getAttributedNotes();
    EXPECT_EQ(stored.attribute(AttributeKey::noteStyleName, 0).toString(), QStringLiteral("title"));
    EXPECT_EQ(stored.attribute(AttributeKey::font, 0), titleAttributes().value(AttributeKey::font));
}

TEST_F(NotesTextView, StyleItemsShowOnMixedOrOffForTheSelectedLines)
{
    AttributedString text(QStringLiteral("Title\n"), titleAttributes());
    text.append(AttributedString(QStringLiteral("one\ntwo"), normalAttributes()));
    ListItem* card = addCard(stage(0));
    card->setAttributedNotes(text);
    card->setNotesExpanded(true);
    show();
    ::NotesTextView* editor = edit(card);
    editor->setSelectedRanges({{0, text.length()}});
    const auto state = [&](const QString& identifier, const QString& action) {
        QAction item;
        item.setObjectName(identifier);
        editor->validate(action, &item);
        return item.property("mixedState").toBool() ? QStringLiteral("mixed")
            : item.isChecked()                      ? QStringLiteral("on")
                                                    : QStringLiteral("off");
    };
    EXPECT_EQ(state(::NotesTextView::formatAsTitleIdentifier, ::NotesTextView::formatAsTitleAction), "mixed");
    EXPECT_EQ(state(::NotesTextView::formatAsBodyIdentifier, ::NotesTextView::formatAsBodyAction), "mixed");
    EXPECT_EQ(state(::NotesTextView::formatAsHeaderIdentifier, ::NotesTextView::formatAsHeaderAction), "off");
    editor->setSelectedRanges({{8, 0}});
    EXPECT_EQ(state(::NotesTextView::formatAsBodyIdentifier, ::NotesTextView::formatAsBodyAction), "on");

    // A style name of the wrong type says nothing about its line.
    editor->runProgrammaticChange([&] { editor->storage().addAttributes({{AttributeKey::noteStyleName, 7}}, {0, 6}); });
    editor->setSelectedRanges({{0, 0}});
    EXPECT_EQ(state(::NotesTextView::formatAsTitleIdentifier, ::NotesTextView::formatAsTitleAction), "off");
}

namespace {

// The column's side of cut, copy and paste.
class ColumnCommands : public ActionResponder
{
public:
    bool respondsTo(const QString& action) const override
    {
        return action == "copy:" || action == "paste:" || action == "cut:";
    }
    void perform(const QString& action, QObject*) override { performed.append(action); }
    QStringList performed;
};

} // namespace

TEST_F(NotesTextView, CopyWithoutSelectionAndPasteOfCardsGoToTheColumn)
{
    ListItem* card = addCard(stage(0), QStringLiteral("Some text"));
    show();
    ::NotesTextView* editor = edit(card);
    // The column controller hosts the cell; here a stand-in records what reaches it.
    struct Column : public ListItemCellDelegate, public ColumnCommands
    {
        explicit Column(ListItemCellDelegate* real)
            : real(real)
        {
        }
        CardBoard* delegate() const override { return real->delegate(); }
        void selectItem(ListItem* item) override { real->selectItem(item); }
        void itemHeightChanged(ListItem* item, bool skip) override { real->itemHeightChanged(item, skip); }
        std::optional<IndexPath> indexPathFor(const ListItem* item) override { return real->indexPathFor(item); }
        void addNewItem(const IndexPath& at) override { real->addNewItem(at); }
        bool canAddNewItem(const IndexPath& at) const override { return real->canAddNewItem(at); }
        void deleteSelectedItems() override { real->deleteSelectedItems(); }
        QColor colourBehindItems() const override { return real->colourBehindItems(); }
        ListItemCellDelegate* real;
    } fake(&column(0));
    cell(card)->setDelegate(&fake);

    editor->setSelectedRanges({{2, 0}});
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(fake.performed, QStringList {"copy:"});
    editor->setSelectedRanges({{0, 4}});
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(fake.performed, QStringList {"copy:"}) << "selected text is copied as text";
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Some"));

    auto* cards = new QMimeData;
    cards->setData(::NotesTextView::cardDataType, "[]");
    QApplication::clipboard()->setMimeData(cards);
    QAction pasteItem;
    pasteItem.setObjectName(::NotesTextView::pasteIdentifier);
    EXPECT_TRUE(editor->validate(::NotesTextView::pasteAction, &pasteItem));
    editor->perform(::NotesTextView::pasteAction, &pasteItem);
    EXPECT_EQ(fake.performed, (QStringList {"copy:", "paste:"}));
    EXPECT_EQ(notes(card), QStringLiteral("Some text")) << "nothing pasted into the text";
    cell(card)->setDelegate(&column(0));
}

TEST_F(NotesTextView, ModifierKeysLeaveASelectionAsItIsAndTextTypedOverItIsBodyText)
{
    AttributedString text(QStringLiteral("Title\n"), titleAttributes());
    text.append(AttributedString(QStringLiteral("body #tag"), normalAttributes()));
    ListItem* card = addCard(stage(0));
    card->setAttributedNotes(text);
    card->setNotesExpanded(true);
    builder.addTag(kanban, QStringLiteral("tag"));
    show();
    ::NotesTextView* editor = edit(card);
    const AttributedString shown = editor->storage().attributedString();
    editor->setSelectedRanges({{0, shown.length()}});
    for (const Qt::Key modifier : {Qt::Key_Control, Qt::Key_Shift, Qt::Key_Alt}) {
        QTest::keyPress(editor, modifier);
        QTest::keyRelease(editor, modifier);
    }
    EXPECT_EQ(editor->storage().attributedString(), shown);

    // The bold hash tag selected and typed over: the letter is body text, as typed at its start.
    editor->setSelectedRanges({{11, 4}});
    QTest::keyClick(editor, Qt::Key_X);
    EXPECT_EQ(notes(card), QStringLiteral("Title\nbody x"));
    EXPECT_EQ(editor->storage().attribute(AttributeKey::font, 11), normalAttributes().value(AttributeKey::font));
}

TEST_F(NotesTextView, TheEditorIsAsHighAsTheMeasuredNotes)
{
    struct Case
    {
        const char* name;
        AttributedString text;
    };
    AttributedString titled(QStringLiteral("A title\n"), titleAttributes());
    titled.append(
        AttributedString(QStringLiteral("and a body line that is long enough to wrap around the card's width twice "
                                        "or more, to be sure of it"),
            normalAttributes()));
    const QList<Case> cases {
        {"one line", AttributedString(QStringLiteral("Milk"), normalAttributes())},
        {"title and wrapped body", titled},
        {"three lines", AttributedString(QStringLiteral("a\nb\nc"), normalAttributes())},
        // Longer than a card shows: measured only as far as it shows.
        {"lines past the card's foot", AttributedString(QStringLiteral("a line of the notes\n").repeated(400), normalAttributes())},
        {"one paragraph past the card's foot",
            AttributedString(QStringLiteral("words in one long paragraph ").repeated(2000), normalAttributes())},
        {"lines ended by CR LF", AttributedString(QStringLiteral("one line\r\n").repeated(300), normalAttributes())},
    };
    // One card at a time at the top of the stage, where it shows.
    for (const Case& each : cases) {
        ListItem* card = addCard(stage(0));
        card->setAttributedNotes(each.text);
        card->setNotesExpanded(true);
        show();
        ::NotesTextView* editor = cell(card)->noteTextView();
        EXPECT_NEAR(
            editor->intrinsicHeight(), heightToFit(*card->getAttributedNotes(), ::ListItemCellView::notesWidth), 1)
            << each.name;
        board.removeColumns();
        card->setColumn(stage(1));
    }
}

// The lines a card paints keep their shaped glyphs between paints: after every change, a word
// typed over by one as long included, the card paints as it does once all of it is shaped anew.
TEST_F(NotesTextView, ACardPaintsEachChangeAsItsNotesShapedAnew)
{
    AttributedString text(QStringLiteral("Title\n"), titleAttributes());
    text.append(AttributedString(QStringLiteral("one #tag words\nsecond line\nthird"), normalAttributes()));
    ListItem* card = addCard(stage(0));
    card->setAttributedNotes(text);
    card->setNotesExpanded(true);
    show();
    ::NotesTextView* editor = edit(card);
    const auto painted = [&] { return editor->viewport()->grab().toImage(); };
    const auto paintsAsShapedAnew = [&](const char* after) {
        const QImage kept = painted();
        QTextDocument* document = editor->document();
        editor->runProgrammaticChange([&] { document->markContentsDirty(0, document->characterCount()); });
        EXPECT_TRUE(kept == painted()) << after;
    };
    painted();
    editor->setSelectedRanges({{6, 3}});
    type(editor, QStringLiteral("two"));
    paintsAsShapedAnew("a word typed over");
    editor->setSelectedRanges({{15, 11}});
    editor->formatSelectionAsTitle();
    paintsAsShapedAnew("a line made a title");
    editor->setSelectedRanges({{text.length() - 5, 0}});
    type(editor, QStringLiteral("#late "));
    paintsAsShapedAnew("a tag typed");
    ASSERT_EQ(notes(card), QStringLiteral("Title\ntwo #tag words\nsecond line\n#late third"));
}

TEST_F(NotesTextView, TypedWebAddressesBecomeLinksOpenedThroughTheOpener)
{
    ListItem* card = addCard(stage(0), QString());
    card->setNotesExpanded(true);
    show();
    ::NotesTextView* editor = edit(card);
    QList<QUrl> opened;
    editor->setUrlOpener([&](const QUrl& url) { opened.append(url); });
    QTest::keyClicks(editor, "see www.example.org now");
    const AttributedString stored = *card->getAttributedNotes();
    EXPECT_EQ(stored.attribute(AttributeKey::link, 6).toUrl().toString(), QStringLiteral("https://www.example.org"));
    EXPECT_FALSE(stored.attribute(AttributeKey::link, 1).isValid());
    const QRect word = editor->cursorRect([&] {
        QTextCursor at(editor->document());
        at.setPosition(8);
        return at;
    }());
    QTest::mouseClick(editor->viewport(), Qt::LeftButton, {}, word.center());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().toString(), QStringLiteral("https://www.example.org"));
}

} // namespace cards
