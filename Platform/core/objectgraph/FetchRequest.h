#pragma once

#include <QString>
#include <functional>

class ManagedObject;

// What to fetch from a context: the objects of an entity (and, unless switched off, of its
// subentities) that pass `predicate`, in the order of `lessThan`, at most `fetchLimit` of
// them. Without an order, objects come in the order the store holds them (oldest first).
struct FetchRequest
{
    using Predicate = std::function<bool(const ManagedObject*)>;
    using LessThan = std::function<bool(const ManagedObject*, const ManagedObject*)>;

    QString entityName;
    Predicate predicate; // empty: every object
    LessThan lessThan; // empty: store order
    int fetchLimit = 0; // 0: no limit
    bool includesSubentities = true;

    explicit FetchRequest(QString entity = {}, Predicate where = {})
        : entityName(std::move(entity))
        , predicate(std::move(where))
    {
    }
};
