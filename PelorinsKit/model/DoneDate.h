#pragma once

#include "Platform/core/objectgraph/ManagedObject.h"

#include <QDateTime>

class Kanban;
class ListItem;

// One day group of a board's done column.
class DoneDate : public ManagedObject
{
public:
    explicit DoneDate(const Init& init);

    // The first moment of the day the group stands for.
    QDateTime doneDate() const;
    void setDoneDate(const QDateTime& doneDate);

    Kanban* kanban() const;
    void setKanban(Kanban* kanban);
    QList<ListItem*> items() const;
    void setItems(const QList<ListItem*>& items);

    // Puts each card at its index of the result, pairing cards and indexes in ascending index
    // order; cards already in the group stay where they are, indexes past the end append, and
    // cards or indexes without a partner are ignored.
    void insertIntoItems(const QList<ListItem*>& items, QList<int> indexes);
};
