#include "Pelorins/card/NotesTextView.h"

#include "Pelorins/card/ListItemCellDelegate.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/common/AppConstants.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/NotesDocumentLayout.h"
#include "PelorinsKit/notes/NotesTextViewFormatHelper.h"

#include <QAbstractTextDocumentLayout>
#include <QDesktopServices>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextFrame>

const QString NotesTextView::formatAsTitleAction = QStringLiteral("formatSelectionAsTitle:");
const QString NotesTextView::formatAsHeaderAction = QStringLiteral("formatSelectionAsHeader:");
const QString NotesTextView::formatAsBodyAction = QStringLiteral("formatSelectionAsBody:");
const QString NotesTextView::cutAction = QStringLiteral("cut:");
const QString NotesTextView::copyAction = QStringLiteral("copy:");
const QString NotesTextView::pasteAction = QStringLiteral("paste:");
const QString NotesTextView::formatAsTitleIdentifier = QStringLiteral("formatAsTitle");
const QString NotesTextView::formatAsHeaderIdentifier = QStringLiteral("formatAsHeader");
const QString NotesTextView::formatAsBodyIdentifier = QStringLiteral("formatAsBody");
const QString NotesTextView::cutIdentifier = QStringLiteral("MenuItemCut");
const QString NotesTextView::copyIdentifier = QStringLiteral("MenuItemCopy");
const QString NotesTextView::pasteIdentifier = QStringLiteral("MenuItemPaste");
const QString NotesTextView::makeChecklistAction = QStringLiteral("makeChecklist:");
const QString NotesTextView::addAttachmentAction = QStringLiteral("addAttachment:");
const QString NotesTextView::makeChecklistIdentifier = QStringLiteral("formatAsChecklist");
const QString NotesTextView::toggleChecklistActionName = QStringLiteral("Toggle Checklist");
const QString NotesTextView::addAttachmentActionName = QStringLiteral("Add Attachment");
const QString NotesTextView::pasteTextActionName = QStringLiteral("Paste Text");
const QString NotesTextView::attributedStringType = QStringLiteral("application/x-pelorins-attributed-string");
const QString NotesTextView::columnDataType = columnDataPasteboardType;
const QString NotesTextView::cardDataType = cardDataPasteboardType;

namespace {

const QRegularExpression& webAddressExpression()
{
    static const QRegularExpression expression(QStringLiteral("\\b(?:https?://|www\\.)[^\\s<>\"]+[^\\s<>\".,;:!?)\\]]"),
        QRegularExpression::CaseInsensitiveOption);
    return expression;
}

// The editor lays its lines out only as far as it shows them; its caret keeps the width the
// editor gave it.
NotesDocumentLayout* laidOutAsNotes(QTextDocument* document)
{
    const QVariant caretWidth = document->documentLayout()->property("cursorWidth");
    auto* layout = new NotesDocumentLayout(document);
    document->setDocumentLayout(layout);
    layout->setProperty("cursorWidth", caretWidth);
    return layout;
}

} // namespace

NotesTextView::NotesTextView(QWidget* parent)
    : QTextEdit(parent)
    , m_layout(laidOutAsNotes(document()))
    , m_storage(document())
    , m_urlOpener([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
}

NotesTextView::~NotesTextView() = default;

void NotesTextView::setUpDocument(QTextDocument& document)
{
    document.setUndoRedoEnabled(false);
    document.setDocumentMargin(0);
    document.setDefaultFont(systemFontOfSize(12, QFont::Normal));
    QTextFrameFormat root = document.rootFrame()->frameFormat();
    root.setLeftMargin(lineFragmentPadding);
    root.setRightMargin(lineFragmentPadding);
    root.setTopMargin(verticalInset);
    root.setBottomMargin(verticalInset);
    document.rootFrame()->setFrameFormat(root);
}

void NotesTextView::setParentListItemCellView(ListItemCellView* cell)
{
    m_parentCell = cell;
    m_layout->setLaidOutHeight(shownHeight());
}

void NotesTextView::setup()
{
    m_formatHelper = std::make_unique<NotesTextViewFormatHelper>(*this);
    m_storage.setLinesChangedHandler([this](TextRange lines, const QString& before) {
        // Lines whose characters stayed (a style changed) take no name away.
        if (QStringView(m_storage.string()).mid(lines.location, lines.length) == before)
            return;
        m_textChanged = true;
        for (const QRegularExpressionMatch& match : identifyTags(before))
            m_namesChangedAway.insert(tagName(match));
    });
    setUpDocument(*document());
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    viewport()->setCursor(Qt::ArrowCursor);
    setTypingAttributes(normalAttributes());
    // The host sizes the editor to its text; keeping the caret in view must never scroll it:
    // sideways past something wider than the lines (a picture, a link card), which would cut
    // every line at the left edge, nor down in a zoomed editor, shorter than its full-size text.
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, [bar](int value) {
            if (value != 0)
                bar->setValue(0);
        });

    connect(this, &QTextEdit::cursorPositionChanged, this, [this] {
        const int old = m_lastCaret;
        m_lastCaret = textCursor().position();
        // Keys that only move the caret are not typing.
        const bool byTyping = m_typing && m_changedWhileTyping;
        if (!byTyping && !inProgrammaticChange()) {
            QVariantMap attributes = attributesAtCaret();
            if (!attributes.isEmpty())
                m_typingAttributes = m_parentCell ? m_parentCell->shouldChangeTypingAttributes(attributes) : attributes;
        }
        emit selectionMoved(old, byTyping || inProgrammaticChange());
    });
    connect(this, &QTextEdit::selectionChanged, this, [this] {
        if (!m_typing)
            updateAttachmentSelection();
    });
    connect(document(), &QTextDocument::contentsChange, this, [this](int from, int removed, int added) {
        followChange(from, removed, added);
        hideLinesBelowShown(from, added);
        keepShapesOfChangedLines(from, added);
        if (inProgrammaticChange() || (removed == 0 && added == 0))
            return;
        if (m_typing)
            m_changedWhileTyping = true;
        else
            m_userChangePending = true;
    });
    // Reported once the document is done with the change: edits made in answer to it while it
    // is still telling of it would be told to no one.
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (std::exchange(m_userChangePending, false))
            reportUserChange();
    });
}

void NotesTextView::followChange(int from, int removed, int added)
{
    // What the user changed keeps its place through every change; a change of the user's joins it.
    if (m_changed) {
        const int shift = added - removed;
        const int start = m_changed->location;
        const int end = m_changed->end();
        const int movedStart = start <= from ? start : (start >= from + removed ? start + shift : from);
        const int movedEnd = end < from ? end : (end >= from + removed ? end + shift : from + added);
        m_changed = TextRange {movedStart, std::max(0, movedEnd - movedStart)};
    }
    if (inProgrammaticChange() || (removed == 0 && added == 0))
        return;
    if (!m_changed) {
        m_changed = TextRange {from, added};
        return;
    }
    const int start = std::min(m_changed->location, from);
    const int end = std::max(m_changed->end(), from + added);
    m_changed = TextRange {start, end - start};
}

std::optional<TextRange> NotesTextView::takeChangedLines()
{
    const std::optional<TextRange> changed = std::exchange(m_changed, std::nullopt);
    if (!changed)
        return std::nullopt;
    const int length = m_storage.length();
    const QTextBlock first = document()->findBlock(std::clamp(changed->location, 0, length));
    const QTextBlock last = document()->findBlock(std::clamp(changed->end(), 0, length));
    const int start = first.position();
    const int end = std::min(last.position() + last.length(), length);
    return TextRange {start, std::max(0, end - start)};
}

void NotesTextView::reportUserChange()
{
    emit textChangedByUser();
}

void NotesTextView::runProgrammaticChange(const std::function<void()>& change)
{
    ++m_programmaticDepth;
    change();
    --m_programmaticDepth;
}

void NotesTextView::updateEditingState()
{
    m_cardTagsFollowText = false;
    if (m_isFirstResponder && m_parentCell) {
        ListItem* card = m_parentCell->objectValue();
        if (!m_parentCell->fullTextSet() && card) {
            if (const std::optional<AttributedString> notes = m_parentCell->notesOfCard()) {
                m_parentCell->setCheckForExpantion(false);
                runProgrammaticChange([&] { m_storage.setAttributedString(*notes); });
                m_parentCell->setFullTextSet(true);
            }
        }
        if (m_parentCell->delegate() && card) {
            m_parentCell->delegate()->selectItem(card);
            if (m_storage.length() == 0)
                setTypingAttributes(titleAttributes());
        }
    }
    if (m_parentCell)
        m_parentCell->setEditingButtonsVisible(m_isFirstResponder);
}

void NotesTextView::detectLinks()
{
    detectLinks(TextRange {0, m_storage.length()});
}

void NotesTextView::detectLinks(TextRange lines)
{
    // Addresses never go past the end of a line.
    const QString text = m_storage.string();
    const int from = std::clamp(lines.location, 0, int(text.size()));
    QRegularExpressionMatchIterator matches = webAddressExpression().globalMatch(
        QStringView(text).mid(from, std::clamp(lines.length, 0, int(text.size()) - from)));
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const TextRange range {from + int(match.capturedStart()), int(match.capturedLength())};
        QString address = match.captured();
        if (address.startsWith(QStringLiteral("www."), Qt::CaseInsensitive))
            address.prepend(QStringLiteral("https://"));
        // An address typed on keeps growing: its link follows it.
        const QVariant first = m_storage.attribute(AttributeKey::link, range.location);
        const QVariant last = m_storage.attribute(AttributeKey::link, range.end() - 1);
        if (first.toUrl() == QUrl(address) && last.toUrl() == QUrl(address))
            continue;
        runProgrammaticChange([&] { m_storage.addAttributes({{AttributeKey::link, QUrl(address)}}, range); });
    }
}

void NotesTextView::runStep(const QString& name, const std::function<void()>& change)
{
    if (m_parentCell)
        m_parentCell->runNamedStep(name, change);
    else
        runProgrammaticChange(change);
}

TextRange NotesTextView::lineRange(int position) const
{
    const QTextBlock block = document()->findBlock(position);
    const bool last = !block.next().isValid();
    return TextRange {block.position(), last ? block.length() - 1 : block.length()};
}

QVariantMap NotesTextView::attributesAtCaret() const
{
    const QTextCursor cursor = textCursor();
    const int length = m_storage.length();
    if (length == 0)
        return {};
    int position = cursor.hasSelection() ? cursor.selectionStart() : cursor.position();
    // At the start of a line the line's own first character types on; elsewhere the one before.
    const bool lineStart = position == cursor.document()->findBlock(position).position();
    if (!(lineStart && position < length) && position > 0)
        --position;
    position = std::clamp(position, 0, length - 1);
    return m_storage.attributedSubstring({position, 1}).attributes(0);
}

NoteTextStorage* NotesTextView::textStorage() const
{
    return const_cast<TextDocumentTextStorage*>(&m_storage);
}

QString NotesTextView::string() const
{
    return m_storage.string();
}

QList<TextRange> NotesTextView::selectedRanges() const
{
    const QTextCursor cursor = textCursor();
    return {TextRange {cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()}};
}

void NotesTextView::setSelectedRanges(const QList<TextRange>& ranges)
{
    if (ranges.isEmpty())
        return;
    const int length = m_storage.length();
    QTextCursor cursor(document());
    cursor.setPosition(std::clamp(ranges.first().location, 0, length));
    cursor.setPosition(std::clamp(ranges.first().end(), 0, length), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void NotesTextView::setTypingAttributes(const QVariantMap& attributes)
{
    m_typingAttributes = attributes;
}

void NotesTextView::updateCellHeight()
{
    updateGeometry();
    if (m_parentCell)
        m_parentCell->updateCellHeight(false);
}
