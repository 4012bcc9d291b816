#include "Pelorins/card/NotesTextView.h"

#include "Pelorins/card/CalendarEventLink.h"
#include "Pelorins/card/ChecklistButton.h"
#include "Pelorins/card/ListItemCellDelegate.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextViewDelegate.h"
#include "Pelorins/card/PrintableCheckButton.h"
#include "Pelorins/common/AppConstants.h"
#include "Pelorins/common/ColourHelpers.h"
#include "PelorinsKit/archive/AttributedStringDictionary.h"
#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/NoteAttachments.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/NotesTextViewFormatHelper.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "PelorinsKit/notes/TextAttachmentObject.h"
#include "PelorinsKit/notes/TextMeasures.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/CalendarEvent.h"
#include "Platform/services/FileBookmark.h"
#include "Platform/services/MailMessageHeaders.h"
#include "Platform/widgets/FileDialogPanelPresenter.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPainter>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextFrame>
#include <QUuid>
#include <QtMath>
#include <cmath>
#include <limits>

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

const QString titleStyle = QStringLiteral("title");
const QString headerStyle = QStringLiteral("header");
const QString bodyStyle = QStringLiteral("body");

// The line keys and the character keys of a set of attributes.
QVariantMap split(const QVariantMap& attributes, bool lineLevel)
{
    QVariantMap part;
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
        if (TextDocumentTextStorage::lineAttributeNames().contains(it.key()) == lineLevel)
            part.insert(it.key(), it.value());
    return part;
}

bool pasteboardHoldsCardsOrColumns()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && (data->hasFormat(NotesTextView::columnDataType) || data->hasFormat(NotesTextView::cardDataType));
}

// The dash that stands for a mixed menu state.
QIcon mixedStateIcon()
{
    QPixmap dash(16, 16);
    dash.fill(Qt::transparent);
    QPainter painter(&dash);
    painter.fillRect(QRectF(4, 7, 8, 2), QApplication::palette().color(QPalette::Text));
    return QIcon(dash);
}

// Our own rich text on the pasteboard is read only up to this size.
constexpr qsizetype maximumPastedBytes = 16 * 1024 * 1024;
const QString mailMessageType = QStringLiteral("message/rfc822");

bool isMailFile(const QString& path)
{
    return path.endsWith(QStringLiteral(".eml"), Qt::CaseInsensitive)
        || QMimeDatabase().mimeTypeForFile(path).inherits(mailMessageType);
}

bool isPictureFile(const QString& path)
{
    return QMimeDatabase()
        .mimeTypeForFile(path, QMimeDatabase::MatchExtension)
        .name()
        .startsWith(QStringLiteral("image/"));
}

// Whether the bytes decode as a picture. They are decoded small: a JPEG reader then skips most
// of the work of the full size, which takes long for a photo and is never shown (the notes show
// the picture decoded at the size it is drawn).
bool decodesAsPicture(const QByteArray& bytes)
{
    constexpr int side = 64;
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return false;
    if (size.width() > side || size.height() > side)
        reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    return !reader.read().isNull();
}

QString describe(const QVariant& value)
{
    return QString::fromUtf8(QJsonDocument::fromVariant(value).toJson(QJsonDocument::Compact));
}

const QRegularExpression& webAddressExpression()
{
    static const QRegularExpression expression(QStringLiteral("\\b(?:https?://|www\\.)[^\\s<>\"]+[^\\s<>\".,;:!?)\\]]"),
        QRegularExpression::CaseInsensitiveOption);
    return expression;
}

} // namespace

NotesTextView::NotesTextView(QWidget* parent)
    : QTextEdit(parent)
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

qreal NotesTextView::shownHeight() const
{
    // A card shows its notes as far as the column measures them; an editor without one all of them.
    return m_parentCell ? heightToFitContainer + verticalInset : std::numeric_limits<qreal>::infinity();
}

int NotesTextView::shownLength() const
{
    const qreal shown = shownHeight();
    if (std::isinf(shown))
        return m_storage.length();
    showEnoughLines();
    // Blocks are laid out as far as they are asked for, never further.
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        if (!block.isVisible() || layout->blockBoundingRect(block).top() > shown)
            return block.position();
    return m_storage.length();
}

void NotesTextView::hideLinesBelowShown(int from, int added)
{
    // Told before the layout hears of the change. Qt's layout walks every line after a change,
    // however far below: in a card, lines far below what it shows are hidden from it, so that a
    // keystroke costs what its line costs. The first lines stay shown, enough of them to reach
    // past the card's foot (showEnoughLines).
    const int blocks = document()->blockCount();
    const int blocksBefore = std::exchange(m_blockCount, blocks);
    if (std::isinf(shownHeight()) || (blocks <= m_shownBlocks && blocksBefore <= m_shownBlocks))
        return;
    // Lines moved across the limit by lines added or removed above it, and the lines changed.
    const int moved = std::abs(blocks - blocksBefore);
    const int changedFrom = document()->findBlock(from).blockNumber();
    const int changedTo = document()->findBlock(std::min(from + added, document()->characterCount() - 1)).blockNumber();
    const int first = std::max(0, std::min(changedFrom, m_shownBlocks - moved));
    const int last = std::max(changedTo, m_shownBlocks + moved);
    // Lines coming into view were never laid out: the layout is told to lay them out with the change.
    int shownFrom = -1;
    int shownTo = -1;
    for (QTextBlock block = document()->findBlockByNumber(first); block.isValid() && block.blockNumber() <= last;
         block = block.next()) {
        const bool visible = block.blockNumber() < m_shownBlocks;
        if (visible && !block.isVisible()) {
            if (shownFrom < 0)
                shownFrom = block.position();
            shownTo = block.position() + block.length();
        }
        block.setVisible(visible);
    }
    if (shownFrom >= 0) {
        ++m_programmaticDepth;
        document()->markContentsDirty(shownFrom, std::min(shownTo, document()->characterCount()) - shownFrom);
        --m_programmaticDepth;
    }
}

void NotesTextView::showEnoughLines() const
{
    if (std::isinf(shownHeight()))
        return;
    if (m_shownBlocks >= document()->blockCount())
        return;
    const QTextBlock last = document()->findBlockByNumber(m_shownBlocks - 1);
    if (last.isVisible() && document()->documentLayout()->blockBoundingRect(last).top() > shownHeight())
        return;
    // Lines lower than usual (pictures, small type): twice as many are shown, once a call, as the
    // layout may not have heard of the last change yet.
    const QTextBlock first = last.next();
    m_shownBlocks *= 2;
    QTextBlock block = first;
    for (; block.isValid() && block.blockNumber() < m_shownBlocks; block = block.next())
        block.setVisible(true);
    const int end = block.isValid() ? block.position() : document()->characterCount();
    ++m_programmaticDepth;
    document()->markContentsDirty(first.position(), end - first.position());
    --m_programmaticDepth;
}

int NotesTextView::intrinsicHeight() const
{
    // The bottom of the last line shown, as heightToFit measures it: without the spacing after
    // the last paragraph. Lines below are not laid out for it.
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const qreal shown = shownHeight();
    showEnoughLines();
    qreal bottom = verticalInset;
    for (QTextBlock block = document()->begin(); block.isValid() && block.isVisible(); block = block.next()) {
        const qreal top = layout->blockBoundingRect(block).top();
        if (top > shown)
            break;
        const QTextLayout* lines = block.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const qreal lineBottom = top + line.y() + line.height();
            if (lineBottom > shown)
                break;
            bottom = std::max(bottom, lineBottom);
        }
    }
    return std::max(qCeil(bottom + verticalInset), minimumHeight);
}

QSize NotesTextView::sizeHint() const
{
    return QSize(QTextEdit::sizeHint().width(), qCeil(intrinsicHeight() * m_scale));
}

void NotesTextView::setScale(qreal scale)
{
    if (scale == m_scale || !(scale > 0))
        return;
    m_scale = scale;
    if (m_scale == 1.0) {
        setLineWrapMode(QTextEdit::WidgetWidth);
    } else {
        setLineWrapMode(QTextEdit::FixedPixelWidth);
        setLineWrapColumnOrWidth(qRound(viewport()->width() / m_scale));
    }
    layoutCheckButtons();
    updateGeometry();
    viewport()->update();
}

void NotesTextView::resizeEvent(QResizeEvent* event)
{
    QTextEdit::resizeEvent(event);
    if (m_scale != 1.0)
        setLineWrapColumnOrWidth(qRound(viewport()->width() / m_scale));
    // Lines wrap anew at another width, and their boxes follow them.
    if (event->size().width() != event->oldSize().width())
        layoutCheckButtons();
}

QMouseEvent NotesTextView::unzoomed(const QMouseEvent* event) const
{
    return QMouseEvent(event->type(), event->position() / m_scale, event->scenePosition(), event->globalPosition(),
        event->button(), event->buttons(), event->modifiers(), event->pointingDevice());
}

void NotesTextView::keepShapesOfChangedLines(int from, int added)
{
    // Told before the layout hears of the change: the lines a card shows keep the glyphs their
    // layout shapes, so that their first paint shapes none again. An editor without a card shows
    // all of its lines, and they keep theirs as they are painted.
    if (std::isinf(shownHeight()))
        return;
    for (QTextBlock block = document()->findBlock(from);
         block.isValid() && block.blockNumber() < m_shownBlocks && block.position() <= from + added; block = block.next())
        if (QTextLayout* lines = block.layout(); !lines->cacheEnabled())
            lines->setCacheEnabled(true);
}

void NotesTextView::keepShapesOfLinesIn(const QRect& area) const
{
    // Qt shapes a line's text again for every paint unless its block keeps the glyphs: a card
    // repainted on each keystroke shaped every line it shows each time. Only the lines painted
    // keep them, so a long note costs what it shows.
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const qreal bottom = (area.bottom() + 1) / m_scale + verticalScrollBar()->value();
    for (QTextBlock block = document()->begin(); block.isValid() && block.isVisible(); block = block.next()) {
        if (layout->blockBoundingRect(block).top() > bottom)
            break;
        if (QTextLayout* lines = block.layout(); !lines->cacheEnabled())
            lines->setCacheEnabled(true);
    }
}

void NotesTextView::paintEvent(QPaintEvent* event)
{
    keepShapesOfLinesIn(event->rect());
    if (m_scale == 1.0) {
        QTextEdit::paintEvent(event);
        return;
    }
    paintZoomed(event);
}

void NotesTextView::paintZoomed(QPaintEvent* event)
{
    // The document drawn as the editor draws it, under the zoom: text, selection, extra
    // selections and, while editing, the caret.
    QPainter painter(viewport());
    painter.scale(m_scale, m_scale);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.clip = QRectF(event->rect()).adjusted(-1, -1, 1, 1);
    context.clip = QRectF(context.clip.topLeft() / m_scale, context.clip.size() / m_scale);
    for (const QTextEdit::ExtraSelection& extra : extraSelections())
        context.selections.append({extra.cursor, extra.format});
    const QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        QTextCharFormat selected;
        selected.setBackground(palette().brush(QPalette::Highlight));
        selected.setForeground(palette().brush(QPalette::HighlightedText));
        context.selections.append({cursor, selected});
    }
    if (hasFocus() && !isReadOnly())
        context.cursorPosition = cursor.position();
    painter.setClipRect(context.clip);
    document()->documentLayout()->draw(&painter, context);
}

QVariant NotesTextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const QVariant value = QTextEdit::inputMethodQuery(query);
    if (m_scale != 1.0 && value.typeId() == QMetaType::QRectF) {
        const QRectF rect = value.toRectF();
        return QRectF(rect.topLeft() * m_scale, rect.size() * m_scale);
    }
    return value;
}

void NotesTextView::format(const QVariantMap& attributes)
{
    if (!m_formatHelper)
        return;
    const auto restyle = [&] { m_formatHelper->format(attributes); };
    if (m_parentCell)
        m_parentCell->runNamedStep(NotesTextViewFormatHelper::styleChangeActionName, restyle);
    else
        runProgrammaticChange(restyle);
}

void NotesTextView::formatSelectionAsTitle()
{
    format(titleAttributes());
}

void NotesTextView::formatSelectionAsHeader()
{
    format(headerAttributes());
}

void NotesTextView::formatSelectionAsBody()
{
    format(normalAttributes());
}

void NotesTextView::setSearchHighlights(const QList<TextRange>& ranges)
{
    m_searchHighlights = ranges;
    applyExtraSelections();
}

void NotesTextView::setTextBackground(const std::optional<QColor>& background)
{
    if (background == m_textBackground)
        return;
    m_textBackground = background;
    applyExtraSelections();
}

QColor NotesTextView::drawnTagColour(int position) const
{
    const QColor held = m_storage.attribute(AttributeKey::foregroundColor, position).value<QColor>();
    return m_textBackground && held.isValid() ? readableOn(held, *m_textBackground) : held;
}

QRegion NotesTextView::hashtagRegion() const
{
    QRegion region;
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const QPoint viewportOffset = viewport()->pos();
    for (const QRegularExpressionMatch& match : identifyTags(m_storage.string().left(shownLength()))) {
        const int start = int(match.capturedStart());
        const int end = int(match.capturedEnd());
        const QTextBlock block = document()->findBlock(start);
        const QTextLayout* lines = block.layout();
        if (!lines)
            continue;
        const QPointF blockTop = layout->blockBoundingRect(block).topLeft();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const int from = std::max(start - block.position(), line.textStart());
            const int to = std::min(end - block.position(), line.textStart() + line.textLength());
            if (from >= to)
                continue;
            const qreal left = line.cursorToX(from);
            const qreal right = line.cursorToX(to);
            const QRectF drawn(blockTop.x() + std::min(left, right), blockTop.y() + line.y(), std::abs(right - left),
                line.height());
            region += QRectF(drawn.topLeft() * m_scale, drawn.size() * m_scale).toAlignedRect().translated(viewportOffset);
        }
    }
    return region;
}

void NotesTextView::applyExtraSelections()
{
    QList<ExtraSelection> selections;
    // Hashtags in a colour that stands out from the card, as far down as it shows them.
    if (m_textBackground) {
        for (const QRegularExpressionMatch& match : identifyTags(m_storage.string().left(shownLength()))) {
            // A tag readable in its own colour is drawn by its text; one drawn over costs a
            // clipped second drawing of its line at every paint.
            const int start = int(match.capturedStart());
            const QColor drawn = drawnTagColour(start);
            if (drawn == m_storage.attribute(AttributeKey::foregroundColor, start).value<QColor>())
                continue;
            ExtraSelection selection;
            selection.cursor = QTextCursor(document());
            selection.cursor.setPosition(start);
            selection.cursor.setPosition(int(match.capturedEnd()), QTextCursor::KeepAnchor);
            selection.format.setForeground(drawn);
            selections.append(selection);
        }
    }
    for (const TextRange& range : m_searchHighlights) {
        ExtraSelection selection;
        selection.cursor = QTextCursor(document());
        selection.cursor.setPosition(range.location);
        selection.cursor.setPosition(range.end(), QTextCursor::KeepAnchor);
        selection.format.setBackground(QColor(Qt::yellow));
        selections.append(selection);
    }
    setExtraSelections(selections);
}

TextAttachmentObject* NotesTextView::attachmentObject() const
{
    return dynamic_cast<TextAttachmentObject*>(
        document()->documentLayout()->handlerForObject(TextAttachmentObject::objectType));
}

void NotesTextView::updateAttachmentSelection()
{
    const QTextCursor cursor = textCursor();
    const TextRange selected {cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
    if (TextAttachmentObject* attachments = attachmentObject())
        attachments->setHighlightedRange(selected);
    highlightAttachmentCells(selected);
    if (m_selectedCellRange)
        highlightAttachmentCells(*m_selectedCellRange);
    m_selectedCellRange = selected;
}

void NotesTextView::highlightAttachmentCells(TextRange range)
{
    if (range.location > m_storage.length())
        return;
    // Only attachments draw a highlight, so only lines holding one need drawing again.
    for (const TextRange& attachment : m_storage.attachmentRanges()) {
        if (attachment.location >= range.location && attachment.location <= range.end()) {
            document()->markContentsDirty(attachment.location, attachment.length);
        }
    }
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

QList<std::pair<TextRange, bool>> NotesTextView::checklistLines(int end) const
{
    return checklistLines(*document(), end);
}

QList<std::pair<TextRange, bool>> NotesTextView::checklistLines(const QTextDocument& document, int end)
{
    QList<std::pair<TextRange, bool>> lines;
    const int length = document.characterCount() - 1;
    for (QTextBlock block = document.begin(); block.isValid() && block.position() < end; block = block.next()) {
        const bool last = !block.next().isValid();
        const TextRange line {block.position(), last ? block.length() - 1 : block.length()};
        // The empty last line after a final line break is no line of the text; only an empty
        // note made a checklist has a box on it.
        if (line.length == 0 && length > 0)
            continue;
        const QVariant checked = TextDocumentTextStorage::attributes(QTextCharFormat(), block.blockFormat())
                                     .value(AttributeKey::isChecklistChecked);
        if (checked.typeId() == QMetaType::Bool)
            lines.append({line, checked.toBool()});
    }
    return lines;
}

QRect NotesTextView::checkBoxFrame(const QTextDocument& document, int linePosition, qreal scale)
{
    const QTextBlock block = document.findBlock(linePosition);
    // Lines are placed only once laid out.
    const QRectF blockRect = document.documentLayout()->blockBoundingRect(block);
    const QTextLayout* lines = block.layout();
    const qreal lineTop = blockRect.top() + (lines && lines->lineCount() > 0 ? lines->lineAt(0).y() : 0);
    return QRectF(10 * scale, (lineTop - 1) * scale, ChecklistButton::defaultWidth * scale,
        ChecklistButton::defaultWidth * scale)
        .toRect();
}

void NotesTextView::makeChecklist()
{
    if (!m_formatHelper)
        return;
    runStep(NotesTextViewFormatHelper::styleChangeActionName, [this] {
        if (m_storage.length() == 0) {
            // An empty note: its one line becomes the checklist line, without a line feed.
            setTypingAttributes(checkListAttributes());
            applyTypingLineAttributesToEmptyBlock();
            layoutCheckButtons();
            return;
        }
        if (!m_typingAttributes.contains(AttributeKey::isChecklistChecked))
            ensureTrailingNewline();
        m_formatHelper->format(checkListAttributes());
    });
}

void NotesTextView::ensureTrailingNewline()
{
    const QList<TextRange> selection = selectedRanges();
    const QString text = m_storage.string();
    for (const TextRange& range : selection) {
        if (range.location == text.size() && !text.isEmpty() && text.back() == QLatin1Char('\n')) {
            m_storage.append(AttributedString(QStringLiteral("\n")));
            setSelectedRanges(selection);
            return;
        }
    }
}

void NotesTextView::layoutCheckButtons()
{
    // A collapsed card keeps its boxes.
    if (m_parentCell && m_parentCell->objectValue() && !m_parentCell->objectValue()->notesExpanded().value_or(true))
        return;
    // An editor never shown (one without a card) has its size, but lays its lines out at its width
    // only once shown: here they are laid out at that width first.
    if (!isVisible()) {
        if (testAttribute(Qt::WA_PendingResizeEvent)) {
            setAttribute(Qt::WA_PendingResizeEvent, false);
            QResizeEvent pending(size(), QSize());
            QCoreApplication::sendEvent(this, &pending);
        }
        const int width = lineWrapMode() == QTextEdit::FixedPixelWidth ? lineWrapColumnOrWidth() : viewport()->width();
        if (document()->pageSize().width() != width)
            document()->setPageSize(QSizeF(width, -1));
    }
    int placed = 0;
    // Boxes go beside the lines shown; those below are neither laid out nor given one.
    const int shown = std::max(shownLength(), 1);
    for (const auto& [line, checked] : checklistLines(shown)) {
        const QRect frame = checkBoxFrame(*document(), line.location, m_scale);
        QAbstractButton* button = placed < m_checkButtons.size() ? m_checkButtons.at(placed) : nullptr;
        if (!button) {
            if (m_parentCell) {
                auto* box = new ChecklistButton(viewport());
                connect(box, &ChecklistButton::checkUncheckLine, this, &NotesTextView::checkUncheckLine);
                button = box;
            } else {
                button = new PrintableCheckButton(viewport());
            }
            m_checkButtons.append(button);
        }
        if (auto* box = qobject_cast<ChecklistButton*>(button)) {
            if (box->state() != int(checked))
                box->setState(int(checked));
            box->setTag(placed);
            // A screen reader reads the box as its line; the box says whether it is ticked.
            box->setAccessibleName(string().mid(line.location, line.length).trimmed());
        } else if (auto* box = qobject_cast<PrintableCheckButton*>(button)) {
            box->setChecked(checked);
            box->setTag(placed);
        }
        button->setGeometry(frame);
        button->show();
        ++placed;
    }
    while (m_checkButtons.size() > placed)
        delete m_checkButtons.takeLast();
}

void NotesTextView::checkUncheckLine(ChecklistButton* button)
{
    const QPointer<ChecklistButton> box(button);
    const int tag = button->tag();
    runStep(toggleChecklistActionName, [this, box, tag] {
        const QList<std::pair<TextRange, bool>> lines = checklistLines();
        // The text changed under the box: its line is gone.
        if (tag < 0 || tag >= lines.size() || lines.at(tag).first.length == 0)
            return;
        const auto& [line, checked] = lines.at(tag);
        m_storage.removeAttribute(AttributeKey::isChecklistChecked, line);
        m_storage.addAttributes({{AttributeKey::isChecklistChecked, !checked}}, line);
        if (box)
            box->setState(checked ? 0 : 1);
        if (selectedRanges().first().location == line.location)
            m_typingAttributes.insert(AttributeKey::isChecklistChecked, !checked);
    });
}

QVariantMap NotesTextView::emptyCalendarData()
{
    return {{QString(), QString()}};
}

void NotesTextView::addAttachment()
{
    static FileDialogPanelPresenter desktopPanels(UserDefaults::standard());
    FilePanelPresenter& panels = m_filePanels ? *m_filePanels : desktopPanels;
    FilePanelPresenter::OpenPanel panel;
    panel.identifier = QStringLiteral("attachFile");
    panel.message = local(QStringLiteral("Choose files to attach."));
    const std::optional<QString> path = panels.runOpenPanel(panel, window());
    if (!path)
        return;
    insertFileOrLink(QUrl::fromLocalFile(*path));
}

void NotesTextView::insertFileOrLink(const QUrl& url)
{
    const QString name = QFileInfo(url.path()).fileName();
    if (name.isEmpty())
        return;
    if (!QFileInfo(name).suffix().isEmpty() && isPictureFile(name)) {
        if (url.isLocalFile())
            insertImageAttachment(url.toLocalFile());
        else
            ConsoleLog::write(QStringLiteral("Could not copy file to the destination url ") + url.toString()
                + QStringLiteral(" is not a local file"));
        return;
    }
    insertLinkAttachment(name, QStringLiteral("body"), url, emptyCalendarData());
}

bool NotesTextView::insertImageAttachment(const QString& path)
{
    const auto fail = [](const QString& line) {
        ConsoleLog::write(line);
        return false;
    };
    // Readable, and small enough to decode, before anything is made.
    QImageReader reader(path);
    const QSize size = reader.size();
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    if (!reader.canRead() || size.isEmpty() || bytes > qint64(QImageReader::allocationLimit()) * 1024 * 1024)
        return fail(QStringLiteral("Could not attach the image attachment"));
    const std::optional<QString> pictures = PictureFolders::attachmentPicturesFolderURL();
    if (!pictures)
        return fail(QStringLiteral("error creating image folder"));
    const QString folderName = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString folder = QDir(*pictures).filePath(folderName);
    if (QFileInfo::exists(folder) || !QDir().mkpath(folder))
        return fail(QStringLiteral("error creating image folder"));
    const auto removeFolder = [&folder] { QDir(folder).removeRecursively(); };
    const QString filename = QFileInfo(path).fileName();
    const QString copy = QDir(folder).filePath(filename);
    QFile source(path);
    if (!source.copy(copy)) {
        removeFolder();
        return fail(QStringLiteral("Could not copy file to the destination url ") + source.errorString());
    }
    QFile copied(copy);
    const QByteArray contents = copied.open(QIODevice::ReadOnly) ? copied.readAll() : QByteArray();
    if (contents.isEmpty() || !decodesAsPicture(contents)) {
        removeFolder();
        return fail(QStringLiteral("Could not attach the image attachment"));
    }

    ListItem* card = m_parentCell ? m_parentCell->objectValue() : nullptr;
    if (card) {
        if (ImageAttachment* record = ImageAttachment::create(folderName, card->managedObjectContext())) {
            QList<ImageAttachment*> records = card->imageAttachments();
            records.append(record);
            card->setImageAttachments(records);
        }
    }
    TextAttachment attachment;
    attachment.fileWrapper = TextAttachment::FileWrapper {filename, contents};
    AttributedString picture = AttributedString::withAttachment(attachment);
    picture.addAttributes({{AttributeKey::filename, filename}, {AttributeKey::fileFolderUUID, folderName}}, {0, 1});
    insertAttachment(picture);
    if (m_parentCell)
        m_parentCell->saveNow();
    return true;
}

void NotesTextView::insertLinkAttachment(
    const QString& title, const QString& body, const QUrl& url, const QVariantMap& calendarData)
{
    QVariantMap link {{QStringLiteral("URL"), url}, {QStringLiteral("title"), title}, {QStringLiteral("body"), body},
        {QStringLiteral("calendarData"), calendarData}};
    QString error = QStringLiteral("the link is not a file");
    const std::optional<QByteArray> bookmark
        = url.isLocalFile() ? FileBookmark::make(url.toLocalFile(), &error) : std::nullopt;
    if (bookmark)
        link.insert(QStringLiteral("secureScopeBookmark"), *bookmark);
    else
        ConsoleLog::write(QStringLiteral("Could not bookmark data ") + error);
    AttributedString card = AttributedString::withAttachment(
        TextAttachment {AttributeKey::link, RichTextCodec::encodeDictionary(link), std::nullopt});
    card.addAttribute(AttributeKey::attachmentLinkData, link, {0, 1});
    ConsoleLog::write(QStringLiteral("Add attachment, length ") + QString::number(card.length()));
    QVariantMap shown = card.attributes(0);
    shown.remove(AttributeKey::attachment);
    ConsoleLog::write(QStringLiteral("Attachment attributes ") + describe(shown));
    insertAttachment(card);
}

void NotesTextView::insertCalendarEventLink(const CalendarEvent& event)
{
    const std::optional<QUrl> url = CalendarEventLink::url(event.calendarItemExternalIdentifier);
    if (!url)
        return;
    const QString title = event.title.isEmpty() ? local(QStringLiteral("Event")) : event.title;
    const QVariantMap calendarData {{QStringLiteral("calendarTitle"), event.calendar.title},
        {QStringLiteral("color"), event.calendar.color}, {QStringLiteral("startDate"), event.startDate},
        {QStringLiteral("endDate"), event.endDate}};
    insertLinkAttachment(title, DateHelpers::relativeDateString(event.startDate), *url, calendarData);
}

void NotesTextView::insertAttachment(const AttributedString& attachment)
{
    runStep(addAttachmentActionName, [&] {
        // At the selection's start: the selected text stays, after it.
        const int at = selectedRanges().first().location;
        m_storage.insert(attachment, std::clamp(at, 0, m_storage.length()));
        setSelectedRanges({{at + attachment.length(), 0}});
        if (m_formatHelper)
            m_formatHelper->ensureAttachmensOnItsOwnLine();
        removeStylesFromAttachmentLines();
    });
    layoutCheckButtons();
    updateCellHeight();
}

void NotesTextView::removeStylesFromAttachmentLines()
{
    if (!m_formatHelper)
        return;
    const QList<TextRange> attachments = m_storage.attachmentRanges();
    if (attachments.isEmpty())
        return;
    for (const TextRange& line : m_formatHelper->getLinesInSelection(attachments, m_storage.string()))
        m_storage.remove(knownAttributeNames(), line);
}

QMimeData* NotesTextView::createMimeDataFromSelection() const
{
    // Qt's own data lists its text types only: they are copied into plain data that takes ours.
    const std::unique_ptr<QMimeData> text(QTextEdit::createMimeDataFromSelection());
    auto* data = new QMimeData;
    for (const QString& format : text->formats())
        data->setData(format, text->data(format));
    const TextRange selection = selectedRanges().first();
    if (selection.length > 0) {
        const AttributedString selected = stripImageAttachments(m_storage.attributedSubstring(selection));
        data->setData(attributedStringType,
            QJsonDocument(AttributedStringDictionary::dictionaryRepresentation(selected))
                .toJson(QJsonDocument::Compact));
    }
    return data;
}

bool NotesTextView::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasImage() || source->hasFormat(mailMessageType) || source->hasUrls()
        || source->hasFormat(attributedStringType) || QTextEdit::canInsertFromMimeData(source);
}

void NotesTextView::insertFromMimeData(const QMimeData* source)
{
    if (source->hasImage()) {
        // A picture without a file: it is attached as a file of its own.
        const QImage image = qvariant_cast<QImage>(source->imageData());
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("Pasted Image.png"));
        if (!image.isNull() && folder.isValid() && image.save(path))
            insertImageAttachment(path);
        else
            ConsoleLog::write(QStringLiteral("Could not attach the image attachment"));
        return;
    }
    QList<std::pair<QString, QByteArray>> messages;
    if (source->hasFormat(mailMessageType))
        messages.append({QStringLiteral("message"),
            source->data(mailMessageType).left(MailMessageHeaders::maximumHeaderBytes + 4)});
    const QList<QUrl> urls = source->hasUrls() ? source->urls() : QList<QUrl>();
    for (const QUrl& url : urls)
        if (url.isLocalFile() && isMailFile(url.toLocalFile()))
            messages.append({url.toLocalFile(), QByteArray()});
    if (!messages.isEmpty()) {
        insertMail(messages);
        return;
    }
    if (!urls.isEmpty()) {
        for (const QUrl& url : urls)
            insertFileOrLink(url);
        return;
    }
    if (source->hasFormat(attributedStringType)) {
        const QByteArray bytes = source->data(attributedStringType);
        std::optional<AttributedString> pasted;
        if (bytes.size() > maximumPastedBytes) {
            ConsoleLog::write(QStringLiteral("Pasted notes are larger than %1 bytes").arg(maximumPastedBytes));
        } else {
            const QJsonDocument document = QJsonDocument::fromJson(bytes);
            if (document.isObject())
                pasted = JSONReader::attributedStringFrom(document.object());
            if (!pasted)
                ConsoleLog::write(QStringLiteral("Pasted notes could not be read"));
        }
        if (pasted) {
            restoreImageAttachments(*pasted);
            pasteAttributedString(*pasted);
            return;
        }
    }
    typeWithTypingAttributes([&] { QTextEdit::insertFromMimeData(source); });
}

void NotesTextView::pasteAttributedString(const AttributedString& pasted)
{
    if (isReadOnly())
        return;
    const TextRange range = selectedRanges().first();
    const QString text = m_storage.string();
    AttributedString fitted = pasted;
    const qsizetype firstBreak = fitted.string().indexOf(QLatin1Char('\n'));
    const qsizetype lastBreak = fitted.string().lastIndexOf(QLatin1Char('\n'));
    // Pasted into a line: its first line goes on in the style before the paste, its last line in
    // the style after it.
    if (range.location > 0 && text.at(range.location - 1) != QLatin1Char('\n')) {
        const QVariantMap before = m_storage.attributedSubstring({range.location - 1, 1}).attributes(0);
        fitted.setAttributes(before, {0, firstBreak >= 0 ? int(firstBreak) + 1 : fitted.length()});
    }
    if (range.end() < text.size() && text.at(range.end()) != QLatin1Char('\n')) {
        const QVariantMap after = m_storage.attributedSubstring({range.end(), 1}).attributes(0);
        const int from = lastBreak >= 0 ? int(lastBreak) + 1 : 0;
        fitted.setAttributes(after, {from, fitted.length() - from});
    }
    runStep(pasteTextActionName, [&] {
        m_storage.replaceCharacters(range, fitted);
        setSelectedRanges({{range.location + fitted.length(), 0}});
    });
    layoutCheckButtons();
    updateCellHeight();
}

bool NotesTextView::insertMail(const QList<std::pair<QString, QByteArray>>& messages)
{
    QStringList names;
    for (const auto& [name, bytes] : messages)
        names.append(name);
    ConsoleLog::write(QStringLiteral("automatorPlist: ") + describe(names));
    bool inserted = false;
    // Each message stands alone: one that cannot be read leaves the others.
    for (const auto& [name, bytes] : messages) {
        ConsoleLog::write(QStringLiteral("plistDictionary: ") + name);
        QString error;
        const std::optional<MailMessageHeaders> headers
            = bytes.isEmpty() ? MailMessageHeaders::read(name, &error) : MailMessageHeaders::parse(bytes, &error);
        if (!headers) {
            ConsoleLog::write(QStringLiteral("Could not read the mail message ") + name + QStringLiteral(": ") + error);
            continue;
        }
        insertLinkAttachment(headers->subject, headers->sender, headers->linkURL(), emptyCalendarData());
        inserted = true;
    }
    return inserted;
}

void NotesTextView::removeCheckButtons()
{
    qDeleteAll(m_checkButtons);
    m_checkButtons.clear();
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

void NotesTextView::updateCellHeight()
{
    updateGeometry();
    if (m_parentCell)
        m_parentCell->updateCellHeight(false);
}

bool NotesTextView::respondsTo(const QString& action) const
{
    static const QStringList actions {formatAsTitleAction, formatAsHeaderAction, formatAsBodyAction, cutAction,
        copyAction, pasteAction, makeChecklistAction, addAttachmentAction};
    return actions.contains(action) || debugActions.contains(action);
}

void NotesTextView::perform(const QString& action, QObject* sender)
{
    static const QHash<QString, void (NotesTextView::*)()> debug {
        {debugActions.at(0), &NotesTextView::showCurrentTypingAttributes},
        {debugActions.at(1), &NotesTextView::getAllAttributesInSelection},
        {debugActions.at(2), &NotesTextView::replaceLinksWithAttachment},
        {debugActions.at(3), &NotesTextView::testCustomAttachment},
        {debugActions.at(4), &NotesTextView::testImageAttachment},
        {debugActions.at(5), &NotesTextView::testWriteOutImage},
        {debugActions.at(6), &NotesTextView::testFindAllChecklists},
        {debugActions.at(7), &NotesTextView::testFindAllAttachments},
        {debugActions.at(8), &NotesTextView::printTagsInCurrentCard},
        {debugActions.at(9), &NotesTextView::testIdentifyTags}};
    if (const auto run = debug.value(action))
        (this->*run)();
    else if (action == formatAsTitleAction)
        formatSelectionAsTitle();
    else if (action == formatAsHeaderAction)
        formatSelectionAsHeader();
    else if (action == formatAsBodyAction)
        formatSelectionAsBody();
    else if (action == makeChecklistAction)
        makeChecklist();
    else if (action == addAttachmentAction)
        addAttachment();
    else if (action == cutAction || action == copyAction) {
        // With nothing selected the command is for the column's selected cards.
        if (!textCursor().hasSelection())
            routeToColumn(action, sender);
        else {
            // Our own rich text goes with the platform's types.
            QMimeData* data = createMimeDataFromSelection();
            if (action == cutAction)
                cut();
            QApplication::clipboard()->setMimeData(data);
        }
    } else if (action == pasteAction) {
        if (pasteboardHoldsCardsOrColumns())
            routeToColumn(action, sender);
        else
            paste();
    }
}

void NotesTextView::routeToColumn(const QString& action, QObject* sender)
{
    if (!m_parentCell)
        return;
    // The column copies and moves cards with their notes as typed.
    m_parentCell->commitNotes();
    if (auto* column = dynamic_cast<ActionResponder*>(m_parentCell->delegate()); column && column->respondsTo(action))
        column->perform(action, sender);
}

bool NotesTextView::validate(const QString& action, QAction* item) const
{
    const QString identifier = item ? item->objectName() : QString();
    const QHash<QString, QString> styleOfIdentifier {{formatAsTitleIdentifier, titleStyle},
        {formatAsHeaderIdentifier, headerStyle}, {formatAsBodyIdentifier, bodyStyle}};
    if (item && styleOfIdentifier.contains(identifier) && m_formatHelper) {
        QStringList styles;
        for (const TextRange& line : m_formatHelper->getLinesInSelection()) {
            if (line.location >= m_storage.length())
                continue;
            const QVariant style = m_storage.attribute(AttributeKey::noteStyleName, line.location);
            // A value of the wrong type says nothing about the line.
            if (style.typeId() != QMetaType::QString)
                continue;
            const QString name = style.toString();
            if ((name == titleStyle || name == headerStyle || name == bodyStyle) && !styles.contains(name))
                styles.append(name);
        }
        const QString own = styleOfIdentifier.value(identifier);
        const bool holds = styles.contains(own);
        item->setCheckable(true);
        item->setChecked(holds && styles.size() == 1);
        item->setIcon(holds && styles.size() > 1 ? mixedStateIcon() : QIcon());
        item->setProperty("mixedState", holds && styles.size() > 1);
        return true;
    }
    if (action == cutAction || action == copyAction)
        return true;
    if (action == pasteAction)
        return pasteboardHoldsCardsOrColumns() || canPaste();
    return true;
}

bool NotesTextView::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Undo and redo belong to the window's Edit menu, never to the document.
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) {
            event->ignore();
            return true;
        }
    }
    return QTextEdit::event(event);
}

void NotesTextView::focusInEvent(QFocusEvent* event)
{
    QTextEdit::focusInEvent(event);
    m_isFirstResponder = true;
    updateEditingState();
    updateGeometry();
    // The search highlight is for reading; editing shows the plain text.
    setSearchHighlights({});
}

void NotesTextView::focusOutEvent(QFocusEvent* event)
{
    QTextEdit::focusOutEvent(event);
    // A context menu of the editor's own takes the focus only for a moment.
    if (event->reason() == Qt::PopupFocusReason)
        return;
    if (m_isFirstResponder)
        emit editingEnded();
}

void NotesTextView::typeWithTypingAttributes(const std::function<void()>& type, bool newline)
{
    const QTextCharFormat typing = TextDocumentTextStorage::charFormat(split(m_typingAttributes, false));
    const QTextCursor caret = textCursor();
    const bool emptyLine = caret.block().length() == 1;
    // A cursor follows the edits; the selection's start is kept as a number.
    const std::optional<int> selectionStart
        = caret.hasSelection() ? std::optional<int>(caret.selectionStart()) : std::nullopt;
    // The typing format is the caret's. Given to a selection it would restyle the selected text,
    // as every key would that types nothing: Control before a copy, Shift before a selection.
    if (!selectionStart)
        runProgrammaticChange([&] { setCurrentCharFormat(typing); });
    m_typing = true;
    m_changedWhileTyping = false;
    type();
    // What replaced a selection is typed text, in the typing format.
    if (m_changedWhileTyping && selectionStart && textCursor().position() > *selectionStart) {
        runProgrammaticChange([&] {
            QTextCursor typed(document());
            typed.setPosition(*selectionStart);
            typed.setPosition(textCursor().position(), QTextCursor::KeepAnchor);
            typed.setCharFormat(typing);
        });
    }
    // A line typed into while empty, or the new line a line break opens, takes the typing
    // attributes' line style.
    if (m_changedWhileTyping && (newline ? textCursor().block().length() == 1 : emptyLine))
        applyTypingLineAttributesToEmptyBlock();
    m_typing = false;
    if (m_changedWhileTyping) {
        m_changedWhileTyping = false;
        reportUserChange();
    }
}

void NotesTextView::applyTypingLineAttributesToEmptyBlock()
{
    const QVariantMap lines = split(m_typingAttributes, true);
    QTextCursor cursor = textCursor();
    const QTextBlock block = cursor.block();
    runProgrammaticChange([&] {
        QTextCursor blockCursor(block);
        blockCursor.setBlockFormat(TextDocumentTextStorage::blockFormat(lines));
    });
}

void NotesTextView::insertNewline(QKeyEvent* event)
{
    const TextRange selection = selectedRanges().first();
    const int length = m_storage.length();
    const TextRange line = lineRange(selection.location);
    bool inChecklist = false;
    // The empty last line after a final line break is no line of the text.
    if (line.location < length) {
        const QVariantMap first = m_storage.attributedSubstring({line.location, 1}).attributes(0);
        inChecklist = m_typingAttributes.contains(AttributeKey::isChecklistChecked)
            || first.value(AttributeKey::isChecklistChecked).typeId() == QMetaType::Bool;
        // The line after a picture or a link card is body text.
        if (!inChecklist
            && (first.contains(AttributeKey::fileFolderUUID) || first.contains(AttributeKey::attachmentLinkData)))
            setTypingAttributes(normalAttributes());
    }
    const bool hasBreak = line.length > 0 && m_storage.string().at(line.end() - 1) == QLatin1Char('\n');
    const int contentEnd = line.end() - (hasBreak ? 1 : 0);

    if (inChecklist && contentEnd == line.location) {
        // Return on an empty item ends the checklist: the line becomes a body line, and no line
        // is added.
        setTypingAttributes(normalAttributes());
        runProgrammaticChange([&] {
            if (line.length > 0) {
                m_storage.remove(knownAttributeNames(), line);
                m_storage.addAttributes(normalAttributes(), line);
            }
        });
        layoutCheckButtons();
        reportUserChange();
        return;
    }

    if (inChecklist) {
        const bool done = m_storage.attribute(AttributeKey::isChecklistChecked, line.location).toBool();
        const bool atTextEnd = selection.location == length;
        // Return after an item's text opens a new item; inside it, the item splits in two of
        // its state.
        const bool atLineEnd = selection.end() >= contentEnd;
        if (atTextEnd) {
            // The new last item gets a line break of its own, for its box.
            runProgrammaticChange([&] {
                m_storage.append(AttributedString(QStringLiteral("\n"), checkListAttributes()));
                setSelectedRanges({selection});
            });
        }
        if (atLineEnd)
            setTypingAttributes(checkListAttributes());
        typeWithTypingAttributes([&] { QTextEdit::keyPressEvent(event); }, true);
        const TextRange newLine = lineRange(textCursor().position());
        runProgrammaticChange([&] {
            QVariantMap item = checkListAttributes();
            item.insert(AttributeKey::isChecklistChecked, !atLineEnd && done);
            if (atLineEnd)
                m_storage.addAttributes(item, newLine);
            else
                m_storage.addAttributes(split(item, true), newLine);
        });
        setTypingAttributes(checkListAttributes());
        layoutCheckButtons();
        return;
    }

    // The line after a title or a header is body text.
    const QVariant style = m_typingAttributes.value(AttributeKey::noteStyleName);
    if (style.typeId() == QMetaType::QString && style.toString() != bodyStyle)
        setTypingAttributes(normalAttributes());
    typeWithTypingAttributes([&] { QTextEdit::keyPressEvent(event); }, true);
    layoutCheckButtons();
}

void NotesTextView::keyPressEvent(QKeyEvent* event)
{
    // The completion list answers these keys itself, after offering them here.
    static const QList<int> completionKeys {
        Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Backtab};
    if (m_completer && m_completer->popup()->isVisible() && completionKeys.contains(event->key())) {
        event->ignore();
        return;
    }
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        event->ignore();
        return;
    }
    if (event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Copy)
        || event->matches(QKeySequence::Paste)) {
        perform(event->matches(QKeySequence::Cut)    ? cutAction
                : event->matches(QKeySequence::Copy) ? copyAction
                                                     : pasteAction,
            this);
        return;
    }
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
        && event->modifiers().testFlag(Qt::ControlModifier)) {
        // Tab types a tab in notes; Ctrl+Tab moves the keyboard on, and Ctrl+Shift+Tab back.
        QWidget::focusNextPrevChild(event->key() == Qt::Key_Tab && !event->modifiers().testFlag(Qt::ShiftModifier));
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        // Editing ends when the cell takes the focus; the cell then stores the text.
        if (m_parentCell)
            m_parentCell->setFocus(Qt::OtherFocusReason);
        else
            clearFocus();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        insertNewline(event);
        return;
    }
    typeWithTypingAttributes([&] { QTextEdit::keyPressEvent(event); });
}

void NotesTextView::inputMethodEvent(QInputMethodEvent* event)
{
    typeWithTypingAttributes([&] { QTextEdit::inputMethodEvent(event); });
}

void NotesTextView::wheelEvent(QWheelEvent* event)
{
    // The notes never scroll: the column under them does.
    event->ignore();
}

bool NotesTextView::leavesPressToColumn(const QMouseEvent* event) const
{
    // In a card not being edited, the column decides whether a press drags the card or clicks
    // it (then beginEditingAt()); in a card being edited, pressing and moving selects text.
    if (!m_parentCell || m_isFirstResponder)
        return false;
    return event->type() == QEvent::MouseMove ? bool(event->buttons() & Qt::LeftButton)
                                              : event->button() == Qt::LeftButton;
}

void NotesTextView::beginEditingAt(const QPoint& point)
{
    setFocus(Qt::MouseFocusReason);
    if (!m_isFirstResponder)
        return;
    const QPointF global = viewport()->mapToGlobal(QPointF(point));
    QMouseEvent press(QEvent::MouseButtonPress, point, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, point, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    mousePressEvent(&press);
    mouseReleaseEvent(&release);
}

void NotesTextView::mousePressEvent(QMouseEvent* event)
{
    if (leavesPressToColumn(event)) {
        event->ignore();
        return;
    }
    QMouseEvent atFullSize = unzoomed(event);
    m_pressPosition = atFullSize.position().toPoint();
    QTextEdit::mousePressEvent(&atFullSize);
}

void NotesTextView::mouseMoveEvent(QMouseEvent* event)
{
    if (leavesPressToColumn(event)) {
        event->ignore();
        return;
    }
    QMouseEvent atFullSize = unzoomed(event);
    QTextEdit::mouseMoveEvent(&atFullSize);
}

void NotesTextView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QMouseEvent atFullSize = unzoomed(event);
    if (event->button() == Qt::LeftButton && m_parentCell) {
        if (const std::optional<int> link = linkAttachmentAt(atFullSize.position().toPoint())) {
            m_parentCell->doubleClickedOnLink(*link);
            return;
        }
    }
    QTextEdit::mouseDoubleClickEvent(&atFullSize);
}

std::optional<int> NotesTextView::linkAttachmentAt(const QPoint& point) const
{
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const int hit = layout->hitTest(point, Qt::FuzzyHit);
    // A hit lands before or after the card, by the half of it under the point.
    for (const int position : {hit, hit - 1}) {
        if (position < 0 || position >= m_storage.length()
            || !m_storage.attribute(AttributeKey::attachmentLinkData, position).isValid())
            continue;
        const QTextBlock block = document()->findBlock(position);
        const QTextLine line = block.layout()->lineForTextPosition(position - block.position());
        if (!line.isValid())
            continue;
        const QRectF blockRect = layout->blockBoundingRect(block);
        const qreal from = line.cursorToX(position - block.position());
        const qreal to = line.cursorToX(position + 1 - block.position());
        const QRectF card(
            blockRect.left() + std::min(from, to), blockRect.top() + line.y(), std::abs(to - from), line.height());
        if (card.contains(point))
            return position;
    }
    return std::nullopt;
}

void NotesTextView::openUrl(const QUrl& url) const
{
    if (m_urlOpener)
        m_urlOpener(url);
}

void NotesTextView::mouseReleaseEvent(QMouseEvent* event)
{
    if (leavesPressToColumn(event)) {
        event->ignore();
        return;
    }
    QMouseEvent atFullSize = unzoomed(event);
    QTextEdit::mouseReleaseEvent(&atFullSize);
    const QPoint position = atFullSize.position().toPoint();
    if (event->button() != Qt::LeftButton || (position - m_pressPosition).manhattanLength() > 3)
        return;
    if (m_parentCell) {
        if (const std::optional<int> card = linkAttachmentAt(position)) {
            m_parentCell->clickedOnLink(*card);
            return;
        }
    }
    const QString link = anchorAt(position);
    if (!link.isEmpty())
        openUrl(QUrl(link));
}

void NotesTextView::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_parentCell)
        m_parentCell->selectForMenu();
    QMenu menu(this);
    UndoManager* undo = m_parentCell ? m_parentCell->undoManager() : nullptr;
    QAction* undoItem = menu.addAction(undo ? undo->undoMenuItemTitle() : local(QStringLiteral("Undo")));
    undoItem->setEnabled(undo && undo->canUndo());
    connect(undoItem, &QAction::triggered, this, [undo] { undo->undo(); });
    QAction* redoItem = menu.addAction(undo ? undo->redoMenuItemTitle() : local(QStringLiteral("Redo")));
    redoItem->setEnabled(undo && undo->canRedo());
    connect(redoItem, &QAction::triggered, this, [undo] { undo->redo(); });
    menu.addSeparator();
    const QList<std::pair<QString, QString>> commands {{local(QStringLiteral("Cut")), cutAction},
        {local(QStringLiteral("Copy")), copyAction}, {local(QStringLiteral("Paste")), pasteAction}};
    for (const auto& [title, action] : commands) {
        QAction* item = menu.addAction(title);
        item->setEnabled(validate(action, item));
        connect(item, &QAction::triggered, this, [this, action] { perform(action, this); });
    }
    menu.addSeparator();
    const QList<std::pair<QString, QString>> styles {{local(QStringLiteral("Title")), formatAsTitleIdentifier},
        {local(QStringLiteral("Header")), formatAsHeaderIdentifier},
        {local(QStringLiteral("Body")), formatAsBodyIdentifier}};
    const QHash<QString, QString> actionOf {{formatAsTitleIdentifier, formatAsTitleAction},
        {formatAsHeaderIdentifier, formatAsHeaderAction}, {formatAsBodyIdentifier, formatAsBodyAction}};
    for (const auto& [title, identifier] : styles) {
        QAction* item = menu.addAction(title);
        item->setObjectName(identifier);
        validate(actionOf.value(identifier), item);
        const QString action = actionOf.value(identifier);
        connect(item, &QAction::triggered, this, [this, action] { perform(action, this); });
    }
    if (m_parentCell) {
        menu.addSeparator();
        m_parentCell->addCardActions(menu);
    }
    menu.exec(event->globalPos());
}
