#pragma once

#include "PelorinsKit/model/DisplayItem.h"

class Kanban;
class ListItem;

// A tag of one board, written as a hashtag in card notes. A tag never has children.
class Tag : public DisplayItem
{
public:
    explicit Tag(const Init& init);

    // The name as written after the hash sign.
    QString name() const;
    void setName(const QString& name);
    QString title() const;

    // Always empty; setChildren still stores what it is given.
    QList<DisplayItem*> children() const override;

    Kanban* kanban() const;
    void setKanban(Kanban* kanban);
    // The cards that carry the tag, in no particular order.
    QList<ListItem*> items() const;
    void setItems(const QList<ListItem*>& items);
    // Whether any card carries the tag, without listing the cards.
    bool hasItems() const;

    // A tag that no card carries any more goes at the next save.
    void willSave() override;
};
