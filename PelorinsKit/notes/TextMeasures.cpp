#include "PelorinsKit/notes/TextMeasures.h"

#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/ParagraphStyle.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QImageReader>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextObjectInterface>
#include <algorithm>
#include <limits>

namespace {

constexpr qreal cardContainerHeight = 2000;
constexpr qreal lineFragmentPadding = 10;
constexpr qreal minimumHeight = 30;
const QSizeF linkCardSize(264, 40);
// What a file that is not a picture shows: its icon.
const QSizeF fileIconSize(32, 32);

constexpr int attachmentObjectType = QTextFormat::UserObject + 1;
constexpr int attachmentSizeProperty = QTextFormat::UserProperty + 1;

// Gives each attachment character of the measured document the size stored on its format.
class AttachmentSizer : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    using QObject::QObject;

    QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat& format) override
    {
        return format.property(attachmentSizeProperty).toSizeF();
    }
    void drawObject(QPainter*, const QRectF&, QTextDocument*, int, const QTextFormat&) override { }
};

QSizeF attachmentSize(const TextAttachment& attachment, qreal textWidth, qreal containerHeight)
{
    if (attachment.fileType == AttributeKey::link)
        return linkCardSize;
    QSizeF size = fileIconSize;
    if (attachment.fileWrapper) {
        QByteArray bytes = attachment.fileWrapper->contents;
        QBuffer buffer(&bytes);
        const QSize imageSize = QImageReader(&buffer).size();
        if (imageSize.isValid() && !imageSize.isEmpty())
            size = imageSize;
    }
    // Attachments scale proportionally down to fit the container, never up.
    const qreal scale = std::min({1.0, textWidth / size.width(), containerHeight / size.height()});
    return size * scale;
}

QTextBlockFormat blockFormat(const QVariantMap& attributes)
{
    QTextBlockFormat format;
    const QVariant value = attributes.value(AttributeKey::paragraphStyle);
    if (!value.canConvert<ParagraphStyle>())
        return format;
    const ParagraphStyle style = value.value<ParagraphStyle>();
    format.setAlignment(style.alignment);
    format.setTopMargin(style.paragraphSpacingBefore);
    format.setBottomMargin(style.paragraphSpacing);
    format.setLeftMargin(style.headIndent);
    format.setTextIndent(style.firstLineHeadIndent - style.headIndent);
    if (style.tailIndent < 0)
        format.setRightMargin(-style.tailIndent);
    if (style.lineHeightMultiple > 0)
        format.setLineHeight(style.lineHeightMultiple * 100, QTextBlockFormat::ProportionalHeight);
    else if (style.minimumLineHeight > 0)
        format.setLineHeight(style.minimumLineHeight, QTextBlockFormat::MinimumHeight);
    return format;
}

QTextCharFormat charFormat(const QVariantMap& attributes)
{
    QTextCharFormat format;
    const QVariant font = attributes.value(AttributeKey::font);
    if (font.typeId() == QMetaType::QFont)
        format.setFont(font.value<QFont>(), QTextCharFormat::FontPropertiesAll);
    return format;
}

void insertRun(
    QTextCursor& cursor, const AttributedString& text, TextRange range, const QVariantMap& attributes, QSizeF container)
{
    const QTextCharFormat format = charFormat(attributes);
    const QVariant attachment = attributes.value(AttributeKey::attachment);
    if (!attachment.canConvert<TextAttachment>()) {
        cursor.insertText(text.string().mid(range.location, range.length), format);
        return;
    }
    QTextCharFormat objectFormat = format;
    objectFormat.setObjectType(attachmentObjectType);
    objectFormat.setProperty(attachmentSizeProperty,
        attachmentSize(attachment.value<TextAttachment>(), container.width(), container.height()));
    for (int i = 0; i < range.length; ++i)
        cursor.insertText(QString(QChar::ObjectReplacementCharacter), objectFormat);
}

// Fills the document line by line: each line of the text is one block, styled by the
// paragraph style of its first character.
void fill(QTextDocument& document, const AttributedString& text, QSizeF container)
{
    QTextCursor cursor(&document);
    // One edit for the whole text: the layout runs once at its end instead of after every run
    // inserted, and the cursor does not place itself on a laid-out line after each insertion.
    cursor.beginEditBlock();
    const QList<AttributedString::Line> lines = AttributedString::lines(text.string());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const AttributedString::Line& line = lines.at(i);
        const QTextBlockFormat format = blockFormat(text.attributes(line.enclosing.location));
        if (i == 0)
            cursor.setBlockFormat(format);
        else
            cursor.insertBlock(format);
        text.enumerateAttributes(line.content, [&](const QVariantMap& attributes, TextRange range) {
            insertRun(cursor, text, range, attributes, container);
        });
    }
    // A terminator at the very end leaves an empty last line, which takes room too.
    if (!lines.isEmpty() && lines.last().enclosing.end() > lines.last().content.end())
        cursor.insertBlock(blockFormat(text.attributes(lines.last().enclosing.location)));
    cursor.endEditBlock();
}

// The bottom of the last line that fits wholly inside the container.
qreal usedHeight(const QTextDocument& document, qreal containerHeight)
{
    qreal used = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        const qreal top = layout->position().y();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const qreal bottom = top + line.y() + line.height();
            if (bottom > containerHeight)
                return used;
            used = std::max(used, bottom);
        }
    }
    return used;
}

qreal measuredHeight(const AttributedString& text, qreal width, qreal containerHeight)
{
    if (text.isEmpty())
        return minimumHeight;
    const qreal textWidth = std::max(width - 2 * lineFragmentPadding, 1.0);
    QTextDocument document;
    document.setUndoRedoEnabled(false);
    document.setDocumentMargin(0);
    document.setDefaultFont(systemFontOfSize(12, QFont::Normal));
    document.setTextWidth(textWidth);
    AttachmentSizer sizer;
    document.documentLayout()->registerHandler(attachmentObjectType, &sizer);
    fill(document, text, QSizeF(textWidth, containerHeight));
    document.documentLayout()->documentSize(); // lays the document out
    return std::max(usedHeight(document, containerHeight) + 10, minimumHeight);
}

} // namespace

qreal heightToFit(const AttributedString& text, qreal width)
{
    return measuredHeight(text, width, cardContainerHeight);
}

qreal fullHeightToFit(const AttributedString& text, qreal width)
{
    return measuredHeight(text, width, std::numeric_limits<qreal>::infinity());
}

#include "TextMeasures.moc"
