#pragma once

#include "Platform/core/objectgraph/EntityDescription.h"
#include "Platform/core/objectgraph/KeyChange.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <atomic>
#include <limits>
#include <vector>

class ManagedObjectContext;

// An object of the graph: the values of its entity's attributes and its relationships.
// Objects are made only by their context (insertion, or loading a store) and owned by it; see
// ManagedObjectContext.h. Entity classes derive from this class, take an `Init` in their
// constructor, and are registered with the context under their entity name:
//
//   class ListItem : public ManagedObject {
//   public:
//       explicit ListItem(const Init& init) : ManagedObject(init) {}
//       void awakeFromInsert() override;
//   };
//   context.registerClass<ListItem>("ListItem");
//
// Setters refuse (return false, change nothing) an unknown key, a key of the wrong kind, a
// value of the wrong type, an object of another context or of the wrong entity, and any change
// to a deleted object. Every accepted change is announced through willChange()/didChange()
// with the key (and indexes) concerned, on this object and on every object whose inverse
// relationship it changes; the announcements of one change nest in balanced pairs.
class ManagedObject
{
public:
    // Passed by the context to entity class constructors; only the context can make one.
    class Init
    {
        friend class ManagedObjectContext;
        friend class PersistentStoreCoordinator;
        Init(const EntityDescription* entity, ManagedObjectContext* context)
            : entity(entity)
            , context(context)
        {
        }
        const EntityDescription* entity;
        ManagedObjectContext* context;
        friend class ManagedObject;
    };

    explicit ManagedObject(const Init& init);
    virtual ~ManagedObject();
    ManagedObject(const ManagedObject&) = delete;
    ManagedObject& operator=(const ManagedObject&) = delete;

    const EntityDescription* entity() const { return m_entity; }
    // The owning context; never null, also for deleted objects.
    ManagedObjectContext* managedObjectContext() const { return m_context; }

    // Pending state since the last save.
    bool isInserted() const { return m_inserted; }
    bool isUpdated() const { return m_updated && !m_deleted; }
    // Stays true for the tombstone after the deletion is saved.
    bool isDeleted() const { return m_deleted; }
    bool hasChanges() const { return m_inserted || isUpdated() || (m_deleted && m_persisted); }

    // Stable for the object's life, also across saves and reopening the store:
    // "x-coredata://<store UUID>/<entity name>/p<number>".
    QUrl objectIDURI() const;
    // The number ending objectIDURI(), for a writer that puts many URIs together from one prefix.
    qint64 objectIDNumber() const { return m_primaryKey; }

    // A property name for the typed accessors of entity classes, defined once per property as a
    // constant. It remembers the slot where its property was last found, so that an access
    // checks the name there instead of looking it up by name; the check keeps one key right for
    // every entity and model version, which only costs a new look-up when they place the
    // property elsewhere. Accessors taking a key behave as those taking its name.
    class PropertyKey
    {
    public:
        explicit PropertyKey(QString name)
            : m_name(std::move(name))
        {
        }
        PropertyKey(const PropertyKey&) = delete;
        PropertyKey& operator=(const PropertyKey&) = delete;
        const QString& name() const { return m_name; }

    private:
        friend class ManagedObject;
        QString m_name;
        // Keys are shared by every context and thread; a slot is only a hint, checked before use.
        mutable std::atomic<int> m_slot {-1};
    };

    // Attributes. value() is null for an absent value (and for an unknown key).
    QVariant value(const QString& key) const;
    bool setValue(const QString& key, const QVariant& value);
    // Typed reads; an absent value reads as empty, 0 or false.
    QString stringValue(const QString& key) const { return value(key).toString(); }
    qint64 integerValue(const QString& key) const { return value(key).toLongLong(); }
    double doubleValue(const QString& key) const { return value(key).toDouble(); }
    bool boolValue(const QString& key) const { return value(key).toBool(); }
    QDateTime dateValue(const QString& key) const { return value(key).toDateTime(); }
    QByteArray dataValue(const QString& key) const { return value(key).toByteArray(); }
    QStringList stringListValue(const QString& key) const { return value(key).toStringList(); }
    // The stored value itself, valid until the attribute changes.
    const QVariant& value(const PropertyKey& key) const;
    bool setValue(const PropertyKey& key, const QVariant& value);
    QString stringValue(const PropertyKey& key) const { return value(key).toString(); }
    qint64 integerValue(const PropertyKey& key) const { return value(key).toLongLong(); }
    double doubleValue(const PropertyKey& key) const { return value(key).toDouble(); }
    bool boolValue(const PropertyKey& key) const { return value(key).toBool(); }
    QDateTime dateValue(const PropertyKey& key) const { return value(key).toDateTime(); }
    QByteArray dataValue(const PropertyKey& key) const { return value(key).toByteArray(); }
    QStringList stringListValue(const PropertyKey& key) const { return value(key).toStringList(); }

    // To-one relationships. Setting one side updates the inverse: the destination joins the
    // inverse to-many (at its end when ordered) or, for a one-to-one, leaves its former partner.
    ManagedObject* object(const QString& key) const;
    bool setObject(const QString& key, ManagedObject* object);
    template <typename T> T* objectAs(const QString& key) const { return dynamic_cast<T*>(object(key)); }
    ManagedObject* object(const PropertyKey& key) const;
    template <typename T> T* objectAs(const PropertyKey& key) const { return dynamic_cast<T*>(object(key)); }

    // To-many relationships, ordered or not (an unordered one lists its members in no
    // particular order). The reference stays valid until the relationship changes.
    const QList<ManagedObject*>& objects(const QString& key) const;
    const QList<ManagedObject*>& orderedObjects(const QString& key) const { return objects(key); }
    template <typename T> QList<T*> objectsAs(const QString& key) const { return membersAs<T>(objects(key)); }
    const QList<ManagedObject*>& objects(const PropertyKey& key) const;
    template <typename T> QList<T*> objectsAs(const PropertyKey& key) const { return membersAs<T>(objects(key)); }
    // Whole replacement: members that leave and join get their inverses fixed; duplicates are
    // dropped (the first stays). Announced as a setting.
    bool setObjects(const QString& key, const QList<ManagedObject*>& objects);
    // Ordered-set rules: inserting a member that is already present changes nothing; an
    // index beyond the end appends. insertObjects() puts each object exactly at its index of
    // the result (ascending indexes). Announced with the indexes actually affected.
    bool insertObject(const QString& key, ManagedObject* object, int index);
    bool insertObjects(const QString& key, const QList<ManagedObject*>& objects, const QList<int>& indexes);
    // Appends to an ordered relationship, adds to an unordered one.
    bool addObject(const QString& key, ManagedObject* object);
    bool removeObject(const QString& key, ManagedObject* object);
    bool removeObjectsAtIndexes(const QString& key, const QList<int>& indexes);
    bool replaceObjectAtIndex(const QString& key, int index, ManagedObject* object);

    // Change notices. The context calls these around every change; the base implementations
    // emit the context's objectWillChange/objectDidChange. Subclasses override them to announce
    // derived keys as well, and may call them for keys of their own; pairs must stay balanced.
    virtual void willChange(const KeyChange& change);
    virtual void didChange(const KeyChange& change);

    // Hooks. awakeFromInsert runs once when the object is inserted (after the attribute
    // defaults are set); awakeFromFetch once when it is first loaded from the store (after the
    // rows read with it are linked); willSave before each save that writes the object (inserted,
    // updated or deleted), and again in the same save when something changed it afterwards.
    // Changes made in any hook are regular changes and are saved.
    virtual void awakeFromInsert() { }
    virtual void awakeFromFetch() { }
    virtual void willSave() { }

private:
    friend class ManagedObjectContext;
    friend class PersistentStoreCoordinator;

    // The members of a relationship, read first when its store rows are not all in yet.
    const QList<ManagedObject*>& members(int index) const;
    ManagedObject* destination(int index) const;

    static constexpr qint64 NoStoredOrder = std::numeric_limits<qint64>::min();

    template <typename T> static QList<T*> membersAs(const QList<ManagedObject*>& members)
    {
        QList<T*> typed;
        typed.reserve(members.size());
        for (ManagedObject* member : members)
            if (T* t = dynamic_cast<T*>(member))
                typed.append(t);
        return typed;
    }

    // The description of the key's property on this object's entity; null when it has none.
    const AttributeDescription* attributeOf(const PropertyKey& key) const;
    const RelationshipDescription* relationshipOf(const PropertyKey& key) const;
    bool assign(const AttributeDescription* attribute, const QString& key, const QVariant& value);
    // assign() without its announcements, for the context's bulk building.
    bool assignUnannounced(const AttributeDescription& attribute, const QVariant& value);

    struct Slot
    {
        ManagedObject* object = nullptr;
        QList<ManagedObject*> objects;
        // Sort key of this object within the ordered inverse, as last written to the store.
        qint64 storedOrder = NoStoredOrder;
        // Membership or order changed since the last save.
        bool changed = false;
        // Some members live in store rows not read yet (see ManagedObjectContext).
        bool pending = false;
    };

    const EntityDescription* m_entity;
    ManagedObjectContext* m_context;
    qint64 m_primaryKey = 0;
    std::vector<QVariant> m_values;
    std::vector<Slot> m_slots;
    bool m_inserted = false;
    bool m_updated = false;
    bool m_deleted = false;
    bool m_persisted = false;
    bool m_listedAsChanged = false;
    // Made from a row of the batch of rows being taken in.
    bool m_justRead = false;
    // The save round in which willSave last ran, and whether the object changed since.
    int m_willSaveRound = -1;
    bool m_changedSinceWillSave = false;
};
