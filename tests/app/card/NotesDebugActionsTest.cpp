#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "Platform/core/ConsoleLog.h"
#include "support/CardCellFixture.h"

namespace {

class NotesDebugActions : public CardCellFixture
{
protected:
    QStringList run(NotesTextView* editor, const QString& action)
    {
        ConsoleLog::Capture console;
        EXPECT_TRUE(editor->respondsTo(action));
        editor->perform(action, nullptr);
        return console.lines();
    }
};

} // namespace

TEST_F(NotesDebugActions, FindAllChecklistsPrintsEachRunWithItsValue)
{
    AttributedString notes(QStringLiteral("Buy\n"), normalAttributes());
    QVariantMap done = checkListAttributes();
    done.insert(AttributeKey::isChecklistChecked, true);
    notes.append(AttributedString(QStringLiteral("Milk\n"), done));
    notes.append(AttributedString(QStringLiteral("Eggs"), checkListAttributes()));
    ListItem* card = addCard(stage(0));
    card->setAttributedNotes(notes);
    card->setNotesExpanded(true);
    show();
    EXPECT_EQ(run(edit(card), QStringLiteral("testFindAllChecklists:")),
        (QStringList {"Found 2 checklists", "Range: {4, 5}, value: 1", "Range: {9, 4}, value: 0"}));
}

TEST_F(NotesDebugActions, FindAllAttachmentsNamesTheLinkCardAndItsData)
{
    ListItem* card = addCard(stage(0), QString());
    card->setNotesExpanded(true);
    show();
    NotesTextView* editor = edit(card);
    editor->insertLinkAttachment(QStringLiteral("Guide"), QStringLiteral("body"), QUrl("https://example.org/guide"),
        NotesTextView::emptyCalendarData());
    const QStringList lines = run(editor, QStringLiteral("testFindAllAttachments:"));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(0), QStringLiteral("Text attachment found, type is NSLink"));
    EXPECT_TRUE(lines.at(1).startsWith("get attachment link data: {"));
    EXPECT_TRUE(lines.at(1).contains("\"URL\":\"https://example.org/guide\""));
}

TEST_F(NotesDebugActions, TheOtherActionsPrintTheirLinesAndChangeNothing)
{
    ListItem* card = addCard(stage(0), QStringLiteral("One #work\nTwo"));
    card->setNotesExpanded(true);
    Tag* work = builder.addTag(kanban, QStringLiteral("work"));
    card->setTags({work});
    show();
    NotesTextView* editor = edit(card);
    editor->selectAll();
    const QString before = editor->string();

    EXPECT_EQ(run(editor, QStringLiteral("printTagsInCurrentCard:")), QStringList {"work"});
    const QStringList attributes = run(editor, QStringLiteral("getAllAttributesInSelection:"));
    ASSERT_EQ(attributes.size(), 2);
    EXPECT_TRUE(attributes.at(0).startsWith("attrs at this line is {"));
    EXPECT_TRUE(attributes.at(0).endsWith(", range {0, 10}"));
    EXPECT_TRUE(attributes.at(1).endsWith(", range {10, 3}"));
    EXPECT_TRUE(
        run(editor, QStringLiteral("showCurrentTypingAttributes:")).first().startsWith("DEBUG: Typing attributes: {"));
    EXPECT_EQ(
        run(editor, QStringLiteral("testImageAttachment:")), QStringList {"Could not attach the image attachment"});
    for (const QString& quiet : {QStringLiteral("replaceLinksWithAttachment:"), QStringLiteral("testCustomAttachment:"),
             QStringLiteral("testWriteOutImage:"), QStringLiteral("testIdentifyTags:")})
        EXPECT_TRUE(run(editor, quiet).isEmpty()) << quiet.toStdString();
    EXPECT_EQ(editor->string(), before);
}
