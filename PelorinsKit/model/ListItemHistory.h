#pragma once

#include "PelorinsKit/model/ListItemAction.h"
#include "Platform/core/objectgraph/FetchRequest.h"
#include "Platform/core/objectgraph/ManagedObject.h"

#include <QDateTime>

class ListItem;

// One entry of a card's history: what happened to it, when, and for a move the column it went to.
class ListItemHistory : public ManagedObject
{
public:
    explicit ListItemHistory(const Init& init);

    // A new entry of `action` dated now; the caller sets the column identifier and attaches it.
    // Null without a context or with a model that lacks the entity.
    static ListItemHistory* create(ListItemAction action, ManagedObjectContext* insertIntoManagedObjectContext);
    static FetchRequest fetchRequest();

    QDateTime date() const;
    void setDate(const QDateTime& date);
    qint16 actionInt() const;
    void setActionInt(qint16 actionInt);
    // Empty when "actionInt" holds a value that names no action.
    std::optional<ListItemAction> action() const;
    void setAction(ListItemAction action);
    // The column the card went to.
    QString kanbanColumnUniqueIdentifier() const;
    void setKanbanColumnUniqueIdentifier(const QString& kanbanColumnUniqueIdentifier);

    ListItem* listItem() const;
    void setListItem(ListItem* listItem);
};
