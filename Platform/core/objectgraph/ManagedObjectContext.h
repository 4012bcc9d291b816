#pragma once

#include "Platform/core/UndoManager.h"
#include "Platform/core/objectgraph/FetchRequest.h"
#include "Platform/core/objectgraph/KeyChange.h"
#include "Platform/core/objectgraph/ManagedObject.h"
#include "Platform/core/objectgraph/ManagedObjectModel.h"
#include "Platform/core/objectgraph/StoreRows.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUrl>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

class BackgroundLoad;
class PersistentStoreCoordinator;

// Ownership: every managed object is owned by its context, deleted ones included. A deleted
// object becomes a tombstone: it has left all its relationships, isDeleted() is true, its
// attribute values can still be read, and the pointer stays valid while the context lives.
// So undo handlers and other holders may keep raw pointers to managed objects (what else an
// undo step may hold is ruled in UndoManager.h). A context that goes away first removes the
// actions of its undo manager (setUndoManager), since those handlers may point into it; only
// then are its objects destroyed.
//
// A context holds the graph in memory: fetches scan memory (so they see unsaved changes) and
// save() writes only what changed. Loading its store reads every object, or, for a large store,
// every object but those of some deferred entities, whose rows come later: a few at a time
// (loadObjects, the objects pointing at some others), all at once (loadAllObjects), or on a
// thread of their own while this one carries on (loadAllObjectsInBackground). Until an object's
// relationship holds all its members it is pending, and whatever reads or changes it, deletes
// its object, fetches its entity or looks for its objects by URI first reads what is missing: a
// pending relationship never shows a partial list, and a fetch never misses a stored object, so
// everyone sees the graph a whole load gives. Only a to-many relationship whose inverse is
// to-many too takes members in and out while pending, since it has no order to keep: a save
// then writes the pairs of the members it holds and leaves the others' alone.
class ManagedObjectContext : public QObject
{
    Q_OBJECT
public:
    using Factory = std::function<ManagedObject*(const ManagedObject::Init&)>;

    explicit ManagedObjectContext(std::shared_ptr<const ManagedObjectModel> model, QObject* parent = nullptr);
    ~ManagedObjectContext() override;

    const ManagedObjectModel& model() const { return *m_model; }
    std::shared_ptr<const ManagedObjectModel> sharedModel() const { return m_model; }

    // The class made for objects of an entity; subentities without a class of their own use
    // their nearest ancestor's, and entities without any use ManagedObject. Register before
    // loading or inserting.
    void registerClass(const QString& entityName, Factory factory);
    template <typename T> void registerClass(const QString& entityName)
    {
        registerClass(entityName, [](const ManagedObject::Init& init) -> ManagedObject* { return new T(init); });
    }

    // Attaches the coordinator's store (added with addPersistentStore) and loads its whole graph
    // into this empty context; awakeFromFetch runs for each object once everything is linked.
    // Without a store, save() only settles the changes in memory.
    bool loadPersistentStore(std::shared_ptr<PersistentStoreCoordinator> coordinator, QString* error = nullptr);
    // The same, but the rows of the `deferred` entities (root entities of the model) wait.
    bool loadPersistentStore(std::shared_ptr<PersistentStoreCoordinator> coordinator,
        const QStringList& deferredEntities, QString* error = nullptr);
    PersistentStoreCoordinator* persistentStoreCoordinator() const { return m_coordinator.get(); }

    // Whether every stored row of the entity's table is in memory.
    bool isFullyLoaded(const QString& entityName) const;
    // Whether the relationship of the object still lacks members that live in unread rows.
    bool isPending(const ManagedObject* object, const QString& key) const;

    // Reads the rows of `entityName` whose to-one `key` points at one of `destinations`, which
    // then hold every member of its inverse; returns the objects made. Rows already in memory
    // stay as they are.
    QList<ManagedObject*> loadObjects(const QString& entityName, const QString& key,
        const QList<ManagedObject*>& destinations, QString* error = nullptr);
    // The same through several to-one relationships at once: the rows pointing at any of them.
    struct Pointing
    {
        QString key;
        QList<ManagedObject*> destinations;
    };
    QList<ManagedObject*> loadObjects(
        const QString& entityName, const QList<Pointing>& pointingAt, QString* error = nullptr);
    // The barrier of a walk over every object of an entity: reads the rest of its rows, taking
    // what the background load has read so far and waiting for that load where one runs.
    // `progress` hears how far it got (the largest key read of the largest there is).
    using Progress = std::function<void(qint64 done, qint64 total)>;
    bool loadAllObjects(const QString& entityName, const Progress& progress = {}, QString* error = nullptr);
    // Reading on a thread of its own, with a read-only connection of its own; the objects are
    // made on this thread, in slices of its event loop short enough to keep it responsive. The
    // rows of an entity's table, or those pointing at some objects (which come first), or a
    // count of rows handed to `done` here.
    void loadAllObjectsInBackground(const QString& entityName);
    void loadObjectsInBackground(const QString& entityName, const QString& key, const QList<ManagedObject*>& destinations);
    void countInBackground(const CountRequest& request, std::function<void(const std::vector<CountRow>&)> done);

    // Chooses what a pending relationship reads before it is used: given the object and the
    // relationship, it may read more than that (the rest of a board, say). What it leaves
    // pending is then read for that object alone.
    using PendingLoader = std::function<void(ManagedObject* object, const RelationshipDescription& relationship)>;
    void setPendingLoader(PendingLoader loader) { m_pendingLoader = std::move(loader); }

    void setUndoManager(UndoManager* undoManager);
    UndoManager* undoManager() const { return m_undoManager.data(); }

    // A new object of a concrete entity with its attribute defaults, after awakeFromInsert.
    // Null for an unknown or abstract entity.
    ManagedObject* insertNewObject(const QString& entityName);
    template <typename T> T* insertNewObject(const QString& entityName)
    {
        return dynamic_cast<T*>(insertNewObject(entityName));
    }

    // Building a graph in bulk (an archive import): fills the empty to-many relationship of an
    // object inserted since the last save with distinct `members`, all inserted since then too,
    // keeping their inverse sides as setObjects would (a member held by another owner through a
    // to-one inverse leaves it). Nothing is announced, since no one can be showing new objects,
    // and nothing is compared or copied per member. False, with nothing changed, when the object,
    // a member or the relationship does not fit; setObjects then does the work.
    bool fillNewToMany(
        ManagedObject* object, const RelationshipDescription& relationship, const QList<ManagedObject*>& members);

    // Building in bulk too: sets an attribute of an object inserted since the last save straight
    // into its slot, announcing nothing. False, with nothing changed, when the object is not new,
    // the attribute not its entity's or the value not of the attribute's type.
    bool setNewValue(ManagedObject* object, const AttributeDescription& attribute, const QVariant& value);

    // Takes the object out of every relationship at once (announced like any change),
    // deleting the destinations of its cascading relationships too. The object stays a valid
    // tombstone; its row leaves the store at the next save. Deleting twice does nothing.
    void deleteObject(ManagedObject* object);

    // Never returns deleted objects. An unknown entity gives an empty list and `error`.
    QList<ManagedObject*> fetch(const FetchRequest& request, QString* error = nullptr) const;
    template <typename T> QList<T*> fetchAs(const FetchRequest& request, QString* error = nullptr) const
    {
        QList<T*> typed;
        for (ManagedObject* object : fetch(request, error))
            if (T* t = dynamic_cast<T*>(object))
                typed.append(t);
        return typed;
    }
    int count(const FetchRequest& request, QString* error = nullptr) const;

    // The object with that URI (deleted ones included, as long as the context has them), or
    // null.
    ManagedObject* objectForURI(const QUrl& uri) const;

    bool hasChanges() const;
    QList<ManagedObject*> insertedObjects() const;
    QList<ManagedObject*> updatedObjects() const;
    QList<ManagedObject*> deletedObjects() const;

    // Runs the willSave hooks until no hook changes anything more, checks that required values
    // are present and writes the changes to the store in one transaction. On failure nothing
    // is written, every change stays pending in memory and `error` says why.
    bool save(QString* error = nullptr);

signals:
    void objectWillChange(ManagedObject* object, const KeyChange& change);
    void objectDidChange(ManagedObject* object, const KeyChange& change);
    // Every stored row of the entity's table is in memory now.
    void objectsLoaded(const QString& entityName);

private:
    friend class BackgroundLoad;
    friend class ManagedObject;
    friend class PersistentStoreCoordinator;

    class Pending;

    ManagedObject* makeObject(const EntityDescription* entity, qint64 primaryKey);
    const Factory& factoryFor(const EntityDescription* entity);
    // Inserted since the last save and not deleted: no one can be showing it yet.
    bool isNew(const ManagedObject* object) const;
    void markChanged(ManagedObject* object);
    void applyToOne(ManagedObject* object, const RelationshipDescription& relationship, ManagedObject* destination);
    void applyToMany(ManagedObject* object, const RelationshipDescription& relationship,
        const QList<ManagedObject*>& next, const QList<ManagedObject*>& added, const QList<ManagedObject*>& removed,
        const KeyChange& change);
    // Loading in parts.
    bool isUnread(const EntityDescription* entity) const { return m_unread.contains(entity->rootEntity()); }
    void markPendingSlots(ManagedObject* object) const;
    void completePending(ManagedObject* object, int index);
    // The relationship of the object holds every member now.
    void markComplete(ManagedObject* object, int index);
    // Takes rows in and marks complete what the rows pointing at `covered` (through the
    // query's relationship) complete.
    QList<ManagedObject*> takeIn(StoreRows& rows, const RowQuery& covered);
    // Every row of the root entity's table is in.
    void finishTable(const EntityDescription* root);
    // Reads the rows of the table after `afterKey` on this thread's connection.
    bool readRemainingRows(const EntityDescription* root, qint64 afterKey, const Progress& progress, QString* error);
    void loadAllUnread(const EntityDescription* entity) const;
    // The query of the rows pointing at the saved destinations (only at those still lacking
    // members, with `pendingOnly`), and the unsaved ones, which none point at.
    bool makeQuery(const QString& entityName, const QList<Pointing>& pointingAt, bool pendingOnly, RowQuery& query,
        QList<ManagedObject*>& unsaved, QString* error) const;
    BackgroundLoad& background();
    // Finds the objects the counted groups' keys name.
    void resolveCounted(const CountRequest& request, std::vector<CountRow>& counts) const;

    bool runWillSaveHooks(QString* error);
    bool validate(QString* error) const;
    void settleSavedChanges();

    std::shared_ptr<const ManagedObjectModel> m_model;
    std::shared_ptr<PersistentStoreCoordinator> m_coordinator;
    QPointer<UndoManager> m_undoManager;
    QHash<QString, Factory> m_factories;
    mutable QHash<const EntityDescription*, Factory> m_resolvedFactories;
    // Every object of the context, deleted ones included, by entity, in store order.
    QHash<const EntityDescription*, QList<ManagedObject*>> m_objectsByEntity;
    // The objects of one root entity's table by primary key. Keys are handed out in sequence,
    // so a vector indexed by key holds them; keys far beyond it (edited stores) go to a hash.
    struct KeyIndex
    {
        std::vector<ManagedObject*> dense;
        QHash<qint64, ManagedObject*> sparse;
        qint64 last = 0;

        ManagedObject* find(qint64 key) const
        {
            if (key >= 0 && key < qint64(dense.size()))
                return dense[size_t(key)];
            return sparse.value(key);
        }
        void insert(qint64 key, ManagedObject* object)
        {
            const qint64 denseLimit = 2 * qint64(dense.size()) + 4096;
            if (key >= 0 && key < denseLimit) {
                if (key >= qint64(dense.size()))
                    dense.resize(size_t(key) + 1, nullptr);
                dense[size_t(key)] = object;
            } else {
                sparse.insert(key, object);
            }
            last = std::max(last, key);
        }
    };
    KeyIndex& keyIndex(const EntityDescription* entity) { return m_objectsByKey[entity->rootEntity()]; }
    QHash<const EntityDescription*, KeyIndex> m_objectsByKey;
    QList<ManagedObject*> m_changed;
    QString m_storeIdentifier;
    int m_saveRound = 0;
    // The root entities whose tables are not all read, and, by entity and relationship index,
    // the root entity whose rows hold each relationship's members when not the object's own.
    QSet<const EntityDescription*> m_unread;
    QHash<const EntityDescription*, std::vector<const EntityDescription*>> m_memberTables;
    PendingLoader m_pendingLoader;
    std::unique_ptr<BackgroundLoad> m_background;
};
