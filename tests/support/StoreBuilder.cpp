#include "StoreBuilder.h"

#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

StoreBuilder::StoreBuilder(ManagedObjectContext& context)
    : m_context(context)
{
}

Root* StoreBuilder::root()
{
    if (!m_root) {
        FetchRequest request(QStringLiteral("Root"));
        request.fetchLimit = 1;
        const QList<Root*> roots = m_context.fetchAs<Root>(request);
        m_root = roots.isEmpty() ? m_context.insertNewObject<Root>(QStringLiteral("Root")) : roots.first();
    }
    return m_root;
}

Folder* StoreBuilder::addFolder(const QString& title, Folder* parent)
{
    auto* folder = m_context.insertNewObject<Folder>(QStringLiteral("Folder"));
    folder->setTitle(title);
    folder->setParent(parent ? parent : root());
    return folder;
}

Kanban* StoreBuilder::addBoard(const QString& title, const QStringList& stageTitles, Folder* parent)
{
    auto* board = m_context.insertNewObject<Kanban>(QStringLiteral("Kanban"));
    board->setTitle(title);
    board->setParent(parent ? parent : root());
    for (const QString& stageTitle : stageTitles) {
        auto* column = m_context.insertNewObject<KanbanColumn>(QStringLiteral("KanbanColumn"));
        column->setTitle(stageTitle);
        column->setKanban(board);
    }
    auto* doneColumn = m_context.insertNewObject<KanbanColumn>(QStringLiteral("KanbanColumn"));
    doneColumn->setTitle(QStringLiteral("Done"));
    board->setMainColumn(doneColumn);
    return board;
}

ListItem* StoreBuilder::addCard(KanbanColumn* column, const QList<Tag*>& tags)
{
    auto* card = m_context.insertNewObject<ListItem>(QStringLiteral("ListItem"));
    card->setColumn(column);
    card->setTags(tags);
    return card;
}

Tag* StoreBuilder::addTag(Kanban* board, const QString& name)
{
    auto* tag = m_context.insertNewObject<Tag>(QStringLiteral("Tag"));
    tag->setName(name);
    tag->setKanban(board);
    return tag;
}

DoneDate* StoreBuilder::addDoneGroup(Kanban* board, const QDateTime& day)
{
    auto* group = m_context.insertNewObject<DoneDate>(QStringLiteral("DoneDate"));
    group->setDoneDate(day);
    group->setKanban(board);
    return group;
}

ListItem* StoreBuilder::addDoneCard(Kanban* board, DoneDate* group)
{
    ListItem* card = addCard(board->mainColumn());
    card->setDone(true);
    card->setDoneDate(group->doneDate());
    card->setParentDoneGroup(group);
    return card;
}
