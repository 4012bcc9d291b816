#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QUuid>
#include <algorithm>
#include <array>
#include <sqlite3.h>

namespace {

// Sort keys of ordered members are spread this far apart, so that most insertions and moves
// find room between their neighbours and rewrite only the rows that moved.
constexpr qint64 OrderGap = qint64(1) << 32;
constexpr int BusyTimeoutMilliseconds = 5000;
// The files SQLite keeps beside a store while it is open or after a crash.
constexpr std::array<const char*, 3> companionSuffixes {"-wal", "-shm", "-journal"};
const QString immutableQuery = QStringLiteral("?immutable=1");

QString quoted(const QString& identifier)
{
    return QLatin1Char('"') + identifier + QLatin1Char('"');
}

QString sqliteMessage(sqlite3* db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

bool execute(sqlite3* db, const QString& sql, QString* error)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = message ? QString::fromUtf8(message) : sqliteMessage(db);
    sqlite3_free(message);
    return false;
}

// A one-off query's first column of the first row, as text; empty when there is none.
QString queryText(sqlite3* db, const char* sql)
{
    sqlite3_stmt* statement = nullptr;
    QString result;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
        result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    return result;
}

// A statement prepared for one use and finalised with its scope.
class OneOffStatement
{
public:
    OneOffStatement(sqlite3* db, const QString& sql)
    {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
        }
    }
    ~OneOffStatement() { sqlite3_finalize(m_statement); }
    OneOffStatement(const OneOffStatement&) = delete;
    OneOffStatement& operator=(const OneOffStatement&) = delete;

    // Null when it could not be prepared.
    operator sqlite3_stmt*() const { return m_statement; }

private:
    sqlite3_stmt* m_statement = nullptr;
};

std::optional<QVariantMap> readMetadata(sqlite3* db)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT Z_KEY, Z_VALUE FROM Z_METADATA", -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return std::nullopt;
    }
    QVariantMap metadata;
    int result;
    while ((result = sqlite3_step(statement)) == SQLITE_ROW)
        metadata.insert(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))),
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1))));
    sqlite3_finalize(statement);
    if (result != SQLITE_DONE)
        return std::nullopt;
    return metadata;
}

// Every connection is used by one thread at a time (the main thread's, a loading thread's, the
// migration's), so SQLite's locking of each call on a connection is left out.
sqlite3* openDatabase(const QString& path, int flags, QString* error)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        if (error)
            *error = QStringLiteral("cannot open store %1: %2").arg(path, sqliteMessage(db));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, BusyTimeoutMilliseconds);
    return db;
}

// The name that opens a store as a file nobody changes: no lock is taken, and nothing is made
// beside it.
QString immutableName(const QString& path)
{
    return QString::fromLatin1(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded()) + immutableQuery;
}

// What SQLite answers when a store's file or folder may not be written.
bool writingRefused(sqlite3* db)
{
    const int code = sqlite3_errcode(db) & 0xff;
    return code == SQLITE_READONLY || code == SQLITE_CANTOPEN || code == SQLITE_PERM;
}

// Whether a program may have the store open for writing: SQLite keeps files beside it then.
bool hasCompanions(const QString& path)
{
    return std::any_of(companionSuffixes.cbegin(), companionSuffixes.cend(),
        [&](const char* suffix) { return QFileInfo::exists(path + QLatin1String(suffix)); });
}

// A connection that only reads the store and leaves nothing beside it. A read-only connection
// to a store in WAL mode makes a log and an index that it cannot remove, and in a folder it may
// not write cannot even make them. A store without companions is open nowhere and holds all it
// has in its file, so it is read as immutable, which makes none. A store with companions may be
// open for writing: it is read through them.
sqlite3* openForReading(const QString& path, QString* error)
{
    if (hasCompanions(path)) {
        sqlite3* db = openDatabase(path, SQLITE_OPEN_READONLY, error);
        if (db && readMetadata(db))
            return db;
        sqlite3_close(db);
    }
    return openDatabase(immutableName(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, error);
}

const EntityDescription* declaringEntity(const EntityDescription* entity, const RelationshipDescription& relationship)
{
    while (entity->parentEntity() && entity->parentEntity()->relationship(relationship.name))
        entity = entity->parentEntity();
    return entity;
}

QString relationshipKey(const EntityDescription* entity, const RelationshipDescription& relationship)
{
    return declaringEntity(entity, relationship)->name() + QLatin1Char('.') + relationship.name;
}

QString sqlType(AttributeDescription::Type type)
{
    using Type = AttributeDescription::Type;
    switch (type) {
    case Type::Double:
        return QStringLiteral("REAL");
    case Type::String:
    case Type::StringList:
        return QStringLiteral("TEXT");
    case Type::Binary:
        return QStringLiteral("BLOB");
    default:
        return QStringLiteral("INTEGER");
    }
}

// Of the members' current sort keys (none where `valid` is false), the positions of a longest
// strictly increasing run: those members keep their keys.
QList<bool> keysToKeep(const std::vector<qint64>& keys, const std::vector<bool>& valid)
{
    const int n = int(keys.size());
    std::vector<int> tails; // position of the smallest tail of each run length
    std::vector<int> previous(size_t(n), -1);
    for (int i = 0; i < n; ++i) {
        if (!valid[size_t(i)])
            continue;
        const auto it = std::lower_bound(tails.begin(), tails.end(), keys[size_t(i)],
            [&](int position, qint64 key) { return keys[size_t(position)] < key; });
        if (it != tails.begin())
            previous[size_t(i)] = *(it - 1);
        if (it == tails.end())
            tails.push_back(i);
        else
            *it = i;
    }
    QList<bool> keep(n, false);
    for (int i = tails.empty() ? -1 : tails.back(); i >= 0; i = previous[size_t(i)])
        keep[i] = true;
    return keep;
}

QVariant attributeValue(sqlite3_stmt* select, int column, AttributeDescription::Type type)
{
    using Type = AttributeDescription::Type;
    switch (type) {
    case Type::Integer16:
    case Type::Integer32:
    case Type::Integer64:
        return QVariant(qint64(sqlite3_column_int64(select, column)));
    case Type::Double:
        return QVariant(sqlite3_column_double(select, column));
    case Type::Boolean:
        return QVariant(sqlite3_column_int64(select, column) != 0);
    case Type::String: {
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(select, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(select, column)));
    }
    case Type::Date:
        // Qt::UTC, not QTimeZone::utc(): the same instant without a time-zone object built for
        // every date, which made dates most of a large store's load.
        return QVariant(QDateTime::fromMSecsSinceEpoch(sqlite3_column_int64(select, column), Qt::UTC));
    case Type::Binary: {
        const char* bytes = static_cast<const char*>(sqlite3_column_blob(select, column));
        return QVariant(QByteArray(bytes ? bytes : "", sqlite3_column_bytes(select, column)));
    }
    case Type::StringList: {
        const QByteArray json(reinterpret_cast<const char*>(sqlite3_column_text(select, column)),
            sqlite3_column_bytes(select, column));
        return QVariant(QJsonDocument::fromJson(json).array().toVariantList()).toStringList();
    }
    }
    return {};
}

} // namespace

struct PersistentStoreCoordinator::Layout
{
    struct Column
    {
        QString name;
        QString type;
    };
    struct Table
    {
        const EntityDescription* root;
        QList<Column> columns; // Z_PK and Z_ENT first
        QHash<QString, int> columnIndexes;
    };
    // One value of an entity's row: an attribute, a to-one's primary key or its sort key.
    struct Binding
    {
        enum class Kind { Attribute, ForeignKey, Order } kind;
        int index; // attribute or relationship index
        int column; // position in the table's columns
    };
    struct Join
    {
        QString name;
        const EntityDescription* owner; // the declaring entity of the owning side
        int relationship; // index of the owning side
        const EntityDescription* member; // the destination entity
    };
    struct EntityLayout
    {
        int table = -1;
        QList<Binding> bindings;
        // Per relationship index: the join table this entity owns for it, or -1.
        QList<int> ownedJoins;
    };

    std::vector<Table> tables;
    std::vector<Join> joins;
    QHash<const EntityDescription*, EntityLayout> entities;
    QString problem;

    explicit Layout(const ManagedObjectModel& model)
    {
        QHash<const EntityDescription*, int> tableOfRoot;
        for (const EntityDescription* entity : model.entities()) {
            const EntityDescription* root = entity->rootEntity();
            if (!tableOfRoot.contains(root)) {
                tableOfRoot.insert(root, int(tables.size()));
                tables.push_back(Table {root,
                    {{QStringLiteral("Z_PK"), QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")},
                        {QStringLiteral("Z_ENT"), QStringLiteral("TEXT NOT NULL")}},
                    {}});
            }
        }
        for (const EntityDescription* entity : model.entities()) {
            EntityLayout layout;
            layout.table = tableOfRoot.value(entity->rootEntity());
            Table& table = tables[size_t(layout.table)];
            for (const AttributeDescription& attribute : entity->attributes())
                layout.bindings.append({Binding::Kind::Attribute, attribute.index,
                    column(table, attribute.name, sqlType(attribute.type))});
            layout.ownedJoins = QList<int>(entity->relationships().size(), -1);
            for (const RelationshipDescription& relationship : entity->relationships()) {
                const RelationshipDescription& inverse = *relationship.inverseRelationship;
                const QString key = relationshipKey(entity, relationship);
                const QString inverseKey = relationshipKey(relationship.destinationEntity, inverse);
                if (!relationship.isToMany) {
                    if (inverse.isToMany || key <= inverseKey) {
                        layout.bindings.append({Binding::Kind::ForeignKey, relationship.index,
                            column(table, relationship.name, QStringLiteral("INTEGER"))});
                        if (inverse.isOrdered)
                            layout.bindings.append({Binding::Kind::Order, relationship.index,
                                column(table, relationship.name + QLatin1String("_ORDER"), QStringLiteral("INTEGER"))});
                    }
                    continue;
                }
                if (!inverse.isToMany)
                    continue;
                const bool owns = relationship.isOrdered || (!inverse.isOrdered && key < inverseKey);
                if (!owns)
                    continue;
                const EntityDescription* declaring = declaringEntity(entity, relationship);
                const QString name = declaring->name() + QLatin1Char('_') + relationship.name;
                auto existing
                    = std::find_if(joins.cbegin(), joins.cend(), [&](const Join& j) { return j.name == name; });
                if (existing == joins.cend()) {
                    joins.push_back(Join {name, declaring, relationship.index, relationship.destinationEntity});
                    existing = joins.cend() - 1;
                }
                layout.ownedJoins[relationship.index] = int(existing - joins.cbegin());
            }
            entities.insert(entity, layout);
        }
    }

    const EntityLayout& of(const EntityDescription* entity) const { return *entities.constFind(entity); }

    // An index on every column that holds a to-one key, so that the rows pointing at some
    // objects are found without reading their whole table.
    QList<std::pair<QString, QString>> foreignKeyIndexes() const
    {
        QList<std::pair<QString, QString>> indexes; // name, statement
        for (const EntityLayout& layout : entities) {
            const Table& table = tables[size_t(layout.table)];
            for (const Binding& binding : layout.bindings) {
                if (binding.kind != Binding::Kind::ForeignKey)
                    continue;
                const QString& column = table.columns.at(binding.column).name;
                const QString name = table.root->name() + QLatin1Char('_') + column + QLatin1String("_INDEX");
                if (std::any_of(indexes.cbegin(), indexes.cend(), [&](const auto& known) { return known.first == name; }))
                    continue;
                indexes.append({name,
                    QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                        .arg(quoted(name), quoted(table.root->name()), quoted(column))});
            }
        }
        std::sort(indexes.begin(), indexes.end());
        return indexes;
    }

    int column(Table& table, const QString& name, const QString& type)
    {
        if (const auto it = table.columnIndexes.constFind(name); it != table.columnIndexes.cend()) {
            if (table.columns.at(*it).type != type)
                problem = QStringLiteral("the column %1 of %2 is used with two types").arg(name, table.root->name());
            return *it;
        }
        table.columns.append({name, type});
        table.columnIndexes.insert(name, int(table.columns.size() - 1));
        return int(table.columns.size() - 1);
    }

    QStringList createStatements() const
    {
        QStringList statements;
        for (const Table& table : tables) {
            QStringList columns;
            for (const Column& column : table.columns)
                columns.append(quoted(column.name) + QLatin1Char(' ') + column.type);
            statements.append(QStringLiteral("CREATE TABLE %1 (%2)")
                                  .arg(quoted(table.root->name()), columns.join(QStringLiteral(", "))));
        }
        for (const Join& join : joins) {
            statements.append(QStringLiteral("CREATE TABLE %1 (Z_OWNER INTEGER NOT NULL, Z_MEMBER INTEGER NOT NULL, "
                                             "Z_ORDER INTEGER NOT NULL)")
                                  .arg(quoted(join.name)));
            statements.append(QStringLiteral("CREATE INDEX %1 ON %2 (Z_OWNER)")
                                  .arg(quoted(join.name + QLatin1String("_OWNER")), quoted(join.name)));
            statements.append(QStringLiteral("CREATE INDEX %1 ON %2 (Z_MEMBER)")
                                  .arg(quoted(join.name + QLatin1String("_MEMBER")), quoted(join.name)));
        }
        for (const auto& index : foreignKeyIndexes())
            statements.append(index.second);
        statements.append(QStringLiteral("CREATE TABLE Z_METADATA (Z_KEY TEXT PRIMARY KEY, Z_VALUE TEXT)"));
        return statements;
    }
};

// Rolls back unless committed, so that an error anywhere leaves the store as it was.
class PersistentStoreCoordinator::Transaction
{
public:
    explicit Transaction(sqlite3* db)
        : m_db(db)
    {
    }
    ~Transaction()
    {
        if (m_open && !sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    bool begin(QString* error) { return m_open = execute(m_db, QStringLiteral("BEGIN IMMEDIATE"), error); }
    bool commit(QString* error)
    {
        if (!execute(m_db, QStringLiteral("COMMIT"), error))
            return false;
        m_open = false;
        return true;
    }

private:
    sqlite3* m_db;
    bool m_open = false;
};

PersistentStoreCoordinator::PersistentStoreCoordinator(std::shared_ptr<const ManagedObjectModel> model)
    : m_model(std::move(model))
    , m_layout(std::make_unique<Layout>(*m_model))
{
}

PersistentStoreCoordinator::~PersistentStoreCoordinator()
{
    closeDatabase();
}

void PersistentStoreCoordinator::closeDatabase()
{
    for (sqlite3_stmt* statement : std::as_const(m_statements))
        sqlite3_finalize(statement);
    m_statements.clear();
    sqlite3_close(m_db);
    m_db = nullptr;
    m_readOnly = false;
    m_waitedInVain = false;
}

sqlite3_stmt* PersistentStoreCoordinator::statement(const QString& sql, QString* error)
{
    if (sqlite3_stmt* cached = m_statements.value(sql)) {
        sqlite3_reset(cached);
        sqlite3_clear_bindings(cached);
        return cached;
    }
    sqlite3_stmt* prepared = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v3(m_db, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT, &prepared, nullptr)
        != SQLITE_OK) {
        if (error)
            *error = sqliteMessage(m_db);
        sqlite3_finalize(prepared);
        return nullptr;
    }
    m_statements.insert(sql, prepared);
    return prepared;
}

bool PersistentStoreCoordinator::addPersistentStore(const QString& path, QString* error)
{
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        closeDatabase();
        return false;
    };
    if (m_db)
        return fail(QStringLiteral("the coordinator already has a store"));
    if (!m_layout->problem.isEmpty())
        return fail(m_layout->problem);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("cannot create the folder of %1").arg(path));
    m_db = openDatabase(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
    if (!m_db)
        return false;
    m_path = path;

    QString problem;
    // SQLite opens a file it may not write for reading only, without saying so.
    bool readOnly = sqlite3_db_readonly(m_db, "main") == 1;
    if (!readOnly
        && queryText(m_db, "PRAGMA journal_mode=WAL").compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        if (!writingRefused(m_db))
            return fail(QStringLiteral("cannot use write-ahead logging for %1: %2").arg(path, sqliteMessage(m_db)));
        readOnly = true;
    }
    if (readOnly) {
        // A store we may not write is still read, so that its boards can be seen.
        closeDatabase();
        m_db = openForReading(path, error);
        if (!m_db)
            return false;
        m_readOnly = true;
    }
    if (!execute(m_db, QStringLiteral("PRAGMA synchronous=FULL"), &problem))
        return fail(problem);

    const bool hasMetadata = !queryText(m_db, "SELECT name FROM sqlite_master WHERE name='Z_METADATA'").isEmpty();
    if (!hasMetadata) {
        if (queryText(m_db, "SELECT count(*) FROM sqlite_master").toInt() != 0)
            return fail(QStringLiteral("%1 is not a store of this program").arg(path));
        Transaction transaction(m_db);
        if (!transaction.begin(&problem))
            return fail(QStringLiteral("cannot create store %1: %2").arg(path, problem));
        for (const QString& sql : m_layout->createStatements())
            if (!execute(m_db, sql, &problem))
                return fail(QStringLiteral("cannot create store %1: %2").arg(path, problem));
        const QList<std::pair<QString, QString>> entries = {
            {QLatin1String(VersionNameKey), m_model->versionName()},
            {QLatin1String(LayoutHashKey), QString::fromLatin1(m_model->layoutHash())},
            {QLatin1String(StoreUUIDKey), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
        };
        for (const auto& [key, value] : entries) {
            sqlite3_stmt* insert = statement(QStringLiteral("INSERT INTO Z_METADATA VALUES (?, ?)"), &problem);
            const QByteArray keyUtf8 = key.toUtf8();
            const QByteArray valueUtf8 = value.toUtf8();
            if (!insert || sqlite3_bind_text(insert, 1, keyUtf8.constData(), -1, SQLITE_TRANSIENT) != SQLITE_OK
                || sqlite3_bind_text(insert, 2, valueUtf8.constData(), -1, SQLITE_TRANSIENT) != SQLITE_OK
                || sqlite3_step(insert) != SQLITE_DONE)
                return fail(QStringLiteral("cannot create store %1: %2").arg(path, sqliteMessage(m_db)));
        }
        if (!transaction.commit(&problem))
            return fail(QStringLiteral("cannot create store %1: %2").arg(path, problem));
    }

    const std::optional<QVariantMap> metadata = readMetadata(m_db);
    if (!metadata)
        return fail(QStringLiteral("cannot read the metadata of %1: %2").arg(path, sqliteMessage(m_db)));
    if (!m_model->isCompatibleWithStoreMetadata(*metadata))
        return fail(QStringLiteral("the store %1 (model version \"%2\") does not fit model version \"%3\"")
                        .arg(path, metadata->value(QLatin1String(VersionNameKey)).toString(), m_model->versionName()));
    m_metadata = *metadata;
    if (!m_readOnly)
        addMissingIndexes();
    return true;
}

void PersistentStoreCoordinator::addMissingIndexes()
{
    // Stores written before the indexes existed get them once. Without them (a store that is
    // read-only, or locked by another program) everything still works, only slower.
    QStringList missing;
    for (const auto& [name, sql] : m_layout->foreignKeyIndexes()) {
        const OneOffStatement find(m_db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='index' AND name=?"));
        const QByteArray utf8 = name.toUtf8();
        if (find && sqlite3_bind_text(find, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) == SQLITE_OK
            && sqlite3_step(find) != SQLITE_ROW)
            missing.append(sql);
    }
    if (missing.isEmpty())
        return;
    Transaction transaction(m_db);
    if (!transaction.begin(nullptr))
        return;
    for (const QString& sql : std::as_const(missing))
        if (!execute(m_db, sql, nullptr))
            return;
    transaction.commit(nullptr);
}

bool PersistentStoreCoordinator::removePersistentStore(QString* error)
{
    if (!m_db)
        return true;
    for (sqlite3_stmt* statement : std::as_const(m_statements))
        sqlite3_finalize(statement);
    m_statements.clear();
    QString problem;
    // A store opened for reading has no log of ours to fold.
    const bool folded = m_readOnly || execute(m_db, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"), &problem);
    if (sqlite3_close(m_db) != SQLITE_OK && folded) {
        problem = sqliteMessage(m_db);
        sqlite3_close_v2(m_db);
    }
    m_db = nullptr;
    m_metadata.clear();
    m_readOnly = false;
    m_waitedInVain = false;
    if (!folded && error)
        *error = problem;
    return folded;
}

// Reads rows of one table, on whatever connection it is given, into StoreRows: the values of
// their attributes, their to-one keys and sort keys, and the pairs of the joins they take part
// in. It makes no object and touches nothing but the layout and the model, which never change,
// so a loading thread can run it on a connection of its own.
class PersistentStoreCoordinator::RowReader
{
public:
    RowReader(const PersistentStoreCoordinator& store, sqlite3* db, StoreRows& rows)
        : m_store(store)
        , m_db(db)
        , m_rows(rows)
    {
    }

    // The rows of a table that `condition` (an SQL condition; empty for all) selects: in key
    // order, or at most `limit` of them (0 for no limit) in key order, or as the indexes give
    // them when `keyOrder` is false.
    bool readTable(const Layout::Table& table, const QString& condition, int limit = 0, bool keyOrder = true)
    {
        QStringList columns;
        for (const Layout::Column& column : table.columns)
            columns.append(quoted(column.name));
        const OneOffStatement select(m_db,
            QStringLiteral("SELECT %1 FROM %2%3%4%5")
                .arg(columns.join(QLatin1Char(',')), quoted(table.root->name()),
                    condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condition,
                    keyOrder || limit > 0 ? QStringLiteral(" ORDER BY Z_PK") : QString(),
                    limit > 0 ? QStringLiteral(" LIMIT %1").arg(limit) : QString()));
        if (!select)
            return cannotRead();
        RowKind kind;
        int result;
        while ((result = sqlite3_step(select)) == SQLITE_ROW) {
            if (!followKind(select, table, kind))
                return false;
            readRow(select, kind);
        }
        return result == SQLITE_DONE || cannotRead();
    }

    // The pairs of a join that `condition` (on its columns; empty for all) selects, in each
    // owner's order.
    bool readJoin(int joinIndex, const QString& condition)
    {
        const Layout::Join& join = m_store.m_layout->joins[size_t(joinIndex)];
        const OneOffStatement select(m_db,
            QStringLiteral("SELECT Z_OWNER, Z_MEMBER, Z_ORDER FROM %1%2")
                .arg(quoted(join.name), condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condition));
        if (!select)
            return cannotRead();
        struct Ordered
        {
            StoreRows::Pair pair;
            qint64 order;
        };
        std::vector<Ordered> pairs;
        int result;
        while ((result = sqlite3_step(select)) == SQLITE_ROW)
            pairs.push_back({{joinIndex, sqlite3_column_int64(select, 0), sqlite3_column_int64(select, 1)},
                sqlite3_column_int64(select, 2)});
        if (result != SQLITE_DONE)
            return cannotRead();
        // Sorted here rather than by the statement, which would sort the whole result on disk.
        std::stable_sort(pairs.begin(), pairs.end(), [](const Ordered& a, const Ordered& b) {
            return a.pair.owner != b.pair.owner ? a.pair.owner < b.pair.owner : a.order < b.order;
        });
        for (const Ordered& ordered : pairs)
            m_rows.pairs.push_back(ordered.pair);
        return true;
    }

    // The rows `query` names, with the pairs of every join of their table.
    bool read(const RowQuery& query)
    {
        const Layout& layout = *m_store.m_layout;
        const Layout::EntityLayout& entityLayout = layout.of(query.entity);
        const Layout::Table& table = layout.tables[size_t(entityLayout.table)];
        QString condition;
        if (!query.pointingAt.empty()) {
            QStringList alternatives;
            for (const RowQuery::Link& link : query.pointingAt) {
                const auto binding = std::find_if(entityLayout.bindings.cbegin(), entityLayout.bindings.cend(),
                    [&](const Layout::Binding& b) {
                        return b.kind == Layout::Binding::Kind::ForeignKey && b.index == link.relationship;
                    });
                if (binding == entityLayout.bindings.cend()) {
                    m_problem = QStringLiteral("%1 keeps no key of \"%2\"")
                                    .arg(query.entity->name(), query.entity->relationships().at(link.relationship).name);
                    return false;
                }
                if (!link.destinations.empty())
                    alternatives << QStringLiteral("%1 IN (%2)")
                                        .arg(quoted(table.columns.at(binding->column).name), keyList(link.destinations));
            }
            if (alternatives.isEmpty())
                return true;
            condition = alternatives.join(QStringLiteral(" OR "));
        } else if (query.afterKey > 0) {
            condition = QStringLiteral("Z_PK > %1").arg(query.afterKey);
        }
        const size_t first = m_rows.rows.size();
        // Rows pointing at objects go into lists sorted by their own keys, so any order will do.
        if (!readTable(table, condition, query.limit, query.pointingAt.empty()))
            return false;
        if (m_rows.rows.size() == first)
            return true;
        // The pairs of the rows read. Rows pointing at objects mostly come in runs of keys (a
        // board's cards were mostly made together): their pairs are then read by the span of
        // their keys, far cheaper than probing the join once per row; the pairs of rows in the
        // span that were not read count for nothing when taken in, as neither side is new.
        // Rows scattered over the table choose their pairs as they were chosen.
        qint64 lowest = 0;
        qint64 highest = 0;
        if (!query.pointingAt.empty()) {
            const auto [low, high] = std::minmax_element(m_rows.rows.cbegin() + qsizetype(first), m_rows.rows.cend(),
                [](const StoreRows::Row& a, const StoreRows::Row& b) { return a.primaryKey < b.primaryKey; });
            lowest = low->primaryKey;
            highest = high->primaryKey;
        }
        const bool bySpan = highest - lowest < 2 * qint64(m_rows.rows.size() - first);
        const auto pairsOf = [&](const char* side) {
            if (query.pointingAt.empty())
                return QStringLiteral("%1 > %2 AND %1 <= %3")
                    .arg(QLatin1String(side))
                    .arg(query.afterKey)
                    .arg(m_rows.rows.back().primaryKey);
            if (bySpan)
                return QStringLiteral("%1 BETWEEN %2 AND %3").arg(QLatin1String(side)).arg(lowest).arg(highest);
            return QStringLiteral("%1 IN (SELECT Z_PK FROM %2 WHERE %3)")
                .arg(QLatin1String(side), quoted(table.root->name()), condition);
        };
        for (int j = 0; j < int(layout.joins.size()); ++j) {
            const Layout::Join& join = layout.joins[size_t(j)];
            if (join.owner->rootEntity() == table.root && !readJoin(j, pairsOf("Z_OWNER")))
                return false;
            if (join.member->rootEntity() == table.root && !readJoin(j, pairsOf("Z_MEMBER")))
                return false;
        }
        return true;
    }

    const QString& problem() const { return m_problem; }

private:
    // What the rows of one entity share; a table's rows come sorted by key, mostly in runs of
    // one entity, so this changes seldom.
    struct RowKind
    {
        QByteArray name;
        const EntityDescription* entity = nullptr;
        const Layout::EntityLayout* layout = nullptr;
    };

    static QString keyList(const std::vector<qint64>& keys)
    {
        QString list;
        list.reserve(qsizetype(keys.size()) * 7);
        for (const qint64 key : keys) {
            if (!list.isEmpty())
                list.append(QLatin1Char(','));
            list.append(QString::number(key));
        }
        return list;
    }

    bool cannotRead()
    {
        m_problem = QStringLiteral("cannot read %1: %2").arg(m_store.m_path, sqliteMessage(m_db));
        return false;
    }

    // Points `kind` at the entity the row names (its second column).
    bool followKind(sqlite3_stmt* select, const Layout::Table& table, RowKind& kind)
    {
        const char* name = reinterpret_cast<const char*>(sqlite3_column_text(select, 1));
        const int nameLength = sqlite3_column_bytes(select, 1);
        if (kind.entity && kind.name == QByteArrayView(name, nameLength))
            return true;
        kind.name = QByteArray(name, nameLength);
        kind.entity = m_store.m_model->entity(QString::fromUtf8(kind.name));
        if (!kind.entity || !kind.entity->isKindOfEntity(table.root)) {
            m_problem = QStringLiteral("%1 holds an object of unknown entity \"%2\"")
                            .arg(m_store.m_path, QString::fromUtf8(kind.name));
            return false;
        }
        kind.layout = &m_store.m_layout->of(kind.entity);
        return true;
    }

    void readRow(sqlite3_stmt* select, const RowKind& kind)
    {
        StoreRows::Row& row = m_rows.rows.emplace_back();
        row.entity = kind.entity;
        row.primaryKey = sqlite3_column_int64(select, 0);
        row.values.resize(size_t(kind.entity->attributes().size()));
        for (const Layout::Binding& binding : kind.layout->bindings) {
            const int column = binding.column;
            if (sqlite3_column_type(select, column) == SQLITE_NULL)
                continue;
            switch (binding.kind) {
            case Layout::Binding::Kind::ForeignKey:
                row.links.append({binding.index, sqlite3_column_int64(select, column)});
                break;
            case Layout::Binding::Kind::Order:
                row.orders.append({binding.index, sqlite3_column_int64(select, column)});
                break;
            case Layout::Binding::Kind::Attribute:
                row.values[size_t(binding.index)]
                    = attributeValue(select, column, kind.entity->attributes().at(binding.index).type);
                break;
            }
        }
    }

    const PersistentStoreCoordinator& m_store;
    sqlite3* m_db;
    StoreRows& m_rows;
    QString m_problem;
};

bool PersistentStoreCoordinator::loadObjects(
    ManagedObjectContext& context, const QSet<const EntityDescription*>& deferred, QString* error)
{
    // Every table but the deferred ones, then the joins between them: one batch, so that every
    // to-one finds its destination.
    StoreRows rows;
    RowReader reader(*this, m_db, rows);
    const auto fail = [&] {
        if (error)
            *error = reader.problem();
        return false;
    };
    for (const Layout::Table& table : m_layout->tables)
        if (!deferred.contains(table.root) && !reader.readTable(table, QString()))
            return fail();
    for (int j = 0; j < int(m_layout->joins.size()); ++j) {
        const Layout::Join& join = m_layout->joins[size_t(j)];
        if (!deferred.contains(join.owner->rootEntity()) && !deferred.contains(join.member->rootEntity())
            && !reader.readJoin(j, QString()))
            return fail();
    }
    continueKeySequences(context);
    ingest(context, rows);
    return true;
}

bool PersistentStoreCoordinator::readRows(sqlite3* db, const RowQuery& query, StoreRows& rows, QString* error) const
{
    RowReader reader(*this, db ? db : m_db, rows);
    if (reader.read(query))
        return true;
    if (error)
        *error = reader.problem();
    return false;
}

bool PersistentStoreCoordinator::countRows(
    sqlite3* db, const CountRequest& request, std::vector<CountRow>& counts, QString* error) const
{
    const EntityDescription* entity = m_model->entity(request.entityName);
    const auto fail = [&](const QString& problem) {
        if (error)
            *error = problem;
        return false;
    };
    if (!entity)
        return fail(QStringLiteral("no entity named \"%1\"").arg(request.entityName));
    const Layout::EntityLayout& layout = m_layout->of(entity);
    const Layout::Table& table = m_layout->tables[size_t(layout.table)];
    const auto columnOf = [&](const QString& name, Layout::Binding::Kind kind) -> QString {
        for (const Layout::Binding& binding : layout.bindings) {
            // A binding's index counts in the list of its own kind.
            if (binding.kind != kind)
                continue;
            const QString& property = kind == Layout::Binding::Kind::Attribute
                ? entity->attributes().at(binding.index).name
                : entity->relationships().at(binding.index).name;
            if (property == name)
                return quoted(table.columns.at(binding.column).name);
        }
        return {};
    };
    QStringList groups;
    for (const QString& name : request.groupBy) {
        const QString column = columnOf(name, Layout::Binding::Kind::ForeignKey);
        if (column.isEmpty())
            return fail(QStringLiteral("%1 keeps no key of \"%2\"").arg(entity->name(), name));
        groups << column;
    }
    const AttributeDescription* minimum = request.minimumOf.isEmpty() ? nullptr : entity->attribute(request.minimumOf);
    QStringList conditions {QStringLiteral("Z_ENT = '%1'").arg(entity->name())};
    if (!request.excludingTrue.isEmpty()) {
        const QString column = columnOf(request.excludingTrue, Layout::Binding::Kind::Attribute);
        if (column.isEmpty())
            return fail(QStringLiteral("%1 has no attribute \"%2\"").arg(entity->name(), request.excludingTrue));
        conditions << QStringLiteral("(%1 IS NULL OR %1 = 0)").arg(column);
    }
    const QString minimumColumn = minimum ? columnOf(minimum->name, Layout::Binding::Kind::Attribute) : QString();
    const OneOffStatement select(db ? db : m_db,
        QStringLiteral("SELECT %1%2count(*), %3 FROM %4 WHERE %5%6%7")
            .arg(groups.join(QLatin1Char(',')), groups.isEmpty() ? QString() : QStringLiteral(","),
                minimumColumn.isEmpty() ? QStringLiteral("NULL") : QStringLiteral("min(%1)").arg(minimumColumn),
                quoted(table.root->name()), conditions.join(QStringLiteral(" AND ")),
                groups.isEmpty() ? QString() : QStringLiteral(" GROUP BY "), groups.join(QLatin1Char(','))));
    if (!select)
        return fail(QStringLiteral("cannot read %1: %2").arg(m_path, sqliteMessage(db ? db : m_db)));
    int result;
    while ((result = sqlite3_step(select)) == SQLITE_ROW) {
        CountRow row;
        for (int g = 0; g < groups.size(); ++g)
            row.keys << sqlite3_column_int64(select, g);
        row.count = sqlite3_column_int64(select, int(groups.size()));
        if (minimum && sqlite3_column_type(select, int(groups.size()) + 1) != SQLITE_NULL)
            row.minimum = attributeValue(select, int(groups.size()) + 1, minimum->type);
        counts.push_back(std::move(row));
    }
    if (result != SQLITE_DONE)
        return fail(QStringLiteral("cannot read %1: %2").arg(m_path, sqliteMessage(db ? db : m_db)));
    return true;
}

QList<ManagedObject*> PersistentStoreCoordinator::ingest(ManagedObjectContext& context, StoreRows& rows)
{
    // Rows the context knows already are its own: they were read before, or saved from it.
    QList<ManagedObject*> made;
    std::vector<ManagedObject*> byRow(rows.rows.size(), nullptr);
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        StoreRows::Row& row = rows.rows[i];
        ManagedObjectContext::KeyIndex& keys = context.keyIndex(row.entity);
        if (keys.find(row.primaryKey))
            continue;
        ManagedObject* object = context.factoryFor(row.entity)(ManagedObject::Init(row.entity, &context));
        object->m_primaryKey = row.primaryKey;
        object->m_persisted = true;
        object->m_values.swap(row.values);
        for (const auto& [index, order] : std::as_const(row.orders))
            object->m_slots[size_t(index)].storedOrder = order;
        context.m_objectsByEntity[row.entity].append(object);
        keys.insert(row.primaryKey, object);
        context.markPendingSlots(object);
        object->m_justRead = true;
        byRow[i] = object;
        made.append(object);
    }

    // To-one links and their inverses; the ordered inverses are sorted by the stored keys after.
    QSet<std::pair<ManagedObject*, int>> orderedLists;
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        ManagedObject* object = byRow[i];
        if (!object)
            continue;
        for (const auto& [index, key] : std::as_const(rows.rows[i].links)) {
            const RelationshipDescription& relationship = object->entity()->relationships().at(index);
            ManagedObject* destination = context.keyIndex(relationship.destinationEntity).find(key);
            // A dangling reference, or one to an object deleted since, reads as none.
            if (!destination || !destination->entity()->isKindOfEntity(relationship.destinationEntity)
                || destination->m_deleted)
                continue;
            const RelationshipDescription& inverse = *relationship.inverseRelationship;
            object->m_slots[size_t(index)].object = destination;
            ManagedObject::Slot& inverseSlot = destination->m_slots[size_t(inverse.index)];
            if (inverse.isToMany) {
                inverseSlot.objects.append(object);
                if (inverse.isOrdered)
                    orderedLists.insert({destination, inverse.index});
            } else {
                inverseSlot.object = object;
            }
        }
    }
    for (const auto& [owner, index] : std::as_const(orderedLists))
        sortByStoredOrder(owner, index);

    // A pair counts once one of its sides is new here: the pairs of objects read before came
    // with them.
    for (const StoreRows::Pair& pair : std::as_const(rows.pairs)) {
        const Layout::Join& join = m_layout->joins[size_t(pair.join)];
        ManagedObject* owner = context.keyIndex(join.owner).find(pair.owner);
        ManagedObject* member = context.keyIndex(join.member).find(pair.member);
        if (!owner || !member || !owner->entity()->isKindOfEntity(join.owner)
            || !member->entity()->isKindOfEntity(join.member) || owner->m_deleted || member->m_deleted
            || !(owner->m_justRead || member->m_justRead))
            continue;
        const RelationshipDescription& relationship = join.owner->relationships().at(join.relationship);
        QList<ManagedObject*>& ownerSide = owner->m_slots[size_t(relationship.index)].objects;
        if (ownerSide.contains(member))
            continue;
        ownerSide.append(member);
        member->m_slots[size_t(relationship.inverseRelationship->index)].objects.append(owner);
    }

    for (ManagedObject* object : std::as_const(made))
        object->m_justRead = false;
    for (ManagedObject* object : std::as_const(made))
        object->awakeFromFetch();
    return made;
}

void PersistentStoreCoordinator::sortByStoredOrder(ManagedObject* owner, int index)
{
    ManagedObject::Slot& slot = owner->m_slots[size_t(index)];
    const int inverseIndex = owner->entity()->relationships().at(index).inverseRelationship->index;
    const auto byStoredOrder = [inverseIndex](const ManagedObject* a, const ManagedObject* b) {
        return a->m_slots[size_t(inverseIndex)].storedOrder < b->m_slots[size_t(inverseIndex)].storedOrder;
    };
    if (!std::is_sorted(slot.objects.cbegin(), slot.objects.cend(), byStoredOrder))
        std::stable_sort(slot.objects.begin(), slot.objects.end(), byStoredOrder);
}

// Keys of deleted rows are never handed out again, so an object URI names one object for the
// store's life: SQLite remembers the largest key each table ever held.
void PersistentStoreCoordinator::continueKeySequences(ManagedObjectContext& context)
{
    const OneOffStatement select(m_db, QStringLiteral("SELECT name, seq FROM sqlite_sequence"));
    if (!select)
        return;
    while (sqlite3_step(select) == SQLITE_ROW) {
        const EntityDescription* root = m_model->entity(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(select, 0))));
        if (root && !root->parentEntity()) {
            ManagedObjectContext::KeyIndex& keys = context.keyIndex(root);
            keys.last = std::max(keys.last, qint64(sqlite3_column_int64(select, 1)));
        }
    }
}

bool PersistentStoreCoordinator::holdsKeyOf(const EntityDescription* entity, int relationshipIndex) const
{
    const QList<Layout::Binding>& bindings = m_layout->of(entity).bindings;
    return std::any_of(bindings.cbegin(), bindings.cend(), [&](const Layout::Binding& binding) {
        return binding.kind == Layout::Binding::Kind::ForeignKey && binding.index == relationshipIndex;
    });
}

std::shared_ptr<sqlite3> PersistentStoreCoordinator::openReadConnection(QString* error) const
{
    if (!m_db) {
        if (error)
            *error = QStringLiteral("the store is closed");
        return nullptr;
    }
    // A store we may not write is read as it was opened, since no log may be made beside it.
    sqlite3* db = m_readOnly ? openForReading(m_path, error) : openDatabase(m_path, SQLITE_OPEN_READONLY, error);
    if (!db)
        return nullptr;
    // Such a connection reads tables through once, in key order: pages kept for reuse would
    // only hold memory.
    execute(db, QStringLiteral("PRAGMA cache_size=-512"), nullptr);
    return std::shared_ptr<sqlite3>(db, [](sqlite3* connection) { sqlite3_close(connection); });
}

namespace {

// Gives the members of an ordered list increasing sort keys, keeping as many of their stored
// keys as possible; `assign` receives the members whose key changes.
void assignOrderKeys(const QList<ManagedObject*>& members, const std::function<qint64(const ManagedObject*)>& storedKey,
    const std::function<bool(const ManagedObject*)>& hasStoredKey,
    const std::function<void(ManagedObject*, qint64)>& assign)
{
    const int n = int(members.size());
    std::vector<qint64> keys(static_cast<size_t>(n));
    std::vector<bool> valid(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        valid[size_t(i)] = hasStoredKey(members.at(i));
        keys[size_t(i)] = valid[size_t(i)] ? storedKey(members.at(i)) : 0;
    }
    const QList<bool> keep = keysToKeep(keys, valid);
    std::vector<qint64> next = keys;
    bool room = true;
    for (int i = 0; i < n && room;) {
        if (keep.at(i)) {
            ++i;
            continue;
        }
        int end = i;
        while (end < n && !keep.at(end))
            ++end;
        const int count = end - i;
        const bool hasLow = i > 0;
        const bool hasHigh = end < n;
        const qint64 low = hasLow ? keys[size_t(i - 1)] : (hasHigh ? keys[size_t(end)] - OrderGap * (count + 1) : 0);
        const qint64 high = hasHigh ? keys[size_t(end)] : low + OrderGap * (count + 1);
        const qint64 step = (high - low) / (count + 1);
        if (step < 1) {
            room = false;
            break;
        }
        for (int k = 0; k < count; ++k)
            next[size_t(i + k)] = low + step * (k + 1);
        i = end;
    }
    if (!room)
        for (int i = 0; i < n; ++i)
            next[size_t(i)] = OrderGap * (i + 1);
    for (int i = 0; i < n; ++i)
        if (!valid[size_t(i)] || next[size_t(i)] != keys[size_t(i)])
            assign(members.at(i), next[size_t(i)]);
}

} // namespace

// Writes the changes of a context in one transaction: the rows of deleted, inserted and updated
// objects, the pairs of changed many-to-many relationships and the sort keys of members that
// only moved. Members hold their new sort keys while the rows are written, and get their former
// ones back when the transaction fails.
class PersistentStoreCoordinator::Saver
{
public:
    Saver(PersistentStoreCoordinator& store, ManagedObjectContext& context)
        : m_store(store)
        , m_context(context)
        , m_layout(*store.m_layout)
        , m_changed(context.m_changed)
    {
    }

    // Whether the save failed waiting for another program's lock.
    bool lockedOut() const { return m_lockedOut; }

    bool run(QString* error)
    {
        assignChangedOrders();
        if (write()) {
            forgetOrdersOfRowsWithoutOwner();
            return true;
        }
        for (auto it = m_orders.crbegin(); it != m_orders.crend(); ++it)
            it->member->m_slots[size_t(it->index)].storedOrder = it->previous;
        return failed(error);
    }

private:
    // A member of an ordered list whose sort key changes in this save.
    struct AssignedOrder
    {
        ManagedObject* member;
        int index;
        qint64 previous;
    };

    bool write()
    {
        Transaction transaction(m_store.m_db);
        if (!transaction.begin(&m_problem)) {
            m_lockedOut = (sqlite3_errcode(m_store.m_db) & 0xff) == SQLITE_BUSY;
            return false;
        }
        for (ManagedObject* object : std::as_const(m_changed))
            if (!writeObject(object))
                return false;
        return writeMovedOrders() && transaction.commit(&m_problem);
    }

    // What writeObject writes a row for.
    static bool writesRow(const ManagedObject* object)
    {
        return !object->m_deleted && (object->m_inserted || object->m_updated);
    }

    bool failed(QString* error) const
    {
        if (error)
            *error = QStringLiteral("cannot save to %1: %2").arg(m_store.m_path, m_problem);
        return false;
    }

    // Sort keys of the ordered lists that changed.
    void assignChangedOrders()
    {
        for (ManagedObject* owner : std::as_const(m_changed)) {
            if (owner->m_deleted)
                continue;
            for (const RelationshipDescription& relationship : owner->entity()->relationships()) {
                const ManagedObject::Slot& slot = owner->m_slots[size_t(relationship.index)];
                const RelationshipDescription& inverse = *relationship.inverseRelationship;
                if (!relationship.isOrdered || inverse.isToMany || !slot.changed)
                    continue;
                const int index = inverse.index;
                // Each member is in one list of the relationship, so the keys read for one list
                // are never those assigned for another.
                assignOrderKeys(
                    slot.objects, [index](const ManagedObject* m) { return m->m_slots[size_t(index)].storedOrder; },
                    [index](const ManagedObject* m) {
                        return m->m_persisted && m->m_slots[size_t(index)].storedOrder != ManagedObject::NoStoredOrder;
                    },
                    [this, index](ManagedObject* m, qint64 key) {
                        qint64& stored = m->m_slots[size_t(index)].storedOrder;
                        m_orders.push_back(AssignedOrder {m, index, stored});
                        stored = key;
                    });
            }
        }
    }

    bool writeObject(ManagedObject* object)
    {
        const Layout::EntityLayout& layout = m_layout.of(object->entity());
        if (object->m_deleted)
            return !object->m_persisted || (deleteRow(object, layout) && leaveJoins(object));
        if (writesRow(object) && !writeRow(object, layout))
            return false;
        return writeOwnedJoins(object, layout);
    }

    bool deleteRow(const ManagedObject* object, const Layout::EntityLayout& layout)
    {
        sqlite3_stmt* remove = statement(QStringLiteral("DELETE FROM %1 WHERE Z_PK=?").arg(tableName(layout)));
        if (!remove)
            return false;
        sqlite3_bind_int64(remove, 1, object->m_primaryKey);
        return step(remove);
    }

    // A deleted object's pairs, on either side.
    bool leaveJoins(const ManagedObject* object)
    {
        for (const Layout::Join& join : m_layout.joins) {
            for (const auto& [side, column] :
                {std::pair {join.owner, "Z_OWNER"}, std::pair {join.member, "Z_MEMBER"}}) {
                if (!object->entity()->isKindOfEntity(side))
                    continue;
                sqlite3_stmt* unlink = statement(
                    QStringLiteral("DELETE FROM %1 WHERE %2=?").arg(quoted(join.name), QLatin1String(column)));
                if (!unlink)
                    return false;
                sqlite3_bind_int64(unlink, 1, object->m_primaryKey);
                if (!step(unlink))
                    return false;
            }
        }
        return true;
    }

    bool writeRow(ManagedObject* object, const Layout::EntityLayout& layout)
    {
        // A row of nothing but its key and entity has nothing to update.
        if (!object->m_inserted && layout.bindings.isEmpty())
            return true;
        sqlite3_stmt* write = rowStatement(layout, object->m_inserted);
        if (!write)
            return false;
        const int parameter = bindRow(write, object, layout);
        sqlite3_bind_int64(write, parameter, object->m_primaryKey);
        if (object->m_inserted)
            bindText(write, parameter + 1, object->entity()->name().toUtf8());
        return step(write);
    }

    // The INSERT or UPDATE of an entity's rows, prepared once and reused for every row of the
    // save instead of formatting its text per row.
    sqlite3_stmt* rowStatement(const Layout::EntityLayout& layout, bool insert)
    {
        sqlite3_stmt*& known = m_rowStatements[{&layout, insert}];
        if (known) {
            sqlite3_reset(known);
            sqlite3_clear_bindings(known);
            return known;
        }
        QStringList columns;
        for (const Layout::Binding& binding : layout.bindings)
            columns.append(columnName(layout, binding));
        if (insert) {
            columns.append(QStringLiteral("Z_PK"));
            columns.append(QStringLiteral("Z_ENT"));
            known = statement(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(tableName(layout), columns.join(QLatin1Char(',')),
                                      QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(','))));
        } else {
            known = statement(QStringLiteral("UPDATE %1 SET %2 WHERE Z_PK=?")
                                  .arg(tableName(layout), columns.join(QStringLiteral("=?,")) + QStringLiteral("=?")));
        }
        return known;
    }

    // Binds the entity's row values from parameter 1 on; returns the next parameter.
    int bindRow(sqlite3_stmt* statement, ManagedObject* object, const Layout::EntityLayout& layout) const
    {
        int parameter = 1;
        for (const Layout::Binding& binding : layout.bindings) {
            switch (binding.kind) {
            case Layout::Binding::Kind::ForeignKey:
                bindForeignKey(statement, parameter, object->m_slots[size_t(binding.index)].object);
                break;
            case Layout::Binding::Kind::Order:
                bindOrder(statement, parameter, object, binding.index);
                break;
            case Layout::Binding::Kind::Attribute:
                bindAttribute(statement, parameter, object->m_values[size_t(binding.index)],
                    object->entity()->attributes().at(binding.index).type);
                break;
            }
            ++parameter;
        }
        return parameter;
    }

    static void bindForeignKey(sqlite3_stmt* statement, int parameter, const ManagedObject* destination)
    {
        if (destination)
            sqlite3_bind_int64(statement, parameter, destination->m_primaryKey);
        else
            sqlite3_bind_null(statement, parameter);
    }

    // The member's sort key in its owner's ordered list (the one assigned in this save, if any);
    // none outside a list.
    static void bindOrder(sqlite3_stmt* statement, int parameter, ManagedObject* object, int index)
    {
        const ManagedObject::Slot& slot = object->m_slots[size_t(index)];
        if (slot.object && slot.storedOrder != ManagedObject::NoStoredOrder)
            sqlite3_bind_int64(statement, parameter, slot.storedOrder);
        else
            sqlite3_bind_null(statement, parameter);
    }

    static void bindAttribute(
        sqlite3_stmt* statement, int parameter, const QVariant& value, AttributeDescription::Type type)
    {
        using Type = AttributeDescription::Type;
        if (!value.isValid()) {
            sqlite3_bind_null(statement, parameter);
            return;
        }
        switch (type) {
        case Type::Integer16:
        case Type::Integer32:
        case Type::Integer64:
            sqlite3_bind_int64(statement, parameter, value.toLongLong());
            return;
        case Type::Double:
            sqlite3_bind_double(statement, parameter, value.toDouble());
            return;
        case Type::Boolean:
            sqlite3_bind_int(statement, parameter, value.toBool() ? 1 : 0);
            return;
        case Type::String:
            bindText(statement, parameter, value.toString().toUtf8());
            return;
        case Type::Date:
            sqlite3_bind_int64(statement, parameter, value.toDateTime().toMSecsSinceEpoch());
            return;
        case Type::Binary: {
            const QByteArray bytes = value.toByteArray();
            sqlite3_bind_blob(statement, parameter, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
            return;
        }
        case Type::StringList:
            bindText(statement, parameter,
                QJsonDocument(QJsonArray::fromStringList(value.toStringList())).toJson(QJsonDocument::Compact));
            return;
        }
    }

    static void bindText(sqlite3_stmt* statement, int parameter, const QByteArray& utf8)
    {
        sqlite3_bind_text(statement, parameter, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }

    // The pairs of each changed many-to-many relationship the object owns, written afresh. A new
    // owner has no pairs yet to remove.
    bool writeOwnedJoins(const ManagedObject* object, const Layout::EntityLayout& layout)
    {
        for (int index = 0; index < layout.ownedJoins.size(); ++index) {
            const int joinIndex = layout.ownedJoins.at(index);
            if (joinIndex < 0 || !object->m_slots[size_t(index)].changed)
                continue;
            JoinStatements* join = joinStatements(joinIndex);
            if (!join)
                return false;
            const ManagedObject::Slot& slot = object->m_slots[size_t(index)];
            if (slot.pending) {
                if (!writePairsOfMembersHeld(join->link, joinIndex, object, slot.objects))
                    return false;
                continue;
            }
            if ((!object->m_inserted && !unlinkMembers(join->unlink, object))
                || !linkMembers(join->link, object, slot.objects))
                return false;
        }
        return true;
    }

    // An owner whose members are not all read: the pairs of the members it holds are brought in
    // line, those of the others stay as they are.
    bool writePairsOfMembersHeld(
        sqlite3_stmt* link, int joinIndex, const ManagedObject* owner, const QList<ManagedObject*>& members)
    {
        const QString name = quoted(m_layout.joins[size_t(joinIndex)].name);
        sqlite3_stmt* stored = statement(QStringLiteral("SELECT Z_MEMBER FROM %1 WHERE Z_OWNER=?").arg(name));
        sqlite3_stmt* unlink = statement(QStringLiteral("DELETE FROM %1 WHERE Z_OWNER=? AND Z_MEMBER=?").arg(name));
        if (!stored || !unlink)
            return false;
        sqlite3_bind_int64(stored, 1, owner->m_primaryKey);
        QSet<qint64> storedKeys;
        int result;
        while ((result = sqlite3_step(stored)) == SQLITE_ROW)
            storedKeys.insert(sqlite3_column_int64(stored, 0));
        if (result != SQLITE_DONE) {
            m_problem = sqliteMessage(m_store.m_db);
            return false;
        }
        const QSet<const ManagedObject*> held(members.cbegin(), members.cend());
        const ManagedObjectContext::KeyIndex& keys = m_context.keyIndex(m_layout.joins[size_t(joinIndex)].member);
        for (const qint64 key : std::as_const(storedKeys)) {
            const ManagedObject* member = keys.find(key);
            if (!member || held.contains(member))
                continue;
            sqlite3_reset(unlink);
            sqlite3_bind_int64(unlink, 1, owner->m_primaryKey);
            sqlite3_bind_int64(unlink, 2, key);
            if (!step(unlink))
                return false;
        }
        QList<ManagedObject*> added;
        for (ManagedObject* member : members)
            if (!storedKeys.contains(member->m_primaryKey))
                added.append(member);
        return linkMembers(link, owner, added);
    }

    bool unlinkMembers(sqlite3_stmt* unlink, const ManagedObject* owner)
    {
        sqlite3_reset(unlink);
        sqlite3_bind_int64(unlink, 1, owner->m_primaryKey);
        return step(unlink);
    }

    bool linkMembers(sqlite3_stmt* link, const ManagedObject* owner, const QList<ManagedObject*>& members)
    {
        for (int position = 0; position < members.size(); ++position) {
            sqlite3_reset(link);
            sqlite3_bind_int64(link, 1, owner->m_primaryKey);
            sqlite3_bind_int64(link, 2, members.at(position)->m_primaryKey);
            sqlite3_bind_int(link, 3, position);
            if (!step(link))
                return false;
        }
        return true;
    }

    // A join's statements, prepared once per save instead of formatting their text per pair.
    struct JoinStatements
    {
        sqlite3_stmt* unlink = nullptr;
        sqlite3_stmt* link = nullptr;
    };
    JoinStatements* joinStatements(int joinIndex)
    {
        if (m_joinStatements.empty())
            m_joinStatements.resize(m_layout.joins.size());
        JoinStatements& known = m_joinStatements[size_t(joinIndex)];
        if (!known.link) {
            const QString joinName = quoted(m_layout.joins[size_t(joinIndex)].name);
            known.unlink = statement(QStringLiteral("DELETE FROM %1 WHERE Z_OWNER=?").arg(joinName));
            known.link
                = known.unlink ? statement(QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?)").arg(joinName)) : nullptr;
        }
        return known.link ? &known : nullptr;
    }

    // Members that only moved within their list get their new sort key alone.
    bool writeMovedOrders()
    {
        for (const AssignedOrder& order : m_orders) {
            ManagedObject* member = order.member;
            if (writesRow(member) || member->m_deleted)
                continue;
            const Layout::EntityLayout& layout = m_layout.of(member->entity());
            const auto binding
                = std::find_if(layout.bindings.cbegin(), layout.bindings.cend(), [&](const Layout::Binding& b) {
                      return b.kind == Layout::Binding::Kind::Order && b.index == order.index;
                  });
            sqlite3_stmt* update = statement(
                QStringLiteral("UPDATE %1 SET %2=? WHERE Z_PK=?").arg(tableName(layout), columnName(layout, *binding)));
            if (!update)
                return false;
            sqlite3_bind_int64(update, 1, member->m_slots[size_t(order.index)].storedOrder);
            sqlite3_bind_int64(update, 2, member->m_primaryKey);
            if (!step(update))
                return false;
        }
        return true;
    }

    // A row written outside any list holds no sort key.
    void forgetOrdersOfRowsWithoutOwner()
    {
        for (ManagedObject* object : std::as_const(m_changed)) {
            if (!writesRow(object))
                continue;
            for (const Layout::Binding& binding : m_layout.of(object->entity()).bindings)
                if (binding.kind == Layout::Binding::Kind::Order && !object->m_slots[size_t(binding.index)].object)
                    object->m_slots[size_t(binding.index)].storedOrder = ManagedObject::NoStoredOrder;
        }
    }

    sqlite3_stmt* statement(const QString& sql) { return m_store.statement(sql, &m_problem); }

    bool step(sqlite3_stmt* statement)
    {
        if (sqlite3_step(statement) == SQLITE_DONE)
            return true;
        m_problem = sqliteMessage(m_store.m_db);
        return false;
    }

    QString tableName(const Layout::EntityLayout& layout) const
    {
        return quoted(m_layout.tables[size_t(layout.table)].root->name());
    }
    QString columnName(const Layout::EntityLayout& layout, const Layout::Binding& binding) const
    {
        return quoted(m_layout.tables[size_t(layout.table)].columns.at(binding.column).name);
    }

    PersistentStoreCoordinator& m_store;
    ManagedObjectContext& m_context;
    Layout& m_layout;
    const QList<ManagedObject*>& m_changed;
    std::vector<AssignedOrder> m_orders;
    QHash<std::pair<const Layout::EntityLayout*, bool>, sqlite3_stmt*> m_rowStatements;
    std::vector<JoinStatements> m_joinStatements;
    QString m_problem;
    bool m_lockedOut = false;
};

bool PersistentStoreCoordinator::saveChanges(ManagedObjectContext& context, QString* error)
{
    if (!m_db) {
        if (error)
            *error = QStringLiteral("the store is closed");
        return false;
    }
    if (m_waitedInVain)
        sqlite3_busy_timeout(m_db, 0);
    Saver saver(*this, context);
    const bool saved = saver.run(error);
    sqlite3_busy_timeout(m_db, BusyTimeoutMilliseconds);
    m_waitedInVain = !saved && saver.lockedOut();
    return saved;
}

std::optional<QVariantMap> PersistentStoreCoordinator::metadata(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    // Inspecting a store must leave nothing beside it.
    sqlite3* db = hasCompanions(path)
        ? openDatabase(path, SQLITE_OPEN_READONLY, nullptr)
        : openDatabase(immutableName(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    if (!db)
        return std::nullopt;
    std::optional<QVariantMap> result = readMetadata(db);
    sqlite3_close(db);
    return result;
}

bool PersistentStoreCoordinator::isHeldElsewhere(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    sqlite3* db = nullptr;
    bool held = false;
    // No busy timeout: a lock held elsewhere answers SQLITE_BUSY at once.
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* probe = nullptr;
        int result = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
        if (result == SQLITE_OK)
            result = sqlite3_step(probe);
        held = (result & 0xff) == SQLITE_BUSY;
        sqlite3_finalize(probe);
    }
    sqlite3_close(db);
    return held;
}

bool PersistentStoreCoordinator::destroyStore(const QString& path, QString* error)
{
    QStringList files {path};
    for (const char* suffix : companionSuffixes)
        files.append(path + QLatin1String(suffix));
    for (const QString& file : std::as_const(files)) {
        QFile companion(file);
        if (companion.exists() && !companion.remove()) {
            if (error)
                *error = QStringLiteral("cannot remove %1: %2").arg(file, companion.errorString());
            return false;
        }
    }
    return true;
}

bool PersistentStoreCoordinator::replaceStore(const QString& targetPath, const QString& sourcePath, QString* error)
{
    if (!QFileInfo(sourcePath).isFile()) {
        if (error)
            *error = QStringLiteral("there is no store at %1").arg(sourcePath);
        return false;
    }
    sqlite3* source = openDatabase(sourcePath, SQLITE_OPEN_READONLY, error);
    if (!source)
        return false;
    if (!QDir().mkpath(QFileInfo(targetPath).absolutePath())) {
        sqlite3_close(source);
        if (error)
            *error = QStringLiteral("cannot create the folder of %1").arg(targetPath);
        return false;
    }
    sqlite3* target = openDatabase(targetPath, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
    if (!target) {
        sqlite3_close(source);
        return false;
    }
    bool ok = false;
    if (sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main")) {
        const int stepResult = sqlite3_backup_step(backup, -1);
        ok = sqlite3_backup_finish(backup) == SQLITE_OK && stepResult == SQLITE_DONE;
    }
    if (!ok && error)
        *error = QStringLiteral("cannot copy %1 to %2: %3").arg(sourcePath, targetPath, sqliteMessage(target));
    sqlite3_close(target);
    sqlite3_close(source);
    return ok;
}

bool PersistentStoreCoordinator::foldWriteAheadLog(const QString& path, QString* error)
{
    if (!QFileInfo(path).isFile()) {
        if (error)
            *error = QStringLiteral("there is no store at %1").arg(path);
        return false;
    }
    sqlite3* db = openDatabase(path, SQLITE_OPEN_READWRITE, error);
    if (!db)
        return false;
    QString problem;
    const bool ok = execute(db, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"), &problem)
        && queryText(db, "PRAGMA journal_mode=DELETE").compare(QLatin1String("delete"), Qt::CaseInsensitive) == 0;
    if (!ok && error)
        *error = QStringLiteral("cannot fold the write-ahead log of %1: %2")
                     .arg(path, problem.isEmpty() ? sqliteMessage(db) : problem);
    sqlite3_close(db);
    return ok;
}
