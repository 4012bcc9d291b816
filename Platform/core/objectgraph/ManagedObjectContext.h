#pragma once

#include "Platform/core/UndoManager.h"
#include "Platform/core/objectgraph/FetchRequest.h"
#include "Platform/core/objectgraph/KeyChange.h"
#include "Platform/core/objectgraph/ManagedObject.h"
#include "Platform/core/objectgraph/ManagedObjectModel.h"

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

class PersistentStoreCoordinator;

// Ownership: every managed object is owned by its context, deleted ones included. A deleted
// object becomes a tombstone: it has left all its relationships, isDeleted() is true, its
// attribute values can still be read, and the pointer stays valid while the context lives.
// So undo handlers and other holders may keep raw pointers to managed objects (what else an
// undo step may hold is ruled in UndoManager.h). A context that goes away first removes the
// actions of its undo manager (setUndoManager), since those handlers may point into it; only
// then are its objects destroyed.
//
// A context holds the whole graph in memory: loading its store reads every object, fetches
// scan memory (so they see unsaved changes) and save() writes only what changed.
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
    PersistentStoreCoordinator* persistentStoreCoordinator() const { return m_coordinator.get(); }

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

private:
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
};
