#include "PelorinsKit/notes/NotesTextViewFormatHelper.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/AttributedStringTextStorage.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/NotesTextViewFormatHelperDelegate.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "PelorinsKit/notes/TextDocumentTextStorage.h"
#include "Platform/core/UndoManager.h"
#include "support/AttributedStringPrinting.h"

#include <QTextDocument>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

inline void PrintTo(const TextRange& range, std::ostream* out)
{
    *out << "{" << range.location << ", " << range.length << "}";
}

namespace {

// The notes editor as the helper sees it, over either form of text; it records what it is asked.
class FakeEditor : public NotesTextViewFormatHelperDelegate
{
public:
    explicit FakeEditor(bool overDocument)
    {
        if (overDocument)
            m_storage = std::make_unique<TextDocumentTextStorage>(&m_document);
        else
            m_storage = std::make_unique<AttributedStringTextStorage>();
    }

    NoteTextStorage* textStorage() const override { return m_storage.get(); }
    QString string() const override { return m_storage ? m_storage->string() : QString(); }
    UndoManager* undoManager() const override { return m_undoManager.get(); }
    QList<TextRange> selectedRanges() const override { return m_selection; }
    void setSelectedRanges(const QList<TextRange>& ranges) override
    {
        m_calls.append(QStringLiteral("setSelectedRanges"));
        m_selection = ranges;
    }
    QVariantMap typingAttributes() const override { return m_typing; }
    void setTypingAttributes(const QVariantMap& attributes) override
    {
        m_calls.append(QStringLiteral("setTypingAttributes"));
        m_typing = attributes;
    }
    void styleTags() override { m_calls.append(QStringLiteral("styleTags")); }
    void updateCellHeight() override { m_calls.append(QStringLiteral("updateCellHeight")); }
    void layoutCheckButtons() override { m_calls.append(QStringLiteral("layoutCheckButtons")); }

    AttributedString text() const { return m_storage->attributedSubstring(TextRange {0, m_storage->length()}); }
    void setText(const AttributedString& text)
    {
        m_storage->replaceCharacters(TextRange {0, m_storage->length()}, text);
    }

    QTextDocument m_document;
    std::unique_ptr<NoteTextStorage> m_storage;
    std::unique_ptr<UndoManager> m_undoManager = std::make_unique<UndoManager>();
    QList<TextRange> m_selection;
    QVariantMap m_typing;
    QStringList m_calls;
};

AttributedString lines(const QList<std::pair<QString, QVariantMap>>& styledLines)
{
    AttributedString text;
    for (const auto& [line, attributes] : styledLines)
        text.append(AttributedString(line, attributes));
    return text;
}

AttributedString linkCard()
{
    const QVariantMap link {{QStringLiteral("URL"), QUrl(QStringLiteral("https://example.org"))},
        {QStringLiteral("title"), QStringLiteral("Example")}, {QStringLiteral("body"), QString()}};
    return AttributedString::withAttachment(
        TextAttachment {AttributeKey::link, RichTextCodec::encodeDictionary(link), std::nullopt});
}

bool hasNoteStyleKey(const AttributedString& text, TextRange range)
{
    bool found = false;
    text.enumerateAttributes(range, [&found](const QVariantMap& attributes, TextRange) {
        for (const QString& key : knownAttributeNames())
            found = found || attributes.contains(key);
    });
    return found;
}

// Every behaviour runs over rich text and over the editor's document alike.
class NotesTextViewFormatHelperTest : public ::testing::TestWithParam<bool>
{
protected:
    FakeEditor m_editor {GetParam()};
    NotesTextViewFormatHelper m_helper {m_editor};
};

TEST_P(NotesTextViewFormatHelperTest, LinesInSelection_FollowTheLineRules)
{
    const QString text = QStringLiteral("one\ntwo\nthree");
    struct Case
    {
        const char* name;
        QString text;
        QList<TextRange> ranges;
        QList<TextRange> lines;
    };
    const QList<Case> cases {
        {"caret mid-line", text, {{5, 0}}, {{4, 4}}},
        {"caret at a line start", text, {{4, 0}}, {{4, 4}}},
        {"from inside a line to the next line's start", text, {{1, 3}}, {{0, 4}, {4, 4}}},
        {"from a line's start to the next line's start", text, {{0, 4}}, {{0, 4}}},
        {"from line 1 to line 3", text, {{1, 9}}, {{0, 4}, {4, 4}, {8, 5}}},
        {"caret in the last line", text, {{13, 0}}, {{8, 5}}},
        {"caret after the final line feed", QStringLiteral("one\n"), {{4, 0}}, {{4, 0}}},
        {"empty text", QString(), {{0, 0}}, {{0, 0}}},
        {"two carets: each start line goes to the front", text, {{5, 0}, {9, 0}}, {{8, 5}, {4, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(m_helper.getLinesInSelection(c.ranges, c.text), c.lines);
    }
    m_editor.setText(AttributedString(text));
    m_editor.m_selection = {{9, 2}};
    EXPECT_EQ(m_helper.getLinesInSelection(), QList<TextRange>({{8, 5}}));
}

TEST_P(NotesTextViewFormatHelperTest, Title_RestylesOnlyTheCaretsLine)
{
    m_editor.setText(
        lines({{QStringLiteral("first\n"), normalAttributes()}, {QStringLiteral("second"), normalAttributes()}}));
    m_editor.m_selection = {{8, 0}};

    m_helper.format(titleAttributes());

    EXPECT_EQ(m_editor.text(),
        lines({{QStringLiteral("first\n"), normalAttributes()}, {QStringLiteral("second"), titleAttributes()}}));
    EXPECT_EQ(m_editor.m_typing, titleAttributes());
    EXPECT_EQ(m_editor.m_selection, QList<TextRange>({{8, 0}}));
    EXPECT_EQ(m_editor.m_calls,
        QStringList({QStringLiteral("setTypingAttributes"), QStringLiteral("updateCellHeight"),
            QStringLiteral("setSelectedRanges"), QStringLiteral("layoutCheckButtons"), QStringLiteral("styleTags")}));
}

TEST_P(NotesTextViewFormatHelperTest, Checklist_TogglesEachLineAndChoosesTheTypingStyle)
{
    for (const bool typingChecklist : {false, true}) {
        SCOPED_TRACE(typingChecklist);
        QVariantMap ticked = checkListAttributes();
        ticked.insert(AttributeKey::isChecklistChecked, true);
        m_editor.setText(lines({{QStringLiteral("done\n"), ticked}, {QStringLiteral("todo"), normalAttributes()}}));
        m_editor.m_selection = {{1, 6}};
        m_editor.m_typing = typingChecklist ? checkListAttributes() : normalAttributes();

        m_helper.format(checkListAttributes());

        EXPECT_EQ(m_editor.text(),
            lines({{QStringLiteral("done\n"), normalAttributes()}, {QStringLiteral("todo"), checkListAttributes()}}));
        EXPECT_EQ(m_editor.m_typing, typingChecklist ? normalAttributes() : checkListAttributes());
    }
}

TEST_P(NotesTextViewFormatHelperTest, Checklist_OnTheEmptyLastLineOnlySwitchesTypingBackToBody)
{
    const AttributedString text(QStringLiteral("item\n"), checkListAttributes());
    m_editor.setText(text);
    m_editor.m_selection = {{5, 0}};
    m_editor.m_typing = checkListAttributes();

    m_helper.format(checkListAttributes());

    EXPECT_EQ(m_editor.text(), text);
    EXPECT_EQ(m_editor.m_typing, normalAttributes());
}

TEST_P(NotesTextViewFormatHelperTest, Header_OnAChecklistLineDropsIndentAndCheckState)
{
    m_editor.setText(AttributedString(QStringLiteral("buy milk"), checkListAttributes()));
    m_editor.m_selection = {{3, 0}};

    m_helper.format(headerAttributes());

    const QVariantMap attributes = m_editor.text().attributes(0);
    EXPECT_EQ(attributes, headerAttributes());
    EXPECT_FALSE(attributes.contains(AttributeKey::paragraphStyle));
    EXPECT_FALSE(attributes.contains(AttributeKey::isChecklistChecked));
}

TEST_P(NotesTextViewFormatHelperTest, StyleChange_UndoRestoresTheExactTextAndRedoStylesAgain)
{
    // A tag with its own colour and a struck-through run inside a title line.
    QVariantMap tag = titleAttributes();
    tag.insert(AttributeKey::foregroundColor, QColor(52, 199, 89));
    tag.insert(AttributeKey::strikethroughStyle, 1);
    const AttributedString before
        = lines({{QStringLiteral("Plan "), titleAttributes()}, {QStringLiteral("#work\n"), tag},
            {QStringLiteral("call Ann\n"), checkListAttributes()}, {QStringLiteral("rest"), normalAttributes()}});
    m_editor.setText(before);
    m_editor.m_selection = {{2, 10}};

    m_helper.format(headerAttributes());
    const AttributedString styled = m_editor.text();
    ASSERT_NE(styled, before);
    UndoManager& undo = *m_editor.m_undoManager;
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Style Change"));

    m_editor.m_typing = QVariantMap();
    undo.undo();
    EXPECT_EQ(m_editor.text(), before);
    EXPECT_EQ(m_editor.m_typing, headerAttributes());
    EXPECT_EQ(undo.redoActionName(), QStringLiteral("Style Change"));

    undo.redo();
    EXPECT_EQ(m_editor.text(), styled);
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Style Change"));
    undo.undo();
    EXPECT_EQ(m_editor.text(), before);
}

// Lines from two carets come in no text order; undo still puts back exactly what was there.
TEST_P(NotesTextViewFormatHelperTest, StyleChange_OfSeveralSelectionsUndoesExactly)
{
    const AttributedString before = lines({{QStringLiteral("a\n"), normalAttributes()},
        {QStringLiteral("b\n"), checkListAttributes()}, {QStringLiteral("c"), normalAttributes()}});
    m_editor.setText(before);
    m_editor.m_selection = {{0, 0}, {5, 0}};

    m_helper.format(titleAttributes());
    EXPECT_EQ(m_editor.text().attributes(4), titleAttributes());
    EXPECT_EQ(m_editor.text().attributes(0), titleAttributes());
    m_editor.m_undoManager->undo();
    EXPECT_EQ(m_editor.text(), before);
}

// The editor outlives a helper it replaces: the helper's steps go with it, and an undo then
// leaves the text alone.
TEST_P(NotesTextViewFormatHelperTest, StyleChanges_GoWithTheirHelper)
{
    m_editor.setText(AttributedString(QStringLiteral("line"), normalAttributes()));
    m_editor.m_selection = {{0, 0}};
    auto helper = std::make_unique<NotesTextViewFormatHelper>(m_editor);
    helper->format(titleAttributes());
    const AttributedString styled = m_editor.text();
    ASSERT_TRUE(m_editor.m_undoManager->canUndo());

    helper.reset();
    EXPECT_FALSE(m_editor.m_undoManager->canUndo());
    m_editor.m_undoManager->undo();
    EXPECT_EQ(m_editor.text(), styled);
}

TEST_P(NotesTextViewFormatHelperTest, NoLinesOrLinesOutsideTheText_ChangeNothingAndNeverCrash)
{
    const AttributedString before(QStringLiteral("short"), normalAttributes());
    m_editor.setText(before);

    m_helper.format(titleAttributes(), QList<TextRange>());
    EXPECT_EQ(m_editor.text(), before);
    EXPECT_FALSE(m_editor.m_undoManager->canUndo());
    EXPECT_TRUE(m_editor.m_calls.isEmpty());

    m_helper.format(titleAttributes(), QList<TextRange>({{40, 10}}));
    EXPECT_EQ(m_editor.text(), before);
    m_editor.m_undoManager->undo();
    EXPECT_EQ(m_editor.text(), before);
}

TEST_P(NotesTextViewFormatHelperTest, NoUndoManager_StylesWithoutRegistering)
{
    m_editor.m_undoManager.reset();
    m_editor.setText(AttributedString(QStringLiteral("line"), normalAttributes()));
    m_editor.m_selection = {{0, 0}};
    m_helper.format(titleAttributes());
    EXPECT_EQ(m_editor.text().attributes(0), titleAttributes());
}

TEST_P(NotesTextViewFormatHelperTest, NoTextStorage_OnlySetsTheTypingStyle)
{
    m_editor.m_storage.reset();
    m_editor.m_selection = {{0, 0}};
    EXPECT_TRUE(m_helper.getLinesInSelection().isEmpty());

    m_helper.format(titleAttributes(), QList<TextRange>({{0, 4}}));
    EXPECT_EQ(m_editor.m_typing, titleAttributes());
    EXPECT_FALSE(m_editor.m_undoManager->canUndo());
    m_helper.ensureAttachmensOnItsOwnLine();
}

TEST_P(NotesTextViewFormatHelperTest, Format_LeavesNoStyleKeysOnAttachmentLines)
{
    AttributedString text(QStringLiteral("above\n"), normalAttributes());
    text.append(linkCard());
    text.append(AttributedString(QStringLiteral("\nbelow"), normalAttributes()));
    m_editor.setText(text);
    m_editor.m_selection = {{0, m_editor.m_storage->length()}};

    m_helper.format(titleAttributes());

    const AttributedString result = m_editor.text();
    EXPECT_FALSE(hasNoteStyleKey(result, TextRange {6, 2}));
    EXPECT_EQ(result.attributes(0), titleAttributes());
    EXPECT_EQ(result.attributes(8), titleAttributes());
    EXPECT_TRUE(result.attributes(6).contains(AttributeKey::attachment));
}

TEST_P(NotesTextViewFormatHelperTest, Attachments_GetLinesOfTheirOwn)
{
    const QString card(AttributedString::attachmentCharacter);
    struct Case
    {
        const char* name;
        AttributedString text;
        QString result;
    };
    AttributedString between(QStringLiteral("x"));
    between.append(linkCard());
    between.append(AttributedString(QStringLiteral("y")));
    AttributedString last(QStringLiteral("x\n"));
    last.append(linkCard());
    const QList<Case> cases {
        {"a character, an attachment and a character", between, QStringLiteral("x\n") + card + QStringLiteral("\ny")},
        {"an attachment ending the text", last, QStringLiteral("x\n") + card + QStringLiteral("\n")},
        {"no attachment", AttributedString(QStringLiteral("x y")), QStringLiteral("x y")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_editor.setText(c.text);
        m_helper.ensureAttachmensOnItsOwnLine();
        EXPECT_EQ(m_editor.m_storage->string(), c.result);
        EXPECT_EQ(m_editor.text().attributes(int(c.result.indexOf(card))),
            c.text.attributes(int(c.text.string().indexOf(card))));
    }
}

INSTANTIATE_TEST_SUITE_P(BothForms, NotesTextViewFormatHelperTest, ::testing::Values(false, true),
    [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Document" : "RichText"; });

} // namespace
