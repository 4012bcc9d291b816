#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include "Platform/core/ConsoleLog.h"
#include "Platform/core/objectgraph/BackgroundLoad.h"
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

// The one kind of relationship that may change while some of its members are not read: it has
// no order to keep, and its pairs are written member by member.
bool isUnorderedManyToMany(const RelationshipDescription& relationship)
{
    return relationship.isToMany && !relationship.isOrdered && relationship.inverseRelationship->isToMany;
}

// Rows of a whole table read per batch on the context's own thread.
constexpr int rowsPerReadingStep = 4096;

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
            const ManagedObject::Slot& slot = entry.object->m_slots[size_t(entry.relationship->index)];
            if (entry.relationship->isToMany ? entry.many == before(entry) : entry.one == slot.object)
                continue;
            announced.append({entry.object, entry.change ? *entry.change : derivedChange(entry)});
            changed.append(&entry);
        }
        for (const auto& [object, change] : std::as_const(announced))
            object->willChange(change);
        for (Entry* entry : std::as_const(changed)) {
            ManagedObject::Slot& slot = entry->object->m_slots[size_t(entry->relationship->index)];
            if (entry->partial)
                applyDifference(slot.objects, entry->before, entry->many);
            else if (entry->relationship->isToMany)
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
        // A pending unordered many-to-many, changed by its difference: members may be read
        // into it before the change is applied.
        bool partial = false;
        QList<ManagedObject*> before;
    };

    const QList<ManagedObject*>& before(const Entry& entry) const
    {
        return entry.partial ? entry.before : entry.object->m_slots[size_t(entry.relationship->index)].objects;
    }

    static void applyDifference(
        QList<ManagedObject*>& members, const QList<ManagedObject*>& before, const QList<ManagedObject*>& after)
    {
        const QSet<ManagedObject*> afterSet(after.cbegin(), after.cend());
        const QSet<ManagedObject*> beforeSet(before.cbegin(), before.cend());
        members.removeIf([&](ManagedObject* member) { return beforeSet.contains(member) && !afterSet.contains(member); });
        const QSet<ManagedObject*> present(members.cbegin(), members.cend());
        for (ManagedObject* member : after)
            if (!beforeSet.contains(member) && !present.contains(member))
                members.append(member);
    }

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
        const RelationshipDescription& relationship = object->entity()->relationships().at(relationshipIndex);
        const ManagedObject::Slot& slot = object->m_slots[size_t(relationshipIndex)];
        const bool partial = slot.pending && isUnorderedManyToMany(relationship);
        if (slot.pending && !partial)
            m_context.completePending(object, relationshipIndex);
        m_entries.push_back(Entry {object, &relationship, slot.object, slot.objects, std::nullopt, 0, false, {}});
        if (partial) {
            m_entries.back().partial = true;
            m_entries.back().before = slot.objects;
        }
        m_index.insert(key, m_entries.size() - 1);
        return m_entries.back();
    }

    KeyChange derivedChange(const Entry& entry) const
    {
        const QString& key = entry.relationship->name;
        if (!entry.relationship->isToMany)
            return KeyChange::setting(key);
        const auto [removed, inserted] = membershipDifference(before(entry), entry.many);
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
    // The loading thread reads for our objects; it stops first.
    m_background.reset();
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
    return loadPersistentStore(std::move(coordinator), {}, error);
}

bool ManagedObjectContext::loadPersistentStore(
    std::shared_ptr<PersistentStoreCoordinator> coordinator, const QStringList& deferredEntities, QString* error)
{
    const auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (m_coordinator || !m_objectsByEntity.isEmpty() || !coordinator || !coordinator->hasPersistentStore()
        || &coordinator->model() != m_model.get())
        return fail(QStringLiteral("the context cannot load this store: it needs an empty context and an open store "
                                   "of the same model"));
    QSet<const EntityDescription*> deferred;
    for (const QString& name : deferredEntities) {
        const EntityDescription* entity = m_model->entity(name);
        if (!entity || entity->parentEntity())
            return fail(QStringLiteral("\"%1\" is not a root entity of the model").arg(name));
        deferred.insert(entity);
    }
    // Each relationship's members: in the object's own row, or in the rows of this table.
    for (const EntityDescription* entity : m_model->entities()) {
        std::vector<const EntityDescription*> tables(size_t(entity->relationships().size()), nullptr);
        for (const RelationshipDescription& relationship : entity->relationships()) {
            if (coordinator->holdsKeyOf(entity, relationship.index))
                continue;
            tables[size_t(relationship.index)] = relationship.destinationEntity->rootEntity();
            // An ordered many-to-many keeps its order in pairs read with its owner.
            if (relationship.isOrdered && relationship.inverseRelationship->isToMany
                && deferred.contains(relationship.destinationEntity->rootEntity()))
                return fail(QStringLiteral("the members of %1.%2 cannot be read later than their owner")
                                .arg(entity->name(), relationship.name));
        }
        m_memberTables.insert(entity, std::move(tables));
    }
    m_coordinator = std::move(coordinator);
    m_storeIdentifier
        = m_coordinator->storeMetadata().value(QLatin1String(PersistentStoreCoordinator::StoreUUIDKey)).toString();
    m_unread = deferred;
    if (!m_coordinator->loadObjects(*this, deferred, error)) {
        for (const QList<ManagedObject*>& objects : std::as_const(m_objectsByEntity))
            qDeleteAll(objects);
        m_objectsByEntity.clear();
        m_objectsByKey.clear();
        m_unread.clear();
        m_coordinator.reset();
        return false;
    }
    return true;
}

bool ManagedObjectContext::isFullyLoaded(const QString& entityName) const
{
    const EntityDescription* entity = m_model->entity(entityName);
    return entity && !isUnread(entity);
}

bool ManagedObjectContext::isPending(const ManagedObject* object, const QString& key) const
{
    const RelationshipDescription* relationship = object ? object->entity()->relationship(key) : nullptr;
    return relationship && object->m_slots[size_t(relationship->index)].pending;
}

void ManagedObjectContext::markPendingSlots(ManagedObject* object) const
{
    if (m_unread.isEmpty())
        return;
    const auto tables = m_memberTables.constFind(object->entity());
    if (tables == m_memberTables.cend())
        return;
    for (size_t index = 0; index < tables->size(); ++index)
        if ((*tables)[index] && m_unread.contains((*tables)[index]))
            object->m_slots[index].pending = true;
}

void ManagedObjectContext::completePending(ManagedObject* object, int index)
{
    if (!object->m_slots[size_t(index)].pending)
        return;
    const RelationshipDescription& relationship = object->entity()->relationships().at(index);
    if (m_pendingLoader)
        m_pendingLoader(object, relationship);
    if (!object->m_slots[size_t(index)].pending)
        return;
    const RelationshipDescription& inverse = *relationship.inverseRelationship;
    QString error;
    if (!inverse.isToMany && m_coordinator->holdsKeyOf(relationship.destinationEntity, inverse.index))
        loadObjects(relationship.destinationEntity->name(), inverse.name, {object}, &error);
    else
        loadAllObjects(relationship.destinationEntity->rootEntity()->name(), {}, &error);
    if (!error.isEmpty())
        ConsoleLog::write(QStringLiteral("cannot read the members of %1.%2: %3")
                              .arg(object->entity()->name(), relationship.name, error));
    // What could be read is in; asking again would only fail again.
    markComplete(object, index);
}

void ManagedObjectContext::markComplete(ManagedObject* object, int index)
{
    ManagedObject::Slot& slot = object->m_slots[size_t(index)];
    if (!slot.pending)
        return;
    slot.pending = false;
    const RelationshipDescription& relationship = object->entity()->relationships().at(index);
    if (relationship.isToMany && relationship.isOrdered && !relationship.inverseRelationship->isToMany)
        PersistentStoreCoordinator::sortByStoredOrder(object, index);
}

QList<ManagedObject*> ManagedObjectContext::takeIn(StoreRows& rows, const RowQuery& covered)
{
    QList<ManagedObject*> made = m_coordinator->ingest(*this, rows);
    for (const RowQuery::Link& link : covered.pointingAt) {
        const RelationshipDescription& relationship = covered.entity->relationships().at(link.relationship);
        const KeyIndex& keys = keyIndex(relationship.destinationEntity);
        for (const qint64 key : link.destinations)
            if (ManagedObject* destination = keys.find(key))
                markComplete(destination, relationship.inverseRelationship->index);
    }
    return made;
}

void ManagedObjectContext::finishTable(const EntityDescription* root)
{
    if (!m_unread.remove(root))
        return;
    for (const EntityDescription* entity : m_model->entities()) {
        const std::vector<const EntityDescription*>& tables = m_memberTables[entity];
        for (size_t index = 0; index < tables.size(); ++index)
            if (tables[index] == root)
                for (ManagedObject* object : std::as_const(m_objectsByEntity[entity]))
                    markComplete(object, int(index));
        // Store order, as a whole load gives it: the rows came in several batches.
        if (entity->rootEntity() == root) {
            QList<ManagedObject*>& objects = m_objectsByEntity[entity];
            std::stable_sort(objects.begin(), objects.end(),
                [](const ManagedObject* a, const ManagedObject* b) { return a->m_primaryKey < b->m_primaryKey; });
        }
    }
    emit objectsLoaded(root->name());
}

bool ManagedObjectContext::makeQuery(const QString& entityName, const QList<Pointing>& pointingAt, bool pendingOnly,
    RowQuery& query, QList<ManagedObject*>& unsaved, QString* error) const
{
    query.entity = m_model->entity(entityName);
    if (!query.entity) {
        if (error)
            *error = QStringLiteral("no entity named \"%1\"").arg(entityName);
        return false;
    }
    for (const Pointing& pointing : pointingAt) {
        const RelationshipDescription* relationship = query.entity ? query.entity->relationship(pointing.key) : nullptr;
        if (!m_coordinator || !relationship || relationship->isToMany
            || !m_coordinator->holdsKeyOf(query.entity, relationship->index)) {
            if (error)
                *error = QStringLiteral("cannot read %1 objects by \"%2\"").arg(entityName, pointing.key);
            return false;
        }
        RowQuery::Link link {relationship->index, {}};
        const int inverse = relationship->inverseRelationship->index;
        for (ManagedObject* destination : pointing.destinations) {
            if (!destination || destination->m_context != this || (pendingOnly && !destination->m_slots[size_t(inverse)].pending))
                continue;
            // Objects never saved have no rows pointing at them.
            if (destination->m_persisted)
                link.destinations.push_back(destination->m_primaryKey);
            else
                unsaved.append(destination);
        }
        query.pointingAt.push_back(std::move(link));
    }
    return true;
}

QList<ManagedObject*> ManagedObjectContext::loadObjects(
    const QString& entityName, const QString& key, const QList<ManagedObject*>& destinations, QString* error)
{
    return loadObjects(entityName, {{key, destinations}}, error);
}

QList<ManagedObject*> ManagedObjectContext::loadObjects(
    const QString& entityName, const QList<Pointing>& pointingAt, QString* error)
{
    RowQuery query;
    QList<ManagedObject*> unsaved;
    if (!makeQuery(entityName, pointingAt, false, query, unsaved, error) || !isUnread(query.entity))
        return {};
    StoreRows rows;
    if (!m_coordinator->readRows(nullptr, query, rows, error))
        return {};
    QList<ManagedObject*> made = takeIn(rows, query);
    for (ManagedObject* destination : std::as_const(unsaved))
        for (const RowQuery::Link& link : query.pointingAt)
            markComplete(destination, query.entity->relationships().at(link.relationship).inverseRelationship->index);
    return made;
}

bool ManagedObjectContext::loadAllObjects(const QString& entityName, const Progress& progress, QString* error)
{
    const EntityDescription* entity = m_model->entity(entityName);
    if (!entity) {
        if (error)
            *error = QStringLiteral("no entity named \"%1\"").arg(entityName);
        return false;
    }
    const EntityDescription* root = entity->rootEntity();
    if (!isUnread(root))
        return true;
    if (m_background && m_background->isReadingAll(root))
        return m_background->finishReadingAll(root, progress, error);
    return readRemainingRows(root, 0, progress, error);
}

bool ManagedObjectContext::readRemainingRows(
    const EntityDescription* root, qint64 afterKey, const Progress& progress, QString* error)
{
    RowQuery query;
    query.entity = root;
    query.limit = rowsPerReadingStep;
    query.afterKey = afterKey;
    for (;;) {
        StoreRows rows;
        if (!m_coordinator->readRows(nullptr, query, rows, error))
            return false;
        const bool last = int(rows.rows.size()) < query.limit;
        if (!rows.rows.empty())
            query.afterKey = rows.rows.back().primaryKey;
        takeIn(rows, RowQuery {});
        if (progress)
            progress(query.afterKey, keyIndex(root).last);
        if (last)
            break;
    }
    finishTable(root);
    return true;
}

void ManagedObjectContext::loadAllUnread(const EntityDescription* entity) const
{
    if (!isUnread(entity))
        return;
    QString error;
    if (!const_cast<ManagedObjectContext*>(this)->loadAllObjects(entity->name(), {}, &error))
        ConsoleLog::write(QStringLiteral("cannot read every %1: %2").arg(entity->name(), error));
}

BackgroundLoad& ManagedObjectContext::background()
{
    if (!m_background)
        m_background = std::make_unique<BackgroundLoad>(*this, *m_coordinator);
    return *m_background;
}

void ManagedObjectContext::loadAllObjectsInBackground(const QString& entityName)
{
    const EntityDescription* entity = m_model->entity(entityName);
    if (entity && m_coordinator && isUnread(entity))
        background().readAll(entity->rootEntity());
}

void ManagedObjectContext::loadObjectsInBackground(
    const QString& entityName, const QString& key, const QList<ManagedObject*>& destinations)
{
    RowQuery query;
    QList<ManagedObject*> unsaved;
    if (!makeQuery(entityName, {{key, destinations}}, true, query, unsaved, nullptr) || !isUnread(query.entity))
        return;
    for (ManagedObject* destination : std::as_const(unsaved))
        markComplete(destination, query.entity->relationships().at(query.pointingAt.front().relationship).inverseRelationship->index);
    if (!query.pointingAt.front().destinations.empty())
        background().readRelated(std::move(query));
}

void ManagedObjectContext::resolveCounted(const CountRequest& request, std::vector<CountRow>& counts) const
{
    const EntityDescription* entity = m_model->entity(request.entityName);
    if (!entity)
        return;
    QList<const KeyIndex*> indexes;
    for (const QString& key : request.groupBy) {
        const RelationshipDescription* relationship = entity->relationship(key);
        const auto index = relationship ? m_objectsByKey.constFind(relationship->destinationEntity->rootEntity())
                                        : m_objectsByKey.cend();
        indexes << (index == m_objectsByKey.cend() ? nullptr : &*index);
    }
    for (CountRow& row : counts) {
        row.destinations.clear();
        for (qsizetype g = 0; g < row.keys.size() && g < indexes.size(); ++g) {
            ManagedObject* destination = indexes.at(g) ? indexes.at(g)->find(row.keys.at(g)) : nullptr;
            row.destinations << (destination && !destination->m_deleted ? destination : nullptr);
        }
    }
}

void ManagedObjectContext::countInBackground(
    const CountRequest& request, std::function<void(const std::vector<CountRow>&)> done)
{
    if (m_coordinator)
        background().count(request, std::move(done));
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
    // Every member a deletion must reach is read first; an unordered many-to-many only loses
    // its pairs, those of unread members included.
    for (const RelationshipDescription& relationship : object->entity()->relationships())
        if (relationship.deleteRule == RelationshipDescription::DeleteRule::Cascade
            || !isUnorderedManyToMany(relationship))
            completePending(object, relationship.index);
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
    // A tombstone has left every relationship: nothing of it is waiting to be read.
    for (ManagedObject::Slot& slot : object->m_slots)
        slot.pending = false;
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

    // A fetch sees every stored object: a walk over an entity waits for its last rows.
    for (const EntityDescription* e : std::as_const(entities))
        loadAllUnread(e);
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
    const auto find = [&]() -> ManagedObject* {
        const auto index = m_objectsByKey.constFind(entity->rootEntity());
        return index == m_objectsByKey.cend() ? nullptr : index->find(primaryKey);
    };
    ManagedObject* object = find();
    if (!object && isUnread(entity)) {
        loadAllUnread(entity);
        object = find();
    }
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
