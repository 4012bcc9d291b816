#include "StoreFixtureWriter.h"

#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QDateTime>
#include <QTimeZone>

namespace {

class Sample
{
public:
    explicit Sample(ManagedObjectContext& context)
        : m_context(context)
    {
    }

    ManagedObject* insert(const QString& entity)
    {
        if (!m_context.model().entity(entity))
            return nullptr;
        ManagedObject* object = m_context.insertNewObject(entity);
        fillAttributes(object);
        return object;
    }

    static void set(ManagedObject* object, const QString& key, const QVariant& value)
    {
        if (object && object->entity()->attribute(key))
            object->setValue(key, value);
    }

    static void link(ManagedObject* object, const QString& key, ManagedObject* destination)
    {
        if (!object || !destination)
            return;
        const RelationshipDescription* relationship = object->entity()->relationship(key);
        if (!relationship)
            return;
        if (relationship->isToMany)
            object->addObject(key, destination);
        else
            object->setObject(key, destination);
    }

private:
    // A distinct value for every attribute, so that each column of every version is exercised.
    void fillAttributes(ManagedObject* object)
    {
        ++m_serial;
        const QDateTime base(QDate(2021, 3, 14), QTime(9, 26, 53, 589), QTimeZone::utc());
        for (const AttributeDescription& attribute : object->entity()->attributes()) {
            using Type = AttributeDescription::Type;
            QVariant value;
            switch (attribute.type) {
            case Type::Integer16:
            case Type::Integer32:
            case Type::Integer64:
                value = qint64(m_serial % 7);
                break;
            case Type::Double:
                value = 1.5 * m_serial;
                break;
            case Type::Boolean:
                value = m_serial % 2 == 0;
                break;
            case Type::String:
                value = QStringLiteral("%1 %2").arg(attribute.name).arg(m_serial);
                break;
            case Type::Date:
                value = base.addSecs(3600 * m_serial);
                break;
            case Type::Binary:
                value = QByteArray("notes of object ") + QByteArray::number(m_serial) + QByteArray(1, '\0')
                    + QByteArray("\xff\x01", 2);
                break;
            case Type::StringList:
                value = QStringList {QStringLiteral("event %1").arg(m_serial), QStringLiteral("second")};
                break;
            }
            object->setValue(attribute.name, value);
        }
    }

    ManagedObjectContext& m_context;
    int m_serial = 0;
};

QString valueText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("-");
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toString(Qt::ISODateWithMs);
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray().toHex());
    case QMetaType::QStringList:
        return value.toStringList().join(QLatin1Char('|'));
    default:
        return value.toString();
    }
}

} // namespace

bool StoreFixtureWriter::write(const QString& path, std::shared_ptr<const ManagedObjectModel> model, QString* error)
{
    auto coordinator = std::make_shared<PersistentStoreCoordinator>(model);
    if (!coordinator->addPersistentStore(path, error))
        return false;
    bool saved = false;
    {
        ManagedObjectContext context(model);
        if (!context.loadPersistentStore(coordinator, error))
            return false;
        Sample sample(context);

        ManagedObject* root = sample.insert(QStringLiteral("Root"));
        ManagedObject* folder = sample.insert(QStringLiteral("Folder"));
        ManagedObject* board = sample.insert(QStringLiteral("Kanban"));
        Sample::link(root, QStringLiteral("children"), folder);
        Sample::link(folder, QStringLiteral("children"), board);

        QList<ManagedObject*> stages;
        for (int c = 0; c < 2; ++c) {
            stages.append(sample.insert(QStringLiteral("KanbanColumn")));
            Sample::link(board, QStringLiteral("column"), stages.last());
        }
        ManagedObject* doneColumn = nullptr;
        if (board->entity()->relationship(QStringLiteral("mainColumn"))) {
            doneColumn = sample.insert(QStringLiteral("KanbanColumn"));
            Sample::link(board, QStringLiteral("mainColumn"), doneColumn);
        }

        ManagedObject* tag = sample.insert(QStringLiteral("Tag"));
        Sample::link(board, QStringLiteral("tags"), tag);
        ManagedObject* picture = sample.insert(QStringLiteral("ImageAttachment"));

        QList<ManagedObject*> cards;
        for (int i = 0; i < 4; ++i) {
            ManagedObject* card = sample.insert(QStringLiteral("ListItem"));
            Sample::set(card, QStringLiteral("done"), false);
            Sample::link(stages.at(i < 3 ? 0 : 1), QStringLiteral("item"), card);
            cards.append(card);
        }
        // Moved to the front, so that the stored order differs from the order of insertion.
        stages.first()->insertObject(QStringLiteral("item"), cards.at(2), 0);
        Sample::link(cards.at(0), QStringLiteral("tags"), tag);
        Sample::link(cards.at(1), QStringLiteral("imageAttachments"), picture);

        if (doneColumn) {
            ManagedObject* doneCard = sample.insert(QStringLiteral("ListItem"));
            Sample::set(doneCard, QStringLiteral("done"), true);
            Sample::link(doneColumn, QStringLiteral("item"), doneCard);
            ManagedObject* group = sample.insert(QStringLiteral("DoneDate"));
            Sample::link(board, QStringLiteral("doneDates"), group);
            Sample::link(group, QStringLiteral("items"), doneCard);
            cards.append(doneCard);
        }
        for (ManagedObject* card : std::as_const(cards))
            Sample::link(card, QStringLiteral("history"), sample.insert(QStringLiteral("ListItemHistory")));

        saved = context.save(error);
    }
    QString closeError;
    if (!coordinator->removePersistentStore(&closeError) && saved) {
        if (error)
            *error = closeError;
        return false;
    }
    return saved;
}

QStringList StoreFixtureWriter::describe(
    const QString& path, std::shared_ptr<const ManagedObjectModel> storeModel, const ManagedObjectModel& properties)
{
    auto coordinator = std::make_shared<PersistentStoreCoordinator>(storeModel);
    if (!coordinator->addPersistentStore(path))
        return {};
    QStringList lines;
    {
        ManagedObjectContext context(storeModel);
        if (!context.loadPersistentStore(coordinator))
            return {};
        for (const EntityDescription* entity : properties.entities()) {
            const EntityDescription* stored = storeModel->entity(entity->name());
            if (!stored)
                continue;
            FetchRequest request(entity->name());
            request.includesSubentities = false;
            for (const ManagedObject* object : context.fetch(request)) {
                QStringList fields {object->objectIDURI().toString()};
                for (const AttributeDescription& attribute : entity->attributes()) {
                    if (stored->attribute(attribute.name))
                        fields.append(attribute.name + QLatin1Char('=') + valueText(object->value(attribute.name)));
                }
                for (const RelationshipDescription& relationship : entity->relationships()) {
                    if (!stored->relationship(relationship.name))
                        continue;
                    QStringList members;
                    if (relationship.isToMany) {
                        for (const ManagedObject* member : object->objects(relationship.name))
                            members.append(member->objectIDURI().toString());
                        if (!relationship.isOrdered)
                            members.sort();
                    } else if (const ManagedObject* destination = object->object(relationship.name)) {
                        members.append(destination->objectIDURI().toString());
                    }
                    fields.append(relationship.name + QLatin1Char('=') + members.join(QLatin1Char(',')));
                }
                lines.append(fields.join(QLatin1Char(' ')));
            }
        }
    }
    coordinator->removePersistentStore();
    lines.sort();
    return lines;
}
