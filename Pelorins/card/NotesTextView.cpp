#include "Pelorins/card/NotesTextView.h"

#include "Pelorins/card/ChecklistButton.h"
#include "Pelorins/card/ListItemCellDelegate.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextViewDelegate.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/NotesTextViewFormatHelper.h"
#include "PelorinsKit/notes/TextAttachmentObject.h"
#include "Platform/core/UndoManager.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextFrame>
#include <QtMath>

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
const QString NotesTextView::columnDataType = QStringLiteral("application/x-pelorins-column-data");
const QString NotesTextView::cardDataType = QStringLiteral("application/x-pelorins-card-data");

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

void NotesTextView::setup()
{
    m_formatHelper = std::make_unique<NotesTextViewFormatHelper>(*this);
    document()->setUndoRedoEnabled(false);
    document()->setDocumentMargin(0);
    document()->setDefaultFont(systemFontOfSize(12, QFont::Normal));
    QTextFrameFormat root = document()->rootFrame()->frameFormat();
    root.setLeftMargin(lineFragmentPadding);
    root.setRightMargin(lineFragmentPadding);
    root.setTopMargin(verticalInset);
    root.setBottomMargin(verticalInset);
    document()->rootFrame()->setFrameFormat(root);
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
    connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
        if (inProgrammaticChange() || (removed == 0 && added == 0))
            return;
        if (m_typing)
            m_changedWhileTyping = true;
        else
            reportUserChange();
    });
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

int NotesTextView::intrinsicHeight() const
{
    // The bottom of the last line, as heightToFit measures it: without the spacing after the
    // last paragraph.
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    layout->documentSize();
    qreal bottom = verticalInset;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* lines = block.layout();
        const qreal top = layout->blockBoundingRect(block).top();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            bottom = std::max(bottom, top + line.y() + line.height());
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
}

QMouseEvent NotesTextView::unzoomed(const QMouseEvent* event) const
{
    return QMouseEvent(event->type(), event->position() / m_scale, event->scenePosition(), event->globalPosition(),
        event->button(), event->buttons(), event->modifiers(), event->pointingDevice());
}

void NotesTextView::paintEvent(QPaintEvent* event)
{
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

void NotesTextView::applyExtraSelections()
{
    QList<ExtraSelection> selections;
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
    const QString text = m_storage.string();
    QRegularExpressionMatchIterator matches = webAddressExpression().globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const TextRange range {int(match.capturedStart()), int(match.capturedLength())};
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
    QList<Tag*> tags;
    if (m_notesDelegate)
        tags = m_notesDelegate->existingTags();
    const QString text = m_storage.string();
    const QList<QRegularExpressionMatch> matches = identifyTags(text);
    if (matches.isEmpty())
        return;
    AttributedString styled = m_storage.attributedString();
    ::styleTags(styled, tags);
    runProgrammaticChange([&] {
        for (const QRegularExpressionMatch& match : matches) {
            const TextRange range {int(match.capturedStart()), int(match.capturedLength())};
            styled.enumerateAttributes(range, [&](const QVariantMap& attributes, TextRange run) {
                // Tags already styled are left alone: every edit lays the line out again.
                QVariantMap look;
                for (const QString& key : {AttributeKey::font, AttributeKey::foregroundColor}) {
                    if (!attributes.contains(key))
                        continue;
                    bool same = true;
                    for (int i = run.location; i < run.end() && same; ++i)
                        same = m_storage.attribute(key, i) == attributes.value(key);
                    if (!same)
                        look.insert(key, attributes.value(key));
                }
                if (!look.isEmpty())
                    m_storage.addAttributes(look, run);
            });
        }
    });
}

void NotesTextView::updateCellHeight()
{
    updateGeometry();
    if (m_parentCell)
        m_parentCell->updateCellHeight(false);
}

bool NotesTextView::respondsTo(const QString& action) const
{
    static const QStringList actions {
        formatAsTitleAction, formatAsHeaderAction, formatAsBodyAction, cutAction, copyAction, pasteAction};
    return actions.contains(action);
}

void NotesTextView::perform(const QString& action, QObject* sender)
{
    if (action == formatAsTitleAction)
        formatSelectionAsTitle();
    else if (action == formatAsHeaderAction)
        formatSelectionAsHeader();
    else if (action == formatAsBodyAction)
        formatSelectionAsBody();
    else if (action == cutAction || action == copyAction) {
        // With nothing selected the command is for the column's selected cards.
        if (!textCursor().hasSelection())
            routeToColumn(action, sender);
        else if (action == cutAction)
            cut();
        else
            copy();
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
    const QVariantMap characters = split(m_typingAttributes, false);
    const bool emptyLine = textCursor().block().length() == 1;
    runProgrammaticChange([&] { setCurrentCharFormat(TextDocumentTextStorage::charFormat(characters)); });
    m_typing = true;
    m_changedWhileTyping = false;
    type();
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
    const QTextCursor cursor = textCursor();
    const QTextBlock line = cursor.block();
    // The line after a picture or a link card is body text.
    if (line.length() > 1) {
        const QVariantMap first = m_storage.attributedSubstring({line.position(), 1}).attributes(0);
        if (first.contains(AttributeKey::fileFolderUUID) || first.contains(AttributeKey::attachmentLinkData))
            setTypingAttributes(normalAttributes());
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

void NotesTextView::insertFromMimeData(const QMimeData* source)
{
    typeWithTypingAttributes([&] { QTextEdit::insertFromMimeData(source); });
}

void NotesTextView::wheelEvent(QWheelEvent* event)
{
    // The notes never scroll: the column under them does.
    event->ignore();
}

void NotesTextView::mousePressEvent(QMouseEvent* event)
{
    QMouseEvent atFullSize = unzoomed(event);
    m_pressPosition = atFullSize.position().toPoint();
    QTextEdit::mousePressEvent(&atFullSize);
}

void NotesTextView::mouseMoveEvent(QMouseEvent* event)
{
    QMouseEvent atFullSize = unzoomed(event);
    QTextEdit::mouseMoveEvent(&atFullSize);
}

void NotesTextView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QMouseEvent atFullSize = unzoomed(event);
    QTextEdit::mouseDoubleClickEvent(&atFullSize);
}

void NotesTextView::mouseReleaseEvent(QMouseEvent* event)
{
    QMouseEvent atFullSize = unzoomed(event);
    QTextEdit::mouseReleaseEvent(&atFullSize);
    const QPoint position = atFullSize.position().toPoint();
    if (event->button() != Qt::LeftButton || (position - m_pressPosition).manhattanLength() > 3)
        return;
    const QString link = anchorAt(position);
    if (!link.isEmpty() && m_urlOpener)
        m_urlOpener(QUrl(link));
}

void NotesTextView::contextMenuEvent(QContextMenuEvent* event)
{
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
    menu.exec(event->globalPos());
}
