#include "ObjectGraphFixture.h"

#include "Platform/core/OrderedSet.h"
#include "support/QStringPrinting.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimeZone>
#include <csignal>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace ObjectGraphFixture;

namespace {

ManagedObject* insert(ManagedObjectContext& context, const char* entity, const QString& title = {})
{
    ManagedObject* object = context.insertNewObject(QString::fromLatin1(entity));
    if (!title.isNull())
        object->setValue(
            object->entity()->attribute(QStringLiteral("title")) ? QStringLiteral("title") : QStringLiteral("name"),
            title);
    return object;
}

ManagedObject* byTitle(ManagedObjectContext& context, const char* entity, const QString& title)
{
    const QString key
        = QString::fromLatin1(entity) == QLatin1String("Card") || QString::fromLatin1(entity) == QLatin1String("Column")
        ? QStringLiteral("title")
        : QStringLiteral("name");
    const QList<ManagedObject*> found = context.fetch(FetchRequest(
        QString::fromLatin1(entity), [&](const ManagedObject* o) { return o->stringValue(key) == title; }));
    return found.size() == 1 ? found.first() : nullptr;
}

// Runs one statement on the store file through a connection of its own.
void executeOn(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

QString queryOn(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    QString result;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
        result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return result;
}

} // namespace

TEST(PersistentStoreCoordinator, SavedGraphComesBackWholeAfterReopening)
{
    Store store;
    ManagedObjectContext& context = *store.context;
    ManagedObject* root = insert(context, "Folder", QStringLiteral("root"));
    ManagedObject* board = insert(context, "Board", QStringLiteral("board"));
    ManagedObject* folder = insert(context, "Folder", QStringLiteral("folder"));
    root->setObjects(QStringLiteral("children"), {folder, board});
    ManagedObject* stage = insert(context, "Column", QStringLiteral("stage"));
    ManagedObject* done = insert(context, "Column", QStringLiteral("done"));
    board->addObject(QStringLiteral("columns"), stage);
    board->setObject(QStringLiteral("doneColumn"), done);
    ManagedObject* red = insert(context, "Label", QStringLiteral("red"));
    ManagedObject* blue = insert(context, "Label", QStringLiteral("blue"));
    board->setObjects(QStringLiteral("labels"), {red, blue});
    ManagedObject* picture = insert(context, "Picture");
    picture->setValue(QStringLiteral("folder"), QStringLiteral("F1"));
    const QDateTime due = QDateTime::fromMSecsSinceEpoch(1712345678901, QTimeZone::utc());
    for (const QString& title : {QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("b")}) {
        ManagedObject* card = insert(context, "Card", title);
        stage->addObject(QStringLiteral("cards"), card);
        card->setObjects(QStringLiteral("labels"), {blue, red});
    }
    ManagedObject* a = byTitle(context, "Card", QStringLiteral("a"));
    a->setValue(QStringLiteral("due"), due);
    a->setValue(QStringLiteral("notes"), QByteArray("\x00\xff notes", 8));
    a->setValue(QStringLiteral("events"), QStringList({QStringLiteral("e1"), QStringLiteral("é 2")}));
    a->setValue(QStringLiteral("weight"), 0.25);
    a->setValue(QStringLiteral("big"), qint64(1) << 50);
    a->setValue(QStringLiteral("done"), true);
    a->addObject(QStringLiteral("pictures"), picture);
    ManagedObject* entry = insert(context, "Entry");
    entry->setValue(QStringLiteral("date"), due);
    entry->setValue(QStringLiteral("action"), 2);
    a->addObject(QStringLiteral("history"), entry);
    ManagedObject* emptyTitle = insert(context, "Card", QString(""));
    done->addObject(QStringLiteral("cards"), emptyTitle);
    const QUrl boardURI = board->objectIDURI();
    QString error;
    ASSERT_TRUE(context.save(&error)) << error.toStdString();

    ManagedObjectContext& reopened = store.reopen();
    EXPECT_FALSE(reopened.hasChanges());
    ManagedObject* root2 = byTitle(reopened, "Folder", QStringLiteral("root"));
    ASSERT_TRUE(root2);
    EXPECT_EQ(
        names(root2->objects(QStringLiteral("children")), QStringLiteral("name")), QStringList({"folder", "board"}));
    ManagedObject* board2 = reopened.objectForURI(boardURI);
    ASSERT_TRUE(board2);
    EXPECT_EQ(board2->object(QStringLiteral("parent")), root2);
    EXPECT_EQ(board2->objectAs<ManagedObject>(QStringLiteral("doneColumn"))->stringValue(QStringLiteral("title")),
        QStringLiteral("done"));
    ManagedObject* done2 = board2->object(QStringLiteral("doneColumn"));
    EXPECT_EQ(done2->object(QStringLiteral("doneBoard")), board2);
    EXPECT_EQ(
        done2->objects(QStringLiteral("cards")).value(0)->value(QStringLiteral("title")), QVariant(QStringLiteral("")))
        << "an empty title is not an absent one";
    ManagedObject* stage2 = board2->objects(QStringLiteral("columns")).value(0);
    ASSERT_TRUE(stage2);
    EXPECT_EQ(names(stage2->objects(QStringLiteral("cards"))), QStringList({"c", "a", "b"}));
    EXPECT_EQ(names(board2->objects(QStringLiteral("labels")), QStringLiteral("name")), QStringList({"red", "blue"}));
    ManagedObject* a2 = byTitle(reopened, "Card", QStringLiteral("a"));
    EXPECT_EQ(names(a2->objects(QStringLiteral("labels")), QStringLiteral("name")), QStringList({"blue", "red"}));
    EXPECT_EQ(byTitle(reopened, "Label", QStringLiteral("red"))->objects(QStringLiteral("cards")).size(), 3);
    EXPECT_EQ(a2->dateValue(QStringLiteral("due")), due);
    EXPECT_EQ(a2->dataValue(QStringLiteral("notes")), QByteArray("\x00\xff notes", 8));
    EXPECT_EQ(
        a2->stringListValue(QStringLiteral("events")), QStringList({QStringLiteral("e1"), QStringLiteral("é 2")}));
    EXPECT_EQ(a2->value(QStringLiteral("weight")), QVariant(0.25));
    EXPECT_EQ(a2->value(QStringLiteral("big")), QVariant(qint64(1) << 50));
    EXPECT_EQ(a2->value(QStringLiteral("done")), QVariant(true));
    EXPECT_FALSE(a2->value(QStringLiteral("title")).isNull());
    EXPECT_FALSE(byTitle(reopened, "Card", QStringLiteral("b"))->value(QStringLiteral("due")).isValid());
    EXPECT_EQ(
        a2->objects(QStringLiteral("pictures")).value(0)->stringValue(QStringLiteral("folder")), QStringLiteral("F1"));
    ManagedObject* entry2 = a2->objects(QStringLiteral("history")).value(0);
    ASSERT_TRUE(entry2);
    EXPECT_EQ(entry2->object(QStringLiteral("card")), a2);
    EXPECT_EQ(entry2->integerValue(QStringLiteral("action")), 2);

    // The load hook ran once per object, after the graph was linked, and left nothing to save.
    auto* node = dynamic_cast<Node*>(board2);
    ASSERT_TRUE(node);
    EXPECT_EQ(node->fetchAwakenings, 1);

    // A stored owner's pairs are written afresh, never added to the ones it had.
    a2->setObjects(QStringLiteral("labels"), {byTitle(reopened, "Label", QStringLiteral("red"))});
    ASSERT_TRUE(reopened.save(&error)) << error.toStdString();
    ManagedObjectContext& again = store.reopen();
    EXPECT_EQ(
        names(byTitle(again, "Card", QStringLiteral("a"))->objects(QStringLiteral("labels")), QStringLiteral("name")),
        QStringList({"red"}));
    EXPECT_EQ(byTitle(again, "Label", QStringLiteral("blue"))->objects(QStringLiteral("cards")).size(), 2);
}

TEST(PersistentStoreCoordinator, OrderSurvivesRandomEditsAcrossSavesAndReopening)
{
    Store store;
    QRandomGenerator random(20261209);
    {
        ManagedObjectContext& context = *store.context;
        for (const char* title : {"left", "right"})
            insert(context, "Column", QString::fromLatin1(title));
        ASSERT_TRUE(context.save());
    }
    int next = 0;
    for (int round = 0; round < 12; ++round) {
        ManagedObjectContext& context = store.reopen();
        ManagedObject* columns[]
            = {byTitle(context, "Column", QStringLiteral("left")), byTitle(context, "Column", QStringLiteral("right"))};
        for (int step = 0; step < 40; ++step) {
            ManagedObject* column = columns[random.bounded(2)];
            const QList<ManagedObject*> cards = column->objects(QStringLiteral("cards"));
            switch (random.bounded(6)) {
            case 0:
            case 1:
                column->insertObject(QStringLiteral("cards"), insert(context, "Card", QString::number(next++)),
                    int(random.bounded(int(cards.size()) + 1)));
                break;
            case 2: // move within or across columns
                if (!cards.isEmpty())
                    columns[random.bounded(2)]->insertObject(
                        QStringLiteral("cards"), cards.at(random.bounded(int(cards.size()))), 0);
                break;
            case 3:
                if (cards.size() > 1) {
                    QList<ManagedObject*> reordered = cards;
                    OrderedSet::moveIndexes(reordered, {int(cards.size()) - 1}, 0);
                    column->setObjects(QStringLiteral("cards"), reordered);
                }
                break;
            case 4:
                if (!cards.isEmpty())
                    context.deleteObject(cards.at(random.bounded(int(cards.size()))));
                break;
            case 5:
                if (cards.size() > 2)
                    column->removeObjectsAtIndexes(QStringLiteral("cards"), {0, int(cards.size()) - 1});
                break;
            }
            if (random.bounded(5) == 0) {
                QString error;
                ASSERT_TRUE(context.save(&error)) << error.toStdString();
            }
        }
        QString error;
        ASSERT_TRUE(context.save(&error)) << error.toStdString();
        const QStringList left = names(columns[0]->objects(QStringLiteral("cards")));
        const QStringList right = names(columns[1]->objects(QStringLiteral("cards")));
        ManagedObjectContext& reopened = store.reopen();
        EXPECT_EQ(names(byTitle(reopened, "Column", QStringLiteral("left"))->objects(QStringLiteral("cards"))), left)
            << round;
        EXPECT_EQ(names(byTitle(reopened, "Column", QStringLiteral("right"))->objects(QStringLiteral("cards"))), right)
            << round;
    }
}

TEST(PersistentStoreCoordinator, InsertingAtTheHeadOfALongListRewritesOneRow)
{
    Store store;
    ManagedObjectContext& context = *store.context;
    ManagedObject* column = insert(context, "Column", QStringLiteral("done"));
    for (int i = 0; i < 200; ++i)
        column->addObject(QStringLiteral("cards"), insert(context, "Card", QString::number(i)));
    ASSERT_TRUE(context.save());
    const QString before = queryOn(store.path, "SELECT group_concat(column_ORDER) FROM Card WHERE title <> '0'");

    column->insertObject(QStringLiteral("cards"), insert(context, "Card", QStringLiteral("new")), 0);
    QList<ManagedObject*> moved = column->objects(QStringLiteral("cards"));
    OrderedSet::moveIndexes(moved, {100}, 1);
    column->setObjects(QStringLiteral("cards"), moved);
    ASSERT_TRUE(context.save());
    // Only the new card and the moved one got new sort keys; the others' rows were left alone.
    const QString after
        = queryOn(store.path, "SELECT group_concat(column_ORDER) FROM Card WHERE title NOT IN ('0', 'new', '99')");
    QStringList expected = before.split(',');
    expected.removeAt(98);
    EXPECT_EQ(after, expected.join(','));
    ManagedObjectContext& reopened = store.reopen();
    const QStringList order
        = names(byTitle(reopened, "Column", QStringLiteral("done"))->objects(QStringLiteral("cards")));
    EXPECT_EQ(order.mid(0, 3), QStringList({"new", "99", "0"}));
}

TEST(PersistentStoreCoordinator, SaveWritesOnlyChangedRowsAndRemovesDeletedOnes)
{
    Store store;
    ManagedObjectContext& context = *store.context;
    ManagedObject* a = insert(context, "Card", QStringLiteral("a"));
    ManagedObject* b = insert(context, "Card", QStringLiteral("b"));
    ManagedObject* red = insert(context, "Label", QStringLiteral("red"));
    a->addObject(QStringLiteral("labels"), red);
    b->addObject(QStringLiteral("labels"), red);
    ASSERT_TRUE(context.save());

    // Changed behind the context's back: a save of another row must not overwrite it.
    executeOn(store.path, "UPDATE Card SET weight = 9 WHERE title = 'b'");
    a->setValue(QStringLiteral("title"), QStringLiteral("a2"));
    ASSERT_TRUE(context.save());
    EXPECT_EQ(queryOn(store.path, "SELECT weight FROM Card WHERE title = 'b'"), QStringLiteral("9.0"));

    context.deleteObject(a);
    ASSERT_TRUE(context.save());
    EXPECT_TRUE(a->isDeleted()) << "the tombstone outlives the save";
    EXPECT_EQ(a->stringValue(QStringLiteral("title")), QStringLiteral("a2"));
    EXPECT_EQ(queryOn(store.path, "SELECT count(*) FROM Card"), QStringLiteral("1"));
    EXPECT_EQ(queryOn(store.path, "SELECT count(*) FROM Card_labels"), QStringLiteral("1"));
    ManagedObjectContext& reopened = store.reopen();
    EXPECT_EQ(byTitle(reopened, "Label", QStringLiteral("red"))->objects(QStringLiteral("cards")).size(), 1);
}

TEST(PersistentStoreCoordinator, MetadataIsReadWithoutLoadingAndGuardsTheModel)
{
    Store store;
    store.context.reset();
    const std::optional<QVariantMap> metadata = PersistentStoreCoordinator::metadata(store.path);
    ASSERT_TRUE(metadata);
    EXPECT_EQ(metadata->value(PersistentStoreCoordinator::VersionNameKey).toString(), QStringLiteral("Graph"));
    EXPECT_TRUE(store.model->isCompatibleWithStoreMetadata(*metadata));
    EXPECT_EQ(metadata->value(PersistentStoreCoordinator::StoreUUIDKey).toString().size(), 36);

    EXPECT_FALSE(PersistentStoreCoordinator::metadata(store.folder.filePath(QStringLiteral("missing"))));
    QFile garbage(store.folder.filePath(QStringLiteral("garbage")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    EXPECT_FALSE(PersistentStoreCoordinator::metadata(garbage.fileName()));
    PersistentStoreCoordinator garbageCoordinator(store.model);
    QString error;
    EXPECT_FALSE(garbageCoordinator.addPersistentStore(garbage.fileName(), &error));
    EXPECT_FALSE(error.isEmpty());

    auto other = ManagedObjectModel::fromJson(
        R"({"entities": [{"name": "Card", "attributes": [{"name": "title", "type": "string"}]}]})",
        QStringLiteral("Other"));
    ASSERT_TRUE(other);
    PersistentStoreCoordinator otherCoordinator(other);
    EXPECT_FALSE(otherCoordinator.addPersistentStore(store.path, &error));
    EXPECT_TRUE(error.contains(QLatin1String("Graph"))) << error.toStdString();
}

TEST(PersistentStoreCoordinator, ReadingMetadataLeavesNothingBesideTheStore)
{
    Store store;
    insert(*store.context, "Card", QStringLiteral("a"));
    ASSERT_TRUE(store.context->save());
    store.context.reset();
    const auto companions = [&] {
        QStringList found;
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            if (QFileInfo::exists(store.path + QLatin1String(suffix)))
                found.append(QLatin1String(suffix));
        return found;
    };
    ASSERT_EQ(companions(), QStringList());
    EXPECT_TRUE(PersistentStoreCoordinator::metadata(store.path));
    EXPECT_EQ(companions(), QStringList()) << "a store only inspected is left as it was";
    const QString oddName = store.folder.filePath(QStringLiteral("my store #2 100%?.storedata"));
    ASSERT_TRUE(QFile::copy(store.path, oddName));
    EXPECT_TRUE(PersistentStoreCoordinator::metadata(oddName)) << "any file name reads";

    // A store open for writing is read through its log, and its writer carries on.
    store.reopen();
    insert(*store.context, "Card", QStringLiteral("b"));
    ASSERT_TRUE(store.context->save());
    EXPECT_TRUE(PersistentStoreCoordinator::metadata(store.path));
    insert(*store.context, "Card", QStringLiteral("c"));
    EXPECT_TRUE(store.context->save());
    EXPECT_EQ(names(store.reopen().fetch(FetchRequest(QStringLiteral("Card")))).size(), 3);
}

TEST(PersistentStoreCoordinator, DestroyReplaceAndFoldWorkOnWholeStores)
{
    Store source;
    insert(*source.context, "Card", QStringLiteral("from source"));
    ASSERT_TRUE(source.context->save());
    Store target;
    insert(*target.context, "Card", QStringLiteral("from target"));
    ASSERT_TRUE(target.context->save());
    target.context.reset();
    EXPECT_TRUE(QFile::exists(source.path + "-wal")) << "the source is still open with its log";

    QString error;
    ASSERT_TRUE(PersistentStoreCoordinator::replaceStore(target.path, source.path, &error)) << error.toStdString();
    ManagedObjectContext& replaced = target.reopen();
    EXPECT_TRUE(byTitle(replaced, "Card", QStringLiteral("from source")));
    EXPECT_FALSE(byTitle(replaced, "Card", QStringLiteral("from target")));
    target.context.reset();

    source.context.reset();
    ASSERT_TRUE(PersistentStoreCoordinator::foldWriteAheadLog(source.path, &error)) << error.toStdString();
    EXPECT_FALSE(QFile::exists(source.path + "-wal"));
    EXPECT_EQ(queryOn(source.path, "PRAGMA journal_mode"), QStringLiteral("delete"));
    EXPECT_EQ(queryOn(source.path, "SELECT title FROM Card"), QStringLiteral("from source"));

    source.reopen();
    source.context.reset();
    QFile(source.path + "-journal").open(QIODevice::WriteOnly);
    ASSERT_TRUE(PersistentStoreCoordinator::destroyStore(source.path, &error)) << error.toStdString();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        EXPECT_FALSE(QFile::exists(source.path + suffix)) << suffix;
    EXPECT_TRUE(PersistentStoreCoordinator::destroyStore(source.path)) << "nothing left to destroy is fine";
    EXPECT_FALSE(PersistentStoreCoordinator::foldWriteAheadLog(source.path));
}

// Sort keys given in a save that fails are not taken for stored ones: the next save writes them.
TEST(PersistentStoreCoordinator, AFailedSaveLeavesTheSortKeysToTheNextSave)
{
    Store store;
    ManagedObjectContext& context = *store.context;
    ManagedObject* column = insert(context, "Column", QStringLiteral("c"));
    for (const QString& title : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")})
        column->addObject(QStringLiteral("cards"), insert(context, "Card", title));
    ASSERT_TRUE(context.save());
    executeOn(store.path,
        "CREATE TRIGGER refuse BEFORE INSERT ON Card WHEN NEW.title = 'refused' BEGIN SELECT RAISE(ABORT, 'no'); END");

    // "c" only moves to the front; the new card fails the save.
    QList<ManagedObject*> cards = column->objects(QStringLiteral("cards"));
    OrderedSet::moveIndexes(cards, {2}, 0);
    column->setObjects(QStringLiteral("cards"), cards);
    ManagedObject* refused = insert(context, "Card", QStringLiteral("refused"));
    EXPECT_FALSE(context.save());
    refused->setValue(QStringLiteral("title"), QStringLiteral("d"));
    ASSERT_TRUE(context.save());
    ManagedObjectContext& reopened = store.reopen();
    EXPECT_EQ(names(byTitle(reopened, "Column", QStringLiteral("c"))->objects(QStringLiteral("cards"))),
        QStringList({"c", "a", "b"}));
}

TEST(PersistentStoreCoordinator, FullDiskFailsTheSaveAndKeepsTheChanges)
{
    Store store;
    ManagedObjectContext& context = *store.context;
    ManagedObject* column = insert(context, "Column", QStringLiteral("c"));
    ASSERT_TRUE(context.save());
    for (int i = 0; i < 300; ++i)
        column->addObject(QStringLiteral("cards"), insert(context, "Card", QString(200, QChar('a' + i % 26))));

    // Files may not grow beyond their present size: writing the log fails as on a full disk.
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous {};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit tight = previous;
    tight.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &tight);
    QString error;
    const bool saved = context.save(&error);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(column->objects(QStringLiteral("cards")).size(), 300);
    EXPECT_EQ(context.insertedObjects().size(), 300);
    ASSERT_TRUE(context.save(&error)) << error.toStdString();
    EXPECT_EQ(store.reopen().count(FetchRequest(QStringLiteral("Card"))), 300);
}

TEST(PersistentStoreCoordinator, ReadOnlyStoreFailsTheSaveAndKeepsTheChanges)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    Store store;
    store.context.reset();
    QFile::setPermissions(store.path, QFile::ReadOwner);
    ManagedObjectContext& context = store.reopen();
    ManagedObject* card = insert(context, "Card", QStringLiteral("a"));
    QString error;
    EXPECT_FALSE(context.save(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(card->isInserted());
    QFile::setPermissions(store.path, QFile::ReadOwner | QFile::WriteOwner);
}

TEST(PersistentStoreCoordinator, UrisOfDeletedObjectsAreNeverHandedOutAgain)
{
    Store store;
    insert(*store.context, "Card", QStringLiteral("a"));
    ManagedObject* last = insert(*store.context, "Card", QStringLiteral("b"));
    const QUrl lastURI = last->objectIDURI();
    ASSERT_TRUE(store.context->save());
    store.context->deleteObject(last);
    ASSERT_TRUE(store.context->save());

    ManagedObjectContext& reopened = store.reopen();
    EXPECT_EQ(reopened.objectForURI(lastURI), nullptr);
    ManagedObject* fresh = insert(reopened, "Card", QStringLiteral("c"));
    EXPECT_NE(fresh->objectIDURI(), lastURI);
    ASSERT_TRUE(reopened.save());
    EXPECT_EQ(store.reopen().objectForURI(lastURI), nullptr);
}

TEST(PersistentStoreCoordinator, RefusesSiblingsThatWouldShareAColumnWithTwoTypes)
{
    // Folder and Board rows share one table; a "title" that is text in one and a number in
    // the other would have its values converted by the column's type.
    auto model = ManagedObjectModel::fromJson(R"({"entities": [
        {"name": "Item"},
        {"name": "Folder", "parent": "Item", "attributes": [{"name": "title", "type": "string"}]},
        {"name": "Board", "parent": "Item", "attributes": [{"name": "title", "type": "double"}]}]})",
        QStringLiteral("Clash"));
    ASSERT_TRUE(model);
    QTemporaryDir folder;
    PersistentStoreCoordinator coordinator(model);
    QString error;
    EXPECT_FALSE(coordinator.addPersistentStore(folder.filePath(QStringLiteral("clash")), &error));
    EXPECT_TRUE(error.contains(QLatin1String("title"))) << error.toStdString();
}
