#include "Pelorins/card/AnimatedCheckButton.h"
#include "Pelorins/card/ChecklistButton.h"
#include "Pelorins/card/PrintableCheckButton.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "PelorinsKit/notes/TextAttachment.h"
#include "support/CardCellFixture.h"

#include <QAbstractButton>
#include <QSignalSpy>

namespace {

class NotesChecklist : public CardCellFixture
{
protected:
    void SetUp() override
    {
        CardCellFixture::SetUp();
        AnimatedCheckButton::setTimeScale(0.05);
    }
    void TearDown() override { AnimatedCheckButton::setTimeScale(1.0); }

    static AttributedString item(const QString& text, bool done)
    {
        QVariantMap attributes = checkListAttributes();
        attributes.insert(AttributeKey::isChecklistChecked, done);
        return AttributedString(text, attributes);
    }

    ListItem* cardWith(const AttributedString& notes)
    {
        ListItem* card = addCard(stage(0));
        card->setAttributedNotes(notes);
        card->setNotesExpanded(true);
        return card;
    }

    // Each line of the editor's text: "text:open", "text:done" or "text" for a line that is no
    // checklist line.
    static QStringList lines(NotesTextView* editor)
    {
        QStringList shown;
        const QString text = editor->string();
        int start = 0;
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            const QVariant state = start < text.size()
                ? editor->storage().attribute(AttributeKey::isChecklistChecked, start)
                : QVariant();
            shown.append(state.isValid() ? line + (state.toBool() ? ":done" : ":open") : line);
            start += int(line.size()) + 1;
        }
        return shown;
    }

    static QList<int> boxStates(NotesTextView* editor)
    {
        QList<int> states;
        for (QAbstractButton* button : editor->checkButtons())
            if (auto* box = qobject_cast<ChecklistButton*>(button))
                states.append(box->state());
        return states;
    }

    // The box tells its line once its tick has been drawn: a while after the click, longer under load.
    void click(QAbstractButton* box)
    {
        auto* checklist = qobject_cast<ChecklistButton*>(box);
        ASSERT_NE(checklist, nullptr);
        QSignalSpy told(checklist, &ChecklistButton::checkUncheckLine);
        QTest::mouseClick(box, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !told.isEmpty(); }, 10000));
        // Lets the undo group of the toggle close before the next keys, as a pause of the user does.
        QCoreApplication::processEvents();
    }
};

} // namespace

TEST_F(NotesChecklist, ReturnGoesOnEndsOrLeavesTheChecklist)
{
    AttributedString titled(QStringLiteral("Plan"), titleAttributes());
    AttributedString twoItems = item(QStringLiteral("a\n"), false);
    twoItems.append(item(QStringLiteral("\n"), false));
    AttributedString linked = AttributedString::withAttachment(TextAttachment {AttributeKey::link,
        RichTextCodec::encodeDictionary({{QStringLiteral("URL"), QUrl(QStringLiteral("https://example.org"))},
            {QStringLiteral("title"), QStringLiteral("t")}, {QStringLiteral("body"), QStringLiteral("b")}}),
        std::nullopt});
    struct Case
    {
        const char* name;
        AttributedString notes;
        int caret;
        QStringList expected;
        QList<int> boxes;
        int caretAfter;
    };
    const QList<Case> cases {
        {"end of a last item without a line feed", item(QStringLiteral("milk"), false), 4, {"milk:open", ":open", ""},
            {0, 0}, 5},
        {"end of a done item's text", item(QStringLiteral("milk\n"), true), 4, {"milk:done", ":open", ""}, {1, 0}, 5},
        {"middle of a done item", item(QStringLiteral("milk\n"), true), 2, {"mi:done", "lk:done", ""}, {1, 1}, 3},
        {"an empty item", twoItems, 2, {"a:open", "", ""}, {0}, 2},
        {"after a title", titled, 4, {"Plan", ""}, {}, 5},
        {"after a link card", linked, 1, {QString(AttributedString::attachmentCharacter), ""}, {}, 2},
    };
    for (const Case& each : cases) {
        ListItem* card = cardWith(each.notes);
        board.removeColumns();
        show();
        NotesTextView* editor = edit(card);
        editor->setSelectedRanges({{each.caret, 0}});
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_EQ(lines(editor), each.expected) << each.name;
        EXPECT_EQ(boxStates(editor), each.boxes) << each.name;
        EXPECT_EQ(editor->textCursor().position(), each.caretAfter) << each.name;
        if (QString(each.name).startsWith("after")) {
            QTest::keyClicks(editor, "x");
            EXPECT_EQ(editor->storage().attribute(AttributeKey::noteStyleName, each.caretAfter).toString(),
                QStringLiteral("body"))
                << each.name;
        }
        EXPECT_EQ(card->getAttributedNotes()->string(), editor->string()) << each.name;
        endEditing(card);
    }
}

TEST_F(NotesChecklist, AChecklistMadeOnTheEmptyLastLineOrInAnEmptyNoteGetsItsBox)
{
    ListItem* card = cardWith(AttributedString(QStringLiteral("Buy\n"), normalAttributes()));
    ListItem* empty = addCard(stage(0), QString());
    empty->setAttributedNotes(std::nullopt);
    empty->setNotesExpanded(true);
    show();
    NotesTextView* editor = edit(card);
    editor->setSelectedRanges({{4, 0}});
    editor->makeChecklist();
    EXPECT_EQ(lines(editor), (QStringList {"Buy", ":open", ""}));
    EXPECT_EQ(boxStates(editor), QList<int> {0});
    EXPECT_EQ(editor->textCursor().position(), 4) << "the caret stays on the new item";
    QTest::keyClicks(editor, "eggs");
    EXPECT_EQ(lines(editor), (QStringList {"Buy", "eggs:open", ""}));
    endEditing(card);

    editor = edit(empty);
    editor->makeChecklist();
    EXPECT_EQ(editor->string(), QString()) << "no line feed is added";
    EXPECT_EQ(boxStates(editor), QList<int> {0});
    QTest::keyClicks(editor, "first");
    EXPECT_EQ(lines(editor), QStringList {"first:open"});
    EXPECT_EQ(card->getAttributedNotes()->attribute(AttributeKey::isChecklistChecked, 4), QVariant(false))
        << "made on the line of an earlier card stays";
    EXPECT_EQ(empty->getAttributedNotes()->attribute(AttributeKey::isChecklistChecked, 0), QVariant(false));
}

TEST_F(NotesChecklist, ClickingABoxTicksItsLineOnlyWithUndoAndRedo)
{
    AttributedString notes = item(QStringLiteral("one\ntwo\nthree"), false);
    ListItem* card = cardWith(notes);
    show();
    NotesTextView* editor = edit(card);
    editor->setSelectedRanges({{0, 0}});
    type(editor, "Top ");
    ASSERT_EQ(editor->checkButtons().size(), 3);
    click(editor->checkButtons().at(1));
    EXPECT_EQ(lines(editor), (QStringList {"Top one:open", "two:done", "three:open"}));
    EXPECT_EQ(boxStates(editor), (QList<int> {0, 1, 0}));
    EXPECT_EQ(undo.undoActionName(), NotesTextView::toggleChecklistActionName);
    EXPECT_EQ(card->getAttributedNotes()->attribute(AttributeKey::isChecklistChecked, 8), QVariant(true))
        << "written into the card";

    editor->setSelectedRanges({{0, 0}});
    type(editor, "A");
    undo.undo();
    EXPECT_EQ(undo.undoActionName(), NotesTextView::toggleChecklistActionName);
    undo.undo();
    EXPECT_EQ(lines(editor), (QStringList {"Top one:open", "two:open", "three:open"}));
    EXPECT_EQ(boxStates(editor), (QList<int> {0, 0, 0}));
    undo.redo();
    EXPECT_EQ(lines(editor), (QStringList {"Top one:open", "two:done", "three:open"}));
    EXPECT_EQ(boxStates(editor), (QList<int> {0, 1, 0}));
}

TEST_F(NotesChecklist, ABoxWhoseLineIsGoneTogglesAndRecordsNothing)
{
    ListItem* card = cardWith(item(QStringLiteral("one\ntwo"), false));
    show();
    NotesTextView* editor = edit(card);
    auto* second = qobject_cast<ChecklistButton*>(editor->checkButtons().at(1));
    ASSERT_NE(second, nullptr);
    // The text changes under the box before it tells its line.
    editor->runProgrammaticChange([&] { editor->storage().replaceCharacters({3, 4}, AttributedString()); });
    const AttributedString before = editor->storage().attributedString();
    const bool couldUndo = undo.canUndo();
    editor->checkUncheckLine(second);
    EXPECT_EQ(editor->storage().attributedString(), before);
    EXPECT_EQ(undo.canUndo(), couldUndo);
}

TEST_F(NotesChecklist, PrintedNotesShowPlainBoxesWithTheLinesStates)
{
    ::NotesTextView printed;
    printed.setup();
    printed.resize(284, 200);
    AttributedString notes = item(QStringLiteral("one\n"), true);
    notes.append(AttributedString(QStringLiteral("plain\n"), normalAttributes()));
    notes.append(item(QStringLiteral("two"), false));
    printed.runProgrammaticChange([&] { printed.storage().setAttributedString(notes); });
    printed.layoutCheckButtons();
    ASSERT_EQ(printed.checkButtons().size(), 2);
    QList<bool> states;
    for (QAbstractButton* button : printed.checkButtons()) {
        auto* box = qobject_cast<PrintableCheckButton*>(button);
        ASSERT_NE(box, nullptr);
        states.append(box->isChecked());
    }
    EXPECT_EQ(states, (QList<bool> {true, false}));
    printed.show();
    QTest::mouseClick(printed.checkButtons().at(1), Qt::LeftButton);
    EXPECT_EQ(printed.storage().attributedString(), notes) << "a printed box has no action";
}
