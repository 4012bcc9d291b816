#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class DoneDate;
class Folder;
class Kanban;
class KanbanColumn;
class ListItem;
class ManagedObjectContext;
class Root;
class Tag;

// Builds folders, boards, columns, cards, tags and day groups into a context, so that a test
// states only what matters to it.
class StoreBuilder
{
public:
    explicit StoreBuilder(ManagedObjectContext& context);

    // The context's root, made on first use.
    Root* root();
    // A folder at the end of `parent`'s children (the root's when none).
    Folder* addFolder(const QString& title, Folder* parent = nullptr);
    // A board at the end of `parent`'s children (the root's when none), with a stage column per
    // title and a done column.
    Kanban* addBoard(
        const QString& title, const QStringList& stageTitles = {QStringLiteral("To Do")}, Folder* parent = nullptr);
    // An open card at the end of `column`.
    ListItem* addCard(KanbanColumn* column, const QList<Tag*>& tags = {});
    Tag* addTag(Kanban* board, const QString& name);
    // A day group of `board` for the day starting at `day`, after its existing groups.
    DoneDate* addDoneGroup(Kanban* board, const QDateTime& day);
    // A done card at the end of the board's done column and of `group`, done at the group's day.
    ListItem* addDoneCard(Kanban* board, DoneDate* group);

private:
    ManagedObjectContext& m_context;
    Root* m_root = nullptr;
};
