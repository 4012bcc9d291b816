#pragma once

#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A small model in the shape of the program's own (a tree of folders and boards, columns with
// ordered cards, labels shared by cards, pictures, history), for the object graph's tests.
namespace ObjectGraphFixture {

inline QString dataFolder()
{
    return QStringLiteral(PELORINS_TESTS_DIR "/platform/objectgraph/data");
}

inline std::shared_ptr<const ManagedObjectModel> graphModel()
{
    QString error;
    auto model = ManagedObjectModel::fromVersion(dataFolder(), QStringLiteral("Graph"), &error);
    EXPECT_TRUE(model) << error.toStdString();
    return model;
}

// A label deletes itself at save time once no card carries it.
class Label : public ManagedObject
{
public:
    explicit Label(const Init& init)
        : ManagedObject(init)
    {
    }
    void willSave() override
    {
        if (objects(QStringLiteral("cards")).isEmpty() && !isDeleted())
            managedObjectContext()->deleteObject(this);
    }
};

// Nodes give themselves an identifier when inserted or first loaded without one.
class Node : public ManagedObject
{
public:
    explicit Node(const Init& init)
        : ManagedObject(init)
    {
    }
    void awakeFromInsert() override { setup(); }
    void awakeFromFetch() override { setup(); }
    int fetchAwakenings = 0;

private:
    void setup()
    {
        if (value(QStringLiteral("uid")).isNull())
            setValue(QStringLiteral("uid"), QStringLiteral("uid-%1").arg(objectIDURI().toString()));
        if (!isInserted())
            ++fetchAwakenings;
    }
};

inline void registerClasses(ManagedObjectContext& context)
{
    context.registerClass<Node>(QStringLiteral("Node"));
    context.registerClass<Label>(QStringLiteral("Label"));
}

// A context over a store file in a temporary folder, reopened on demand.
struct Store
{
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("graph.storedata"));
    std::shared_ptr<const ManagedObjectModel> model = graphModel();
    std::unique_ptr<ManagedObjectContext> context;

    Store() { reopen(); }

    ManagedObjectContext& reopen()
    {
        context.reset();
        auto coordinator = std::make_shared<PersistentStoreCoordinator>(model);
        QString error;
        EXPECT_TRUE(coordinator->addPersistentStore(path, &error)) << error.toStdString();
        context = std::make_unique<ManagedObjectContext>(model);
        registerClasses(*context);
        EXPECT_TRUE(context->loadPersistentStore(coordinator, &error)) << error.toStdString();
        return *context;
    }
};

inline QStringList names(const QList<ManagedObject*>& objects, const QString& key = QStringLiteral("title"))
{
    QStringList result;
    for (const ManagedObject* object : objects)
        result.append(object->stringValue(key));
    return result;
}

} // namespace ObjectGraphFixture
