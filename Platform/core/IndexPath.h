#pragma once

#include <QHash>
#include <QMetaType>
#include <compare>

// A row of a sectioned list: the item at `item` of section `section`.
struct IndexPath
{
    int section = 0;
    int item = 0;

    friend auto operator<=>(const IndexPath&, const IndexPath&) = default;
    friend bool operator==(const IndexPath&, const IndexPath&) = default;
};

inline size_t qHash(const IndexPath& path, size_t seed = 0) noexcept
{
    return qHashMulti(seed, path.section, path.item);
}

template<>
struct std::hash<IndexPath>
{
    size_t operator()(const IndexPath& path) const noexcept { return qHash(path); }
};

Q_DECLARE_METATYPE(IndexPath)
