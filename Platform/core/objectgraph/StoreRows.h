#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>
#include <QVariant>
#include <utility>
#include <vector>

class EntityDescription;
class ManagedObject;

// Rows read from a store and not yet made into objects: what a connection of any thread reads
// and the context's thread then takes in (PersistentStoreCoordinator::readRows and ingest).
struct StoreRows
{
    struct Row
    {
        const EntityDescription* entity = nullptr;
        qint64 primaryKey = 0;
        // By attribute index, as the object keeps them.
        std::vector<QVariant> values;
        // To-one keys by relationship index, and the sort keys of the row in ordered inverses.
        QVarLengthArray<std::pair<int, qint64>, 2> links;
        QVarLengthArray<std::pair<int, qint64>, 2> orders;
    };
    // A many-to-many pair of a join table (by its position in the store's layout), in each
    // owner's order.
    struct Pair
    {
        int join = 0;
        qint64 owner = 0;
        qint64 member = 0;
    };

    std::vector<Row> rows;
    std::vector<Pair> pairs;
};

// Which rows of an entity's table to read: those whose to-one relationships point at one of
// their destinations (any of them), or, without such links, the next `limit` rows (0 for no
// limit) after the key `afterKey`.
struct RowQuery
{
    struct Link
    {
        int relationship = -1; // an index of the entity's relationships
        std::vector<qint64> destinations; // primary keys
    };

    const EntityDescription* entity = nullptr;
    std::vector<Link> pointingAt;
    qint64 afterKey = 0;
    int limit = 0;
};

// Counts of an entity's rows grouped by the destinations of some of its to-one relationships,
// read from the store without making objects: a summary of what is not loaded yet.
struct CountRequest
{
    QString entityName;
    // To-one relationships to group by.
    QStringList groupBy;
    // A Boolean attribute whose true rows are left out; empty for none.
    QString excludingTrue;
    // An attribute whose smallest value each group reports; empty for none.
    QString minimumOf;
};

struct CountRow
{
    // The group's destinations in the order of `groupBy`: their primary keys as read (0 for
    // none), and the objects they name, once handed to the context's thread (null for none).
    QList<qint64> keys;
    QList<ManagedObject*> destinations;
    qint64 count = 0;
    // Invalid when no row of the group has a value.
    QVariant minimum;
};
