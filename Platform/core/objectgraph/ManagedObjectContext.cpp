#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QSet>
#include <QUuid>
#include <algorithm>
#include <deque>

namespace {

// Hooks that keep changing objects would never let a save finish.
constexpr int MaximumWillSaveRounds = 100;

// Positions in `before` of members missing from `after`, and positions in `after` of members
// missing from `before`.
std::pair<QList<int>, QList<int>> membershipDifference(
    const QList<ManagedObject*>& before, const QList<ManagedObject*>& after)
{
    const QSet<ManagedObject*> beforeSet(before.cbegin(), before.cend());
    const QSet<ManagedObject*> afterSet(after.cbegin(), after.cend());
    QList<int> removed;
    QList<int> inserted;
    for (int i = 0; i < before.size(); ++i)
        if (!afterSet.contains(before.at(i)))
            removed.append(i);
    for (int i = 0; i < after.size(); ++i)
        if (!beforeSet.contains(after.at(i)))
            inserted.append(i);
    return {removed, inserted};
}

} // namespace

// One change of the graph with all the inverse sides it touches: it is worked out first, then
// announced (will), applied at once and announced again (did), so observers see consistent
// before and after states and balanced pairs.
class ManagedObjectContext::Pending
{
public:
    explicit Pending(ManagedObjectContext& context)
        : m_context(context)
    {
    }

    void setToOne(ManagedObject* object, const RelationshipDescription& relationship, ManagedObject* destination)
    {
        Entry& entry = entryFor(object, relationship.index);
        ManagedObject* previous = entry.one;
        if (previous == destination)
            return;
        entry.one = destination;
        const RelationshipDescription& inverse = *relationship.inverseRelationship;
        if (inverse.isToMany) {
            if (previous)
                removeMember(entryFor(previous, inverse.index), object);
            if (destination)
                appendMember(entryFor(destination, inverse.index), object);
            return;
        }
        // One-to-one: both former partners are left alone.
        if (previous) {
            Entry& left = entryFor(previous, inverse.index);
            if (left.one == object)
                left.one = nullptr;
        }
        if (destination) {
            Entry& joined = entryFor(destination, inverse.index);
            ManagedObject* formerPartner = joined.one;
            joined.one = object;
            if (formerPartner && formerPartner != object) {
                Entry& abandoned = entryFor(formerPartner, relationship.index);
                if (abandoned.one == destination)
                    abandoned.one = nullptr;
            }
        }
    }

    void setToMany(ManagedObject* object, const RelationshipDescription& relationship,
        const QList<ManagedObject*>& next, const QList<ManagedObject*>& added, const QList<ManagedObject*>& removed,
        KeyChange change)
    {
        Entry& entry = entryFor(object, relationship.index);
        entry.many = next;
        noteEdit(entry, std::move(change));
        const RelationshipDescription& inverse = *relationship.inverseRelationship;
        for (ManagedObject* member : removed) {
            Entry& side = entryFor(member, inverse.index);
            if (inverse.isToMany)
                removeMember(side, object);
            else if (side.one == object)
                side.one = nullptr;
        }
        for (ManagedObject* member : added) {
            Entry& side = entryFor(member, inverse.index);
            if (inverse.isToMany) {
                appendMember(side, object);
                continue;
            }
            // A member of an ordered or unordered to-many with a to-one inverse leaves its former owner.
            if (side.one && side.one != object)
                removeMember(entryFor(side.one, relationship.index), member);
            side.one = object;
        }
    }

    void commit()
    {
        QList<std::pair<ManagedObject*, KeyChange>> announced;
        QList<Entry*> changed;
        for (Entry& entry : m_entries) {
            ManagedObject::Slot& slot = entry.object->m_slots[size_t(entry.relationship->index)];
            if (entry.relationship->isToMany ? entry.many == slot.objects : entry.one == slot.object)
                continue;
            announced.append({entry.object, entry.change ? *entry.change : derivedChange(entry, slot)});
            changed.append(&entry);
        }
        for (const auto& [object, change] : std::as_const(announced))
            object->willChange(change);
        for (Entry* entry : std::as_const(changed)) {
            ManagedObject::Slot& slot = entry->object->m_slots[size_t(entry->relationship->index)];
            if (entry->relationship->isToMany)
                slot.objects = entry->many;
            else
                slot.object = entry->one;
            slot.changed = true;
            m_context.markChanged(entry->object);
        }
        for (auto it = announced.crbegin(); it != announced.crend(); ++it)
            it->first->didChange(it->second);
    }

private:
    struct Entry
    {
        ManagedObject* object;
        const RelationshipDescription* relationship;
        ManagedObject* one;
        QList<ManagedObject*> many;
        std::optional<KeyChange> change;
        int edits = 0;
    };

    // Inverse upkeep on a to-many side. A side changed once gets its exact change at once; one
    // changed several times has it worked out from before and after at commit.
    static void removeMember(Entry& entry, ManagedObject* member)
    {
        const qsizetype at = entry.many.indexOf(member);
        if (at < 0)
            return;
        entry.many.removeAt(at);
        noteEdit(entry,
            KeyChange::removal(
                entry.relationship->name, entry.relationship->isOrdered ? QList<int> {int(at)} : QList<int>()));
    }
    static void appendMember(Entry& entry, ManagedObject* member)
    {
        if (entry.many.contains(member))
            return;
        entry.many.append(member);
        noteEdit(entry,
            KeyChange::insertion(entry.relationship->name,
                entry.relationship->isOrdered ? QList<int> {int(entry.many.size() - 1)} : QList<int>()));
    }
    static void noteEdit(Entry& entry, KeyChange change)
    {
        if (entry.edits++ == 0)
            entry.change = std::move(change);
        else
            entry.change.reset();
    }

    Entry& entryFor(ManagedObject* object, int relationshipIndex)
    {
        const auto key = std::make_pair(object, relationshipIndex);
        if (const auto it = m_index.constFind(key); it != m_index.cend())
            return m_entries[*it];
        const ManagedObject::Slot& slot = object->m_slots[size_t(relationshipIndex)];
        m_entries.push_back(Entry {
            object, &object->entity()->relationships().at(relationshipIndex), slot.object, slot.objects, std::nullopt});
        m_index.insert(key, m_entries.size() - 1);
        return m_entries.back();
    }

    static KeyChange derivedChange(const Entry& entry, const ManagedObject::Slot& slot)
    {
        const QString& key = entry.relationship->name;
        if (!entry.relationship->isToMany)
            return KeyChange::setting(key);
        const auto [removed, inserted] = membershipDifference(slot.objects, entry.many);
        if (!removed.isEmpty() && inserted.isEmpty())
            return KeyChange::removal(key, entry.relationship->isOrdered ? removed : QList<int>());
        if (removed.isEmpty() && !inserted.isEmpty())
            return KeyChange::insertion(key, entry.relationship->isOrdered ? inserted : QList<int>());
        return KeyChange::setting(key);
    }

    ManagedObjectContext& m_context;
    std::deque<Entry> m_entries;
    QHash<std::pair<ManagedObject*, int>, size_t> m_index;
};

ManagedObjectContext::ManagedObjectContext(std::shared_ptr<const ManagedObjectModel> model, QObject* parent)
    : QObject(parent)
    , m_model(std::move(model))
    , m_storeIdentifier(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
{
}

ManagedObjectContext::~ManagedObjectContext()
{
    // Undo handlers may point at our objects; they must go before the objects do.
    if (m_undoManager)
        m_undoManager->removeAllActions();
    for (const QList<ManagedObject*>& objects : std::as_const(m_objectsByEntity))
        qDeleteAll(objects);
}

void ManagedObjectContext::registerClass(const QString& entityName, Factory factory)
{
    m_factories.insert(entityName, std::move(factory));
    m_resolvedFactories.clear();
}

bool ManagedObjectContext::loadPersistentStore(std::shared_ptr<PersistentStoreCoordinator> coordinator, QString* error)
{
    if (m_coordinator || !m_objectsByEntity.isEmpty() || !coordinator || !coordinator->hasPersistentStore()
        || &coordinator->model() != m_model.get()) {
        if (error)
            *error = QStringLiteral("the context cannot load this store: it needs an empty context and an open store "
                                    "of the same model");
        return false;
    }
    m_coordinator = std::move(coordinator);
    m_storeIdentifier
        = m_coordinator->storeMetadata().value(QLatin1String(PersistentStoreCoordinator::StoreUUIDKey)).toString();
    if (!m_coordinator->loadObjects(*this, error)) {
        for (const QList<ManagedObject*>& objects : std::as_const(m_objectsByEntity))
            qDeleteAll(objects);
        m_objectsByEntity.clear();
        m_objectsByKey.clear();
        m_coordinator.reset();
        return false;
    }
    for (const EntityDescription* entity : m_model->entities())
        for (ManagedObject* object : std::as_const(m_objectsByEntity[entity]))
            object->awakeFromFetch();
    return true;
}

void ManagedObjectContext::setUndoManager(UndoManager* undoManager)
{
    m_undoManager = undoManager;
}

const ManagedObjectContext::Factory& ManagedObjectContext::factoryFor(const EntityDescription* entity)
{
    auto factory = m_resolvedFactories.constFind(entity);
    if (factory == m_resolvedFactories.cend()) {
        Factory found;
        for (const EntityDescription* e = entity; e && !found; e = e->parentEntity())
            found = m_factories.value(e->name());
        if (!found)
            found = [](const ManagedObject::Init& init) { return new ManagedObject(init); };
        factory = m_resolvedFactories.insert(entity, found);
    }
    return *factory;
}

ManagedObject* ManagedObjectContext::makeObject(const EntityDescription* entity, qint64 primaryKey)
{
    ManagedObject* object = factoryFor(entity)(ManagedObject::Init(entity, this));
    object->m_primaryKey = primaryKey;
    m_objectsByEntity[entity].append(object);
    keyIndex(entity).insert(primaryKey, object);
    return object;
}

ManagedObject* ManagedObjectContext::insertNewObject(const QString& entityName)
{
    const EntityDescription* entity = m_model->entity(entityName);
    if (!entity || entity->isAbstract())
        return nullptr;
    ManagedObject* object = makeObject(entity, keyIndex(entity).last + 1);
    for (const AttributeDescription& attribute : entity->attributes())
        object->m_values[size_t(attribute.index)] = attribute.defaultValue;
    object->m_inserted = true;
    markChanged(object);
    object->awakeFromInsert();
    return object;
}

bool ManagedObjectContext::isNew(const ManagedObject* object) const
{
    return object && object->m_context == this && object->m_inserted && !object->m_persisted && !object->m_deleted;
}

void ManagedObjectContext::markChanged(ManagedObject* object)
{
    if (!object->m_listedAsChanged) {
        object->m_listedAsChanged = true;
        m_changed.append(object);
    }
    if (!object->m_inserted && !object->m_deleted)
        object->m_updated = true;
    object->m_changedSinceWillSave = true;
}

void ManagedObjectContext::applyToOne(
    ManagedObject* object, const RelationshipDescription& relationship, ManagedObject* destination)
{
    Pending pending(*this);
    pending.setToOne(object, relationship, destination);
    pending.commit();
}

void ManagedObjectContext::applyToMany(ManagedObject* object, const RelationshipDescription& relationship,
    const QList<ManagedObject*>& next, const QList<ManagedObject*>& added, const QList<ManagedObject*>& removed,
    const KeyChange& change)
{
    Pending pending(*this);
    pending.setToMany(object, relationship, next, added, removed, change);
    pending.commit();
}

bool ManagedObjectContext::setNewValue(
    ManagedObject* object, const AttributeDescription& attribute, const QVariant& value)
{
    if (!isNew(object))
        return false;
    const QList<AttributeDescription>& attributes = object->entity()->attributes();
    if (attribute.index < 0 || attribute.index >= attributes.size() || &attributes.at(attribute.index) != &attribute)
        return false;
    return object->assignUnannounced(attribute, value);
}

bool ManagedObjectContext::fillNewToMany(
    ManagedObject* object, const RelationshipDescription& relationship, const QList<ManagedObject*>& members)
{
    if (!relationship.isToMany || !isNew(object) || object->entity()->relationship(relationship.name) != &relationship
        || !object->m_slots[size_t(relationship.index)].objects.isEmpty())
        return false;
    const RelationshipDescription& inverse = *relationship.inverseRelationship;
    for (const ManagedObject* member : members) {
        if (!isNew(member) || !member->entity()->isKindOfEntity(relationship.destinationEntity))
            return false;
        // Taking a member from an object that is not new would change it unannounced.
        const ManagedObject* former = inverse.isToMany ? nullptr : member->m_slots[size_t(inverse.index)].object;
        if (former && !isNew(former))
            return false;
    }
    for (ManagedObject* member : members) {
        ManagedObject::Slot& side = member->m_slots[size_t(inverse.index)];
        if (inverse.isToMany) {
            // The object's list was empty, so it is in no member's list yet.
            side.objects.append(object);
        } else {
            if (side.object) {
                ManagedObject::Slot& former = side.object->m_slots[size_t(relationship.index)];
                former.objects.removeOne(member);
                former.changed = true;
                markChanged(side.object);
            }
            side.object = object;
        }
        side.changed = true;
        markChanged(member);
    }
    ManagedObject::Slot& slot = object->m_slots[size_t(relationship.index)];
    slot.objects = members;
    slot.changed = true;
    markChanged(object);
    return true;
}

void ManagedObjectContext::deleteObject(ManagedObject* object)
{
    if (!object || object->m_context != this || object->m_deleted)
        return;
    QList<ManagedObject*> cascaded;
    Pending pending(*this);
    for (const RelationshipDescription& relationship : object->entity()->relationships()) {
        const ManagedObject::Slot& slot = object->m_slots[size_t(relationship.index)];
        if (relationship.deleteRule == RelationshipDescription::DeleteRule::Cascade) {
            if (slot.object)
                cascaded.append(slot.object);
            cascaded.append(slot.objects);
        }
        if (relationship.isToMany)
            pending.setToMany(object, relationship, {}, {}, slot.objects, KeyChange::setting(relationship.name));
        else
            pending.setToOne(object, relationship, nullptr);
    }
    pending.commit();

    object->m_deleted = true;
    markChanged(object);
    object->m_updated = false;
    if (!object->m_persisted)
        object->m_inserted = false;
    for (ManagedObject* target : std::as_const(cascaded))
        deleteObject(target);
}

QList<ManagedObject*> ManagedObjectContext::fetch(const FetchRequest& request, QString* error) const
{
    const EntityDescription* entity = m_model->entity(request.entityName);
    if (!entity) {
        if (error)
            *error = QStringLiteral("no entity named \"%1\"").arg(request.entityName);
        return {};
    }
    QList<const EntityDescription*> entities {entity};
    if (request.includesSubentities)
        for (qsizetype i = 0; i < entities.size(); ++i)
            entities.append(entities.at(i)->subentities());

    QList<ManagedObject*> result;
    for (const EntityDescription* e : std::as_const(entities))
        for (ManagedObject* object : m_objectsByEntity.value(e))
            if (!object->m_deleted && (!request.predicate || request.predicate(object)))
                result.append(object);
    if (request.lessThan)
        std::stable_sort(result.begin(), result.end(), request.lessThan);
    else if (entities.size() > 1)
        std::sort(result.begin(), result.end(),
            [](const ManagedObject* a, const ManagedObject* b) { return a->m_primaryKey < b->m_primaryKey; });
    if (request.fetchLimit > 0 && result.size() > request.fetchLimit)
        result.resize(request.fetchLimit);
    return result;
}

int ManagedObjectContext::count(const FetchRequest& request, QString* error) const
{
    FetchRequest unsorted = request;
    unsorted.lessThan = {};
    return int(fetch(unsorted, error).size());
}

ManagedObject* ManagedObjectContext::objectForURI(const QUrl& uri) const
{
    if (uri.scheme() != QLatin1String("x-coredata") || uri.host().compare(m_storeIdentifier, Qt::CaseInsensitive) != 0)
        return nullptr;
    const QStringList parts = uri.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() != 2 || !parts.at(1).startsWith(QLatin1Char('p')))
        return nullptr;
    const EntityDescription* entity = m_model->entity(parts.at(0));
    bool ok = false;
    const qint64 primaryKey = parts.at(1).mid(1).toLongLong(&ok);
    if (!entity || !ok)
        return nullptr;
    const auto index = m_objectsByKey.constFind(entity->rootEntity());
    ManagedObject* object = index == m_objectsByKey.cend() ? nullptr : index->find(primaryKey);
    return object && object->entity() == entity ? object : nullptr;
}

bool ManagedObjectContext::hasChanges() const
{
    return std::any_of(m_changed.cbegin(), m_changed.cend(), [](const ManagedObject* o) { return o->hasChanges(); });
}

QList<ManagedObject*> ManagedObjectContext::insertedObjects() const
{
    QList<ManagedObject*> result;
    std::copy_if(m_changed.cbegin(), m_changed.cend(), std::back_inserter(result),
        [](const ManagedObject* o) { return o->isInserted(); });
    return result;
}

QList<ManagedObject*> ManagedObjectContext::updatedObjects() const
{
    QList<ManagedObject*> result;
    std::copy_if(m_changed.cbegin(), m_changed.cend(), std::back_inserter(result),
        [](const ManagedObject* o) { return o->isUpdated(); });
    return result;
}

QList<ManagedObject*> ManagedObjectContext::deletedObjects() const
{
    QList<ManagedObject*> result;
    std::copy_if(m_changed.cbegin(), m_changed.cend(), std::back_inserter(result),
        [](const ManagedObject* o) { return o->isDeleted() && o->m_persisted; });
    return result;
}

bool ManagedObjectContext::save(QString* error)
{
    if (!runWillSaveHooks(error) || !validate(error))
        return false;
    if (m_coordinator && !m_coordinator->saveChanges(*this, error))
        return false;
    settleSavedChanges();
    return true;
}

bool ManagedObjectContext::runWillSaveHooks(QString* error)
{
    const int round = ++m_saveRound;
    for (int pass = 0; pass < MaximumWillSaveRounds; ++pass) {
        QList<ManagedObject*> due;
        for (ManagedObject* object : std::as_const(m_changed))
            if (object->hasChanges() && (object->m_willSaveRound != round || object->m_changedSinceWillSave))
                due.append(object);
        if (due.isEmpty())
            return true;
        for (ManagedObject* object : std::as_const(due)) {
            object->m_willSaveRound = round;
            object->m_changedSinceWillSave = false;
            object->willSave();
        }
    }
    if (error)
        *error = QStringLiteral("the save hooks kept changing objects; nothing was saved");
    return false;
}

bool ManagedObjectContext::validate(QString* error) const
{
    for (const ManagedObject* object : m_changed) {
        if (object->m_deleted)
            continue;
        const EntityDescription* entity = object->entity();
        QString missing;
        for (const AttributeDescription& attribute : entity->attributes())
            if (!attribute.isOptional && !object->m_values[size_t(attribute.index)].isValid())
                missing = attribute.name;
        for (const RelationshipDescription& relationship : entity->relationships())
            if (!relationship.isOptional && !relationship.isToMany
                && !object->m_slots[size_t(relationship.index)].object)
                missing = relationship.name;
        if (!missing.isEmpty()) {
            if (error)
                *error = QStringLiteral("%1 %2 has no value for the required \"%3\"; nothing was saved")
                             .arg(entity->name(), object->objectIDURI().toString(), missing);
            return false;
        }
    }
    return true;
}

void ManagedObjectContext::settleSavedChanges()
{
    for (ManagedObject* object : std::as_const(m_changed)) {
        object->m_persisted = !object->m_deleted;
        object->m_inserted = false;
        object->m_updated = false;
        object->m_listedAsChanged = false;
        for (ManagedObject::Slot& slot : object->m_slots)
            slot.changed = false;
    }
    m_changed.clear();
}
