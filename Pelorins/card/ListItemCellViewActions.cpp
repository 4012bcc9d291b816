// The card cell's actions: its context menu, adding and deleting cards, its history, and the
// link cards of its notes.

#include "Pelorins/card/CalendarEventDialog.h"
#include "Pelorins/card/CalendarEventLink.h"
#include "Pelorins/card/CardBoard.h"
#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/DatePickerViewController.h"
#include "Pelorins/card/DeferredSave.h"
#include "Pelorins/card/ListItemCellDelegate.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "PelorinsKit/notes/TextAttachment.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/services/CalendarStore.h"
#include "Platform/services/FileBookmark.h"
#include "Platform/widgets/Popover.h"

#include <QContextMenuEvent>
#include <QMenu>

const QString ListItemCellView::changeDueDateActionName = QStringLiteral("Change Due Date");
const QString ListItemCellView::addCardAboveAction = QStringLiteral("addCardAbove:");
const QString ListItemCellView::addCardBelowAction = QStringLiteral("addCardBelow:");
const QString ListItemCellView::deleteCardAction = QStringLiteral("deleteCard:");
const QString ListItemCellView::getItemHistoryAction = QStringLiteral("getItemHistory:");
const QStringList ListItemCellView::openableLinkSchemes {QStringLiteral("file"), QStringLiteral("message"),
    QStringLiteral("calendar"), QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("ftp"),
    QStringLiteral("ssh")};

namespace {

const QString urlKey = QStringLiteral("URL");
const QString bookmarkKey = QStringLiteral("secureScopeBookmark");
const QString calendarDataKey = QStringLiteral("calendarData");
const QString calendarTitleKey = QStringLiteral("calendarTitle");

QString actionCaseName(std::optional<ListItemAction> action)
{
    if (!action)
        return QStringLiteral("unknown");
    switch (*action) {
    case ListItemAction::created:
        return QStringLiteral("created");
    case ListItemAction::moved:
        return QStringLiteral("moved");
    case ListItemAction::markedDone:
        return QStringLiteral("markedDone");
    }
    return QStringLiteral("unknown");
}

// A date as the console has always shown it: "2024-01-05 10:00:00 +0000".
QString standardDescription(const QDateTime& date)
{
    return date.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

} // namespace

bool ListItemCellView::respondsTo(const QString& action) const
{
    static const QStringList actions {relayoutNotesTextViewAction, testAction, addCardAboveAction, addCardBelowAction,
        deleteCardAction, getItemHistoryAction, NotesTextView::makeChecklistAction, NotesTextView::addAttachmentAction};
    return actions.contains(action);
}

void ListItemCellView::perform(const QString& action, QObject*)
{
    // The card's actions hand it to the column and the board: with what was typed.
    commitNotes();
    if (action == relayoutNotesTextViewAction)
        relayoutNotesTextView();
    else if (action == testAction)
        test();
    else if (action == addCardAboveAction)
        addCardAbove();
    else if (action == addCardBelowAction)
        addCardBelow();
    else if (action == deleteCardAction)
        deleteCard();
    else if (action == getItemHistoryAction)
        getItemHistory();
    else if (action == NotesTextView::makeChecklistAction)
        m_noteTextView->makeChecklist();
    else if (action == NotesTextView::addAttachmentAction)
        m_noteTextView->addAttachment();
}

void ListItemCellView::addCardAbove()
{
    if (!m_delegate || !m_item)
        return;
    if (const std::optional<IndexPath> path = m_delegate->indexPathFor(m_item))
        m_delegate->addNewItem(*path);
}

void ListItemCellView::addCardBelow()
{
    if (!m_delegate || !m_item)
        return;
    if (const std::optional<IndexPath> path = m_delegate->indexPathFor(m_item))
        m_delegate->addNewItem(IndexPath {path->section, path->item + 1});
}

void ListItemCellView::deleteCard()
{
    if (m_delegate)
        m_delegate->deleteSelectedItems();
}

void ListItemCellView::getItemHistory()
{
    if (!m_item)
        return;
    ConsoleLog::write(QStringLiteral("Item history:"));
    for (const ListItemHistory* entry : m_item->history()) {
        const QString column = entry->kanbanColumnUniqueIdentifier();
        if (column.isNull())
            continue;
        ConsoleLog::write(QStringLiteral("history entry action, ") + actionCaseName(entry->action())
            + QStringLiteral(", date ") + standardDescription(entry->date()) + QStringLiteral(", columnUUID: ")
            + column);
    }
}

void ListItemCellView::addCardActions(QMenu& menu)
{
    const QList<std::pair<QString, QString>> items {{local(QStringLiteral("Add Card Above")), addCardAboveAction},
        {local(QStringLiteral("Add Card Below")), addCardBelowAction},
        {local(QStringLiteral("Delete")), deleteCardAction},
        {local(QStringLiteral("Item History")), getItemHistoryAction},
        {local(QStringLiteral("Make Checklist")), NotesTextView::makeChecklistAction},
        {local(QStringLiteral("Attach File…")), NotesTextView::addAttachmentAction}};
    // Done cards take no new card beside them, as the Board menu says too.
    const std::optional<IndexPath> path = m_item && m_delegate ? m_delegate->indexPathFor(m_item) : std::nullopt;
    const bool addable = path && m_delegate->canAddNewItem(*path);
    for (const auto& [title, action] : items) {
        QAction* item = menu.addAction(title);
        item->setObjectName(action);
        const bool adding = action == addCardAboveAction || action == addCardBelowAction;
        item->setEnabled(m_item != nullptr && (!adding || addable));
        connect(item, &QAction::triggered, this, [this, action] { perform(action, this); });
    }
}

void ListItemCellView::selectForMenu()
{
    if (m_item && m_delegate && !isSelected())
        m_delegate->selectItem(m_item);
}

void ListItemCellView::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_item)
        return;
    selectForMenu();
    QMenu menu(this);
    addCardActions(menu);
    menu.exec(event->globalPos());
}

void ListItemCellView::clickedOnLink(int position)
{
    m_noteTextView->setSelectedRanges({{position, 1}});
}

void ListItemCellView::doubleClickedOnLink(int position)
{
    const QVariant stored = m_noteTextView->storage().attribute(AttributeKey::attachment, position);
    if (!stored.canConvert<TextAttachment>())
        return;
    const TextAttachment attachment = stored.value<TextAttachment>();
    const std::optional<QVariantMap> decoded
        = attachment.contents.isEmpty() ? std::nullopt : RichTextCodec::decodeDictionary(attachment.contents);
    if (!decoded || decoded->value(urlKey).typeId() != QMetaType::QUrl)
        return;
    const QVariantMap& link = *decoded;
    const QUrl url = link.value(urlKey).toUrl();
    if (!url.isValid() || url.scheme().isEmpty())
        return;
    const QString scheme = url.scheme().toLower();
    // Links arrive in pasted and imported notes: only the kinds a link card stands for are opened.
    if (!openableLinkSchemes.contains(scheme)) {
        ConsoleLog::write(QStringLiteral("scheme ") + scheme);
        return;
    }
    if (scheme == QStringLiteral("calendar")) {
        const QVariant calendarData = link.value(calendarDataKey);
        const QVariant title = calendarData.toMap().value(calendarTitleKey);
        if (calendarData.typeId() == QMetaType::QVariantMap && title.typeId() == QMetaType::QString)
            openCalendarEvent(CalendarEventLink::uid(url), title.toString());
        return;
    }
    const QVariant bookmark = link.value(bookmarkKey);
    if (bookmark.typeId() == QMetaType::QByteArray) {
        openLinkWithBookmark(position, link, bookmark.toByteArray());
        return;
    }
    m_noteTextView->openUrl(url);
    ConsoleLog::write(QStringLiteral("Old link attachmeent cell double clicked"));
}

void ListItemCellView::openLinkWithBookmark(int position, QVariantMap link, const QByteArray& bookmark)
{
    bool stale = false;
    QString error;
    const std::optional<QString> path = FileBookmark::resolve(bookmark, link.value(urlKey).toUrl(), &stale, &error);
    if (!path) {
        ConsoleLog::write(QStringLiteral("Error decoding secure bookmark ") + error);
        return;
    }
    FileBookmark::startAccessingSecurityScopedResource(*path);
    m_noteTextView->openUrl(QUrl::fromLocalFile(*path));
    if (stale) {
        const std::optional<QByteArray> renewed = FileBookmark::make(*path, &error);
        if (!renewed) {
            ConsoleLog::write(QStringLiteral("Could not re-bookmark data ") + error);
        } else {
            link.insert(bookmarkKey, *renewed);
            link.insert(urlKey, QUrl::fromLocalFile(*path));
            TextAttachment attachment
                = m_noteTextView->storage().attribute(AttributeKey::attachment, position).value<TextAttachment>();
            attachment.contents = RichTextCodec::encodeDictionary(link);
            m_noteTextView->runProgrammaticChange([&] {
                m_noteTextView->storage().addAttributes({{AttributeKey::attachment, QVariant::fromValue(attachment)},
                                                            {AttributeKey::attachmentLinkData, link}},
                    {position, 1});
            });
            m_lastRecorded = m_noteTextView->storage().attributedString();
            writeNotesIntoCard();
            saveNow();
        }
    }
    FileBookmark::stopAccessingSecurityScopedResource(*path);
}

void ListItemCellView::openCalendarEvent(const QString& externalIdentifier, const QString& calendarTitle)
{
    ConsoleLog::write(QStringLiteral("open calendar"));
    CardBoard* kanbanView = board();
    CalendarStore* calendars = kanbanView ? kanbanView->eventStore() : nullptr;
    if (!calendars) {
        ConsoleLog::write(QStringLiteral("error: no calendars are set up"));
        return;
    }
    const std::optional<CalendarEvent> event = calendars->event(externalIdentifier);
    if (!event) {
        ConsoleLog::write(QStringLiteral("error: the event ") + externalIdentifier + QStringLiteral(" of calendar ")
            + calendarTitle + QStringLiteral(" was not found"));
        return;
    }
    auto* dialog = new CalendarEventDialog(*event, window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

Tag* ListItemCellView::createTag(const QString& name)
{
    ManagedObjectContext* context = m_item ? m_item->managedObjectContext() : nullptr;
    if (!context)
        return nullptr;
    const QList<Tag*> existing = existingTags();
    auto* tag = context->insertNewObject<Tag>(QStringLiteral("Tag"));
    if (!tag)
        return nullptr;
    tag->setName(name);
    if (KanbanColumn* column = m_item->column())
        tag->setKanban(column->kanban() ? column->kanban() : column->mainKanban());
    // While a tag is typed letter by letter, the tag of the shorter text falls out of use and
    // the longer one keeps its colour.
    for (const Tag* grownFrom : existing) {
        if (!grownFrom->hasItems() && (grownFrom->name().contains(name) || name.contains(grownFrom->name()))) {
            tag->setColour(grownFrom->colour());
            return tag;
        }
    }
    constexpr int paletteSize = 7;
    for (int colour = 0; colour < paletteSize; ++colour) {
        const bool taken = std::any_of(
            existing.cbegin(), existing.cend(), [colour](const Tag* other) { return other->colour() == colour; });
        if (!taken) {
            tag->setColour(colour);
            return tag;
        }
    }
    return tag;
}

QStringList ListItemCellView::completions() const
{
    const std::optional<QString> partial = m_noteTextView->partialHashTag();
    if (!partial)
        return {};
    QStringList names;
    for (const Tag* tag : existingTags()) {
        const QString name = tag->name();
        if (name.isEmpty() || name == *partial || !tag->hasItems())
            continue;
        if (!partial->isEmpty() && !name.toLower().startsWith(partial->toLower()))
            continue;
        names.append(name + QLatin1Char(' '));
    }
    if (names.isEmpty())
        return {};
    std::sort(names.begin(), names.end());
    names.prepend(QString());
    return names;
}

void ListItemCellView::showPicker()
{
    delete m_datePopover;
    auto* popover = new Popover(this);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    auto* picker = new DatePickerViewController;
    if (m_item)
        picker->setDate(m_item->dueDate() ? *m_item->dueDate() : DateHelpers::nearestDeadline(now(), userDefaults()));
    picker->setDelegate(this);
    picker->setContainingPopover(popover);
    popover->setContentWidget(picker);
    m_datePopover = popover;
    popover->showRelativeTo(m_showDateButton);
}

DatePickerViewController* ListItemCellView::datePicker() const
{
    return m_datePopover ? qobject_cast<DatePickerViewController*>(m_datePopover->contentWidget()) : nullptr;
}

void ListItemCellView::datePickedWithDate(const std::optional<QDateTime>& date)
{
    m_showDateButton->setDateValue(date);
    m_showDateButton->updateDateDisplay(now());
    // The badge is as wide as its text.
    layOut();
    if (m_item) {
        if (CardBoard* kanbanView = board())
            changeDueDate(kanbanView, m_item, date, this);
        else
            m_item->setDueDate(date);
    }
    updateDueDateColour();
    m_deferredSave->changed();
}

void ListItemCellView::changeDueDate(
    CardBoard* board, ListItem* card, const std::optional<QDateTime>& date, const void* poster)
{
    const std::optional<QDateTime> previous = card->dueDate();
    // The popover reports the date it opens with: a date the card has already is no change.
    if (card->isDeleted() || previous == date)
        return;
    if (UndoManager* undo = board->undoManager()) {
        // The step holds the card, never a cell: columns show other cards in their cells.
        undo->registerUndo(board->undoOwner(), [board, card, previous] {
            ListItemCellView* shown = board->cellShowing(card);
            changeDueDate(board, card, previous, shown);
            if (shown) {
                shown->m_showDateButton->setDateValue(previous);
                shown->m_showDateButton->updateDateDisplay(shown->now());
                shown->layOut();
                shown->updateDueDateColour();
            }
            board->saveAction();
        });
        undo->setActionName(changeDueDateActionName);
    }
    card->setDueDate(date);
    // Due-soon and overdue counts change with the date.
    board->notificationCenter().post(NotificationName::dueSoonDefinitionChanged, poster);
}

std::optional<QString> ListItemCellView::listItemURLString() const
{
    return m_item ? std::optional<QString>(m_item->itemURLString()) : std::nullopt;
}

ReminderCenter* ListItemCellView::reminderCenter() const
{
    CardBoard* kanbanView = board();
    return kanbanView ? kanbanView->reminderCenter() : nullptr;
}

UserDefaults& ListItemCellView::userDefaults() const
{
    CardBoard* kanbanView = board();
    return kanbanView ? kanbanView->userDefaults() : UserDefaults::standard();
}

void ListItemCellView::requestDeferredSave()
{
    m_deferredSave->changed();
}

CalendarStore* ListItemCellView::eventStore() const
{
    CardBoard* kanbanView = board();
    return kanbanView ? kanbanView->eventStore() : nullptr;
}
