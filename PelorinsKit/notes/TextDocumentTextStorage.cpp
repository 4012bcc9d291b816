#include "PelorinsKit/notes/TextDocumentTextStorage.h"

#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/ParagraphStyle.h"
#include "PelorinsKit/notes/TextAttachmentObject.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QHash>
#include <QUrl>

#include <algorithm>

namespace {

QVariantMap characterAttributesOf(const QTextFormat& format)
{
    return format.property(TextDocumentTextStorage::characterAttributesProperty).toMap();
}

QVariantMap lineAttributesOf(const QTextBlock& block)
{
    return block.blockFormat().property(TextDocumentTextStorage::lineAttributesProperty).toMap();
}

bool isBlockSeparator(QChar character)
{
    // The document turns each of these into a block of its own; keeping each one character long
    // keeps every position the same in both forms.
    return character == QLatin1Char('\n') || character == QLatin1Char('\r') || character == QChar::ParagraphSeparator;
}

// The position of the separator that ends `block`.
int separatorPosition(const QTextBlock& block)
{
    return block.position() + block.length() - 1;
}

TextRange intersection(TextRange a, TextRange b)
{
    const int start = std::max(a.location, b.location);
    const int end = std::min(a.end(), b.end());
    return TextRange {start, std::max(0, end - start)};
}

// One stretch of characters with one character format, as the document holds them.
struct Piece
{
    TextRange range;
    QString text;
    QTextCharFormat format;
    int formatIndex;
    QTextBlock block;
};

// The pieces of `range` in text order, the line feed ending each block included.
QList<Piece> piecesOf(QTextDocument* document, TextRange range)
{
    QList<Piece> pieces;
    for (QTextBlock block = document->findBlock(range.location); block.isValid() && block.position() < range.end();
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const TextRange part = intersection(TextRange {fragment.position(), fragment.length()}, range);
            if (part.length > 0)
                pieces.append(Piece {part, fragment.text().mid(part.location - fragment.position(), part.length),
                    fragment.charFormat(), fragment.charFormatIndex(), block});
        }
        const int separator = separatorPosition(block);
        if (block.next().isValid() && range.contains(separator))
            pieces.append(Piece {TextRange {separator, 1}, QStringLiteral("\n"), block.next().charFormat(),
                block.next().charFormatIndex(), block});
    }
    return pieces;
}

} // namespace

const QStringList& TextDocumentTextStorage::lineAttributeNames()
{
    static const QStringList names {
        AttributeKey::noteStyleName, AttributeKey::isChecklistChecked, AttributeKey::paragraphStyle};
    return names;
}

TextDocumentTextStorage::TextDocumentTextStorage(QTextDocument* document, const FileIconProvider* fileIcons)
    : m_document(document)
{
    // One drawing object per document, however many storages look at it.
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    if (!layout->handlerForObject(TextAttachmentObject::objectType))
        layout->registerHandler(TextAttachmentObject::objectType, new TextAttachmentObject(fileIcons, document));
    m_text = read(TextRange {0, length()});
    m_following = QObject::connect(document, &QTextDocument::contentsChange, document,
        [this](int from, int removed, int added) { follow(from, removed, added); });
}

TextDocumentTextStorage::~TextDocumentTextStorage()
{
    QObject::disconnect(m_following);
}

void TextDocumentTextStorage::follow(int from, int removed, int added)
{
    const int length = this->length();
    // A change of attributes that this storage made and followed already.
    if (std::optional<AttributedString> followed = std::exchange(m_followed, std::nullopt)) {
        if (removed == added && followed->length() == length) {
            m_text = std::move(*followed);
            return;
        }
    }
    const auto readAll = [&] {
        const QString before = m_text.string();
        m_text = read(TextRange {0, length});
        if (m_linesChanged)
            m_linesChanged(TextRange {0, length}, before);
    };
    if (m_text.length() - removed + added != length || from < 0) {
        readAll();
        return;
    }
    // Whole lines, from the one before the change (its line feed takes the format of the line
    // after it) to the end of the last line changed.
    QTextBlock first = m_document->findBlock(std::clamp(from, 0, length));
    if (first.previous().isValid())
        first = first.previous();
    const QTextBlock last = m_document->findBlock(std::clamp(from + added, 0, length));
    const int start = first.position();
    const int end = std::min(last.position() + last.length(), length);
    const int endBefore = end - added + removed;
    if (start > from || end < start || endBefore < start || endBefore > m_text.length()) {
        readAll();
        return;
    }
    const AttributedString lines = read(TextRange {start, end - start});
    // A change that changed nothing leaves the text shared by those holding it.
    if (endBefore - start == lines.length() && m_text.attributedSubstring({start, lines.length()}) == lines)
        return;
    const QString before = m_linesChanged ? m_text.string().mid(start, endBefore - start) : QString();
    m_text.replaceCharacters(TextRange {start, endBefore - start}, lines);
    if (m_linesChanged)
        m_linesChanged(TextRange {start, lines.length()}, before);
}

QTextCharFormat TextDocumentTextStorage::charFormat(const QVariantMap& characterAttributes)
{
    QTextCharFormat format;
    if (characterAttributes.isEmpty())
        return format;
    format.setProperty(characterAttributesProperty, characterAttributes);
    const QVariant font = characterAttributes.value(AttributeKey::font);
    if (font.typeId() == QMetaType::QFont)
        format.setFont(font.value<QFont>(), QTextCharFormat::FontPropertiesAll);
    const QVariant colour = characterAttributes.value(AttributeKey::foregroundColor);
    if (colour.typeId() == QMetaType::QColor)
        format.setForeground(colour.value<QColor>());
    if (characterAttributes.value(AttributeKey::strikethroughStyle).toInt() != 0)
        format.setFontStrikeOut(true);
    if (characterAttributes.contains(AttributeKey::attachment))
        format.setObjectType(TextAttachmentObject::objectType);
    const QVariant link = characterAttributes.value(AttributeKey::link);
    if (link.isValid()) {
        format.setAnchor(true);
        format.setAnchorHref(link.typeId() == QMetaType::QUrl ? link.toUrl().toString() : link.toString());
    }
    return format;
}

QVariantMap TextDocumentTextStorage::split(const QVariantMap& attributes, bool lineLevel)
{
    QVariantMap part;
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
        if (lineAttributeNames().contains(it.key()) == lineLevel)
            part.insert(it.key(), it.value());
    return part;
}

QTextBlockFormat TextDocumentTextStorage::blockFormat(const QVariantMap& lineAttributes)
{
    QTextBlockFormat format;
    if (lineAttributes.isEmpty())
        return format;
    format.setProperty(lineAttributesProperty, lineAttributes);
    const QVariant paragraph = lineAttributes.value(AttributeKey::paragraphStyle);
    if (paragraph.typeId() == qMetaTypeId<ParagraphStyle>()) {
        const auto style = paragraph.value<ParagraphStyle>();
        format.setTopMargin(style.paragraphSpacingBefore);
        format.setBottomMargin(style.paragraphSpacing);
        format.setLeftMargin(style.headIndent);
        format.setTextIndent(style.firstLineHeadIndent - style.headIndent);
    }
    return format;
}

QVariantMap TextDocumentTextStorage::attributes(const QTextCharFormat& charFormat, const QTextBlockFormat& blockFormat)
{
    QVariantMap attributes = split(characterAttributesOf(charFormat), false);
    // Text typed after an attachment takes its format without the object type: it is text.
    if (charFormat.objectType() != TextAttachmentObject::objectType)
        attributes.remove(AttributeKey::attachment);
    attributes.insert(split(blockFormat.property(lineAttributesProperty).toMap(), true));
    return attributes;
}

QString TextDocumentTextStorage::string() const
{
    return attributedString().string();
}

const AttributedString& TextDocumentTextStorage::attributedString() const
{
    // Changes made while the document tells of another are told to no one: text of another
    // length is read again whole.
    if (m_text.length() != length())
        m_text = read(TextRange {0, length()});
    return m_text;
}

int TextDocumentTextStorage::length() const
{
    return m_document ? m_document->characterCount() - 1 : 0;
}

TextRange TextDocumentTextStorage::clipped(TextRange range) const
{
    const int start = std::clamp(range.location, 0, length());
    const int end = std::clamp(range.end(), start, length());
    return TextRange {start, end - start};
}

AttributedString TextDocumentTextStorage::attributedSubstring(TextRange range) const
{
    return read(range);
}

AttributedString TextDocumentTextStorage::read(TextRange range) const
{
    AttributedString text;
    range = clipped(range);
    if (!m_document || range.length == 0)
        return text;
    // Most stretches share a character format and a line format: their attributes are made once.
    QHash<std::pair<int, int>, QVariantMap> made;
    const auto attributesOf = [&](int formatIndex, const QTextCharFormat& format, const QTextBlock& block) {
        const std::pair<int, int> key {formatIndex, block.blockFormatIndex()};
        auto attributes = made.constFind(key);
        if (attributes == made.cend())
            attributes = made.insert(key, this->attributes(format, block.blockFormat()));
        return *attributes;
    };
    for (QTextBlock block = m_document->findBlock(range.location); block.isValid() && block.position() < range.end();
         block = block.next()) {
        const QString line = block.text();
        const int start = block.position();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const TextRange part = intersection(TextRange {fragment.position(), fragment.length()}, range);
            if (part.length > 0)
                text.append(QStringView(line).mid(part.location - start, part.length),
                    attributesOf(fragment.charFormatIndex(), fragment.charFormat(), block));
        }
        const QTextBlock next = block.next();
        if (next.isValid() && range.contains(separatorPosition(block)))
            text.append(u"\n", attributesOf(next.charFormatIndex(), next.charFormat(), block));
    }
    return text;
}

QList<TextRange> TextDocumentTextStorage::attachmentRanges() const
{
    QList<TextRange> ranges;
    attributedString();
    // Most notes hold none: the text says so faster than its runs.
    if (!m_text.string().contains(AttributedString::attachmentCharacter))
        return ranges;
    m_text.enumerateAttribute(
        AttributeKey::attachment, TextRange {0, m_text.length()}, [&ranges](const QVariant& value, TextRange range) {
            if (value.isValid())
                ranges.append(range);
        });
    return ranges;
}

QVariant TextDocumentTextStorage::attribute(const QString& key, int index) const
{
    if (index < 0 || index >= length())
        return QVariant();
    return attributedSubstring(TextRange {index, 1}).attributes(0).value(key);
}

void TextDocumentTextStorage::editLines(TextRange range, const std::function<void(QVariantMap&)>& edit)
{
    range = clipped(range);
    if (!m_document || range.length == 0)
        return;
    QTextCursor cursor(m_document);
    cursor.beginEditBlock();
    for (QTextBlock block = m_document->findBlock(range.location); block.isValid() && block.position() < range.end();
         block = block.next()) {
        QVariantMap lineAttributes = lineAttributesOf(block);
        edit(lineAttributes);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(blockFormat(lineAttributes));
    }
    cursor.endEditBlock();
}

void TextDocumentTextStorage::editCharacters(TextRange range, const std::function<void(QVariantMap&)>& edit)
{
    range = clipped(range);
    if (!m_document || range.length == 0)
        return;
    // Formats are set after the walk: setting one merges and splits the fragments being walked.
    const QList<Piece> pieces = piecesOf(m_document, range);
    QTextCursor cursor(m_document);
    cursor.beginEditBlock();
    for (const Piece& piece : pieces) {
        QVariantMap characterAttributes = characterAttributesOf(piece.format);
        edit(characterAttributes);
        cursor.setPosition(piece.range.location);
        cursor.setPosition(piece.range.end(), QTextCursor::KeepAnchor);
        cursor.setCharFormat(charFormat(characterAttributes));
    }
    cursor.endEditBlock();
}

void TextDocumentTextStorage::addAttributes(const QVariantMap& attributes, TextRange range)
{
    const QVariantMap lineAttributes = split(attributes, true);
    const QVariantMap characterAttributes = split(attributes, false);
    if (!lineAttributes.isEmpty())
        editLines(range, [&lineAttributes](QVariantMap& line) { line.insert(lineAttributes); });
    if (!characterAttributes.isEmpty())
        editCharacters(
            range, [&characterAttributes](QVariantMap& characters) { characters.insert(characterAttributes); });
}

void TextDocumentTextStorage::addCharacterAttributes(const QList<std::pair<TextRange, QVariantMap>>& edits)
{
    if (!m_document)
        return;
    attributedString();
    QTextCursor cursor(m_document);
    bool editing = false;
    // Many ranges share their formats (the same text given the same attributes): each new format
    // is made once, for a format of the document and one of the few distinct sets added, and so
    // are the attributes its characters then read as on each kind of line.
    QList<QVariantMap> distinct;
    QHash<std::pair<int, qsizetype>, QTextCharFormat> made;
    QHash<std::pair<std::pair<int, qsizetype>, int>, QVariantMap> reads;
    QList<std::pair<TextRange, QVariantMap>> changed;
    bool inOrder = true;
    for (const auto& [edit, added] : edits) {
        const TextRange range = clipped(edit);
        if (range.length == 0)
            continue;
        qsizetype set = distinct.indexOf(added);
        if (set < 0) {
            set = distinct.size();
            distinct.append(added);
        }
        QList<std::pair<TextRange, QTextCharFormat>> changes;
        const QTextBlock block = m_document->findBlock(range.location);
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const TextRange part = intersection(TextRange {fragment.position(), fragment.length()}, range);
            if (part.length == 0)
                continue;
            const QVariantMap characters = characterAttributesOf(fragment.charFormat());
            bool holds = true;
            for (auto key = added.cbegin(); key != added.cend() && holds; ++key)
                holds = characters.value(key.key()) == key.value();
            if (holds)
                continue;
            const auto key = std::make_pair(fragment.charFormatIndex(), set);
            auto format = made.find(key);
            if (format == made.end()) {
                QVariantMap attributes = characters;
                attributes.insert(added);
                format = made.insert(key, charFormat(split(attributes, false)));
            }
            changes.append({part, *format});
            const auto readKey = std::make_pair(key, block.blockFormatIndex());
            auto read = reads.find(readKey);
            if (read == reads.end())
                read = reads.insert(readKey, attributes(*format, block.blockFormat()));
            inOrder = inOrder && (changed.isEmpty() || changed.last().first.end() <= part.location);
            changed.append({part, *read});
        }
        if (changes.isEmpty())
            continue;
        if (!editing) {
            cursor.beginEditBlock();
            editing = true;
        }
        // Set after the walk: setting a format merges and splits the fragments being walked.
        for (const auto& [part, format] : std::as_const(changes)) {
            cursor.setPosition(part.location);
            cursor.setPosition(part.end(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
    if (!editing)
        return;
    // The characters changed read as they will once the edit is done: the text is brought up to
    // date here, not read again line by line (all of it, after a long paste styled).
    if (inOrder) {
        AttributedString followed = m_text;
        followed.setAttributes(changed);
        m_followed = std::move(followed);
    }
    cursor.endEditBlock();
    // Inside an edit of its caller the document tells of the change when that edit ends; it is
    // then read as any other.
    m_followed.reset();
}

void TextDocumentTextStorage::removeAttribute(const QString& key, TextRange range)
{
    if (lineAttributeNames().contains(key))
        editLines(range, [&key](QVariantMap& line) { line.remove(key); });
    else
        editCharacters(range, [&key](QVariantMap& characters) { characters.remove(key); });
}

void TextDocumentTextStorage::replaceCharacters(TextRange range, const AttributedString& text)
{
    range = clipped(range);
    if (!m_document)
        return;
    const QTextBlock head = m_document->findBlock(range.location);
    const int headStart = head.position();
    const QTextBlockFormat headFormat = head.blockFormat();
    const QTextBlockFormat tailFormat = m_document->findBlock(range.end()).blockFormat();

    QTextCursor cursor(m_document);
    cursor.beginEditBlock();
    cursor.setPosition(range.location);
    cursor.setPosition(range.end(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    text.enumerateAttributes(TextRange {0, text.length()}, [&](const QVariantMap& attributes, TextRange run) {
        const QTextCharFormat format = charFormat(split(attributes, false));
        int chunkStart = run.location;
        for (int i = run.location; i <= run.end(); ++i) {
            const bool atSeparator = i < run.end() && isBlockSeparator(text.string().at(i));
            if (i < run.end() && !atSeparator)
                continue;
            if (i > chunkStart)
                cursor.insertText(text.string().mid(chunkStart, i - chunkStart), format);
            if (atSeparator)
                cursor.insertBlock(QTextBlockFormat(), format);
            chunkStart = i + 1;
        }
    });

    // Each block takes the line attributes of its first character.
    const int newEnd = range.location + text.length();
    for (QTextBlock block = m_document->findBlock(headStart); block.isValid() && block.position() <= newEnd;
         block = block.next()) {
        QTextBlockFormat format;
        if (block.position() < range.location)
            format = headFormat;
        else if (block.position() < newEnd)
            format = blockFormat(split(text.attributes(block.position() - range.location), true));
        else
            format = tailFormat;
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
    cursor.endEditBlock();
}
