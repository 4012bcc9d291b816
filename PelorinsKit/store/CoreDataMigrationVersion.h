#pragma once

#include "PelorinsKit/store/ModelBundle.h"

#include <QList>
#include <QString>
#include <QVariantMap>
#include <optional>

// One of the store's model versions, oldest first: version 1 is "ReVudozu", version n > 1 is
// "ReVudozu n", up to the current version 34. Compared by its name.
class CoreDataMigrationVersion
{
public:
    static constexpr int count = 34;

    // Version `number`, 1 to count.
    static CoreDataMigrationVersion version(int number);
    static QList<CoreDataMigrationVersion> allCases();
    // The newest version.
    static CoreDataMigrationVersion current() { return version(count); }
    // None for any text that is not one of the versions' names ("ReVudozu 1" is not).
    static std::optional<CoreDataMigrationVersion> fromRawValue(const QString& rawValue);

    // The first version, oldest first, whose model is compatible with the store metadata, so of
    // versions sharing a layout the earliest. Loads the models from `bundle` (which throws
    // StoreError when one is missing or broken).
    static std::optional<CoreDataMigrationVersion> compatibleVersionForStoreMetadata(
        const QVariantMap& metadata, const ModelBundle& bundle);

    QString rawValue() const;
    int number() const { return m_number; }
    std::optional<CoreDataMigrationVersion> nextVersion() const;

    bool operator==(const CoreDataMigrationVersion& other) const { return m_number == other.m_number; }

private:
    explicit CoreDataMigrationVersion(int number)
        : m_number(number)
    {
    }

    int m_number;
};
