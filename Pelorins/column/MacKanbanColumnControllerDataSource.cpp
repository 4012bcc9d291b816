#include "Pelorins/column/MacKanbanColumnController.h"

#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnAddButtonItem.h"
#include "Pelorins/column/KanbanColumnCollectionViewFlowLayout.h"
#include "Pelorins/column/KanbanColumnEmptySpacerViewItem.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "Pelorins/column/ListItemAddItemButtonCell.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Pelorins/column/MacKanbanColumnControllerListAdapter.h"
#include "Pelorins/column/MacKanbanColumnControllerSnapshot.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/AttributedString.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/TextMeasures.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr qreal heightWithoutNotes = 108.0;

// Identities of the rows that are not cards: one of each kind per section. Cards are told by
// their address, which is never odd.
constexpr quint64 addButtonIdentity = 1;

constexpr quint64 emptySpacerIdentity = 3;

quint64 rowIdentity(int section, quint64 kind)
{
    return (quint64(quint32(section)) << 3) | kind;
}

// The height of a card as a list can use it: a broken measure takes the card's fixed height.
qreal usableHeight(qreal height, qreal zoom)
{
    return std::isfinite(height) && height >= 0 ? height : heightWithoutNotes * zoom;
}

// The text height of one line of body text, which the estimate of an unmeasured card adds to the
// fixed part of a card.
qreal oneLineHeight()
{
    static const qreal height = heightToFit(AttributedString(QStringLiteral("M"), normalAttributes()), 300.0 - 2 * 8.0);
    return height;
}

} // namespace

MacKanbanColumnController::ListAdapter::ListAdapter(MacKanbanColumnController& column)
    : m_column(column)
{
}

QString MacKanbanColumnController::ListAdapter::itemKind(const IndexPath& path) const
{
    const Snapshot& snapshot = m_column.snapshot();
    if (snapshot.isAddButton(path))
        return KanbanColumnAddButtonItem::identifier;
    if (snapshot.isEmptySpacer(path))
        return KanbanColumnEmptySpacerViewItem::identifier;
    return KanbanColumnListItem::identifier;
}

quint64 MacKanbanColumnController::ListAdapter::itemIdentity(const IndexPath& path) const
{
    const Snapshot& snapshot = m_column.snapshot();
    if (snapshot.isAddButton(path))
        return rowIdentity(path.section, addButtonIdentity);
    if (snapshot.isEmptySpacer(path))
        return rowIdentity(path.section, emptySpacerIdentity);
    return quint64(quintptr(snapshot.card(path)));
}

QSize MacKanbanColumnController::ListAdapter::sizeForItem(const IndexPath& path, int) const
{
    const Snapshot& snapshot = m_column.snapshot();
    const int columnWidth = m_column.m_delegate ? int(m_column.m_delegate->columnWidth()) : 0;
    if (snapshot.isAddButton(path))
        return QSize(columnWidth, m_column.scaled(addButtonHeight));
    if (snapshot.isEmptySpacer(path))
        return QSize(columnWidth, m_column.scaled(emptySpacerHeight));
    ListItem* card = snapshot.card(path);
    if (!card)
        return QSize(0, m_column.scaled(missingCardHeight));
    return QSize(0, m_column.measuredHeight(card));
}

std::optional<QSize> MacKanbanColumnController::ListAdapter::estimatedSizeForItem(const IndexPath& path, int) const
{
    ListItem* card = m_column.snapshot().card(path);
    if (!card || !m_column.m_delegate)
        return std::nullopt;
    return QSize(0, m_column.estimatedHeight(card));
}

QWidget* MacKanbanColumnController::ListAdapter::createItemWidget(const QString& kind)
{
    if (kind == KanbanColumnAddButtonItem::identifier && m_column.m_delegate)
        return new KanbanColumnAddButtonItem(
            m_column.m_delegate->userDefaults(), m_column.m_delegate->notificationCenter());
    if (kind == KanbanColumnListItem::identifier)
        return new KanbanColumnListItem;
    return new KanbanColumnEmptySpacerViewItem;
}

void MacKanbanColumnController::ListAdapter::configureItem(QWidget* widget, const IndexPath& path)
{
    if (auto* add = qobject_cast<KanbanColumnAddButtonItem*>(widget)) {
        ListItemAddItemButtonCell* cell = add->view();
        cell->setKanbanColumnController(&m_column);
        cell->setSection(path.section);
        cell->setScale(m_column.zoom());
        return;
    }
    auto* item = qobject_cast<KanbanColumnListItem*>(widget);
    if (!item)
        return;
    ListItemCellView* card = item->view();
    card->setPresentedContext(ListItemCellViewPresentedInContext::kanbanColumn);
    card->setDelegate(&m_column);
    card->setScale(m_column.zoom());
    card->setObjectValue(m_column.snapshot().card(path));
    card->setSelected(m_column.m_collectionView->selectionIndexPaths().contains(path));
    card->updateSelectionAppearance();
}

void MacKanbanColumnController::ListAdapter::itemClicked(const IndexPath& path, const QPoint& viewportPoint)
{
    auto* item = qobject_cast<KanbanColumnListItem*>(m_column.m_collectionView->itemWidget(path));
    if (!item)
        return;
    ListItemCellView* card = item->view();
    card->clicked(card->mapFrom(m_column.m_collectionView->viewport(), viewportPoint));
}

QList<ListItem*> MacKanbanColumnController::withoutDeleted(const QList<ListItem*>& cards)
{
    QList<ListItem*> kept = cards;
    kept.removeIf([](const ListItem* card) { return card->toBeDeleted(); });
    return kept;
}

int MacKanbanColumnController::numberOfItems(int inSection)
{
    return m_collectionView->numberOfItems(inSection);
}

void MacKanbanColumnController::itemHeightChanged(ListItem* item, bool skipLayout)
{
    if (m_delegate && m_delegate->useItemHeightCache() && m_delegate->cachedItemHeight(item)) {
        QHash<ListItem*, qreal> cache = m_delegate->itemHeightCache();
        cache.remove(item);
        m_delegate->setItemHeightCache(cache);
    }
    // Whatever drag gap was open closes.
    if (skipLayout)
        setCollectionViewLayout(std::make_unique<KanbanColumnCollectionViewFlowLayout>(this));
    // Either way the card takes its new height at once: a collapsed card shrinks as the chevron
    // turns.
    if (const std::optional<IndexPath> path = snapshot().pathOf(item))
        m_collectionView->invalidateItemSize(*path);
}

qreal MacKanbanColumnController::draggedItemsHeight()
{
    MacKanbanColumnController* holder = m_draggingIndexPaths ? this : nullptr;
    if (!holder && m_delegate) {
        const QList<MacKanbanColumnController*> controllers = m_delegate->columnControllers();
        const auto found = std::find_if(controllers.cbegin(), controllers.cend(),
            [](const MacKanbanColumnController* controller) { return controller->m_draggingIndexPaths.has_value(); });
        holder = found == controllers.cend() ? nullptr : *found;
    }
    if (!holder)
        return 0.0;
    qreal height = 0;
    for (const IndexPath& path : *holder->m_draggingIndexPaths)
        if (ListItem* card = holder->itemFor(path))
            height += holder->heightForItem(card);
    return height;
}

qreal MacKanbanColumnController::heightOfSection(int section)
{
    KanbanColumn* stage = m_delegate ? m_delegate->kanbanColumns().value(section) : nullptr;
    qreal height = headerHeight + scaled(addButtonHeight);
    if (!stage)
        return height;
    // As the list lays the stage out: measured cards at their height, the others at their
    // estimate until the list measures them, so that no card is measured to place a column.
    const bool estimates = m_delegate->useItemHeightCache();
    for (ListItem* card : withoutDeleted(stage->item()))
        height += estimates ? estimatedHeight(card) : measuredHeight(card);
    return height;
}

int MacKanbanColumnController::measuredHeight(ListItem* card) const
{
    // What is typed into long notes reaches the card a little later: such a card is measured by
    // its notes as its editor holds them.
    if (ListItemCellView* cell = cellShowing(card); cell && cell->hasUnwrittenNotes())
        return qRound(
            usableHeight(heightForShownNotes(card, cell->noteTextView()->storage().attributedString()), zoom()));
    return qRound(usableHeight(heightForItem(card), zoom()));
}

int MacKanbanColumnController::estimatedHeight(ListItem* card) const
{
    if (m_delegate && m_delegate->useItemHeightCache())
        if (const std::optional<qreal> cached = m_delegate->cachedItemHeight(card))
            return qRound(usableHeight(*cached * zoom(), zoom()));
    return qRound((heightOfFixedItems() + oneLineHeight()) * zoom());
}

qreal MacKanbanColumnController::zoom() const
{
    return m_collectionView ? m_collectionView->magnification() : 1.0;
}

int MacKanbanColumnController::scaled(qreal fullSize) const
{
    return qRound(fullSize * zoom());
}

void MacKanbanColumnController::invalidateSnapshot()
{
    m_snapshot.reset();
}

const MacKanbanColumnController::Snapshot& MacKanbanColumnController::snapshot()
{
    if (m_snapshot)
        return *m_snapshot;
    auto shown = std::make_unique<Snapshot>();
    const Kanban* board = m_delegate ? m_delegate->kanban() : nullptr;
    if (board) {
        const QList<KanbanColumn*> stages = m_delegate->kanbanColumns();
        shown->stageCount = int(stages.size());
        const auto addDays = [&] {
            for (const QDateTime& day : distinctDoneDates())
                shown->sections.append({nullptr, day, doneItemsOn(day, true)});
        };
        if (m_showAllSections) {
            for (KanbanColumn* stage : stages)
                shown->sections.append({stage, std::nullopt, filteredItemsFor(stage)});
            addDays();
        } else if (m_specifiedSection >= shown->stageCount) {
            shown->doneColumnAlone = true;
            addDays();
        } else if (m_specifiedSection >= 0) {
            KanbanColumn* stage = stages.at(m_specifiedSection);
            shown->sections.append({stage, std::nullopt, filteredItemsFor(stage)});
        }
    }
    m_snapshot = std::move(shown);
    return *m_snapshot;
}
