#pragma once

#include <QList>
#include <QString>

// A change of one key of a managed object, as observers see it before and after it happens.
// The indexed kinds carry the ascending positions in an ordered to-many relationship: for an
// insertion the positions the new members take, for a removal the positions they held, for a
// replacement the positions whose member changes. A setting (an attribute, a to-one or a whole
// to-many replaced at once) carries no indexes.
struct KeyChange
{
    enum class Kind { Setting, Insertion, Removal, Replacement };

    QString key;
    Kind kind = Kind::Setting;
    QList<int> indexes;

    static KeyChange setting(const QString& key) { return {key, Kind::Setting, {}}; }
    static KeyChange insertion(const QString& key, QList<int> indexes)
    {
        return {key, Kind::Insertion, std::move(indexes)};
    }
    static KeyChange removal(const QString& key, QList<int> indexes)
    {
        return {key, Kind::Removal, std::move(indexes)};
    }
    static KeyChange replacement(const QString& key, QList<int> indexes)
    {
        return {key, Kind::Replacement, std::move(indexes)};
    }

    // The same kind and indexes for another key: derived keys are announced this way.
    KeyChange withKey(const QString& otherKey) const { return {otherKey, kind, indexes}; }

    bool operator==(const KeyChange&) const = default;
};
