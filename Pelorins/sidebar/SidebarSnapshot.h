#pragma once

#include <QByteArray>
#include <QString>

class DisplayItem;
class ManagedObjectContext;

// A sidebar item with everything under it, whatever its export marks say, held as compact bytes
// so that a deletion can be undone: the same objects and values the JSON writer's nodes carry
// (every attribute, notes in their stored form, the ordered relationships and a board's done
// column), the picture records its cards name, and where the item stood: its parent by
// identifier, so that a parent deleted and remade meanwhile is found again, and its position.
class SidebarSnapshot
{
public:
    static SidebarSnapshot take(DisplayItem* item);

    // Makes the item and everything under it again in `context`, with the values it had, its
    // identifiers included; unplaced. Null for an empty snapshot.
    DisplayItem* remake(ManagedObjectContext& context) const;

    // Empty for an item that had no parent.
    const QString& parentIdentifier() const { return m_parentIdentifier; }
    // -1 for an item that had no parent.
    int position() const { return m_position; }
    // What the snapshot holds in memory.
    qsizetype byteSize() const;

private:
    QByteArray m_bytes;
    QString m_parentIdentifier;
    int m_position = -1;
};
