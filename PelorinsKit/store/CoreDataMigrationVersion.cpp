#include "PelorinsKit/store/CoreDataMigrationVersion.h"

#include <QtGlobal>

namespace {
const QString modelName = QStringLiteral("ReVudozu");
}

CoreDataMigrationVersion CoreDataMigrationVersion::version(int number)
{
    Q_ASSERT(number >= 1 && number <= count);
    return CoreDataMigrationVersion(number);
}

QList<CoreDataMigrationVersion> CoreDataMigrationVersion::allCases()
{
    QList<CoreDataMigrationVersion> versions;
    for (int number = 1; number <= count; ++number)
        versions.append(CoreDataMigrationVersion(number));
    return versions;
}

std::optional<CoreDataMigrationVersion> CoreDataMigrationVersion::fromRawValue(const QString& rawValue)
{
    for (const CoreDataMigrationVersion& version : allCases())
        if (version.rawValue() == rawValue)
            return version;
    return std::nullopt;
}

std::optional<CoreDataMigrationVersion> CoreDataMigrationVersion::compatibleVersionForStoreMetadata(
    const QVariantMap& metadata, const ModelBundle& bundle)
{
    for (const CoreDataMigrationVersion& version : allCases())
        if (bundle.managedObjectModel(version.rawValue())->isCompatibleWithStoreMetadata(metadata))
            return version;
    return std::nullopt;
}

QString CoreDataMigrationVersion::rawValue() const
{
    return m_number == 1 ? modelName : modelName + QLatin1Char(' ') + QString::number(m_number);
}

std::optional<CoreDataMigrationVersion> CoreDataMigrationVersion::nextVersion() const
{
    if (m_number == count)
        return std::nullopt;
    return CoreDataMigrationVersion(m_number + 1);
}
