#include "Platform/core/objectgraph/ManagedObject.h"

#include "Platform/core/OrderedSet.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QSet>
#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <optional>

namespace {

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

// The value as the attribute stores it, or none when it does not fit the attribute's type.
std::optional<QVariant> storedForm(const AttributeDescription& attribute, const QVariant& value)
{
    using Type = AttributeDescription::Type;
    // A null string or byte array is an absent value too.
    if (!value.isValid() || (value.typeId() == QMetaType::QString && value.toString().isNull())
        || (value.typeId() == QMetaType::QByteArray && value.toByteArray().isNull()))
        return QVariant();
    switch (attribute.type) {
    case Type::Integer16:
    case Type::Integer32:
    case Type::Integer64: {
        if (!isNumber(value))
            return std::nullopt;
        const double asDouble = value.toDouble();
        if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
            if (!std::isfinite(asDouble) || asDouble != std::trunc(asDouble))
                return std::nullopt;
        }
        if (value.typeId() == QMetaType::ULongLong && value.toULongLong() > quint64(INT64_MAX))
            return std::nullopt;
        const qint64 number = value.toLongLong();
        if (attribute.type == Type::Integer16 && (number < -32768 || number > 32767))
            return std::nullopt;
        if (attribute.type == Type::Integer32 && (number < INT32_MIN || number > INT32_MAX))
            return std::nullopt;
        return QVariant(number);
    }
    case Type::Double:
        if (!isNumber(value))
            return std::nullopt;
        return QVariant(value.toDouble());
    case Type::Boolean:
        if (!isNumber(value))
            return std::nullopt;
        return QVariant(value.toDouble() != 0);
    case Type::String:
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
        return value;
    case Type::Date: {
        if (value.typeId() != QMetaType::QDateTime || !value.toDateTime().isValid())
            return std::nullopt;
        return QVariant(value.toDateTime().toUTC());
    }
    case Type::Binary:
        if (value.typeId() != QMetaType::QByteArray)
            return std::nullopt;
        return value;
    case Type::StringList: {
        if (value.typeId() == QMetaType::QStringList)
            return value;
        if (value.typeId() != QMetaType::QVariantList)
            return std::nullopt;
        QStringList list;
        for (const QVariant& item : value.toList()) {
            if (item.typeId() != QMetaType::QString)
                return std::nullopt;
            list.append(item.toString());
        }
        return QVariant(list);
    }
    }
    return std::nullopt;
}

const QList<ManagedObject*>& emptyList()
{
    static const QList<ManagedObject*> empty;
    return empty;
}

} // namespace

ManagedObject::ManagedObject(const Init& init)
    : m_entity(init.entity)
    , m_context(init.context)
{
    m_values.resize(size_t(m_entity->attributes().size()));
    m_slots.resize(size_t(m_entity->relationships().size()));
}

ManagedObject::~ManagedObject() = default;

QUrl ManagedObject::objectIDURI() const
{
    return QUrl(
        QStringLiteral("x-coredata://%1/%2/p%3").arg(m_context->m_storeIdentifier, m_entity->name()).arg(m_primaryKey));
}

const AttributeDescription* ManagedObject::attributeOf(const PropertyKey& key) const
{
    const QList<AttributeDescription>& attributes = m_entity->attributes();
    const int slot = key.m_slot.load(std::memory_order_relaxed);
    if (slot >= 0 && slot < attributes.size() && attributes.at(slot).name == key.m_name)
        return &attributes.at(slot);
    const AttributeDescription* found = m_entity->attribute(key.m_name);
    if (found)
        key.m_slot.store(found->index, std::memory_order_relaxed);
    return found;
}

const RelationshipDescription* ManagedObject::relationshipOf(const PropertyKey& key) const
{
    const QList<RelationshipDescription>& relationships = m_entity->relationships();
    const int slot = key.m_slot.load(std::memory_order_relaxed);
    if (slot >= 0 && slot < relationships.size() && relationships.at(slot).name == key.m_name)
        return &relationships.at(slot);
    const RelationshipDescription* found = m_entity->relationship(key.m_name);
    if (found)
        key.m_slot.store(found->index, std::memory_order_relaxed);
    return found;
}

QVariant ManagedObject::value(const QString& key) const
{
    const AttributeDescription* attribute = m_entity->attribute(key);
    return attribute ? m_values[size_t(attribute->index)] : QVariant();
}

const QVariant& ManagedObject::value(const PropertyKey& key) const
{
    static const QVariant absent;
    const AttributeDescription* found = attributeOf(key);
    return found ? m_values[size_t(found->index)] : absent;
}

bool ManagedObject::setValue(const QString& key, const QVariant& value)
{
    return assign(m_entity->attribute(key), key, value);
}

bool ManagedObject::setValue(const PropertyKey& key, const QVariant& value)
{
    return assign(attributeOf(key), key.m_name, value);
}

bool ManagedObject::assign(const AttributeDescription* attribute, const QString& key, const QVariant& value)
{
    if (!attribute || m_deleted)
        return false;
    const std::optional<QVariant> stored = storedForm(*attribute, value);
    if (!stored)
        return false;
    const KeyChange change = KeyChange::setting(key);
    willChange(change);
    QVariant& slot = m_values[size_t(attribute->index)];
    const bool differs = slot.isValid() != stored->isValid() || slot != *stored;
    slot = *stored;
    if (differs)
        m_context->markChanged(this);
    didChange(change);
    return true;
}

bool ManagedObject::assignUnannounced(const AttributeDescription& attribute, const QVariant& value)
{
    std::optional<QVariant> stored = storedForm(attribute, value);
    if (!stored)
        return false;
    m_values[size_t(attribute.index)] = std::move(*stored);
    m_context->markChanged(this);
    return true;
}

const QList<ManagedObject*>& ManagedObject::members(int index) const
{
    if (m_slots[size_t(index)].pending)
        m_context->completePending(const_cast<ManagedObject*>(this), index);
    return m_slots[size_t(index)].objects;
}

ManagedObject* ManagedObject::destination(int index) const
{
    if (m_slots[size_t(index)].pending)
        m_context->completePending(const_cast<ManagedObject*>(this), index);
    return m_slots[size_t(index)].object;
}

ManagedObject* ManagedObject::object(const QString& key) const
{
    const RelationshipDescription* relationship = m_entity->relationship(key);
    return relationship && !relationship->isToMany ? destination(relationship->index) : nullptr;
}

const QList<ManagedObject*>& ManagedObject::objects(const QString& key) const
{
    const RelationshipDescription* relationship = m_entity->relationship(key);
    return relationship && relationship->isToMany ? members(relationship->index) : emptyList();
}

ManagedObject* ManagedObject::object(const PropertyKey& key) const
{
    const RelationshipDescription* found = relationshipOf(key);
    return found && !found->isToMany ? destination(found->index) : nullptr;
}

const QList<ManagedObject*>& ManagedObject::objects(const PropertyKey& key) const
{
    const RelationshipDescription* found = relationshipOf(key);
    return found && found->isToMany ? members(found->index) : emptyList();
}

namespace {

// A relationship that may be changed on `owner` to hold `members`.
const RelationshipDescription* editableRelationship(
    const ManagedObject* owner, const QString& key, bool toMany, const QList<ManagedObject*>& members)
{
    const RelationshipDescription* relationship = owner->entity()->relationship(key);
    if (!relationship || relationship->isToMany != toMany || owner->isDeleted())
        return nullptr;
    for (const ManagedObject* member : members)
        if (!member || member->managedObjectContext() != owner->managedObjectContext() || member->isDeleted()
            || !member->entity()->isKindOfEntity(relationship->destinationEntity))
            return nullptr;
    return relationship;
}

} // namespace

bool ManagedObject::setObject(const QString& key, ManagedObject* object)
{
    const RelationshipDescription* relationship
        = editableRelationship(this, key, false, object ? QList<ManagedObject*> {object} : QList<ManagedObject*> {});
    if (!relationship)
        return false;
    m_context->applyToOne(this, *relationship, object);
    return true;
}

bool ManagedObject::setObjects(const QString& key, const QList<ManagedObject*>& objects)
{
    const RelationshipDescription* relationship = editableRelationship(this, key, true, objects);
    if (!relationship)
        return false;
    const QList<ManagedObject*>& current = members(relationship->index);
    QList<ManagedObject*> next;
    next.reserve(objects.size());
    QSet<ManagedObject*> nextSet;
    nextSet.reserve(objects.size());
    for (ManagedObject* object : objects)
        if (!nextSet.contains(object)) {
            nextSet.insert(object);
            next.append(object);
        }
    const QSet<ManagedObject*> currentSet(current.cbegin(), current.cend());
    QList<ManagedObject*> added;
    QList<ManagedObject*> removed;
    for (ManagedObject* object : std::as_const(next))
        if (!currentSet.contains(object))
            added.append(object);
    for (ManagedObject* object : current)
        if (!nextSet.contains(object))
            removed.append(object);
    if (next == current)
        return true;
    m_context->applyToMany(this, *relationship, next, added, removed, KeyChange::setting(key));
    return true;
}

bool ManagedObject::insertObject(const QString& key, ManagedObject* object, int index)
{
    const RelationshipDescription* relationship = editableRelationship(this, key, true, {object});
    if (!relationship)
        return false;
    const QList<ManagedObject*>& current = members(relationship->index);
    if (current.contains(object))
        return false;
    QList<ManagedObject*> next = current;
    const int at = relationship->isOrdered ? int(std::clamp<qsizetype>(index, 0, next.size())) : int(next.size());
    next.insert(at, object);
    const KeyChange change = relationship->isOrdered ? KeyChange::insertion(key, {at}) : KeyChange::insertion(key, {});
    m_context->applyToMany(this, *relationship, next, {object}, {}, change);
    return true;
}

bool ManagedObject::insertObjects(const QString& key, const QList<ManagedObject*>& objects, const QList<int>& indexes)
{
    const RelationshipDescription* relationship = editableRelationship(this, key, true, objects);
    if (!relationship || !relationship->isOrdered || objects.size() != indexes.size()
        || !std::is_sorted(indexes.cbegin(), indexes.cend()))
        return false;
    const QList<ManagedObject*>& current = members(relationship->index);
    QList<ManagedObject*> next = current;
    OrderedSet::insertAtIndexes(next, objects, indexes);
    if (next.size() == current.size())
        return false;
    const QSet<ManagedObject*> currentSet(current.cbegin(), current.cend());
    QList<ManagedObject*> added;
    QList<int> at;
    for (int i = 0; i < next.size(); ++i)
        if (!currentSet.contains(next.at(i))) {
            added.append(next.at(i));
            at.append(i);
        }
    m_context->applyToMany(this, *relationship, next, added, {}, KeyChange::insertion(key, at));
    return true;
}

bool ManagedObject::addObject(const QString& key, ManagedObject* object)
{
    return insertObject(key, object, int(objects(key).size()));
}

bool ManagedObject::removeObject(const QString& key, ManagedObject* object)
{
    const RelationshipDescription* relationship = editableRelationship(this, key, true, {});
    if (!relationship)
        return false;
    const QList<ManagedObject*>& current = members(relationship->index);
    const int at = int(current.indexOf(object));
    if (at < 0)
        return false;
    QList<ManagedObject*> next = current;
    next.removeAt(at);
    const KeyChange change = relationship->isOrdered ? KeyChange::removal(key, {at}) : KeyChange::removal(key, {});
    m_context->applyToMany(this, *relationship, next, {}, {object}, change);
    return true;
}

bool ManagedObject::removeObjectsAtIndexes(const QString& key, const QList<int>& indexes)
{
    const RelationshipDescription* relationship = editableRelationship(this, key, true, {});
    if (!relationship || !relationship->isOrdered)
        return false;
    const QList<ManagedObject*>& current = members(relationship->index);
    QList<int> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    if (sorted.isEmpty() || sorted.first() < 0 || sorted.last() >= current.size())
        return false;
    QList<ManagedObject*> next = current;
    QList<ManagedObject*> removed;
    for (auto it = sorted.crbegin(); it != sorted.crend(); ++it)
        removed.prepend(next.takeAt(*it));
    m_context->applyToMany(this, *relationship, next, {}, removed, KeyChange::removal(key, sorted));
    return true;
}

bool ManagedObject::replaceObjectAtIndex(const QString& key, int index, ManagedObject* object)
{
    const RelationshipDescription* relationship = editableRelationship(this, key, true, {object});
    if (!relationship || !relationship->isOrdered)
        return false;
    const QList<ManagedObject*>& current = members(relationship->index);
    if (index < 0 || index >= current.size())
        return false;
    if (current.at(index) == object)
        return true;
    // An ordered set holds each member once.
    if (current.contains(object))
        return false;
    QList<ManagedObject*> next = current;
    ManagedObject* previous = next.at(index);
    next[index] = object;
    m_context->applyToMany(this, *relationship, next, {object}, {previous}, KeyChange::replacement(key, {index}));
    return true;
}

void ManagedObject::willChange(const KeyChange& change)
{
    emit m_context->objectWillChange(this, change);
}

void ManagedObject::didChange(const KeyChange& change)
{
    emit m_context->objectDidChange(this, change);
}
