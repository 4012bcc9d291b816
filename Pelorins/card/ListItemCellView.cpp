#include "Pelorins/card/ListItemCellView.h"

#include "Pelorins/card/CardAccessibleText.h"
#include "Pelorins/card/CardBoard.h"
#include "Pelorins/card/CardNotesUndo.h"
#include "Pelorins/card/CheckedButton.h"
#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/DeferredSave.h"
#include "Pelorins/card/DueDateTextField.h"
#include "Pelorins/card/ListItemCellDelegate.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/common/AppConstants.h"
#include "Pelorins/common/ColourHelpers.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/TextMeasures.h"
#include "PelorinsKit/notes/NotesTextViewFormatHelper.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UndoManager.h"
#include "Platform/widgets/AccessibleNames.h"
#include "Platform/widgets/FocusFrame.h"
#include "Platform/widgets/Popover.h"

#include <QAccessible>
#include <QApplication>
#include <QEvent>
#include <QFontInfo>
#include <QGraphicsOpacityEffect>
#include <QMenu>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QToolButton>

const QRect ListItemCellView::hoverRectangle(0, 12, 40, 29);
const QString ListItemCellView::relayoutNotesTextViewAction = QStringLiteral("relayoutNotesTextView:");
const QString ListItemCellView::testAction = QStringLiteral("test:");

namespace {

const QString typingActionName = QStringLiteral("Typing");

// Full-size places of the card's parts; the bottom row is measured from the card's bottom.
constexpr qreal panelInsetX = 4;
constexpr qreal panelInsetY = 3;
constexpr qreal panelRadius = 12;
constexpr int notesLeft = 8;
constexpr int topRowY = 12;
constexpr int bottomRowHeight = ListItemCellView::fixedHeight - ListItemCellView::notesTop;

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

// The card fills, with a variant for dark palettes.
QColor transparentWhite(const QPalette& palette, bool done)
{
    if (isDark(palette))
        return done ? QColor(58, 58, 60, 90) : QColor(58, 58, 60, 220);
    return done ? QColor(255, 255, 255, 61) : QColor(255, 255, 255, 204);
}

QPixmap flagPixmap(bool on, const QColor& ink)
{
    QPixmap pixmap(36, 36);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath flag;
    flag.moveTo(5, 3);
    flag.lineTo(14, 3);
    flag.lineTo(11.5, 7);
    flag.lineTo(14, 11);
    flag.lineTo(5, 11);
    flag.closeSubpath();
    painter.setPen(QPen(on ? QColor(255, 59, 48) : ink, 1.2));
    painter.setBrush(on ? QColor(255, 59, 48) : QColor(Qt::transparent));
    painter.drawPath(flag);
    painter.drawLine(QPointF(5, 3), QPointF(5, 16));
    return pixmap;
}

// The full-size icon of the card's small buttons; the chevron's arrow is drawn in it too.
constexpr int toolIconSize = 16;

QToolButton* makeToolButton(QWidget* parent, const QString& text, const QString& toolTip)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setText(text);
    AccessibleNames::setToolTip(button, toolTip);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(toolIconSize, toolIconSize));
    return button;
}

QFont fontAtScale(const QFont& fullSize, qreal scale)
{
    QFont font(fullSize);
    font.setPixelSize(std::max(1, qRound(QFontInfo(fullSize).pixelSize() * scale)));
    return font;
}

// Where the caret goes once `before` became `after`: after the span that changed, as typing it
// would have left it; where it stood when only styles changed.
int caretAfterChange(const QString& before, const QString& after, int caret)
{
    if (before == after)
        return std::min(caret, int(after.size()));
    const QStringView was(before);
    const QStringView is(after);
    // Most steps take out or put back one run of text ending or starting at the caret; matched
    // there, a run of repeated letters cannot shift the caret off what was typed.
    const int grown = int(is.size() - was.size());
    const int start = grown < 0 ? caret + grown : caret;
    if (start >= 0 && caret <= was.size() && is.left(start) == was.left(start)
        && is.mid(start + std::max(grown, 0)) == was.mid(grown < 0 ? caret : start))
        return caret + grown;
    const qsizetype shorter = std::min(was.size(), is.size());
    qsizetype prefix = 0;
    while (prefix < shorter && was[prefix] == is[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && was[was.size() - 1 - suffix] == is[is.size() - 1 - suffix])
        ++suffix;
    return int(is.size() - suffix);
}

} // namespace

ListItemCellView::ListItemCellView(QWidget* parent)
    : QWidget(parent)
    , m_noteTextView(new NotesTextView(this))
    , m_checkButton(new CheckedButton(this))
    , m_showDateButton(new DateDisplayButton(this))
    , m_doneDateField(new DueDateTextField(this))
    , m_noteButton(makeToolButton(this, QString(), QString()))
    , m_flagButton(makeToolButton(this, QString(), local(QStringLiteral("Flag"))))
    , m_styleButton(makeToolButton(this, QStringLiteral("Aa"), local(QStringLiteral("Text Style"))))
    , m_checklistButton(makeToolButton(this, QStringLiteral("☑"), local(QStringLiteral("Checklist"))))
    , m_attachmentButton(makeToolButton(this, QStringLiteral("+"), local(QStringLiteral("Add Attachment"))))
    , m_deferredSave(new DeferredSave([this] { saveTyping(); }, DeferredSave::defaultPauseMilliseconds,
          DeferredSave::defaultLongestWaitMilliseconds, this))
{
    // The cell takes the focus when editing ends by Escape.
    setFocusPolicy(Qt::ClickFocus);
    AccessibleNames::setToolTip(m_checkButton, local(QStringLiteral("Mark Done")));
    m_checkButton->installEventFilter(this);
    m_showDateButton->installEventFilter(this);
    connect(m_checkButton, &CheckedButton::checkButtonTapped, this, &ListItemCellView::checkButtonTapped);
    m_noteButton->setArrowType(Qt::DownArrow);
    connect(m_noteButton, &QToolButton::clicked, this, &ListItemCellView::noteButtonTapped);
    m_flagButton->setCheckable(true);
    connect(m_flagButton, &QToolButton::clicked, this, &ListItemCellView::flagButtonTapped);
    connect(m_showDateButton, &DateDisplayButton::clicked, this, &ListItemCellView::showPicker);
    auto* styles = new QMenu(m_styleButton);
    styles->addAction(local(QStringLiteral("Title")), m_noteTextView, &NotesTextView::formatSelectionAsTitle);
    styles->addAction(local(QStringLiteral("Header")), m_noteTextView, &NotesTextView::formatSelectionAsHeader);
    styles->addAction(local(QStringLiteral("Body")), m_noteTextView, &NotesTextView::formatSelectionAsBody);
    m_styleButton->setMenu(styles);
    m_styleButton->setPopupMode(QToolButton::InstantPopup);
    connect(m_checklistButton, &QToolButton::clicked, m_noteTextView, &NotesTextView::makeChecklist);
    connect(m_attachmentButton, &QToolButton::clicked, m_noteTextView, &NotesTextView::addAttachment);
    // A click on a button that edits the notes hands the focus to the notes, which hold it
    // already: without this it went to the cell, and editing ended.
    for (QToolButton* button : editingButtons()) {
        button->setFocusPolicy(Qt::ClickFocus);
        button->setFocusProxy(m_noteTextView);
    }
    m_doneDateField->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setupNotesView();
    setEditingButtonsVisible(false);
    m_doneDateField->hide();
    layOut();
}

ListItemCellView::~ListItemCellView()
{
    // The popover reports to this cell: it goes with it.
    delete m_datePopover;
    // Whatever was typed reaches the card even when the cell goes while editing.
    if ((m_noteTextView->isFirstResponder() || m_notesUnwritten) && m_item)
        writeNotesIntoCard();
}

void ListItemCellView::setupNotesView()
{
    m_noteTextView->setup();
    // A press on notes not being edited may start a drag of the card: the column decides, and a
    // plain click then starts editing (clicked()). The keyboard still reaches them.
    m_noteTextView->setFocusPolicy(Qt::TabFocus);
    m_noteTextView->setAccessibleName(local(QStringLiteral("Notes")));
    m_noteTextView->setParentListItemCellView(this);
    m_noteTextView->setNotesDelegate(this);
    m_noteTextView->setGraphicsEffect(new QGraphicsOpacityEffect(m_noteTextView));
    connect(m_noteTextView, &NotesTextView::textChangedByUser, this, &ListItemCellView::textDidChange);
    connect(m_noteTextView, &NotesTextView::editingEnded, this, &ListItemCellView::textDidEndEditing);
    connect(m_noteTextView, &NotesTextView::selectionMoved, this, &ListItemCellView::textViewDidChangeSelection);
    updateChevronVisibility();
}

void ListItemCellView::setObjectValue(ListItem* item)
{
    // A cell reused while editing keeps what was typed in the card it showed.
    if (m_item && m_item != item && (m_noteTextView->isFirstResponder() || m_notesUnwritten))
        writeNotesIntoCard();
    // A popover open for the card shown before must not date the next one.
    if (m_item != item && m_datePopover)
        m_datePopover->close();
    // Decoded notes are kept only for the cards on screen.
    if (m_item && m_item != item)
        m_item->releaseDecodedNotes();
    m_item = item;
    configure();
}

void ListItemCellView::setDelegate(ListItemCellDelegate* delegate)
{
    m_delegate = delegate;
    watchUndoManager();
}

CardBoard* ListItemCellView::board() const
{
    return m_delegate ? m_delegate->delegate() : nullptr;
}

QDateTime ListItemCellView::now() const
{
    CardBoard* kanbanView = board();
    return kanbanView ? kanbanView->now() : QDateTime::currentDateTimeUtc();
}

UndoManager* ListItemCellView::undoManager() const
{
    CardBoard* kanbanView = board();
    return kanbanView ? kanbanView->undoManager() : nullptr;
}

void ListItemCellView::setScale(qreal scale)
{
    if (scale == m_scale || !(scale > 0))
        return;
    m_scale = scale;
    m_showDateButton->setScale(scale);
    m_noteTextView->setScale(scale);
    // Every control of the card is drawn at the zoom, as its text is, so none covers another.
    const QSize iconSize = QSizeF(toolIconSize * scale, toolIconSize * scale).toSize();
    for (QToolButton* button : {m_noteButton, m_flagButton, m_styleButton, m_checklistButton, m_attachmentButton}) {
        button->setIconSize(iconSize);
        button->setFont(fontAtScale(font(), scale));
    }
    m_doneDateField->setFont(fontAtScale(font(), scale));
    layOut();
    update();
}

void ListItemCellView::configure()
{
    // A new card, or the same one anew: nothing of what was shown before carries over, and what
    // was typed into it is in the card it shows again.
    commitNotes();
    closeTypingStep();
    m_noteTextView->removeCheckButtons();
    m_noteTextView->setSearchHighlights({});
    m_checkButton->setState(0);
    m_checkButton->setTickShown(false);
    if (!m_item) {
        m_noteTextView->runProgrammaticChange([&] { m_noteTextView->storage().setAttributedString({}); });
        m_lastRecorded = {};
        updateChevronVisibility();
        updateAccessibleCard();
        return;
    }

    // A card that never said shows collapsed, and its chevron says so: never the last card's.
    updateExpandButton(m_item->notesExpanded().value_or(false));
    const std::optional<AttributedString> notes = notesOfCard();
    m_lastRecorded = notes.value_or(AttributedString());
    if (!notes) {
        m_noteTextView->runProgrammaticChange([&] { m_noteTextView->storage().setAttributedString({}); });
        // No notes are all of them.
        m_fullTextSet = true;
    } else {
        // A card that never said counts as collapsed, as its height does: a reused cell must not
        // keep the text of the card it showed before.
        // Notes of one line are their own first line, shown whole even while collapsed.
        const bool whole = m_item->notesExpanded().value_or(false) || !notes->string().contains(QChar(u'\n'));
        AttributedString shown = whole ? *notes : m_item->firstAttributedLineAndReturn();
        // Long notes not being edited show their first lines only, as many as reach past the
        // card's foot: editing puts in the rest.
        bool full = whole;
        if (whole && !m_noteTextView->isFirstResponder() && notes->length() > notesShownInPart) {
            // Lines are a line high at least: this many reach past the card's foot.
            const QString& text = notes->string();
            qsizetype cut = -1;
            for (int line = 0; line < linesShownInPart && (cut >= 0 || line == 0); ++line)
                cut = text.indexOf(QChar(u'\n'), cut + 1);
            if (cut >= 0)
                cut = std::max(cut, text.indexOf(QChar(u'\n'), notesShownInPart));
            if (cut >= 0) {
                shown = notes->attributedSubstring(TextRange {0, int(cut)});
                full = false;
            }
        }
        m_noteTextView->runProgrammaticChange([&] { m_noteTextView->storage().setAttributedString(shown); });
        m_fullTextSet = full;
        m_noteTextView->layoutCheckButtons();
        m_noteTextView->styleTags();
        highlightSearchTerm();
    }
    updateChevronVisibility();

    showFlag(m_item->priority().value_or(false));

    m_done = m_item->done();
    m_checkButton->setState(m_done ? 1 : 0);
    m_notesOpacity = m_done ? 0.3 : 1.0;
    m_doneDateField->setVisible(m_done);
    AccessibleNames::setToolTip(
        m_checkButton, m_done ? local(QStringLiteral("Unmark Done")) : local(QStringLiteral("Mark Done")));

    m_showDateButton->setDateValue(m_item->dueDate());
    m_showDateButton->updateDateDisplay(now());
    // Also says the card afresh.
    updateDueDateColour();

    // Without a done date the field is emptied: a reused cell never shows another card's time.
    m_doneDateField->setDateValue(m_item->doneDate());
    m_doneDateField->updateDisplay();
    layOut();
    update();
}

void ListItemCellView::updateTagLook()
{
    // Hashtags stand out from whatever shows behind the card's text.
    const QColor behind = m_delegate ? m_delegate->colourBehindItems() : palette().color(QPalette::Window);
    m_noteTextView->setTextBackground(composited(backdropColour(), behind));
    // A done card's notes fade; its hashtags stay whole, so that they can still be read.
    auto* effect = static_cast<QGraphicsOpacityEffect*>(m_noteTextView->graphicsEffect());
    effect->setOpacity(1.0);
    if (m_notesOpacity >= 1.0 || m_noteTextView->size().isEmpty()) {
        effect->setOpacity(m_notesOpacity);
        effect->setOpacityMask(QBrush());
        return;
    }
    QImage mask(m_noteTextView->size(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(QColor(0, 0, 0, qRound(255 * m_notesOpacity)));
    QPainter painter(&mask);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& tag : m_noteTextView->hashtagRegion())
        painter.fillRect(tag, Qt::black);
    painter.end();
    effect->setOpacityMask(QBrush(mask));
}

void ListItemCellView::highlightSearchTerm()
{
    CardBoard* kanbanView = board();
    const std::optional<QString> term = kanbanView ? kanbanView->searchTerm() : std::nullopt;
    QList<TextRange> found;
    // The highlights are for reading; editing shows the plain text.
    if (term && !term->isEmpty() && !m_noteTextView->isFirstResponder()) {
        const QString text = m_noteTextView->string();
        for (qsizetype at = text.indexOf(*term, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(*term, at + term->size(), Qt::CaseInsensitive))
            found.append(TextRange {int(at), int(term->size())});
    }
    m_noteTextView->setSearchHighlights(found);
}

void ListItemCellView::updateChevronVisibility()
{
    m_noteButton->setVisible(m_noteTextView->string().contains(QChar(u'\n')));
}

void ListItemCellView::updateSelectionAppearance()
{
    if (!isSelected()) {
        m_noteTextView->highlightAttachmentCells(m_noteTextView->selectedCellRange().value_or(TextRange {}));
        dropTextSelection();
    }
    QAccessible::State selection;
    selection.selected = true;
    announceState(selection);
    update();
}

void ListItemCellView::updateDueDateColour()
{
    if (!m_item)
        return;
    if (!m_item->done() && !m_showDateButton->dateValue())
        m_showDateButton->setBackgroundColour(transparentWhite(palette(), false));
    else
        m_showDateButton->setBackgroundColour(DateDisplayButton::badgeColour(*m_item, now(), userDefaults()));
    // Overdue follows the clock.
    updateAccessibleCard();
}

void ListItemCellView::updateAccessibleCard()
{
    const bool dated = m_item && m_showDateButton->dateValue();
    // The notes as shown when the editor holds them whole: what is typed may not be in the card yet.
    const QString dueText = dated ? m_showDateButton->text() : QString();
    const CardAccessibleText said = !m_item ? CardAccessibleText {}
        : m_fullTextSet
        ? CardAccessibleText::of(*m_item, m_noteTextView->storage().attributedString(), dueText,
              !m_done && m_item->isOverdue(now()))
        : CardAccessibleText::of(*m_item, dueText, !m_done && m_item->isOverdue(now()));
    setAccessibleName(said.name);
    setAccessibleDescription(said.description);
    if (said.text == m_accessibleNotes)
        return;
    QAccessibleTextUpdateEvent changed(this, 0, m_accessibleNotes, said.text);
    m_accessibleNotes = said.text;
    QAccessible::updateAccessibility(&changed);
}

void ListItemCellView::announceState(QAccessible::State changed)
{
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void ListItemCellView::updateDueDate()
{
    if (!m_item)
        return;
    // The words change with the colour: a deadline passed reads "Today" as it turns red.
    m_showDateButton->updateDateDisplay(now());
    updateDueDateColour();
    layOut();
}

void ListItemCellView::updateCellHeight(bool skipLayout)
{
    if (!m_item || !m_delegate)
        return;
    m_noteTextView->updateGeometry();
    m_delegate->itemHeightChanged(m_item, skipLayout);
}

void ListItemCellView::updateExpandButton(bool expanded)
{
    m_noteButton->setArrowType(expanded ? Qt::UpArrow : Qt::DownArrow);
    AccessibleNames::setToolTip(
        m_noteButton, expanded ? local(QStringLiteral("Collapse")) : local(QStringLiteral("Expand")));
    QAccessible::State expansion;
    expansion.expanded = true;
    expansion.collapsed = true;
    announceState(expansion);
}

void ListItemCellView::noteButtonTapped()
{
    if (!m_item)
        return;
    // Expanding puts the card's notes into the editor: with what was typed in them.
    commitNotes();
    const bool expanded = !m_item->notesExpanded().value_or(false);
    m_item->setNotesExpanded(expanded);
    updateChevronVisibility();
    updateExpandButton(expanded);
    if (expanded) {
        if (const std::optional<AttributedString> notes = notesOfCard())
            m_noteTextView->runProgrammaticChange([&] { m_noteTextView->storage().setAttributedString(*notes); });
        m_fullTextSet = true;
        m_noteTextView->layoutCheckButtons();
        highlightSearchTerm();
    } else {
        // The text stays whole; a caret below the first line goes to its end.
        QTextCursor cursor = m_noteTextView->textCursor();
        const int lineBreak = int(m_noteTextView->string().indexOf(QChar(u'\n')));
        if (lineBreak >= 0 && lineBreak < cursor.selectionStart()) {
            cursor.setPosition(lineBreak);
            m_noteTextView->setTextCursor(cursor);
        }
    }
    updateCellHeight(true);
}

void ListItemCellView::checkButtonTapped()
{
    CardBoard* kanbanView = board();
    commitNotes();
    if (m_item && kanbanView)
        kanbanView->flipDoneStatesOf({m_item});
}

void ListItemCellView::flagButtonTapped()
{
    if (!m_item)
        return;
    const bool flagged = !m_item->priority().value_or(false);
    showFlag(flagged);
    m_item->setPriority(flagged);
    updateAccessibleCard();
}

void ListItemCellView::showFlag(bool flagged)
{
    m_flagButton->setChecked(flagged);
    m_flagButton->setIcon(flagPixmap(flagged, palette().color(QPalette::Text)));
}

void ListItemCellView::clicked(const QPoint& point)
{
    if (!m_noteTextView->isFirstResponder() && m_noteTextView->geometry().contains(point))
        m_noteTextView->beginEditingAt(m_noteTextView->viewport()->mapFrom(this, point));
}

void ListItemCellView::mouseEntered()
{
    if (m_checkButton->state() == 0)
        m_checkButton->setTickShown(true);
}

void ListItemCellView::mouseExited()
{
    if (m_checkButton->state() == 0 && !m_checkButton->buttonClicked())
        m_checkButton->setTickShown(false);
}

bool ListItemCellView::eventFilter(QObject* watched, QEvent* event)
{
    // The card frames the button that has the keyboard.
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        update();
    // Only a cell in a column previews the tick.
    if (watched == m_checkButton && m_delegate) {
        if (event->type() == QEvent::Enter)
            mouseEntered();
        else if (event->type() == QEvent::Leave)
            mouseExited();
    }
    return QWidget::eventFilter(watched, event);
}

void ListItemCellView::relayoutNotesTextView()
{
    ConsoleLog::write(QStringLiteral("relayout called"));
    // Bounded: the editor either reaches the top or stays where two passes put it.
    for (int pass = 0; pass < 2 && m_noteTextView->y() != qRound(notesTop * m_scale); ++pass) {
        m_notesTopOffset = 1;
        layOut();
        m_notesTopOffset = 0;
        layOut();
    }
}

void ListItemCellView::test()
{
    ConsoleLog::write(QStringLiteral("mouse down fired"));
}

void ListItemCellView::setEditingButtonsVisible(bool visible)
{
    for (QToolButton* button : editingButtons())
        button->setVisible(visible);
}

std::optional<AttributedString> ListItemCellView::notesOfCard() const
{
    return m_item ? m_item->getAttributedNotes() : std::nullopt;
}

QVariantMap ListItemCellView::shouldChangeTypingAttributes(const QVariantMap& proposed) const
{
    QVariantMap attributes = proposed;
    attributes.insert(AttributeKey::foregroundColor, normalTypingColour());
    const QString style = attributes.value(AttributeKey::noteStyleName).toString();
    if (style != QStringLiteral("header") && style != QStringLiteral("title")) {
        const QVariantMap normal = normalAttributes();
        if (normal.contains(AttributeKey::font))
            attributes.insert(AttributeKey::font, normal.value(AttributeKey::font));
        else
            attributes.remove(AttributeKey::font);
    }
    return attributes;
}

QList<Tag*> ListItemCellView::existingTags() const
{
    KanbanColumn* column = m_item ? m_item->column() : nullptr;
    if (!column)
        return {};
    if (Kanban* kanban = column->kanban())
        return kanban->tags();
    if (Kanban* kanban = column->mainKanban())
        return kanban->tags();
    return {};
}

void ListItemCellView::writeNotesIntoCard()
{
    // An editor holding part of the notes (a collapsed card's first line, the first lines of long
    // ones) never writes that part over the whole.
    if (m_item && m_fullTextSet)
        m_item->setAttributedNotesNewNote(m_noteTextView->storage().attributedString());
    m_notesUnwritten = false;
}

void ListItemCellView::commitNotes()
{
    if (m_notesUnwritten)
        writeNotesIntoCard();
}

void ListItemCellView::commitPendingEdits()
{
    commitNotes();
}

void ListItemCellView::textDidChange()
{
    if (!m_item)
        return;
    recordTyping();
    const QList<TextRange> selection = m_noteTextView->selectedRanges();
    m_noteTextView->runProgrammaticChange([&] {
        if (NotesTextViewFormatHelper* formatter = m_noteTextView->notesTextViewFormatHelper())
            formatter->ensureAttachmensOnItsOwnLine();
        m_noteTextView->setSelectedRanges(selection);
    });
    m_noteTextView->layoutCheckButtons();
    // Links and tags can only be new in the lines the user changed; the rest is styled already.
    const TextRange changed = m_noteTextView->takeChangedLines().value_or(TextRange {});
    m_noteTextView->detectLinks(changed);
    updateChevronVisibility();
    m_noteTextView->updateCardTags(changed);
    m_noteTextView->styleTags(changed);
    if (m_noteTextView->takeTextChanged()) {
        if (m_noteTextView->isTypingHashTag())
            m_noteTextView->complete();
        else
            m_noteTextView->hideCompletions();
    }
    // Short notes reach the card at once. Long ones with the save that follows, or sooner when
    // anything else needs them: writing notes costs what the whole note costs.
    m_notesUnwritten = true;
    if (m_noteTextView->storage().length() <= notesWrittenAtOnce)
        writeNotesIntoCard();
    updateAccessibleCard();
    updateCellHeight(false);
    updateTagLook();
    m_deferredSave->changed();
}

void ListItemCellView::textDidEndEditing()
{
    closeTypingStep();
    writeNotesIntoCard();
    m_noteTextView->setIsFirstResponder(false);
    m_noteTextView->updateEditingState();
    // Escape leaves the card selected, and an editor out of focus still paints its selection.
    dropTextSelection();
    saveNow();
}

void ListItemCellView::dropTextSelection()
{
    QTextCursor end(m_noteTextView->document());
    end.movePosition(QTextCursor::End);
    m_noteTextView->setTextCursor(end);
}

void ListItemCellView::saveNow()
{
    commitNotes();
    m_deferredSave->cancel();
    if (CardBoard* kanbanView = board())
        kanbanView->saveAction();
}

void ListItemCellView::saveTyping()
{
    // Saving on the way ends no typing run: it stays one step to undo.
    const bool typing = m_typingStepOpen;
    saveNow();
    m_typingStepOpen = typing;
}

void ListItemCellView::textViewDidChangeSelection(int oldPosition, bool byTyping)
{
    if (!byTyping)
        closeTypingStep();
    if (m_checkForExpantion && m_item && !m_item->notesExpanded().value_or(false)) {
        const int position = m_noteTextView->textCursor().position();
        const int lineBreak = int(m_noteTextView->string().indexOf(QChar(u'\n')));
        if (position != oldPosition && m_noteTextView->isFirstResponder() && lineBreak >= 0 && lineBreak < position) {
            m_item->setNotesExpanded(true);
            updateExpandButton(true);
            updateCellHeight(true);
        }
    }
    m_checkForExpantion = true;
}

void ListItemCellView::recordTyping()
{
    if (m_recordingSuspended || m_typingStepOpen)
        return;
    m_registering = true;
    CardNotesUndo::registerSnapshot(board(), m_item, m_lastRecorded, typingActionName);
    m_registering = false;
    m_typingStepOpen = true;
}

void ListItemCellView::closeTypingStep()
{
    // The next step starts from the notes as the last one left them.
    if (m_typingStepOpen)
        m_lastRecorded = m_noteTextView->storage().attributedString();
    m_typingStepOpen = false;
}

void ListItemCellView::watchUndoManager()
{
    UndoManager* manager = undoManager();
    if (manager == m_watchedUndoManager)
        return;
    disconnect(m_undoChanged);
    m_watchedUndoManager = manager;
    if (!manager)
        return;
    // Anything else recorded, or undone, ends the typing step; a group closing changes nothing.
    m_undoChanged = connect(manager, &UndoManager::changed, this, [this] {
        if (m_registering || !m_typingStepOpen)
            return;
        if (!m_watchedUndoManager->canUndo() || m_watchedUndoManager->undoActionName() != typingActionName
            || m_watchedUndoManager->isUndoing() || m_watchedUndoManager->isRedoing())
            closeTypingStep();
    });
}

void ListItemCellView::runNamedStep(const QString& name, const std::function<void()>& change)
{
    // A change of notes shown in part (a box ticked below the first lines) is made to the whole.
    if (!m_fullTextSet && m_item && m_item->notesExpanded().value_or(false)) {
        if (const std::optional<AttributedString> notes = notesOfCard()) {
            m_noteTextView->runProgrammaticChange([&] { m_noteTextView->storage().setAttributedString(*notes); });
            m_fullTextSet = true;
            m_lastRecorded = *notes;
        }
    }
    closeTypingStep();
    const AttributedString before = m_noteTextView->storage().attributedString();
    m_recordingSuspended = true;
    m_noteTextView->runProgrammaticChange(change);
    m_recordingSuspended = false;
    const AttributedString after = m_noteTextView->storage().attributedString();
    if (after == before || !m_item)
        return;
    m_registering = true;
    CardNotesUndo::registerSnapshot(board(), m_item, before, name);
    m_registering = false;
    m_lastRecorded = after;
    writeNotesIntoCard();
    updateCellHeight(false);
    m_deferredSave->changed();
}

void ListItemCellView::restoreNotes(const AttributedString& notes)
{
    closeTypingStep();
    const int caret = m_noteTextView->textCursor().position();
    const QString before = m_noteTextView->string();
    // A list of completions belongs to the text typed before.
    m_noteTextView->hideCompletions();
    m_noteTextView->runProgrammaticChange([&] { m_noteTextView->storage().setAttributedString(notes); });
    // Highlights found in the notes as they were would fall on other words, or past the end.
    highlightSearchTerm();
    m_fullTextSet = true;
    m_lastRecorded = notes;
    m_noteTextView->takeTextChanged();
    writeNotesIntoCard();
    QTextCursor cursor(m_noteTextView->document());
    cursor.setPosition(caretAfterChange(before, notes.string(), caret));
    m_noteTextView->runProgrammaticChange([&] { m_noteTextView->setTextCursor(cursor); });
    m_noteTextView->layoutCheckButtons();
    m_noteTextView->updateCardTags();
    m_noteTextView->styleTags();
    updateChevronVisibility();
    updateAccessibleCard();
    updateCellHeight(false);
    if (m_noteTextView->isFirstResponder())
        m_deferredSave->changed();
}

QColor ListItemCellView::backdropColour() const
{
    return transparentWhite(palette(), m_done);
}

void ListItemCellView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOut();
}

void ListItemCellView::layOut()
{
    const qreal m = m_scale;
    const int width = qRound(this->width() / m);
    const int height = qRound(this->height() / m);
    const auto place = [m](QWidget* widget, qreal x, qreal y, qreal w, qreal h) {
        widget->setGeometry(QRectF(x * m, y * m, w * m, h * m).toRect());
    };
    // The box stays round: one side, whatever the rounding of its corners.
    const int box = qRound(CheckedButton::defaultWidth * m);
    m_checkButton->setGeometry(qRound(14 * m), qRound((topRowY + 4) * m), box, box);
    place(m_flagButton, width - 36, topRowY + 2, 22, 22);
    const QSize badge = m_showDateButton->sizeHint() / m;
    place(m_showDateButton, width - 40 - badge.width(), topRowY + 4 + (18 - badge.height()) / 2.0, badge.width(),
        badge.height());
    // The notes keep their full-size layout; the editor draws them at the zoom.
    m_noteTextView->setGeometry(qRound(notesLeft * m), qRound(notesTop * m) + m_notesTopOffset, qRound(notesWidth * m),
        std::max(0, qRound((height - fixedHeight) * m)));
    const int bottom = height - bottomRowHeight;
    int x = 14;
    for (QToolButton* button : editingButtons()) {
        place(button, x, bottom + 9, 24, 22);
        x += 28;
    }
    place(m_doneDateField, width - 150, bottom + 11, 104, 18);
    place(m_noteButton, width - 36, bottom + 10, 20, 20);
    updateTagLook();
}

void ListItemCellView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(m_scale, m_scale);
    const QSizeF size = QSizeF(width(), height()) / m_scale;
    const QRectF panel(panelInsetX, panelInsetY, size.width() - 2 * panelInsetX, size.height() - 2 * panelInsetY);
    painter.setBrush(backdropColour());
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(panel, panelRadius, panelRadius);
    if (isSelected()) {
        // The frame keeps its width at every zoom, its blue ring just outside the card's edge.
        painter.resetTransform();
        const QRectF shown(panel.topLeft() * m_scale, panel.size() * m_scale);
        FocusFrame::paint(painter, shown.adjusted(-2, -2, 2, 2), panelRadius * m_scale + 2);
    }
    // A button reached by the keyboard is framed around its edge; the notes show their caret.
    const QWidget* focus = QApplication::focusWidget();
    if (focus && focus->parentWidget() == this && focus != m_noteTextView
        && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.resetTransform();
        const qreal margin = FocusFrame::width;
        FocusFrame::paint(
            painter, QRectF(focus->geometry()).adjusted(-margin, -margin, margin, margin), FocusFrame::buttonRadius);
    }
}
