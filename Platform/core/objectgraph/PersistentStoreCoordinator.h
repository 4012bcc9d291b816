#pragma once

#include "Platform/core/objectgraph/ManagedObjectModel.h"
#include "Platform/core/objectgraph/StoreRows.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;
class BackgroundLoad;
class ManagedObject;
class ManagedObjectContext;

// One SQLite store file holding the objects of one model, opened in WAL mode with
// synchronous=FULL.
//
// Layout: one table per root entity, named after it, with "Z_PK" (primary key, never reused)
// and "Z_ENT" (entity name) and one column per attribute of the root and its subentities,
// named after the attribute. A to-one relationship is a column named after it holding the
// destination's primary key (for a one-to-one pair, only on the side whose
// "Entity.relationship" sorts first); when its inverse is ordered, a column "<name>_ORDER"
// holds the sort key of the row within that ordered set (increasing, with gaps). A
// many-to-many pair is a table "<Entity>_<relationship>" of the side that is ordered (or sorts
// first) with the columns "Z_OWNER", "Z_MEMBER" and "Z_ORDER". The table "Z_METADATA"
// (Z_KEY, Z_VALUE) holds the model version name, the layout hash and the store's UUID. Every
// column of a to-one key has an index, so that the rows pointing at some objects can be read
// alone.
class PersistentStoreCoordinator
{
public:
    static constexpr const char* VersionNameKey = "modelVersionName";
    static constexpr const char* LayoutHashKey = "layoutHash";
    static constexpr const char* StoreUUIDKey = "storeUUID";

    explicit PersistentStoreCoordinator(std::shared_ptr<const ManagedObjectModel> model);
    ~PersistentStoreCoordinator();
    PersistentStoreCoordinator(const PersistentStoreCoordinator&) = delete;
    PersistentStoreCoordinator& operator=(const PersistentStoreCoordinator&) = delete;

    const ManagedObjectModel& model() const { return *m_model; }

    // Opens the store at `path`, creating it (and its folder) when missing. Refuses a store
    // whose metadata is not compatible with the model. A context then loads it with
    // ManagedObjectContext::loadPersistentStore. A store whose file or folder may not be
    // written is opened for reading only: isReadOnly() then says so and every save fails.
    bool addPersistentStore(const QString& path, QString* error = nullptr);
    bool isReadOnly() const { return m_readOnly; }
    // Closes the store, folding its write-ahead log.
    bool removePersistentStore(QString* error = nullptr);
    bool hasPersistentStore() const { return m_db != nullptr; }
    const QString& storePath() const { return m_path; }
    const QVariantMap& storeMetadata() const { return m_metadata; }

    // The metadata of the store at `path`, read without loading it; none when there is no
    // file or it is not a readable store of ours.
    static std::optional<QVariantMap> metadata(const QString& path);
    // Whether another program holds the store at `path` with a lock that keeps us from reading
    // it at all; asked without waiting.
    static bool isHeldElsewhere(const QString& path);
    // Removes the store file with its "-wal", "-shm" and "-journal" companions. A missing
    // store is not an error.
    static bool destroyStore(const QString& path, QString* error = nullptr);
    // Makes the store at `targetPath` a copy of the one at `sourcePath` (SQLite backup), in
    // place, so the target is never half-written; the source is left as it is.
    static bool replaceStore(const QString& targetPath, const QString& sourcePath, QString* error = nullptr);
    // Folds the store's write-ahead log into the main file and leaves it in rollback-journal
    // mode, so the file alone holds everything.
    static bool foldWriteAheadLog(const QString& path, QString* error = nullptr);

private:
    friend class BackgroundLoad;
    friend class ManagedObjectContext;

    // Reads every table and join of the store into an empty context, but for the tables of the
    // `deferred` root entities and the joins they take part in.
    bool loadObjects(ManagedObjectContext& context, const QSet<const EntityDescription*>& deferred, QString* error);
    // Reads the rows `query` names, with their pairs, on `db`, a connection of the calling
    // thread (the store's own when null). Any thread: it reads only what never changes.
    bool readRows(sqlite3* db, const RowQuery& query, StoreRows& rows, QString* error) const;
    bool countRows(sqlite3* db, const CountRequest& request, std::vector<CountRow>& counts, QString* error) const;
    // Makes objects in the context for the rows it does not hold yet, linked to what it holds,
    // and awakes them; the rows are used up. The context's thread.
    QList<ManagedObject*> ingest(ManagedObjectContext& context, StoreRows& rows);
    static void sortByStoredOrder(ManagedObject* owner, int index);
    void continueKeySequences(ManagedObjectContext& context);
    // A read-only connection of its own to the store, for a loading thread.
    std::shared_ptr<sqlite3> openReadConnection(QString* error) const;
    void addMissingIndexes();
    // Whether the rows of the entity hold the key of that to-one relationship.
    bool holdsKeyOf(const EntityDescription* entity, int relationshipIndex) const;
    bool saveChanges(ManagedObjectContext& context, QString* error);
    // A prepared statement kept for the life of the connection.
    sqlite3_stmt* statement(const QString& sql, QString* error);
    void closeDatabase();

    struct Layout;
    class Transaction;
    class RowReader;
    class Saver;
    std::shared_ptr<const ManagedObjectModel> m_model;
    std::unique_ptr<Layout> m_layout;
    sqlite3* m_db = nullptr;
    QString m_path;
    QVariantMap m_metadata;
    bool m_readOnly = false;
    // A save waited in vain for another program's lock: the next ones try without waiting
    // until one goes through, so that an action that saves twice keeps the user waiting once.
    bool m_waitedInVain = false;
    QHash<QString, sqlite3_stmt*> m_statements;
};
