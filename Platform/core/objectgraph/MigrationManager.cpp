#include "Platform/core/objectgraph/MigrationManager.h"

#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <limits>
#include <sqlite3.h>

namespace {

QString quoted(const QString& identifier)
{
    return QLatin1Char('"') + QString(identifier).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString stringLiteral(const QString& text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

class Statement
{
public:
    Statement(sqlite3* db, const QString& sql)
    {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_statement, nullptr) != SQLITE_OK)
            m_statement = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool isValid() const { return m_statement != nullptr; }
    sqlite3_stmt* get() const { return m_statement; }

    bool bind(int index, const QVariant& value)
    {
        if (value.isNull())
            return sqlite3_bind_null(m_statement, index) == SQLITE_OK;
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return sqlite3_bind_int64(m_statement, index, value.toLongLong()) == SQLITE_OK;
        case QMetaType::Double:
            return sqlite3_bind_double(m_statement, index, value.toDouble()) == SQLITE_OK;
        case QMetaType::QString: {
            const QByteArray utf8 = value.toString().toUtf8();
            return sqlite3_bind_text(m_statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT)
                == SQLITE_OK;
        }
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            return sqlite3_bind_blob(m_statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT)
                == SQLITE_OK;
        }
        default:
            return false;
        }
    }

    QVariant column(int index) const
    {
        switch (sqlite3_column_type(m_statement, index)) {
        case SQLITE_INTEGER:
            return QVariant(qint64(sqlite3_column_int64(m_statement, index)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(m_statement, index));
        case SQLITE_TEXT:
            return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_statement, index)),
                sqlite3_column_bytes(m_statement, index)));
        case SQLITE_BLOB:
            return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(m_statement, index)),
                sqlite3_column_bytes(m_statement, index)));
        default:
            return QVariant();
        }
    }

private:
    sqlite3_stmt* m_statement = nullptr;
};

// One migration run on the destination store, with the source attached read-only as "src".
class Run
{
public:
    Run(const ManagedObjectModel& source, const ManagedObjectModel& destination, const MappingModel& mapping,
        const MigrationPolicyRegistry& policies)
        : m_source(source)
        , m_destination(destination)
        , m_mapping(mapping)
        , m_policies(policies)
    {
    }
    ~Run() { sqlite3_close(m_db); }

    bool migrate(const QString& sourcePath, const QString& destinationPath, int pageSize, QString* error)
    {
        m_error = error;
        // The destination is scratch until it replaces a store, so it needs no journal, and a
        // large cache lets the commit write each of its pages once. The source is immutable
        // while we read it, which lets SQLite map it without a lock or a companion file.
        const QString sourceUri
            = QUrl::fromLocalFile(QFileInfo(sourcePath).absoluteFilePath()).toString(QUrl::FullyEncoded)
            + QLatin1String("?immutable=1");
        if (sqlite3_open_v2(
                QFile::encodeName(destinationPath).constData(), &m_db,
                SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr)
                != SQLITE_OK
            || !exec(QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-524288"))
            || (pageSize > 0 && !exec(QStringLiteral("PRAGMA page_size=%1; VACUUM").arg(pageSize)))
            || !exec(QStringLiteral("ATTACH DATABASE %1 AS src").arg(stringLiteral(sourceUri)))
            || !exec(QStringLiteral("PRAGMA src.mmap_size=1073741824")) || !exec(QStringLiteral("BEGIN")))
            return sqliteFailure();
        const QStringList sourceTables = tables(QStringLiteral("src"));
        m_sourceTables = QSet<QString>(sourceTables.cbegin(), sourceTables.cend());
        for (const QString& table : tables(QStringLiteral("main"))) {
            if (table == QLatin1String("Z_METADATA") || !m_sourceTables.contains(table))
                continue;
            if (!copyTable(table))
                return false;
        }
        return runPolicies() && keepStoreIdentity() && exec(QStringLiteral("COMMIT"))
            && exec(QStringLiteral("DETACH DATABASE src"));
    }

private:
    bool fail(const QString& message)
    {
        if (m_error)
            *m_error = message;
        return false;
    }
    bool sqliteFailure()
    {
        return fail(
            m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("cannot open the destination store"));
    }
    bool exec(const QString& sql)
    {
        return sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    QStringList tables(const QString& schema)
    {
        QStringList names;
        Statement statement(m_db,
            QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'")
                .arg(schema));
        while (statement.isValid() && sqlite3_step(statement.get()) == SQLITE_ROW)
            names.append(statement.column(0).toString());
        return names;
    }

    QStringList columns(const QString& schema, const QString& table)
    {
        QStringList names;
        Statement statement(m_db, QStringLiteral("PRAGMA %1.table_info(%2)").arg(schema, quoted(table)));
        while (statement.isValid() && sqlite3_step(statement.get()) == SQLITE_ROW)
            names.append(statement.column(1).toString());
        return names;
    }

    // The entities whose rows live in the table of `root`.
    static QList<const EntityDescription*> tree(const EntityDescription* root)
    {
        QList<const EntityDescription*> entities {root};
        for (qsizetype i = 0; i < entities.size(); ++i)
            entities.append(entities.at(i)->subentities());
        return entities;
    }

    std::optional<QString> literal(const AttributeDescription& attribute)
    {
        const QVariant& value = attribute.defaultValue;
        switch (attribute.type) {
        case AttributeDescription::Type::Integer16:
        case AttributeDescription::Type::Integer32:
        case AttributeDescription::Type::Integer64:
        case AttributeDescription::Type::Boolean:
            return QString::number(value.toLongLong());
        case AttributeDescription::Type::Double:
            return QString::number(value.toDouble(), 'g', 17);
        case AttributeDescription::Type::String:
            return stringLiteral(value.toString());
        default:
            fail(QStringLiteral("the default value of the attribute %1 cannot be written by a migration")
                     .arg(attribute.name));
            return std::nullopt;
        }
    }

    // What a row of `entity` gets in the attribute column `column`: its old value, its default,
    // or nothing.
    std::optional<QString> attributeExpression(
        const EntityDescription& entity, const AttributeDescription& attribute, bool sourceHasColumn)
    {
        const EntityDescription* old = m_source.entity(entity.name());
        const AttributeDescription* oldAttribute = old ? old->attribute(attribute.name) : nullptr;
        const QString copied = QLatin1String("s.") + quoted(attribute.name);
        if (oldAttribute && sourceHasColumn) {
            if (!oldAttribute->isOptional || attribute.isOptional || attribute.defaultValue.isNull())
                return copied;
            const std::optional<QString> fallback = literal(attribute);
            return fallback ? std::optional<QString>(QStringLiteral("COALESCE(%1, %2)").arg(copied, *fallback))
                            : fallback;
        }
        if (attribute.defaultValue.isNull())
            return QStringLiteral("NULL");
        return literal(attribute);
    }

    bool copyTable(const QString& table)
    {
        const QStringList sourceColumns = columns(QStringLiteral("src"), table);
        const EntityDescription* root = m_destination.entity(table);
        const QList<const EntityDescription*> entities
            = root && !root->parentEntity() ? tree(root) : QList<const EntityDescription*> {};
        QStringList names;
        QStringList expressions;
        const QStringList destinationColumns = columns(QStringLiteral("main"), table);
        for (const QString& column : destinationColumns) {
            const bool sourceHasColumn = sourceColumns.contains(column);
            QStringList cases;
            QSet<QString> distinct;
            int declaring = 0;
            for (const EntityDescription* entity : entities) {
                const AttributeDescription* attribute = entity->attribute(column);
                if (!attribute)
                    continue;
                const std::optional<QString> expression = attributeExpression(*entity, *attribute, sourceHasColumn);
                if (!expression)
                    return false;
                ++declaring;
                distinct.insert(*expression);
                cases.append(QStringLiteral("WHEN %1 THEN %2").arg(stringLiteral(entity->name()), *expression));
            }
            QString expression;
            if (declaring == 0)
                expression = sourceHasColumn ? QLatin1String("s.") + quoted(column) : QStringLiteral("NULL");
            else if (declaring == entities.size() && distinct.size() == 1)
                expression = *distinct.cbegin();
            else
                expression = QStringLiteral("CASE Z_ENT %1 END").arg(cases.join(QLatin1Char(' ')));
            if (expression == QLatin1String("NULL"))
                continue;
            names.append(quoted(column));
            expressions.append(expression);
        }
        if (names.isEmpty())
            return true;
        // A table whose layout did not change is copied record by record, without decoding
        // its values: most steps leave most tables alone.
        bool unchanged = destinationColumns == sourceColumns && names.size() == destinationColumns.size();
        for (qsizetype i = 0; unchanged && i < names.size(); ++i)
            unchanged = expressions.at(i) == QLatin1String("s.") + names.at(i);
        if (unchanged)
            return exec(QStringLiteral("INSERT INTO main.%1 SELECT * FROM src.%1").arg(quoted(table)))
                || sqliteFailure();
        const QString sql
            = QStringLiteral("INSERT INTO main.%1 (%2) SELECT %3 FROM src.%1 AS s")
                  .arg(quoted(table), names.join(QLatin1String(", ")), expressions.join(QLatin1String(", ")));
        return exec(sql) || sqliteFailure();
    }

    bool runPolicies()
    {
        for (const MappingModel::EntityMapping& entityMapping : m_mapping.entityMappings()) {
            if (entityMapping.policyName.isEmpty())
                continue;
            std::unique_ptr<EntityMigrationPolicy> policy = m_policies.makePolicy(entityMapping.policyName);
            if (!policy)
                return fail(
                    QStringLiteral("no entity migration policy is registered as %1").arg(entityMapping.policyName));
            const EntityDescription* entity = m_destination.entity(entityMapping.entityName);
            if (!runPolicy(*policy, *entity))
                return false;
        }
        return true;
    }

    // Source and destination rows are read side by side in key order, a chunk at a time, and
    // the policy's changes are written once the chunk's readers are done.
    bool runPolicy(EntityMigrationPolicy& policy, const EntityDescription& entity)
    {
        constexpr int chunkSize = 1000;
        const QString table = quoted(entity.rootEntity()->name());
        QStringList names;
        for (const EntityDescription* e : tree(&entity))
            names.append(stringLiteral(e->name()));
        const QString rows = QStringLiteral("WHERE Z_ENT IN (%1) AND Z_PK > ? ORDER BY Z_PK LIMIT %2")
                                 .arg(names.join(QLatin1String(", ")))
                                 .arg(chunkSize);
        Statement readSource(m_db, QStringLiteral("SELECT * FROM src.%1 %2").arg(table, rows));
        Statement readDestination(m_db, QStringLiteral("SELECT * FROM main.%1 %2").arg(table, rows));
        if (!readSource.isValid() || !readDestination.isValid())
            return sqliteFailure();
        const QStringList destinationColumns = columnNames(readDestination);
        qint64 after = std::numeric_limits<qint64>::min();
        for (;;) {
            const QList<MigrationRecord> sources = records(readSource, after);
            QList<MigrationRecord> destinations = records(readDestination, after);
            if (sources.size() != destinations.size())
                return fail(QStringLiteral("the rows of %1 do not match those of its source").arg(table));
            for (qsizetype i = 0; i < sources.size(); ++i) {
                MigrationRecord& destination = destinations[i];
                if (destination.primaryKey != sources.at(i).primaryKey)
                    return fail(QStringLiteral("the rows of %1 do not match those of its source").arg(table));
                const QVariantMap before = destination.values;
                QString policyError;
                if (!policy.createDestinationInstances(sources.at(i), destination, &policyError))
                    return fail(policyError);
                if (!writeChanges(table, destinationColumns, destination.primaryKey, before, destination.values))
                    return false;
            }
            if (sources.size() < chunkSize)
                return true;
            after = sources.last().primaryKey;
        }
    }

    static QStringList columnNames(const Statement& statement)
    {
        QStringList names;
        for (int i = 0; i < sqlite3_column_count(statement.get()); ++i)
            names.append(QString::fromUtf8(sqlite3_column_name(statement.get(), i)));
        return names;
    }

    // The next chunk of rows with keys above `after`; the statement is reset when it returns.
    QList<MigrationRecord> records(Statement& statement, qint64 after)
    {
        const QStringList names = columnNames(statement);
        QList<MigrationRecord> result;
        sqlite3_reset(statement.get());
        statement.bind(1, after);
        while (sqlite3_step(statement.get()) == SQLITE_ROW) {
            MigrationRecord record;
            for (int i = 0; i < names.size(); ++i) {
                if (names.at(i) == QLatin1String("Z_PK"))
                    record.primaryKey = statement.column(i).toLongLong();
                else if (names.at(i) == QLatin1String("Z_ENT"))
                    record.entityName = statement.column(i).toString();
                else
                    record.values.insert(names.at(i), statement.column(i));
            }
            result.append(std::move(record));
        }
        sqlite3_reset(statement.get());
        return result;
    }

    bool writeChanges(const QString& table, const QStringList& columns, qint64 key, const QVariantMap& before,
        const QVariantMap& after)
    {
        QStringList assignments;
        QVariantList values;
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            if (before.value(it.key()) == it.value() && before.contains(it.key()))
                continue;
            if (!columns.contains(it.key()) || it.key() == QLatin1String("Z_PK") || it.key() == QLatin1String("Z_ENT"))
                return fail(
                    QStringLiteral("a migration policy set %1, which is not a column of %2").arg(it.key(), table));
            assignments.append(quoted(it.key()) + QLatin1String(" = ?"));
            values.append(it.value());
        }
        if (assignments.isEmpty())
            return true;
        Statement update(m_db,
            QStringLiteral("UPDATE main.%1 SET %2 WHERE Z_PK = ?").arg(table, assignments.join(QLatin1String(", "))));
        if (!update.isValid())
            return sqliteFailure();
        for (int i = 0; i < values.size(); ++i)
            if (!update.bind(i + 1, values.at(i)))
                return fail(QStringLiteral("a migration policy set a value of an unsupported type in %1").arg(table));
        update.bind(int(values.size()) + 1, key);
        return sqlite3_step(update.get()) == SQLITE_DONE || sqliteFailure();
    }

    // Objects keep their URIs across migrations, so the store keeps its identifier.
    bool keepStoreIdentity()
    {
        Statement update(m_db,
            QStringLiteral("UPDATE main.Z_METADATA SET Z_VALUE = (SELECT Z_VALUE FROM src.Z_METADATA WHERE Z_KEY = ?1) "
                           "WHERE Z_KEY = ?1 AND EXISTS (SELECT 1 FROM src.Z_METADATA WHERE Z_KEY = ?1)"));
        if (!update.isValid() || !update.bind(1, QString::fromLatin1(PersistentStoreCoordinator::StoreUUIDKey)))
            return sqliteFailure();
        return sqlite3_step(update.get()) == SQLITE_DONE || sqliteFailure();
    }

    const ManagedObjectModel& m_source;
    const ManagedObjectModel& m_destination;
    const MappingModel& m_mapping;
    const MigrationPolicyRegistry& m_policies;
    sqlite3* m_db = nullptr;
    QSet<QString> m_sourceTables;
    QString* m_error = nullptr;
};

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

MigrationManager::MigrationManager(std::shared_ptr<const ManagedObjectModel> sourceModel,
    std::shared_ptr<const ManagedObjectModel> destinationModel, const MigrationPolicyRegistry& policies)
    : m_sourceModel(std::move(sourceModel))
    , m_destinationModel(std::move(destinationModel))
    , m_policies(policies)
{
}

bool MigrationManager::migrateStore(
    const QString& sourcePath, const MappingModel& mapping, const QString& destinationPath, QString* error)
{
    const std::optional<QVariantMap> metadata = PersistentStoreCoordinator::metadata(sourcePath);
    if (!metadata || !m_sourceModel->isCompatibleWithStoreMetadata(*metadata))
        return fail(error, QStringLiteral("%1 is not a store of %2").arg(sourcePath, m_sourceModel->versionName()));
    // Reading the file alone would miss what its log still holds.
    if (QFileInfo(sourcePath + QLatin1String("-wal")).size() > 0)
        return fail(error, QStringLiteral("the write-ahead log of %1 is not folded").arg(sourcePath));
    if (mapping.sourceVersionName() != m_sourceModel->versionName()
        || mapping.destinationVersionName() != m_destinationModel->versionName())
        return fail(error,
            QStringLiteral("the mapping does not map %1 to %2")
                .arg(m_sourceModel->versionName(), m_destinationModel->versionName()));
    if (QFileInfo::exists(destinationPath))
        return fail(error, QStringLiteral("a file already exists at %1").arg(destinationPath));

    {
        PersistentStoreCoordinator coordinator(m_destinationModel);
        if (!coordinator.addPersistentStore(destinationPath, error))
            return false;
        if (!coordinator.removePersistentStore(error)) {
            PersistentStoreCoordinator::destroyStore(destinationPath);
            return false;
        }
    }
    bool migrated = false;
    {
        Run run(*m_sourceModel, *m_destinationModel, mapping, m_policies);
        migrated = run.migrate(sourcePath, destinationPath, m_pageSize, error);
    }
    if (!migrated)
        PersistentStoreCoordinator::destroyStore(destinationPath);
    return migrated;
}
