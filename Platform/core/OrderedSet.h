#pragma once

#include <QList>
#include <algorithm>

// Ordered to-many relationships behave as ordered sets: each member appears once, and the
// index operations follow the platform's rules that stored orders and undo rely on.
namespace OrderedSet {

// Inserting a member that is already present changes nothing.
template<typename T>
bool insert(QList<T>& set, const T& object, qsizetype index)
{
    if (set.contains(object))
        return false;
    set.insert(std::clamp<qsizetype>(index, 0, set.size()), object);
    return true;
}

template<typename T>
bool append(QList<T>& set, const T& object)
{
    return insert(set, object, set.size());
}

// Inserts the objects, in their order, from `index` on; those that are already members are left
// where they are and take no place in the run.
template<typename T>
void insertRun(QList<T>& set, const QList<T>& objects, qsizetype index)
{
    qsizetype at = std::clamp<qsizetype>(index, 0, set.size());
    for (const T& object : objects)
        if (insert(set, object, at))
            ++at;
}

// Each object lands exactly at its index of the result; `indexes` are ascending. Objects that
// are already members are left where they are and their indexes skipped.
template<typename T>
void insertAtIndexes(QList<T>& set, const QList<T>& objects, const QList<int>& indexes)
{
    const qsizetype count = std::min(objects.size(), indexes.size());
    for (qsizetype i = 0; i < count; ++i)
        insert(set, objects.at(i), qsizetype(indexes.at(i)));
}

// Takes the members at `indexes` out, then puts them, in their order, at `toIndex` of the rest:
// moving {1,3} of A B C D E to 2 gives A C B D E.
template<typename T>
void moveIndexes(QList<T>& set, const QList<int>& indexes, qsizetype toIndex)
{
    QList<int> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    QList<T> moved;
    for (auto it = sorted.crbegin(); it != sorted.crend(); ++it) {
        if (*it < 0 || *it >= set.size())
            continue;
        moved.prepend(set.takeAt(*it));
    }
    qsizetype at = std::clamp<qsizetype>(toIndex, 0, set.size());
    for (const T& object : moved)
        set.insert(at++, object);
}

template<typename T>
bool remove(QList<T>& set, const T& object)
{
    return set.removeOne(object);
}

} // namespace OrderedSet
