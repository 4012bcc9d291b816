#include "ObjectGraphFixture.h"

#include "support/AsOrdinaryUser.h"
#include "support/StoreLockHolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

using namespace ObjectGraphFixture;

namespace {

ManagedObject* addCard(ManagedObjectContext& context, const QString& title)
{
    ManagedObject* card = context.insertNewObject(QStringLiteral("Card"));
    card->setValue(QStringLiteral("title"), title);
    return card;
}

} // namespace

// A store in a folder, or a file, the user may not write is read whole, says it cannot be
// written, refuses saves with the changes kept, and leaves nothing beside it.
TEST(StoreAccess, AStoreThatMayNotBeWrittenIsReadAndSaysSo)
{
    struct Case
    {
        const char* name;
        bool folderReadOnly;
        bool fileReadOnly;
    };
    const AsOrdinaryUser user;
    ASSERT_TRUE(user.holds());
    for (const Case& c : {Case {"writable", false, false}, Case {"read-only folder", true, false},
             Case {"read-only file", false, true}, Case {"both read-only", true, true}}) {
        SCOPED_TRACE(c.name);
        auto store = std::make_unique<Store>();
        addCard(*store->context, QStringLiteral("kept"));
        ASSERT_TRUE(store->context->save());
        store->context.reset(); // closes the store, folding its log
        const QFile::Permissions readable = QFile::ReadOwner | QFile::ExeOwner;
        if (c.fileReadOnly)
            QFile::setPermissions(store->path, QFile::ReadOwner);
        if (c.folderReadOnly)
            QFile::setPermissions(store->folder.path(), readable);
        const QStringList before = QDir(store->folder.path()).entryList(QDir::Files);

        ManagedObjectContext& context = store->reopen();
        ASSERT_NE(context.persistentStoreCoordinator(), nullptr);
        const bool writable = !c.folderReadOnly && !c.fileReadOnly;
        EXPECT_EQ(context.persistentStoreCoordinator()->isReadOnly(), !writable);
        EXPECT_EQ(context.count(FetchRequest(QStringLiteral("Card"))), 1);
        ManagedObject* card = addCard(context, QStringLiteral("new"));
        QString error;
        EXPECT_EQ(context.save(&error), writable) << error.toStdString();
        if (!writable) {
            EXPECT_TRUE(card->isInserted());
        }
        store->context.reset();
        if (!writable) {
            EXPECT_EQ(QDir(store->folder.path()).entryList(QDir::Files), before);
        }

        QFile::setPermissions(store->folder.path(), readable | QFile::WriteOwner);
        QFile::setPermissions(store->path, QFile::ReadOwner | QFile::WriteOwner);
    }
}

// Only a lock that keeps readers out counts as the store being held by another program.
TEST(StoreAccess, AnExclusiveLockElsewhereIsToldFromAnOrdinaryOne)
{
    Store store;
    addCard(*store.context, QStringLiteral("a"));
    ASSERT_TRUE(store.context->save());
    EXPECT_FALSE(PersistentStoreCoordinator::isHeldElsewhere(store.path));
    {
        StoreLockHolder writer(store.path, "BEGIN IMMEDIATE");
        EXPECT_FALSE(PersistentStoreCoordinator::isHeldElsewhere(store.path));
    }
    store.context.reset();
    {
        StoreLockHolder exclusive(store.path, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE");
        EXPECT_TRUE(PersistentStoreCoordinator::isHeldElsewhere(store.path));
    }
    EXPECT_FALSE(PersistentStoreCoordinator::isHeldElsewhere(store.path));
    EXPECT_FALSE(PersistentStoreCoordinator::isHeldElsewhere(store.folder.filePath(QStringLiteral("none"))));
}

// With another program writing, the first save waits for it and fails; the saves after it fail
// at once instead of each waiting again, and the first that goes through keeps everything and
// lets the next one wait again.
TEST(StoreAccess, ALockedStoreIsWaitedForOnceUntilASaveGoesThrough)
{
    Store store;
    addCard(*store.context, QStringLiteral("a"));
    ASSERT_TRUE(store.context->save());
    constexpr qint64 wait = 5000; // the store's busy timeout
    const auto timedSave = [&](QString* error) {
        QElapsedTimer timer;
        timer.start();
        const bool saved = store.context->save(error);
        return std::pair {saved, timer.elapsed()};
    };

    auto writer = std::make_unique<StoreLockHolder>(store.path, "BEGIN IMMEDIATE");
    addCard(*store.context, QStringLiteral("b"));
    QString error;
    const auto [first, firstTime] = timedSave(&error);
    EXPECT_FALSE(first);
    EXPECT_TRUE(error.contains(QStringLiteral("database is locked"))) << error.toStdString();
    EXPECT_GE(firstTime, wait - 100);
    addCard(*store.context, QStringLiteral("c"));
    const auto [second, secondTime] = timedSave(&error);
    EXPECT_FALSE(second);
    EXPECT_LT(secondTime, wait / 2);

    writer.reset();
    EXPECT_TRUE(timedSave(&error).first) << error.toStdString();
    EXPECT_EQ(store.reopen().count(FetchRequest(QStringLiteral("Card"))), 3);

    writer = std::make_unique<StoreLockHolder>(store.path, "BEGIN IMMEDIATE");
    addCard(*store.context, QStringLiteral("d"));
    const auto [again, againTime] = timedSave(&error);
    EXPECT_FALSE(again);
    EXPECT_GE(againTime, wait - 100);
}
