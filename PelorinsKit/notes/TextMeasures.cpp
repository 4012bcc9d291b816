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
#include <cmath>
#include <limits>

namespace {

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

bool isLineTerminator(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

// Fills the document line by line, in one pass over the runs of the text however it is handed
// over: each line of the text is one block, styled by the paragraph style of its first character;
// "\r\n" ends one line. One edit for the whole text: the layout runs once at its end instead of
// after every run inserted, and the cursor does not place itself on a laid-out line after each.
class Filler
{
public:
    Filler(QTextDocument& document, QSizeF container)
        : m_cursor(&document)
        , m_container(container)
    {
        m_cursor.beginEditBlock();
    }

    // The next part of the text.
    void add(const AttributedString& part)
    {
        part.enumerateAttributes(TextRange {0, part.length()}, [&](const QVariantMap& attributes, TextRange run) {
            int start = run.location;
            for (int i = run.location; i < run.end(); ++i) {
                const QChar c = part.string().at(i);
                if (!isLineTerminator(c))
                    continue;
                insert(part, TextRange {start, i - start}, attributes);
                start = i + 1;
                // The line feed of "\r\n" ends no second line.
                if (c == u'\n' && m_afterReturn) {
                    m_afterReturn = false;
                    continue;
                }
                if (m_lineStarting)
                    startLine(attributes);
                m_cursor.insertBlock(QTextBlockFormat());
                m_lineStarting = true;
                m_afterReturn = c == u'\r';
                m_endsWithTerminator = true;
            }
            insert(part, TextRange {start, run.end() - start}, attributes);
        });
    }

    // A terminator at the very end leaves an empty last line, which takes room too: it takes the
    // style of the line it ends.
    void finish()
    {
        if (m_endsWithTerminator)
            m_cursor.setBlockFormat(blockFormat(m_lastLineAttributes));
        m_cursor.endEditBlock();
    }

    // The document is laid out as far as it is filled while the edit pauses.
    void pause() { m_cursor.endEditBlock(); }
    void resume() { m_cursor.beginEditBlock(); }

private:
    void insert(const AttributedString& part, TextRange range, const QVariantMap& attributes)
    {
        if (range.length == 0)
            return;
        m_afterReturn = false;
        m_endsWithTerminator = false;
        if (m_lineStarting)
            startLine(attributes);
        insertRun(m_cursor, part, range, attributes, m_container);
    }

    void startLine(const QVariantMap& attributes)
    {
        m_cursor.setBlockFormat(blockFormat(attributes));
        m_lastLineAttributes = attributes;
        m_lineStarting = false;
    }

    QTextCursor m_cursor;
    QSizeF m_container;
    bool m_lineStarting = true;
    bool m_afterReturn = false;
    bool m_endsWithTerminator = false;
    QVariantMap m_lastLineAttributes;
};

// Whether the lines laid out so far settle what fits in the container: the last block filled may
// be cut short, so only its lines before its last one are final.
bool filledPast(QTextDocument& document, qreal containerHeight)
{
    const QTextBlock last = document.lastBlock();
    document.documentLayout()->blockBoundingRect(last);
    const QTextLayout* layout = last.layout();
    const qreal top = layout->position().y();
    if (top > containerHeight)
        return true;
    if (layout->lineCount() < 2)
        return false;
    const QTextLine settled = layout->lineAt(layout->lineCount() - 2);
    return top + settled.y() + settled.height() > containerHeight;
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
    Filler filler(document, QSizeF(textWidth, containerHeight));
    if (std::isinf(containerHeight)) {
        filler.add(text);
    } else {
        // Only as much text as the container can show is laid out: parts of growing length, until
        // the lines laid out reach below the container.
        for (int filled = 0, part = 2048; filled < text.length(); filled += part, part *= 2) {
            filler.add(filled == 0 && part >= text.length() ? text : text.attributedSubstring(TextRange {filled, part}));
            if (filled + part >= text.length())
                break;
            filler.pause();
            const bool full = filledPast(document, containerHeight);
            filler.resume();
            if (full)
                break;
        }
    }
    filler.finish();
    document.documentLayout()->documentSize(); // lays the document out
    return std::max(usedHeight(document, containerHeight) + 10, minimumHeight);
}

} // namespace

qreal heightToFit(const AttributedString& text, qreal width)
{
    return measuredHeight(text, width, heightToFitContainer);
}

qreal fullHeightToFit(const AttributedString& text, qreal width)
{
    return measuredHeight(text, width, std::numeric_limits<qreal>::infinity());
}

#include "TextMeasures.moc"
