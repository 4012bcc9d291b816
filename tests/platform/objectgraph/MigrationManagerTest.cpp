#include "Platform/core/objectgraph/MigrationManager.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/MappingModel.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"
#include "support/QStringPrinting.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::shared_ptr<const ManagedObjectModel> model(const QString& versionName, const QByteArray& entities)
{
    QString error;
    auto result = ManagedObjectModel::fromJson("{\"entities\": [" + entities + "]}", versionName, &error);
    EXPECT_TRUE(result) << versionName.toStdString() << ": " << error.toStdString();
    return result;
}

// Boards with ordered cards; tasks are cards with a due flag.
const QByteArray boardEntities = R"(
    { "name": "Board", "attributes": [ { "name": "title", "type": "string" } ],
      "relationships": [ { "name": "cards", "destination": "Card", "toMany": true, "ordered": true, "inverse": "board" } ] },
    { "name": "Card", "attributes": [ { "name": "title", "type": "string" }, { "name": "notes", "type": "binary" },
                                      { "name": "legacy", "type": "integer32" } ],
      "relationships": [ { "name": "board", "destination": "Board", "inverse": "cards" } ] },
    { "name": "Task", "parent": "Card", "attributes": [ { "name": "due", "type": "boolean" } ] })";

std::optional<QString> inferenceError(const QByteArray& source, const QByteArray& destination)
{
    QString error;
    if (MappingModel::inferred(
            *model(QStringLiteral("Old"), source), *model(QStringLiteral("New"), destination), &error))
        return std::nullopt;
    return error;
}

TEST(MappingModelTest, Inferred_RefusesWhatCopyingCannotCarryOver)
{
    const QByteArray item = R"({ "name": "Item", "attributes": [ { "name": "title", "type": "string" } ] })";
    const QByteArray other = R"({ "name": "Other" })";
    struct Case
    {
        const char* name;
        QByteArray destination;
        QString error; // empty: inferable
    };
    const QList<Case> cases = {
        {"new optional attribute",
            R"({ "name": "Item", "attributes": [ { "name": "title", "type": "string" },
            { "name": "count", "type": "integer16" } ] }, )"
                + other,
            {}},
        {"new required attribute with a default",
            R"({ "name": "Item", "attributes": [ { "name": "title", "type": "string" },
            { "name": "count", "type": "integer16", "optional": false, "default": 3 } ] }, )"
                + other,
            {}},
        {"new required attribute without a default",
            R"({ "name": "Item", "attributes": [ { "name": "title", "type": "string" },
            { "name": "count", "type": "integer16", "optional": false } ] }, )"
                + other,
            QStringLiteral("the new required attribute Item.count has no default value")},
        {"attribute becoming required without a default",
            R"({ "name": "Item", "attributes": [
            { "name": "title", "type": "string", "optional": false } ] }, )"
                + other,
            QStringLiteral("the attribute Item.title becomes required without a default value")},
        {"attribute changing its type",
            R"({ "name": "Item", "attributes": [ { "name": "title", "type": "binary" } ] }, )" + other,
            QStringLiteral("the attribute Item.title changes its type")},
        {"removed attribute", R"({ "name": "Item" }, )" + other, {}},
        {"removed table", item, {}},
        {"entity moving under another", R"({ "name": "Item", "attributes": [ { "name": "title", "type": "string" } ] },
            { "name": "Other", "parent": "Item" })",
            QStringLiteral("the entity Other moves to another table")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<QString> error = inferenceError(item + ", " + other, c.destination);
        EXPECT_EQ(error.value_or(QString()).toStdString(), c.error.toStdString());
    }

    // Relationships and subentities.
    const QByteArray tree = R"({ "name": "Node", "relationships": [
        { "name": "kids", "destination": "Node", "toMany": true, "ordered": true, "inverse": "up" },
        { "name": "up", "destination": "Node", "inverse": "kids" } ] },
        { "name": "Leaf", "parent": "Node" })";
    EXPECT_EQ(inferenceError(tree, R"({ "name": "Node", "relationships": [
        { "name": "kids", "destination": "Node", "toMany": true, "inverse": "up" },
        { "name": "up", "destination": "Node", "inverse": "kids" } ] }, { "name": "Leaf", "parent": "Node" })"),
        QStringLiteral("the relationship Node.kids changes its destination, kind or inverse"));
    EXPECT_EQ(inferenceError(tree, R"({ "name": "Node", "relationships": [
        { "name": "kids", "destination": "Node", "toMany": true, "ordered": true, "inverse": "up" },
        { "name": "up", "destination": "Node", "inverse": "kids" } ] })"),
        QStringLiteral("the entity Leaf is removed while its table stays"));
    EXPECT_EQ(inferenceError(R"({ "name": "Node" })", R"({ "name": "Node", "relationships": [
        { "name": "owner", "destination": "Owner", "inverse": "nodes", "optional": false } ] },
        { "name": "Owner", "relationships": [ { "name": "nodes", "destination": "Node", "toMany": true, "inverse": "owner" } ] })"),
        QStringLiteral("the new required relationship Node.owner has no value to start from"));
}

TEST(MappingModelTest, ExplicitFile_NamesItsVersionsAndEntities)
{
    const auto source = model(QStringLiteral("V1"), boardEntities);
    const auto destination = model(QStringLiteral("V2"), boardEntities);
    QTemporaryDir folder;
    const auto mappingFrom = [&](const QByteArray& json) {
        QFile file(folder.filePath(QStringLiteral("mapping")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(json);
        file.close();
        QString error;
        const std::optional<MappingModel> mapping
            = MappingModel::fromFile(file.fileName(), *source, *destination, &error);
        return std::make_pair(mapping, error);
    };

    const auto [mapping, error] = mappingFrom(
        R"({ "source": "V1", "destination": "V2", "entityMappings": [ { "entity": "Card", "policy": "Cards" } ] })");
    ASSERT_TRUE(mapping) << error.toStdString();
    EXPECT_FALSE(mapping->isInferred());
    ASSERT_EQ(mapping->entityMappings().size(), 1);
    EXPECT_EQ(mapping->entityMappings().first().policyName, QStringLiteral("Cards"));

    EXPECT_FALSE(mappingFrom(R"({ "source": "V0", "destination": "V2" })").first);
    EXPECT_FALSE(
        mappingFrom(R"({ "source": "V1", "destination": "V2", "entityMappings": [ { "entity": "Lane" } ] })").first);
    EXPECT_FALSE(mappingFrom("not json").first);
}

// Version 2 drops Card.legacy, gives tasks a required "priority" with a default, cards a
// required "heading" that only the policy can fill, and boards a title they must have.
const QByteArray boardEntities2 = R"(
    { "name": "Board", "attributes": [ { "name": "title", "type": "string", "optional": false, "default": "Untitled" } ],
      "relationships": [ { "name": "cards", "destination": "Card", "toMany": true, "ordered": true, "inverse": "board" } ] },
    { "name": "Card", "attributes": [ { "name": "title", "type": "string" }, { "name": "notes", "type": "binary" },
                                      { "name": "heading", "type": "string", "optional": false } ],
      "relationships": [ { "name": "board", "destination": "Board", "inverse": "cards" } ] },
    { "name": "Task", "parent": "Card", "attributes": [ { "name": "due", "type": "boolean" },
                                                        { "name": "priority", "type": "integer16", "optional": false, "default": 2 } ] })";

class HeadingPolicy : public EntityMigrationPolicy
{
public:
    explicit HeadingPolicy(QString key = QStringLiteral("heading"))
        : m_key(std::move(key))
    {
    }
    bool createDestinationInstances(const MigrationRecord& source, MigrationRecord& destination, QString*) override
    {
        destination.values.insert(m_key,
            source.entityName + QLatin1Char(':') + source.values.value(QStringLiteral("title")).toString().toUpper());
        return true;
    }

private:
    QString m_key;
};

class MigrationManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_source = model(QStringLiteral("V1"), boardEntities);
        m_destination = model(QStringLiteral("V2"), boardEntities2);
        auto coordinator = std::make_shared<PersistentStoreCoordinator>(m_source);
        ASSERT_TRUE(coordinator->addPersistentStore(sourcePath()));
        {
            ManagedObjectContext context(m_source);
            ASSERT_TRUE(context.loadPersistentStore(coordinator));
            ManagedObject* board = context.insertNewObject(QStringLiteral("Board"));
            board->setValue(QStringLiteral("title"), QStringLiteral("Garden"));
            for (const char* title : {"dig", "sow", "water"}) {
                ManagedObject* card = context.insertNewObject(QString::fromLatin1(title[0] == 's' ? "Task" : "Card"));
                card->setValue(QStringLiteral("title"), QString::fromLatin1(title));
                card->setValue(QStringLiteral("notes"), QByteArray("\x00\x01", 2) + title);
                card->setValue(QStringLiteral("legacy"), 7);
                board->insertObject(QStringLiteral("cards"), card, 0);
            }
            context.insertNewObject(QStringLiteral("Board"));
            ASSERT_TRUE(context.save());
            m_storeUUID = board->objectIDURI().host();
        }
        ASSERT_TRUE(coordinator->removePersistentStore());
        m_policies.registerPolicy<HeadingPolicy>(QStringLiteral("Headings"));
    }

    MappingModel explicitMapping()
    {
        QFile file(m_folder.filePath(QStringLiteral("V1 to V2.mapping")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(R"({ "source": "V1", "destination": "V2",
                        "entityMappings": [ { "entity": "Card", "policy": "Headings" } ] })");
        file.close();
        QString error;
        std::optional<MappingModel> mapping
            = MappingModel::fromFile(file.fileName(), *m_source, *m_destination, &error);
        EXPECT_TRUE(mapping) << error.toStdString();
        return *mapping;
    }

    QString sourcePath() const { return m_folder.filePath(QStringLiteral("source.storedata")); }
    QString destinationPath() const { return m_folder.filePath(QStringLiteral("destination.storedata")); }

    QTemporaryDir m_folder;
    std::shared_ptr<const ManagedObjectModel> m_source;
    std::shared_ptr<const ManagedObjectModel> m_destination;
    MigrationPolicyRegistry m_policies;
    QString m_storeUUID;
};

TEST_F(MigrationManagerTest, Migrate_KeepsObjectsAndOrderAndRunsThePolicyOnEachCard)
{
    MigrationManager manager(m_source, m_destination, m_policies);
    QString error;
    ASSERT_TRUE(manager.migrateStore(sourcePath(), explicitMapping(), destinationPath(), &error))
        << error.toStdString();

    auto coordinator = std::make_shared<PersistentStoreCoordinator>(m_destination);
    ASSERT_TRUE(coordinator->addPersistentStore(destinationPath(), &error)) << error.toStdString();
    ManagedObjectContext context(m_destination);
    ASSERT_TRUE(context.loadPersistentStore(coordinator, &error)) << error.toStdString();
    const QList<ManagedObject*> boards = context.fetch(FetchRequest(QStringLiteral("Board")));
    ASSERT_EQ(boards.size(), 2);
    EXPECT_EQ(boards.at(0)->stringValue(QStringLiteral("title")), QStringLiteral("Garden"));
    EXPECT_EQ(boards.at(1)->stringValue(QStringLiteral("title")), QStringLiteral("Untitled"));
    EXPECT_EQ(boards.first()->objectIDURI().host(), m_storeUUID);
    QStringList cards;
    for (const ManagedObject* card : boards.first()->objects(QStringLiteral("cards")))
        cards.append(QStringLiteral("%1 %2 %3 %4")
                         .arg(card->stringValue(QStringLiteral("heading")),
                             QString::fromLatin1(card->dataValue(QStringLiteral("notes")).toHex()))
                         .arg(card->entity()->name())
                         .arg(card->entity()->attribute(QStringLiteral("priority"))
                                 ? card->integerValue(QStringLiteral("priority"))
                                 : -1));
    EXPECT_EQ(cards,
        (QStringList {QStringLiteral("Card:WATER 00017761746572 Card -1"), QStringLiteral("Task:SOW 0001736f77 Task 2"),
            QStringLiteral("Card:DIG 0001646967 Card -1")}));
    // Every required value is there: the migrated store saves.
    boards.first()->setValue(QStringLiteral("title"), QStringLiteral("Orchard"));
    EXPECT_TRUE(context.save(&error)) << error.toStdString();
}

TEST_F(MigrationManagerTest, Failure_LeavesNoDestinationAndTheSourceAsItWas)
{
    QFile source(sourcePath());
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray before = source.readAll();
    source.close();

    struct Case
    {
        const char* name;
        std::function<void(MigrationPolicyRegistry&)> policies;
        QString error;
    };
    const QList<Case> cases = {
        {"no policy", [](MigrationPolicyRegistry&) {},
            QStringLiteral("no entity migration policy is registered as Headings")},
        {"policy writing elsewhere",
            [](MigrationPolicyRegistry& registry) {
                registry.registerPolicy(QStringLiteral("Headings"),
                    [] { return std::make_unique<HeadingPolicy>(QStringLiteral("subtitle")); });
            },
            QStringLiteral("a migration policy set subtitle, which is not a column of \"Card\"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MigrationPolicyRegistry policies;
        c.policies(policies);
        MigrationManager manager(m_source, m_destination, policies);
        QString error;
        EXPECT_FALSE(manager.migrateStore(sourcePath(), explicitMapping(), destinationPath(), &error));
        EXPECT_EQ(error.toStdString(), c.error.toStdString());
        EXPECT_FALSE(QFileInfo::exists(destinationPath()));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        EXPECT_EQ(source.readAll(), before);
        source.close();
    }
}

TEST_F(MigrationManagerTest, Migrate_RefusesAnExistingDestinationOrAnotherModelsStore)
{
    MigrationManager manager(m_source, m_destination, m_policies);
    QFile existing(destinationPath());
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();
    QString error;
    EXPECT_FALSE(manager.migrateStore(sourcePath(), explicitMapping(), destinationPath(), &error));
    EXPECT_EQ(error, QStringLiteral("a file already exists at ") + destinationPath());
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("keep me"));

    MigrationManager backwards(m_destination, m_source, m_policies);
    EXPECT_FALSE(
        backwards.migrateStore(sourcePath(), explicitMapping(), m_folder.filePath(QStringLiteral("other")), &error));
    EXPECT_EQ(error, sourcePath() + QStringLiteral(" is not a store of V2"));
}

} // namespace
