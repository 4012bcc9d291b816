#include "PelorinsKit/notes/TextDocumentTextStorage.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/AttributedStringTextStorage.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/ParagraphStyle.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "PelorinsKit/notes/TextAttachmentObject.h"
#include "support/AttributedStringPrinting.h"
#include "support/TestImages.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

AttributedString linkCard()
{
    const QVariantMap link {{QStringLiteral("URL"), QUrl(QStringLiteral("https://example.org/page"))},
        {QStringLiteral("title"), QStringLiteral("Example")}, {QStringLiteral("body"), QString()}};
    AttributedString card = AttributedString::withAttachment(
        TextAttachment {AttributeKey::link, RichTextCodec::encodeDictionary(link), std::nullopt});
    card.addAttribute(AttributeKey::attachmentLinkData, link, TextRange {0, 1});
    return card;
}

AttributedString picture()
{
    TextAttachment attachment;
    attachment.fileWrapper = TextAttachment::FileWrapper {QStringLiteral("red.png"), pngOf(30, 20, Qt::red)};
    return AttributedString::withAttachment(attachment);
}

// Notes as the editor makes them: one style per line, tags and strikethrough inside lines, a
// link card and a picture on lines of their own, characters the document could mistake.
AttributedString sampleNotes()
{
    AttributedString notes(QStringLiteral("Shopping\n"), titleAttributes());
    notes.append(AttributedString(QStringLiteral("Milk\n"), checkListAttributes()));
    QVariantMap ticked = checkListAttributes();
    ticked.insert(AttributeKey::isChecklistChecked, true);
    ticked.insert(AttributeKey::strikethroughStyle, 1);
    notes.append(AttributedString(QStringLiteral("Eggs\n"), ticked));
    notes.append(AttributedString(QStringLiteral("Ask\u00a0about\u2028"), normalAttributes()));
    QVariantMap tag = normalAttributes();
    tag.insert(AttributeKey::font, systemFontOfSize(12, QFont::Bold));
    tag.insert(AttributeKey::foregroundColor, QColor(255, 59, 48));
    notes.append(AttributedString(QStringLiteral("#home"), tag));
    notes.append(AttributedString(QStringLiteral("\n"), normalAttributes()));
    notes.append(linkCard());
    notes.append(AttributedString(QStringLiteral("\n")));
    notes.append(picture());
    notes.append(AttributedString(QStringLiteral("\n")));
    notes.append(AttributedString(QStringLiteral("Later"), headerAttributes()));
    return notes;
}

class TextDocumentTextStorageTest : public ::testing::Test
{
protected:
    QTextDocument m_document;
    TextDocumentTextStorage m_storage {&m_document};
};

TEST_F(TextDocumentTextStorageTest, RoundTrip_KeepsStylesChecklistsAttachmentsAndLinkData)
{
    const AttributedString notes = sampleNotes();
    m_storage.setAttributedString(notes);

    EXPECT_EQ(m_storage.length(), notes.length());
    EXPECT_EQ(m_storage.string(), notes.string());
    EXPECT_EQ(m_storage.attributedString(), notes);
    EXPECT_EQ(m_storage.attributedSubstring(TextRange {9, 10}), notes.attributedSubstring(TextRange {9, 10}));
    EXPECT_EQ(m_storage.attribute(AttributeKey::isChecklistChecked, 13), QVariant(false));
    EXPECT_EQ(m_storage.attribute(AttributeKey::isChecklistChecked, 100), QVariant());

    // Line styles are block formats the layout follows; attachments are object characters.
    const QTextBlock milk = m_document.findBlock(9);
    EXPECT_EQ(milk.blockFormat().leftMargin(), 22);
    EXPECT_EQ(milk.blockFormat().topMargin(), 4);
    EXPECT_EQ(m_document.findBlock(0).blockFormat().bottomMargin(), 4);
    const int card = int(notes.string().indexOf(AttributedString::attachmentCharacter));
    const QTextBlock cardBlock = m_document.findBlock(card);
    EXPECT_EQ(cardBlock.begin().fragment().charFormat().objectType(), TextAttachmentObject::objectType);

    // And the document's form reads back into a new document unchanged.
    QTextDocument copy;
    TextDocumentTextStorage copyStorage(&copy);
    copyStorage.setAttributedString(m_storage.attributedString());
    EXPECT_EQ(copyStorage.attributedString(), notes);
}

// The same edits on both forms give the same text, as long as lines keep one style.
TEST_F(TextDocumentTextStorageTest, Edits_MatchTheRichTextForm)
{
    AttributedStringTextStorage plain(sampleNotes());
    m_storage.setAttributedString(sampleNotes());
    const auto both = [&](const std::function<void(NoteTextStorage&)>& edit) {
        edit(plain);
        edit(m_storage);
        EXPECT_EQ(m_storage.attributedString(), plain.attributedString());
    };

    both([](NoteTextStorage& s) { s.addAttributes(headerAttributes(), TextRange {9, 5}); });
    both([](NoteTextStorage& s) { s.remove(knownAttributeNames(), TextRange {0, 9}); });
    both([](NoteTextStorage& s) { s.addAttributes({{AttributeKey::strikethroughStyle, 1}}, TextRange {2, 10}); });
    both([](NoteTextStorage& s) {
        AttributedString lines(QStringLiteral("New one\n"), titleAttributes());
        lines.append(AttributedString(QStringLiteral("New two\n"), checkListAttributes()));
        s.replaceCharacters(TextRange {9, 5}, lines);
    });
    both([](NoteTextStorage& s) { s.replaceCharacters(TextRange {0, 9}, AttributedString()); });
    both([](NoteTextStorage& s) { s.append(AttributedString(QStringLiteral("\n"), headerAttributes())); });
    both([](NoteTextStorage& s) { s.append(AttributedString(QStringLiteral("Tail"), normalAttributes())); });
    both([](NoteTextStorage& s) { s.replaceCharacters(TextRange {0, s.length()}, AttributedString()); });
    EXPECT_EQ(m_storage.length(), 0);
}

TEST_F(TextDocumentTextStorageTest, TextTypedAfterAnAttachment_IsNoAttachment)
{
    m_storage.setAttributedString(linkCard());
    QTextCursor cursor(&m_document);
    cursor.setPosition(1);
    cursor.insertText(QStringLiteral("ab"));

    EXPECT_EQ(m_storage.string(), QString(AttributedString::attachmentCharacter) + QStringLiteral("ab"));
    EXPECT_TRUE(m_storage.attribute(AttributeKey::attachment, 0).isValid());
    EXPECT_FALSE(m_storage.attribute(AttributeKey::attachment, 1).isValid());
}

TEST_F(TextDocumentTextStorageTest, LayoutGivesLinkCardsTheirSizeAndDrawsThem)
{
    AttributedString notes = linkCard();
    notes.append(AttributedString(QStringLiteral("\n")));
    m_storage.setAttributedString(notes);
    m_document.setTextWidth(400);

    const QRectF block = m_document.documentLayout()->blockBoundingRect(m_document.firstBlock());
    EXPECT_GE(block.height(), 40);

    QImage image(400, 80, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    m_document.drawContents(&painter);
    painter.end();
    const QPoint inside = QPointF(m_document.documentMargin() + 2, m_document.documentMargin() + 20).toPoint();
    EXPECT_NE(image.pixelColor(inside).alpha(), 0);
    EXPECT_EQ(image.pixelColor(inside.x() + 270, inside.y()).alpha(), 0);
    EXPECT_EQ(image.pixelColor(inside), QGuiApplication::palette().color(QPalette::Window));

    // A selected card is drawn highlighted.
    auto* drawing = dynamic_cast<TextAttachmentObject*>(
        m_document.documentLayout()->handlerForObject(TextAttachmentObject::objectType));
    ASSERT_TRUE(drawing);
    drawing->setHighlightedRange(TextRange {0, 1});
    image.fill(Qt::transparent);
    QPainter highlighted(&image);
    m_document.drawContents(&highlighted);
    highlighted.end();
    EXPECT_EQ(image.pixelColor(inside), QGuiApplication::palette().color(QPalette::Highlight));
}

// Pictures decoded ahead (as printing does on its threads) at the zoom they are drawn at are
// then only drawn, at zooms that scale them down and at the size they are laid out at.
TEST(TextAttachmentObjectTest, PicturesDecodedAheadForAZoomAreOnlyDrawnAtIt)
{
    for (const qreal zoom : {1.0, 0.75, 0.6}) {
        QTextDocument document;
        TextDocumentTextStorage storage(&document);
        TextAttachment attachment;
        attachment.fileWrapper = TextAttachment::FileWrapper {QStringLiteral("red.png"), pngOf(300, 170, Qt::red)};
        storage.setAttributedString(AttributedString::withAttachment(attachment));
        // Narrower than the picture: it is laid out scaled down to the lines.
        document.setTextWidth(265);
        document.documentLayout()->documentSize();
        auto* drawing = dynamic_cast<TextAttachmentObject*>(
            document.documentLayout()->handlerForObject(TextAttachmentObject::objectType));
        ASSERT_TRUE(drawing);
        drawing->decodePictures(&document, zoom);
        EXPECT_EQ(drawing->decodedPictures(), 1) << zoom;

        QImage image(300, 200, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.scale(zoom, zoom);
        document.drawContents(&painter);
        painter.end();
        EXPECT_EQ(drawing->decodedPictures(), 1) << zoom;
        EXPECT_EQ(image.pixelColor(QPointF(100 * zoom, 60 * zoom).toPoint()), QColor(Qt::red)) << zoom;
    }
}

// The text kept follows every change of the document, whoever makes it: it always reads as a
// fresh reading of the document does.
TEST_F(TextDocumentTextStorageTest, KeptText_FollowsEveryChangeOfTheDocument)
{
    struct Case
    {
        const char* name;
        std::function<void(QTextDocument&, TextDocumentTextStorage&)> change;
    };
    const QList<Case> cases {
        {"a letter typed", [](QTextDocument& document, TextDocumentTextStorage&) {
             QTextCursor(document.findBlockByNumber(1)).insertText(QStringLiteral("x"));
         }},
        {"a line break typed at a line's start",
            [](QTextDocument& document, TextDocumentTextStorage&) {
                QTextCursor(document.findBlockByNumber(2)).insertBlock();
            }},
        {"lines joined", [](QTextDocument& document, TextDocumentTextStorage&) {
             QTextCursor cursor(&document);
             cursor.setPosition(3);
             cursor.setPosition(16, QTextCursor::KeepAnchor);
             cursor.removeSelectedText();
         }},
        {"a line restyled", [](QTextDocument& document, TextDocumentTextStorage&) {
             QTextCursor(document.findBlockByNumber(3))
                 .setBlockFormat(TextDocumentTextStorage::blockFormat({{AttributeKey::noteStyleName, QStringLiteral("title")}}));
         }},
        {"characters restyled", [](QTextDocument&, TextDocumentTextStorage& storage) {
             storage.addAttributes({{AttributeKey::strikethroughStyle, 1}}, TextRange {2, 12});
         }},
        {"a line feed's format", [](QTextDocument& document, TextDocumentTextStorage&) {
             QTextCursor cursor(&document);
             cursor.setPosition(8);
             cursor.setPosition(9, QTextCursor::KeepAnchor);
             cursor.setCharFormat(TextDocumentTextStorage::charFormat({{AttributeKey::strikethroughStyle, 1}}));
         }},
        {"lines pasted with \\r\\n", [](QTextDocument&, TextDocumentTextStorage& storage) {
             storage.insert(AttributedString(QStringLiteral("one\r\ntwo\rthree\n"), normalAttributes()), 5);
         }},
        {"the last line removed", [](QTextDocument& document, TextDocumentTextStorage& storage) {
             QTextCursor cursor(&document);
             cursor.setPosition(storage.length() - 5);
             cursor.setPosition(storage.length(), QTextCursor::KeepAnchor);
             cursor.removeSelectedText();
         }},
        {"many edits in one edit block", [](QTextDocument& document, TextDocumentTextStorage& storage) {
             QTextCursor outer(&document);
             outer.beginEditBlock();
             storage.append(AttributedString(QStringLiteral("\nadded #tag"), normalAttributes()));
             QTextCursor(document.firstBlock()).insertText(QStringLiteral("Top "));
             storage.addAttributes({{AttributeKey::foregroundColor, QColor(Qt::red)}}, TextRange {0, 3});
             outer.endEditBlock();
         }},
        {"tags styled at once, one of them styled already",
            [](QTextDocument&, TextDocumentTextStorage& storage) {
                const QVariantMap bold {{AttributeKey::font, systemFontOfSize(12, QFont::Bold)}};
                storage.addCharacterAttributes({{TextRange {0, 4}, bold}, {TextRange {10, 2}, bold},
                    {TextRange {32, 5}, {{AttributeKey::foregroundColor, QColor(255, 59, 48)}}},
                    {TextRange {storage.length() - 3, 3}, bold}});
            }},
        {"tags styled out of order", [](QTextDocument&, TextDocumentTextStorage& storage) {
             const QVariantMap blue {{AttributeKey::foregroundColor, QColor(Qt::blue)}};
             storage.addCharacterAttributes({{TextRange {15, 3}, blue}, {TextRange {1, 3}, blue}, {TextRange {2, 4}, blue}});
         }},
        {"tags styled inside an edit block after a change", [](QTextDocument& document, TextDocumentTextStorage& storage) {
             QTextCursor outer(&document);
             outer.beginEditBlock();
             QTextCursor(document.firstBlock()).insertText(QStringLiteral("#new "));
             storage.addCharacterAttributes({{TextRange {0, 4}, {{AttributeKey::foregroundColor, QColor(Qt::blue)}}}});
             outer.endEditBlock();
         }},
        {"everything replaced", [](QTextDocument&, TextDocumentTextStorage& storage) {
             storage.setAttributedString(AttributedString(QStringLiteral("new\nnotes"), headerAttributes()));
         }},
        {"plain text set", [](QTextDocument& document, TextDocumentTextStorage&) {
             document.setPlainText(QStringLiteral("plain\ntext"));
         }},
        {"cleared", [](QTextDocument& document, TextDocumentTextStorage&) { document.clear(); }},
    };
    for (const Case& each : cases) {
        QTextDocument document;
        TextDocumentTextStorage storage(&document);
        storage.setAttributedString(sampleNotes());
        each.change(document, storage);
        const TextDocumentTextStorage fresh(&document);
        EXPECT_EQ(storage.attributedString(), fresh.attributedString()) << each.name;
        EXPECT_EQ(storage.string(), fresh.string()) << each.name;
        EXPECT_EQ(storage.attachmentRanges(), fresh.NoteTextStorage::attachmentRanges()) << each.name;
    }
}

} // namespace
