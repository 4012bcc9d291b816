#include "ObjectGraphFixture.h"
#include "support/GraphDump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace ObjectGraphFixture;
using GraphDump::dump;

namespace {

const QStringList deferred {QStringLiteral("Card"), QStringLiteral("Entry")};

int rowCount(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    int count = -1;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
            count = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return count;
}

// A store of `model` at `path`, opened with those entities deferred.
std::unique_ptr<ManagedObjectContext> openStore(
    const std::shared_ptr<const ManagedObjectModel>& model, const QString& path, const QStringList& deferredEntities)
{
    auto coordinator = std::make_shared<PersistentStoreCoordinator>(model);
    EXPECT_TRUE(coordinator->addPersistentStore(path));
    auto context = std::make_unique<ManagedObjectContext>(model);
    EXPECT_TRUE(context->loadPersistentStore(coordinator, deferredEntities));
    return context;
}

// Two boards of two columns with cards in an order that differs from their keys, labels shared
// across the boards, pictures and history, saved; then opened with cards and entries deferred.
class ProgressiveLoad : public ::testing::Test
{
protected:
    Store store;
    std::unique_ptr<ManagedObjectContext> context;

    void SetUp() override
    {
        ManagedObjectContext& writer = *store.context;
        ManagedObject* root = writer.insertNewObject(QStringLiteral("Folder"));
        ManagedObject* shared = writer.insertNewObject(QStringLiteral("Label"));
        shared->setValue(QStringLiteral("name"), QStringLiteral("shared"));
        ManagedObject* picture = writer.insertNewObject(QStringLiteral("Picture"));
        picture->setValue(QStringLiteral("folder"), QStringLiteral("P"));
        for (const QString& name : {QStringLiteral("A"), QStringLiteral("B")}) {
            ManagedObject* board = writer.insertNewObject(QStringLiteral("Board"));
            board->setValue(QStringLiteral("name"), name);
            board->setObject(QStringLiteral("parent"), root);
            ManagedObject* label = writer.insertNewObject(QStringLiteral("Label"));
            label->setValue(QStringLiteral("name"), name + QStringLiteral("-label"));
            label->setObject(QStringLiteral("board"), board);
            for (int c = 0; c < 2; ++c) {
                ManagedObject* column = writer.insertNewObject(QStringLiteral("Column"));
                column->setValue(QStringLiteral("title"), QStringLiteral("%1%2").arg(name).arg(c));
                board->addObject(QStringLiteral("columns"), column);
                for (int i = 0; i < 5; ++i) {
                    ManagedObject* card = writer.insertNewObject(QStringLiteral("Card"));
                    card->setValue(QStringLiteral("title"), QStringLiteral("%1%2-%3").arg(name).arg(c).arg(i));
                    // Each card goes first, so the stored order runs against the keys.
                    column->insertObject(QStringLiteral("cards"), card, 0);
                    card->setObjects(QStringLiteral("labels"), i % 2 ? QList<ManagedObject*> {label, shared}
                                                                      : QList<ManagedObject*> {shared});
                    if (i == 0)
                        card->addObject(QStringLiteral("pictures"), picture);
                    for (int e = 0; e < 2; ++e) {
                        ManagedObject* entry = writer.insertNewObject(QStringLiteral("Entry"));
                        entry->setValue(QStringLiteral("action"), e);
                        entry->setValue(QStringLiteral("date"), QDateTime::fromSecsSinceEpoch(1'700'000'000 + e, Qt::UTC));
                        card->insertObject(QStringLiteral("history"), entry, 0);
                    }
                }
            }
        }
        QString error;
        ASSERT_TRUE(writer.save(&error)) << error.toStdString();
        whole = dump(writer);
        store.context.reset();
        context = open(deferred);
    }

    std::unique_ptr<ManagedObjectContext> open(const QStringList& deferredEntities)
    {
        auto coordinator = std::make_shared<PersistentStoreCoordinator>(store.model);
        QString error;
        EXPECT_TRUE(coordinator->addPersistentStore(store.path, &error)) << error.toStdString();
        auto opened = std::make_unique<ManagedObjectContext>(store.model);
        registerClasses(*opened);
        EXPECT_TRUE(opened->loadPersistentStore(coordinator, deferredEntities, &error)) << error.toStdString();
        return opened;
    }

    ManagedObject* board(const QString& name)
    {
        for (ManagedObject* board : context->fetch(FetchRequest(QStringLiteral("Board"))))
            if (board->stringValue(QStringLiteral("name")) == name)
                return board;
        return nullptr;
    }

    // The board's columns, without reading their cards.
    QList<ManagedObject*> columnsOf(const QString& name) { return board(name)->objects(QStringLiteral("columns")); }

    void loadBoard(const QString& name)
    {
        QString error;
        context->loadObjects(QStringLiteral("Card"), QStringLiteral("column"), columnsOf(name), &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    int objectsHeld(const QString& entity)
    {
        // Counted without a fetch, which would read the rest.
        int count = 0;
        for (const ManagedObject* object : columnsOf(QStringLiteral("A")) + columnsOf(QStringLiteral("B")))
            if (!context->isPending(object, QStringLiteral("cards")))
                count += int(object->objects(QStringLiteral("cards")).size());
        return entity == QLatin1String("Card") ? count : -1;
    }

    void waitForBackground(const QString& entity)
    {
        QElapsedTimer timer;
        timer.start();
        while (!context->isFullyLoaded(entity) && timer.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_TRUE(context->isFullyLoaded(entity));
    }

    QStringList whole;
};

} // namespace

TEST_F(ProgressiveLoad, ReadsOnlyTheTablesNotDeferredAtFirst)
{
    EXPECT_FALSE(context->isFullyLoaded(QStringLiteral("Card")));
    EXPECT_FALSE(context->isFullyLoaded(QStringLiteral("Entry")));
    EXPECT_TRUE(context->isFullyLoaded(QStringLiteral("Label")));
    for (ManagedObject* column : columnsOf(QStringLiteral("A")))
        EXPECT_TRUE(context->isPending(column, QStringLiteral("cards")));
    EXPECT_EQ(objectsHeld(QStringLiteral("Card")), 0);
}

TEST_F(ProgressiveLoad, OneBoardFirstThenTheRestGiveTheGraphOfAWholeLoad)
{
    loadBoard(QStringLiteral("A"));
    EXPECT_EQ(objectsHeld(QStringLiteral("Card")), 10);
    EXPECT_TRUE(context->isPending(columnsOf(QStringLiteral("B")).first(), QStringLiteral("cards")));
    context->loadAllObjectsInBackground(QStringLiteral("Card"));
    waitForBackground(QStringLiteral("Card"));
    EXPECT_TRUE(context->loadAllObjects(QStringLiteral("Entry")));
    EXPECT_EQ(dump(*context), whole);
}

TEST_F(ProgressiveLoad, WhatReadsAPendingRelationshipGetsAllOfIt)
{
    // Through a relationship, a fetch, a link by URI, and in the background: each way to the
    // cards ends with the same graph.
    ManagedObject* column = columnsOf(QStringLiteral("B")).first();
    EXPECT_EQ(names(column->objects(QStringLiteral("cards"))),
        QStringList({"B0-4", "B0-3", "B0-2", "B0-1", "B0-0"}));
    EXPECT_FALSE(context->isPending(column, QStringLiteral("cards")));

    ManagedObject* card = column->objects(QStringLiteral("cards")).first();
    EXPECT_EQ(card->objects(QStringLiteral("history")).size(), 2);
    EXPECT_FALSE(context->isFullyLoaded(QStringLiteral("Entry")));

    auto other = open(deferred);
    const QUrl uri = card->objectIDURI();
    ManagedObject* linked = other->objectForURI(uri);
    ASSERT_TRUE(linked);
    EXPECT_EQ(linked->stringValue(QStringLiteral("title")), QStringLiteral("B0-4"));
    EXPECT_TRUE(other->isFullyLoaded(QStringLiteral("Card")));

    auto fetched = open(deferred);
    EXPECT_EQ(fetched->count(FetchRequest(QStringLiteral("Card"))), 20);
    EXPECT_EQ(fetched->count(FetchRequest(QStringLiteral("Entry"))), 40);
    EXPECT_EQ(dump(*fetched), whole);

    // A label's cards come from both boards: reading them reads every card.
    auto labels = open(deferred);
    ManagedObject* shared = labels->fetch(FetchRequest(QStringLiteral("Label"), [](const ManagedObject* o) {
        return o->stringValue(QStringLiteral("name")) == QLatin1String("shared");
    })).value(0);
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->objects(QStringLiteral("cards")).size(), 20);
    EXPECT_TRUE(labels->isFullyLoaded(QStringLiteral("Card")));
}

TEST_F(ProgressiveLoad, APendingLoaderMayReadMoreThanOneObjectsMembers)
{
    int calls = 0;
    context->setPendingLoader([&](ManagedObject* object, const RelationshipDescription& relationship) {
        ++calls;
        if (relationship.name == QLatin1String("cards") && object->entity()->name() == QLatin1String("Column"))
            loadBoard(object->object(QStringLiteral("board"))->stringValue(QStringLiteral("name")));
    });
    columnsOf(QStringLiteral("A")).first()->objects(QStringLiteral("cards"));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(context->isPending(columnsOf(QStringLiteral("A")).last(), QStringLiteral("cards")));
    EXPECT_TRUE(context->isPending(columnsOf(QStringLiteral("B")).first(), QStringLiteral("cards")));
}

TEST_F(ProgressiveLoad, ChangesMadeWhileTheRestIsReadAreKeptOnceAndNothingIsLost)
{
    loadBoard(QStringLiteral("A"));
    context->loadAllObjectsInBackground(QStringLiteral("Card"));
    // The thread reads the rows as they are now; they are taken in only after these changes.
    QThread::msleep(300);

    QList<ManagedObject*> columns = columnsOf(QStringLiteral("A"));
    ManagedObject* moved = columns.first()->objects(QStringLiteral("cards")).first();
    columns.last()->insertObject(QStringLiteral("cards"), moved, 1);
    ManagedObject* added = context->insertNewObject(QStringLiteral("Card"));
    added->setValue(QStringLiteral("title"), QStringLiteral("new"));
    columns.first()->insertObject(QStringLiteral("cards"), added, 0);
    // A label carried by cards of the board not read yet, deleted before they come in.
    ManagedObject* labelOfB = context->fetch(FetchRequest(QStringLiteral("Label"), [](const ManagedObject* o) {
        return o->stringValue(QStringLiteral("name")) == QLatin1String("B-label");
    })).value(0);
    ASSERT_TRUE(labelOfB);
    context->deleteObject(labelOfB);
    QString error;
    ASSERT_TRUE(context->save(&error)) << error.toStdString();
    EXPECT_FALSE(context->isFullyLoaded(QStringLiteral("Card")));

    waitForBackground(QStringLiteral("Card"));
    EXPECT_EQ(context->count(FetchRequest(QStringLiteral("Card"))), 21);
    for (ManagedObject* card : context->fetch(FetchRequest(QStringLiteral("Card"))))
        for (const ManagedObject* label : card->objects(QStringLiteral("labels")))
            EXPECT_FALSE(label->isDeleted()) << card->stringValue(QStringLiteral("title")).toStdString();
    ASSERT_TRUE(context->save(&error)) << error.toStdString();
    const QStringList afterChanges = dump(*context);

    context = open({});
    EXPECT_EQ(dump(*context), afterChanges);
    EXPECT_EQ(names(columnsOf(QStringLiteral("A")).last()->objects(QStringLiteral("cards"))),
        QStringList({"A1-4", "A0-4", "A1-3", "A1-2", "A1-1", "A1-0"}));
    EXPECT_EQ(rowCount(store.path, "SELECT count(*) FROM Card WHERE title = 'new'"), 1);
    EXPECT_EQ(rowCount(store.path, "SELECT count(*) FROM Card_labels WHERE Z_MEMBER NOT IN (SELECT Z_PK FROM Node)"), 0);
}

TEST_F(ProgressiveLoad, DeletingReachesEveryMemberItCascadesTo)
{
    context->deleteObject(board(QStringLiteral("B")));
    QString error;
    ASSERT_TRUE(context->save(&error)) << error.toStdString();
    EXPECT_EQ(rowCount(store.path, "SELECT count(*) FROM Card"), 10);
    EXPECT_EQ(rowCount(store.path, "SELECT count(*) FROM Entry"), 20);
    EXPECT_EQ(rowCount(store.path, "SELECT count(*) FROM Card_labels WHERE Z_OWNER NOT IN (SELECT Z_PK FROM Card)"), 0);
}

TEST_F(ProgressiveLoad, AManyToManyTakesMembersInAndOutBeforeTheRestIsRead)
{
    loadBoard(QStringLiteral("A"));
    ManagedObject* picture = context->fetch(FetchRequest(QStringLiteral("Picture"))).value(0);
    ASSERT_TRUE(picture);
    ASSERT_TRUE(context->isPending(picture, QStringLiteral("cards")));
    // One card of A leaves the picture, another joins it; B's cards keep it.
    QList<ManagedObject*> cards = columnsOf(QStringLiteral("A")).first()->objects(QStringLiteral("cards"));
    ManagedObject* leaving = cards.last();
    ASSERT_EQ(leaving->objects(QStringLiteral("pictures")).size(), 1);
    leaving->setObjects(QStringLiteral("pictures"), {});
    cards.first()->addObject(QStringLiteral("pictures"), picture);
    EXPECT_TRUE(context->isPending(picture, QStringLiteral("cards")));
    EXPECT_FALSE(context->isFullyLoaded(QStringLiteral("Card")));
    QString error;
    ASSERT_TRUE(context->save(&error)) << error.toStdString();

    context = open({});
    picture = context->fetch(FetchRequest(QStringLiteral("Picture"))).value(0);
    EXPECT_EQ(names(picture->objects(QStringLiteral("cards"))).size(), 4);
    QStringList titles = names(picture->objects(QStringLiteral("cards")));
    titles.sort();
    EXPECT_EQ(titles, QStringList({"A0-4", "A1-0", "B0-0", "B1-0"}));
}

TEST_F(ProgressiveLoad, ABarrierTakesWhatTheThreadReadAndWaitsForTheRest)
{
    context->loadAllObjectsInBackground(QStringLiteral("Card"));
    QList<std::pair<qint64, qint64>> steps;
    EXPECT_TRUE(context->loadAllObjects(QStringLiteral("Card"), [&](qint64 done, qint64 total) {
        steps.append({done, total});
    }));
    EXPECT_TRUE(context->isFullyLoaded(QStringLiteral("Card")));
    ASSERT_FALSE(steps.isEmpty());
    EXPECT_EQ(steps.last().first, steps.last().second);
    EXPECT_TRUE(context->loadAllObjects(QStringLiteral("Entry")));
    EXPECT_EQ(dump(*context), whole);
}

TEST_F(ProgressiveLoad, CountsRowsOnTheThreadWithoutMakingObjects)
{
    CountRequest request;
    request.entityName = QStringLiteral("Card");
    request.groupBy = {QStringLiteral("column")};
    request.excludingTrue = QStringLiteral("done");
    std::vector<CountRow> counts;
    bool done = false;
    context->countInBackground(request, [&](const std::vector<CountRow>& rows) {
        counts = rows;
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(counts.size(), 4u);
    QStringList columns;
    for (const CountRow& row : counts) {
        EXPECT_EQ(row.count, 5);
        ASSERT_EQ(row.destinations.size(), 1);
        columns << row.destinations.first()->stringValue(QStringLiteral("title"));
    }
    columns.sort();
    EXPECT_EQ(columns, QStringList({"A0", "A1", "B0", "B1"}));
    EXPECT_EQ(objectsHeld(QStringLiteral("Card")), 0);
}

TEST_F(ProgressiveLoad, RefusesToDeferWhatItCannotReadLater)
{
    auto coordinator = std::make_shared<PersistentStoreCoordinator>(store.model);
    ASSERT_TRUE(coordinator->addPersistentStore(store.path));
    // Not root entities, an unknown one, and the owners of labels' ordered pairs.
    for (const QStringList& wrong : {QStringList {QStringLiteral("Board")}, QStringList {QStringLiteral("Label")},
             QStringList {QStringLiteral("Nothing")}, QStringList {QStringLiteral("Node")}}) {
        ManagedObjectContext refused(store.model);
        QString error;
        EXPECT_FALSE(refused.loadPersistentStore(coordinator, wrong, &error)) << wrong.join(',').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(StoreIndexes, AStoreWrittenWithoutThemGetsItsKeyIndexesWhenOpened)
{
    Store store;
    store.context.reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(store.path).constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "DROP INDEX \"Card_column_INDEX\"", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_EQ(rowCount(store.path, "SELECT count(*) FROM sqlite_master WHERE name = 'Card_column_INDEX'"), 0);
    store.reopen();
    EXPECT_EQ(rowCount(store.path, "SELECT count(*) FROM sqlite_master WHERE name = 'Card_column_INDEX'"), 1);
    EXPECT_EQ(rowCount(store.path, "SELECT count(*) FROM sqlite_master WHERE name = 'Entry_card_INDEX'"), 1);
}

TEST(ProgressiveLoadPairs, AnOwnerWithUnreadMembersSavesOnlyThePairsOfThoseItHolds)
{
    // Albums own the pairs and photos are read later, shelf by shelf: as the program's picture
    // records and its cards, board by board.
    const auto model = ManagedObjectModel::fromJson(R"({"entities": [
        {"name": "Album", "relationships": [{"name": "photos", "destination": "Photo", "toMany": true, "inverse": "albums"}]},
        {"name": "Shelf", "relationships": [{"name": "photos", "destination": "Photo", "toMany": true, "inverse": "shelf"}]},
        {"name": "Photo", "attributes": [{"name": "name", "type": "string"}],
         "relationships": [{"name": "albums", "destination": "Album", "toMany": true, "inverse": "photos"},
                           {"name": "shelf", "destination": "Shelf", "inverse": "photos"}]}]})",
        QStringLiteral("V"));
    ASSERT_TRUE(model);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("pairs.storedata"));
    const auto open = [&](const QStringList& deferredEntities) { return openStore(model, path, deferredEntities); };
    {
        auto context = open({});
        ManagedObject* album = context->insertNewObject(QStringLiteral("Album"));
        for (const QString& name : {QStringLiteral("leaving"), QStringLiteral("kept")}) {
            ManagedObject* photo = context->insertNewObject(QStringLiteral("Photo"));
            photo->setValue(QStringLiteral("name"), name);
            photo->setObject(QStringLiteral("shelf"), context->insertNewObject(QStringLiteral("Shelf")));
            album->addObject(QStringLiteral("photos"), photo);
        }
        ASSERT_TRUE(context->save());
    }
    {
        auto context = open({QStringLiteral("Photo")});
        ManagedObject* album = context->fetch(FetchRequest(QStringLiteral("Album"))).value(0);
        const QList<ManagedObject*> shelves = context->fetch(FetchRequest(QStringLiteral("Shelf")));
        ASSERT_EQ(shelves.size(), 2);
        ManagedObject* leaving
            = context->loadObjects(QStringLiteral("Photo"), QStringLiteral("shelf"), {shelves.first()}).value(0);
        ASSERT_TRUE(leaving);
        leaving->removeObject(QStringLiteral("albums"), album);
        ManagedObject* added = context->insertNewObject(QStringLiteral("Photo"));
        added->setValue(QStringLiteral("name"), QStringLiteral("added"));
        added->addObject(QStringLiteral("albums"), album);
        ASSERT_TRUE(context->isPending(album, QStringLiteral("photos")));
        QString error;
        ASSERT_TRUE(context->save(&error)) << error.toStdString();
        EXPECT_FALSE(context->isFullyLoaded(QStringLiteral("Photo")));
    }
    auto context = open({});
    ManagedObject* album = context->fetch(FetchRequest(QStringLiteral("Album"))).value(0);
    QStringList photos = names(album->objects(QStringLiteral("photos")), QStringLiteral("name"));
    photos.sort();
    EXPECT_EQ(photos, QStringList({"added", "kept"}));
}

TEST(ProgressiveLoadPairs, RowsReadInRunsOrScatteredComeWithExactlyTheirPairs)
{
    // Photos made round the three shelves in turn: one shelf's keys lie far apart, two shelves'
    // keys run together with the third's between them. Albums own their pairs; photos own their
    // pairs with tags.
    const auto model = ManagedObjectModel::fromJson(R"({"entities": [
        {"name": "Album", "attributes": [{"name": "name", "type": "string"}],
         "relationships": [{"name": "photos", "destination": "Photo", "toMany": true, "inverse": "albums"}]},
        {"name": "Tag", "attributes": [{"name": "name", "type": "string"}],
         "relationships": [{"name": "photos", "destination": "Photo", "toMany": true, "inverse": "tags"}]},
        {"name": "Shelf", "relationships": [{"name": "photos", "destination": "Photo", "toMany": true, "inverse": "shelf"}]},
        {"name": "Photo", "attributes": [{"name": "name", "type": "string"}],
         "relationships": [{"name": "albums", "destination": "Album", "toMany": true, "inverse": "photos"},
                           {"name": "tags", "destination": "Tag", "toMany": true, "inverse": "photos", "ordered": true},
                           {"name": "shelf", "destination": "Shelf", "inverse": "photos"}]}]})",
        QStringLiteral("V"));
    ASSERT_TRUE(model);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("runs.storedata"));
    const auto open = [&](const QStringList& deferredEntities) { return openStore(model, path, deferredEntities); };
    // What each photo belongs to, as "photo: albums | tags".
    const auto memberships = [](const QList<ManagedObject*>& photos) {
        QStringList lines;
        for (ManagedObject* photo : photos) {
            QStringList albums = names(photo->objects(QStringLiteral("albums")), QStringLiteral("name"));
            albums.sort();
            lines << photo->stringValue(QStringLiteral("name")) + QStringLiteral(": ") + albums.join(',')
                    + QStringLiteral(" | ") + names(photo->objects(QStringLiteral("tags")), QStringLiteral("name")).join(',');
        }
        lines.sort();
        return lines;
    };
    QStringList expected;
    {
        auto context = open({});
        QList<ManagedObject*> shelves, albums, tags;
        for (int i = 0; i < 3; ++i) {
            shelves << context->insertNewObject(QStringLiteral("Shelf"));
            albums << context->insertNewObject(QStringLiteral("Album"));
            albums.last()->setValue(QStringLiteral("name"), QStringLiteral("album%1").arg(i));
            tags << context->insertNewObject(QStringLiteral("Tag"));
            tags.last()->setValue(QStringLiteral("name"), QStringLiteral("tag%1").arg(i));
        }
        for (int p = 0; p < 12; ++p) {
            ManagedObject* photo = context->insertNewObject(QStringLiteral("Photo"));
            photo->setValue(QStringLiteral("name"), QStringLiteral("photo%1").arg(p, 2, 10, QLatin1Char('0')));
            photo->setObject(QStringLiteral("shelf"), shelves.at(p % 3));
            albums.at(p % 2)->addObject(QStringLiteral("photos"), photo);
            if (p % 4 == 0)
                albums.at(2)->addObject(QStringLiteral("photos"), photo);
            photo->setObjects(QStringLiteral("tags"), p % 2 ? QList<ManagedObject*> {tags.at(2), tags.at(p % 3)}
                                                            : QList<ManagedObject*> {tags.at(p % 3)});
        }
        ASSERT_TRUE(context->save());
        expected = memberships(context->fetch(FetchRequest(QStringLiteral("Photo"))));
    }
    auto context = open({QStringLiteral("Photo")});
    const QList<ManagedObject*> shelves = context->fetch(FetchRequest(QStringLiteral("Shelf")));
    ASSERT_EQ(shelves.size(), 3);
    QString error;
    const QList<ManagedObject*> scattered
        = context->loadObjects(QStringLiteral("Photo"), QStringLiteral("shelf"), {shelves.at(0)}, &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(memberships(scattered), expected.filter(QRegularExpression("photo(00|03|06|09)")));
    // The first shelf's photos lie among the others' keys: their pairs come again and must not
    // count twice.
    const QList<ManagedObject*> running
        = context->loadObjects(QStringLiteral("Photo"), QStringLiteral("shelf"), {shelves.at(1), shelves.at(2)}, &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(running.size(), 8);
    EXPECT_EQ(memberships(scattered + running), expected);
}
