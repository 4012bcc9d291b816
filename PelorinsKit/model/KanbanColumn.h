#pragma once

#include "Platform/core/objectgraph/ManagedObject.h"

class Kanban;
class ListItem;

// A column of a board: one of its stage columns, or its done column.
class KanbanColumn : public ManagedObject
{
public:
    explicit KanbanColumn(const Init& init);

    QString title() const;
    void setTitle(const QString& title);
    // The column the board view jumps to.
    bool bookmarked() const;
    void setBookmarked(bool bookmarked);
    // History entries name the column a card went to by this identifier.
    QString uniqueIdentifier() const;
    void setUniqueIdentifier(const QString& uniqueIdentifier);

    // The board of a stage column.
    Kanban* kanban() const;
    void setKanban(Kanban* kanban);
    // The board whose done column this is.
    Kanban* mainKanban() const;
    void setMainKanban(Kanban* mainKanban);
    // Top to bottom.
    QList<ListItem*> item() const;
    void setItem(const QList<ListItem*>& item);

    void awakeFromInsert() override;
    void awakeFromFetch() override;
};
