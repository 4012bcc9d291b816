// The notes editor's hash tags, their completion, and its developer actions.

#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/card/NotesTextViewDelegate.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NotesTextViewFormatHelper.h"
#include "PelorinsKit/notes/TextAttachment.h"
#include "Platform/core/ConsoleLog.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QSet>
#include <QStringListModel>
#include <QTextBlock>

const QStringList NotesTextView::debugActions {QStringLiteral("showCurrentTypingAttributes:"),
    QStringLiteral("getAllAttributesInSelection:"), QStringLiteral("replaceLinksWithAttachment:"),
    QStringLiteral("testCustomAttachment:"), QStringLiteral("testImageAttachment:"),
    QStringLiteral("testWriteOutImage:"), QStringLiteral("testFindAllChecklists:"),
    QStringLiteral("testFindAllAttachments:"), QStringLiteral("printTagsInCurrentCard:"),
    QStringLiteral("testIdentifyTags:")};

namespace {

QString describeValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    const QJsonDocument document
        = QJsonDocument::fromVariant(value.typeId() == QMetaType::QVariantMap ? value : QVariant(QVariantList {value}));
    QString text = QString::fromUtf8(document.toJson(QJsonDocument::Compact));
    if (value.typeId() != QMetaType::QVariantMap)
        text = text.mid(1, text.size() - 2);
    return text;
}

QString describeRange(TextRange range)
{
    return QStringLiteral("{%1, %2}").arg(range.location).arg(range.length);
}

// Whether a hashtag of the text has exactly this name, found by searching for the name behind
// each hash sign rather than by reading every tag of a long text.
bool textNamesTag(const QString& text, const QString& name)
{
    for (const QString& sign : {QStringLiteral("#"), QStringLiteral("＃"), QStringLiteral("﹟")}) {
        const QString written = sign + name;
        // Every hash sign starts a hashtag: the one here is this name unless more of a name follows.
        for (qsizetype at = text.indexOf(written); at >= 0; at = text.indexOf(written, at + 1)) {
            // Matched in its own line: the expression reads its whole subject first, however long.
            const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), at);
            const QRegularExpressionMatch match
                = hashtagExpression().match(text.mid(at, lineEnd < 0 ? -1 : lineEnd - at), 0,
                    QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
            if (match.hasMatch() && tagName(match) == name)
                return true;
        }
    }
    return false;
}

Tag* boardTagNamed(const QList<Tag*>& tags, const QString& name)
{
    for (Tag* tag : tags)
        if (tag->name() == name)
            return tag;
    return nullptr;
}

} // namespace

void NotesTextView::updateCardTags()
{
    updateCardTags(TextRange {0, m_storage.length()});
}

void NotesTextView::updateCardTags(TextRange lines)
{
    // The names the changed lines held before: a tag of the card named only there may be gone.
    const QSet<QString> namedBefore = std::exchange(m_namesChangedAway, {});
    ListItem* card = m_parentCell ? m_parentCell->objectValue() : nullptr;
    if (!card)
        return;
    const QString text = m_storage.string();
    // The first change of an editing session brings the card's tags in line with the whole text.
    const bool whole = !std::exchange(m_cardTagsFollowText, true) || (lines.location <= 0 && lines.end() >= int(text.size()));
    QStringList names;
    for (const QRegularExpressionMatch& match : identifyTags(whole ? text : text.mid(lines.location, lines.length))) {
        const QString name = tagName(match);
        if (!names.contains(name))
            names.append(name);
    }
    const QList<Tag*> before = card->tags();
    QList<Tag*> tags;
    QStringList removedNames;
    for (Tag* tag : before) {
        // Outside the changed lines a tag is named still unless they named it before; then the
        // rest of the text is searched for it.
        const bool elsewhere = !whole && (!namedBefore.contains(tag->name()) || textNamesTag(text, tag->name()));
        if (names.contains(tag->name()) || elsewhere)
            tags.append(tag);
        else
            removedNames.append(tag->name());
    }
    const bool removed = !removedNames.isEmpty();
    // Tags leave the card first: a tag that falls out of use lends its colour to the tag it grows
    // into.
    if (removed)
        card->setTags(tags);
    if (m_notesDelegate) {
        const QList<Tag*> boardTags = m_notesDelegate->existingTags();
        for (const QString& name : std::as_const(names)) {
            // A lone hash sign names nothing a tag could show or be filtered by.
            if (name.isEmpty())
                continue;
            Tag* tag = boardTagNamed(boardTags, name);
            if (!tag)
                tag = m_parentCell->createTag(name);
            if (tag && !tags.contains(tag))
                tags.append(tag);
        }
    }
    if (tags != card->tags())
        card->setTags(tags);
    // Adding a tag leaves no tag unused; only a removal can, and only of the tags removed. The
    // clean-up reads the board's cards until it finds them.
    if (!removed)
        return;
    if (KanbanColumn* column = card->column()) {
        if (Kanban* kanban = column->kanban())
            kanban->cleanupTags(removedNames, card);
        if (Kanban* kanban = column->mainKanban())
            kanban->cleanupTags(removedNames, card);
    }
}

bool NotesTextView::isTypingHashTag() const
{
    const int caret = textCursor().position();
    if (caret == 0)
        return false;
    // Only the caret's line can hold it: a line feed after the hash sign ends the hashtag.
    const QString text = m_storage.string();
    const qsizetype lineStart = text.lastIndexOf(QLatin1Char('\n'), caret - 1) + 1;
    const QStringView before = QStringView(text).mid(lineStart, caret - lineStart);
    const qsizetype hash = before.lastIndexOf(QLatin1Char('#'));
    return hash >= 0 && before.lastIndexOf(QLatin1Char(' ')) < hash;
}

std::optional<QString> NotesTextView::partialHashTag() const
{
    const int caret = textCursor().position();
    const QString text = m_storage.string();
    const qsizetype hash = caret > 0 ? text.lastIndexOf(QLatin1Char('#'), caret - 1) : -1;
    if (hash < 0)
        return std::nullopt;
    return text.mid(hash + 1, caret - hash - 1);
}

void NotesTextView::complete()
{
    const std::optional<QString> partial = partialHashTag();
    const QStringList candidates = m_parentCell && partial ? m_parentCell->completions() : QStringList();
    if (candidates.isEmpty()) {
        hideCompletions();
        return;
    }
    if (!m_completer) {
        m_completions = new QStringListModel(this);
        m_completer = new QCompleter(m_completions, this);
        m_completer->setWidget(this);
        m_completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
        m_completer->setCaseSensitivity(Qt::CaseInsensitive);
        connect(m_completer, qOverload<const QString&>(&QCompleter::activated), this,
            [this](const QString& word) { insertCompletion(word, m_completionRange, true); });
    }
    const int caret = textCursor().position();
    m_completionRange = TextRange {caret - int(partial->size()), int(partial->size())};
    m_completions->setStringList(candidates);
    QRect under = cursorRect();
    under = QRectF(QPointF(under.topLeft()) * m_scale, QSizeF(under.size()) * m_scale).toRect();
    under.setWidth(std::max(160, m_completer->popup()->sizeHintForColumn(0) + 24));
    m_completer->complete(under);
    // Nothing is chosen until the user picks: the empty first entry is current.
    m_completer->popup()->setCurrentIndex(m_completions->index(0));
}

void NotesTextView::hideCompletions()
{
    if (m_completer)
        m_completer->popup()->hide();
}

void NotesTextView::insertCompletion(const QString& word, TextRange range, bool isFinal)
{
    if (range.location == 0 && range.length == 1)
        range = TextRange {1, 0};
    if (!isFinal || word.isEmpty() || range.end() > m_storage.length())
        return;
    QTextCursor cursor(document());
    cursor.setPosition(range.location);
    cursor.setPosition(range.end(), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    // Typed, as the user would: the tags and the undo step follow.
    typeWithTypingAttributes([&] { textCursor().insertText(word); });
}

void NotesTextView::showCurrentTypingAttributes()
{
    ConsoleLog::write(QStringLiteral("DEBUG: Typing attributes: ") + describeValue(m_typingAttributes));
}

void NotesTextView::getAllAttributesInSelection()
{
    if (!m_formatHelper)
        return;
    for (const TextRange& line : m_formatHelper->getLinesInSelection()) {
        if (line.location >= m_storage.length())
            continue;
        QVariantMap attributes = m_storage.attributedSubstring({line.location, 1}).attributes(0);
        attributes.remove(AttributeKey::attachment);
        ConsoleLog::write(QStringLiteral("attrs at this line is ") + describeValue(attributes)
            + QStringLiteral(", range ") + describeRange(line));
    }
}

void NotesTextView::replaceLinksWithAttachment()
{
    if (!m_formatHelper)
        return;
    // Reads each line's link and changes nothing: links stay as they are.
    for (const TextRange& line : m_formatHelper->getLinesInSelection())
        if (line.location < m_storage.length())
            m_storage.attribute(AttributeKey::link, line.location);
}

void NotesTextView::testCustomAttachment()
{
    // Collects the attachments and changes nothing.
    m_storage.attachmentRanges();
}

void NotesTextView::testImageAttachment()
{
    const std::optional<QString> pictures = PictureFolders::attachmentPicturesFolderURL();
    QFile file(pictures ? QDir(*pictures).filePath(QStringLiteral("IMG_1049.PNG")) : QString());
    const QByteArray contents = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (contents.isEmpty()) {
        ConsoleLog::write(QStringLiteral("Could not attach the image attachment"));
        return;
    }
    TextAttachment attachment;
    attachment.fileWrapper = TextAttachment::FileWrapper {QStringLiteral("IMG_1049.PNG"), contents};
    AttributedString picture = AttributedString::withAttachment(attachment);
    picture.addAttributes({{AttributeKey::filename, QStringLiteral("crazyFile")},
                              {AttributeKey::fileFolderUUID, QStringLiteral("Folder name")}},
        {0, 1});
    runStep(addAttachmentActionName, [&] { m_storage.append(picture); });
}

void NotesTextView::testWriteOutImage()
{
    // Looks the card up and changes nothing.
    if (m_parentCell)
        m_parentCell->objectValue();
}

void NotesTextView::testFindAllChecklists()
{
    QList<std::pair<TextRange, QVariant>> runs;
    const AttributedString text = m_storage.attributedString();
    text.enumerateAttribute(
        AttributeKey::isChecklistChecked, {0, text.length()}, [&](const QVariant& value, TextRange run) {
            if (value.isValid())
                runs.append({run, value});
        });
    ConsoleLog::write(QStringLiteral("Found %1 checklists").arg(runs.size()));
    for (const auto& [run, value] : std::as_const(runs))
        ConsoleLog::write(
            QStringLiteral("Range: ") + describeRange(run) + QStringLiteral(", value: ") + describeValue(value));
}

void NotesTextView::testFindAllAttachments()
{
    for (const TextRange& range : m_storage.attachmentRanges()) {
        const TextAttachment attachment
            = m_storage.attribute(AttributeKey::attachment, range.location).value<TextAttachment>();
        ConsoleLog::write(QStringLiteral("Text attachment found, type is ") + attachment.fileType);
        if (attachment.fileWrapper && !QImage::fromData(attachment.fileWrapper->contents).isNull())
            ConsoleLog::write(QStringLiteral("attachment has image"));
        if (attachment.fileWrapper)
            ConsoleLog::write(QStringLiteral("attachment has file wrapper"));
        ConsoleLog::write(QStringLiteral("get attachment link data: ")
            + describeValue(m_storage.attribute(AttributeKey::attachmentLinkData, range.location)));
    }
}

void NotesTextView::printTagsInCurrentCard()
{
    ListItem* card = m_parentCell ? m_parentCell->objectValue() : nullptr;
    if (!card)
        return;
    for (const Tag* tag : card->tags())
        ConsoleLog::write(tag->name());
}

void NotesTextView::testIdentifyTags() { }

void NotesTextView::styleTags()
{
    styleTags(TextRange {0, m_storage.length()});
}

void NotesTextView::styleTags(TextRange lines)
{
    QHash<QString, int> colours;
    if (m_notesDelegate) {
        for (const Tag* tag : m_notesDelegate->existingTags())
            if (!colours.contains(tag->name()))
                colours.insert(tag->name(), int(tag->colour()));
    }
    const QList<std::pair<TextRange, QVariantMap>> edits = hashtagStyles(*document(), lines, colours);
    // One edit for them all: the document is laid out once, and tags styled already stay as they are.
    if (!edits.isEmpty())
        runProgrammaticChange([&] { m_storage.addCharacterAttributes(edits); });
    applyExtraSelections();
}

QList<std::pair<TextRange, QVariantMap>> NotesTextView::hashtagStyles(
    const QTextDocument& document, TextRange lines, const QHash<QString, int>& tagColours)
{
    const TagColourLookup colourOf = [&tagColours](const QString& name) -> std::optional<int> {
        const auto found = tagColours.constFind(name);
        return found == tagColours.cend() ? std::nullopt : std::optional<int>(*found);
    };
    // Most tags of a note look alike: the same name on lines of the same style.
    QHash<std::pair<QString, QString>, QVariantMap> looks;
    QList<std::pair<TextRange, QVariantMap>> edits;
    const int end = std::max(lines.end(), lines.location + 1);
    for (QTextBlock block = document.findBlock(lines.location); block.isValid() && block.position() < end;
         block = block.next()) {
        const QString text = block.text();
        if (!text.contains(QLatin1Char('#')) && !text.contains(QChar(u'＃')) && !text.contains(QChar(u'﹟')))
            continue;
        const QVariant style = TextDocumentTextStorage::attributes(QTextCharFormat(), block.blockFormat())
                                   .value(AttributeKey::noteStyleName);
        for (const QRegularExpressionMatch& match : identifyTags(text)) {
            const QString name = tagName(match);
            const std::pair<QString, QString> kind {name,
                style.typeId() == QMetaType::QString ? QLatin1Char('=') + style.toString() : QString()};
            auto look = looks.find(kind);
            if (look == looks.end())
                look = looks.insert(kind, hashtagAttributes(name, colourOf, style));
            edits.append({TextRange {block.position() + int(match.capturedStart()), int(match.capturedLength())}, *look});
        }
    }
    return edits;
}
