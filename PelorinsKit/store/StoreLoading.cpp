#include "PelorinsKit/store/StoreLoading.h"

#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "Platform/core/ConsoleLog.h"

namespace {

const QString listItemEntity = QStringLiteral("ListItem");
const QString historyEntity = QStringLiteral("ListItemHistory");
const QString columnKey = QStringLiteral("column");
const QString parentDoneGroupKey = QStringLiteral("parentDoneGroup");
const QString listItemKey = QStringLiteral("listItem");

Kanban* boardOfColumn(const KanbanColumn* column)
{
    if (!column)
        return nullptr;
    return column->kanban() ? column->kanban() : column->mainKanban();
}

QList<ManagedObject*> columnsOf(const Kanban* board)
{
    QList<ManagedObject*> columns;
    for (KanbanColumn* column : board->column())
        columns << column;
    if (KanbanColumn* done = board->mainColumn())
        columns << done;
    return columns;
}

} // namespace

const QStringList StoreLoading::deferredEntities {listItemEntity, historyEntity};

StoreLoading::~StoreLoading()
{
    m_context.setPendingLoader({});
}

StoreLoading::StoreLoading(ManagedObjectContext& context, QObject* parent)
    : QObject(parent)
    , m_context(context)
{
    m_context.setPendingLoader(
        [this](ManagedObject* object, const RelationshipDescription& relationship) { loadPending(object, relationship); });
    connect(&m_context, &ManagedObjectContext::objectsLoaded, this, [this](const QString& entity) {
        if (entity == listItemEntity)
            emit wholeStoreLoaded();
    });
}

void StoreLoading::start()
{
    if (std::exchange(m_started, true))
        return;
    // The history of the boards shown so far comes first.
    for (Kanban* board : std::exchange(m_historyWanted, {}))
        if (!board->isDeleted())
            m_context.loadObjectsInBackground(historyEntity, listItemKey, cardsOf(board));
    if (!m_countRequested) {
        m_countRequested = true;
        CountRequest request;
        request.entityName = listItemEntity;
        request.groupBy = {columnKey, parentDoneGroupKey};
        request.excludingTrue = QStringLiteral("done");
        request.minimumOf = QStringLiteral("dueDate");
        m_context.countInBackground(request, [this](const std::vector<CountRow>& counts) { takeCounts(counts); });
    }
    m_context.loadAllObjectsInBackground(listItemEntity);
}

Kanban* StoreLoading::boardOf(const ListItem* card)
{
    if (Kanban* board = boardOfColumn(card->column()))
        return board;
    const DoneDate* group = card->parentDoneGroup();
    return group ? group->kanban() : nullptr;
}

void StoreLoading::loadBoard(Kanban* board)
{
    if (!board || board->isDeleted())
        return;
    if (!isBoardLoaded(board)) {
        QList<ManagedObject*> groups;
        for (DoneDate* group : board->doneDates())
            groups << group;
        QString error;
        m_context.loadObjects(listItemEntity, {{columnKey, columnsOf(board)}, {parentDoneGroupKey, groups}}, &error);
        if (!error.isEmpty()) {
            // What is missing is read when it is used.
            ConsoleLog::write(QStringLiteral("cannot read the cards of a board: ") + error);
            return;
        }
    }
    if (m_started)
        m_context.loadObjectsInBackground(historyEntity, listItemKey, cardsOf(board));
    else
        m_historyWanted.append(board);
}

bool StoreLoading::isBoardLoaded(const Kanban* board) const
{
    const QList<ManagedObject*> columns = columnsOf(board);
    const auto pending = [this](const ManagedObject* object, const QString& key) {
        return m_context.isPending(object, key);
    };
    if (std::any_of(columns.cbegin(), columns.cend(), [&](const ManagedObject* c) { return pending(c, "item"); }))
        return false;
    const QList<DoneDate*> groups = board->doneDates();
    return std::none_of(groups.cbegin(), groups.cend(), [&](const DoneDate* g) { return pending(g, "items"); });
}

void StoreLoading::loadHistory(Kanban* board)
{
    if (!board || board->isDeleted())
        return;
    loadBoard(board);
    if (!isBoardLoaded(board))
        return;
    QList<ManagedObject*> cards;
    for (ManagedObject* card : cardsOf(board))
        if (m_context.isPending(card, QStringLiteral("history")))
            cards << card;
    if (cards.isEmpty())
        return;
    QString error;
    m_context.loadObjects(historyEntity, listItemKey, cards, &error);
    if (!error.isEmpty())
        ConsoleLog::write(QStringLiteral("cannot read the history of a board: ") + error);
}

QList<ManagedObject*> StoreLoading::cardsOf(Kanban* board) const
{
    const QList<ListItem*> cards = board->allCards();
    return QList<ManagedObject*>(cards.begin(), cards.end());
}

void StoreLoading::loadPending(ManagedObject* object, const RelationshipDescription& relationship)
{
    // A column's or a day group's cards come with the rest of their board; a card's history
    // with the history of its board. Anything else (a tag's or a picture record's cards) waits
    // for every card.
    if (const auto* column = dynamic_cast<const KanbanColumn*>(object); column && relationship.name == QLatin1String("item")) {
        loadBoard(boardOfColumn(column));
    } else if (const auto* group = dynamic_cast<const DoneDate*>(object);
               group && relationship.name == QLatin1String("items")) {
        loadBoard(group->kanban());
    } else if (const auto* card = dynamic_cast<const ListItem*>(object);
               card && relationship.name == QLatin1String("history")) {
        loadHistory(boardOf(card));
    }
}

void StoreLoading::takeCounts(const std::vector<CountRow>& counts)
{
    m_openCards.clear();
    for (const CountRow& row : counts) {
        const auto* column = dynamic_cast<const KanbanColumn*>(row.destinations.value(0));
        const auto* group = dynamic_cast<const DoneDate*>(row.destinations.value(1));
        // Counted by its column, else by its day group, as the board's own counters do.
        const Kanban* board = row.keys.value(0) ? boardOfColumn(column) : (group ? group->kanban() : nullptr);
        if (!board)
            continue;
        OpenCards& open = m_openCards[board];
        open.count += int(row.count);
        if (row.minimum.isValid()) {
            const QDateTime due = row.minimum.toDateTime();
            if (!open.earliestDueDate || due < *open.earliestDueDate)
                open.earliestDueDate = due;
        }
    }
    m_counted = true;
    emit openCardsCounted();
}

std::optional<StoreLoading::OpenCards> StoreLoading::openCards(const Kanban* board) const
{
    if (!board || isBoardLoaded(board))
        return std::nullopt;
    // Before the count comes in, a board not read yet tells of no open card.
    return m_openCards.value(board);
}

bool StoreLoading::isCounted() const
{
    return m_counted;
}

bool StoreLoading::loadWholeStore(bool withHistory)
{
    QString error;
    bool ok = m_context.loadAllObjects(listItemEntity, m_waitReporter, &error);
    if (ok && withHistory)
        ok = m_context.loadAllObjects(historyEntity, m_waitReporter, &error);
    if (m_waitReporter)
        m_waitReporter(1, 1);
    if (!ok)
        ConsoleLog::write(QStringLiteral("cannot read the whole store: ") + error);
    return ok;
}

bool StoreLoading::isWholeStoreLoaded() const
{
    return m_context.isFullyLoaded(listItemEntity);
}
