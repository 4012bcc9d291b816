#include "ObjectGraphFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace ObjectGraphFixture;

namespace {

// Set in the environment of the child process: the store it saves into, and whether it reads
// the cards in the background meanwhile, as the program does at start.
constexpr const char* ChildStoreVariable = "PELORINS_STORE_CRASH_CHILD";
constexpr const char* ChildLoadsVariable = "PELORINS_STORE_CRASH_CHILD_LOADS";
constexpr int ColumnCount = 4;
constexpr int Kills = 20;
// Cards of a column the child never touches, read in the background while it saves.
constexpr int BulkCards = 20000;
const QString bulkTitle = QStringLiteral("bulk");

std::shared_ptr<ManagedObjectContext> openStore(
    const QString& path, const std::shared_ptr<const ManagedObjectModel>& model, const QStringList& deferred = {})
{
    auto coordinator = std::make_shared<PersistentStoreCoordinator>(model);
    QString error;
    if (!coordinator->addPersistentStore(path, &error)) {
        ADD_FAILURE() << error.toStdString();
        return nullptr;
    }
    auto context = std::make_shared<ManagedObjectContext>(model);
    if (!context->loadPersistentStore(coordinator, deferred, &error)) {
        ADD_FAILURE() << error.toStdString();
        return nullptr;
    }
    return context;
}

QStringList queryRows(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    QStringList rows;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return {QStringLiteral("cannot open")};
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        rows.append(QString::fromUtf8(sqlite3_errmsg(db)));
    while (statement && sqlite3_step(statement) == SQLITE_ROW)
        rows.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

} // namespace

// The child's part: saves graph edits in a loop and reports each committed save on stdout,
// until the parent kills it.
TEST(StoreCrash, ChildSavingInALoop)
{
    const QString path = qEnvironmentVariable(ChildStoreVariable);
    if (path.isEmpty())
        GTEST_SKIP() << "runs only as the child process of the KilledWhile… tests";
    const bool loads = qEnvironmentVariableIsSet(ChildLoadsVariable);
    std::shared_ptr<ManagedObjectContext> context
        = openStore(path, graphModel(), loads ? QStringList {"Card", "Entry"} : QStringList {});
    ASSERT_TRUE(context);
    if (loads)
        context->loadAllObjectsInBackground(QStringLiteral("Card"));
    QList<ManagedObject*> columns = context->fetch(FetchRequest(QStringLiteral("Column"), [](const ManagedObject* c) {
        return c->stringValue(QStringLiteral("title")) != bulkTitle;
    }));
    ASSERT_EQ(columns.size(), ColumnCount);
    ManagedObject* label = context->fetch(FetchRequest(QStringLiteral("Label"))).value(0);
    ASSERT_TRUE(label);
    qint64 sequence = 0;
    for (const ManagedObject* column : columns)
        for (const ManagedObject* card : column->objects(QStringLiteral("cards")))
            sequence = std::max(sequence, card->integerValue(QStringLiteral("big")) + 1);

    QRandomGenerator random(quint32(QCoreApplication::applicationPid()));
    for (;;) {
        // The rows read in the background are taken in between the saves.
        if (loads)
            QCoreApplication::processEvents();
        ManagedObject* column = columns.at(random.bounded(ColumnCount));
        ManagedObject* card = context->insertNewObject(QStringLiteral("Card"));
        card->setValue(QStringLiteral("big"), sequence);
        card->setValue(QStringLiteral("notes"), QByteArray(int(random.bounded(4000)), 'n'));
        card->addObject(QStringLiteral("labels"), label);
        column->insertObject(QStringLiteral("cards"), card,
            int(random.bounded(int(column->objects(QStringLiteral("cards")).size()) + 1)));
        // Move a few cards around, across columns too, so that saves rewrite sort keys.
        for (int move = 0; move < 3; ++move) {
            const QList<ManagedObject*>& from
                = columns.at(random.bounded(ColumnCount))->objects(QStringLiteral("cards"));
            if (from.isEmpty())
                continue;
            ManagedObject* moved = from.at(random.bounded(int(from.size())));
            ManagedObject* to = columns.at(random.bounded(ColumnCount));
            QList<ManagedObject*> members = to->objects(QStringLiteral("cards"));
            members.removeOne(moved);
            members.insert(random.bounded(int(members.size()) + 1), moved);
            to->setObjects(QStringLiteral("cards"), members);
        }
        QString error;
        ASSERT_TRUE(context->save(&error)) << error.toStdString();
        std::printf("committed %lld %s\n", static_cast<long long>(sequence),
            context->isFullyLoaded(QStringLiteral("Card")) ? "loaded" : "loading");
        std::fflush(stdout);
        ++sequence;
    }
}

namespace {

// Kills a child saving in a loop over and over, and checks after each kill that the store holds
// every save the child reported; `loading` has the child read its cards in the background
// meanwhile, from a store with a column of cards it never touches.
void killWhileSaving(bool loading)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("crash.storedata"));
    const auto model = graphModel();
    {
        std::shared_ptr<ManagedObjectContext> context = openStore(path, model);
        ASSERT_TRUE(context);
        for (int i = 0; i < ColumnCount; ++i)
            context->insertNewObject(QStringLiteral("Column"));
        ManagedObject* label = context->insertNewObject(QStringLiteral("Label"));
        label->setValue(QStringLiteral("name"), QStringLiteral("shared"));
        if (loading) {
            ManagedObject* bulk = context->insertNewObject(QStringLiteral("Column"));
            bulk->setValue(QStringLiteral("title"), bulkTitle);
            QList<ManagedObject*> cards;
            for (int i = 0; i < BulkCards; ++i) {
                ManagedObject* card = context->insertNewObject(QStringLiteral("Card"));
                card->setValue(QStringLiteral("big"), -1 - i);
                card->setValue(QStringLiteral("notes"), QByteArray(200, 'b'));
                card->addObject(QStringLiteral("labels"), label);
                cards << card;
            }
            bulk->setObjects(QStringLiteral("cards"), cards);
        }
        QString error;
        ASSERT_TRUE(context->save(&error)) << error.toStdString();
    }

    QSet<qint64> committed;
    int killedWhileLoading = 0;
    QRandomGenerator random(7);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(ChildStoreVariable), path);
    if (loading)
        environment.insert(QString::fromLatin1(ChildLoadsVariable), QStringLiteral("1"));
    for (int kill = 0; kill < Kills; ++kill) {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(
            QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=StoreCrash.ChildSavingInALoop")});
        ASSERT_TRUE(child.waitForStarted());

        // Once the child saves, let it run a random while and kill it wherever it is.
        QByteArray output;
        QElapsedTimer timer;
        timer.start();
        while (!output.contains("committed") && timer.elapsed() < 20000 && child.state() == QProcess::Running) {
            child.waitForReadyRead(50);
            output += child.readAllStandardOutput();
        }
        ASSERT_TRUE(output.contains("committed"))
            << "the child never saved: " << child.readAllStandardError().toStdString();
        // While loading, soon: the cards come in over a few dozen saves.
        QThread::msleep(random.bounded(5, loading ? 40 : 80));
        child.kill();
        child.waitForFinished();
        output += child.readAllStandardOutput();
        QByteArray last;
        for (const QByteArray& line : output.split('\n'))
            if (line.startsWith("committed ")) {
                committed.insert(line.split(' ').value(1).toLongLong());
                last = line;
            }
        if (last.endsWith("loading"))
            ++killedWhileLoading;

        ASSERT_EQ(queryRows(path, "PRAGMA integrity_check"), QStringList({QStringLiteral("ok")}))
            << "after kill " << kill;
        // Every member of an ordered list has its own sort key, and points at an existing owner.
        EXPECT_EQ(queryRows(path, "SELECT count(*) FROM Card WHERE \"column\" IS NOT NULL AND column_ORDER IS NULL"),
            QStringList({QStringLiteral("0")}));
        EXPECT_EQ(queryRows(path,
                      "SELECT count(*) FROM (SELECT 1 FROM Card WHERE \"column\" IS NOT NULL "
                      "GROUP BY \"column\", column_ORDER HAVING count(*) > 1)"),
            QStringList({QStringLiteral("0")}));
        EXPECT_EQ(queryRows(path, "SELECT count(*) FROM Card WHERE \"column\" NOT IN (SELECT Z_PK FROM \"Column\")"),
            QStringList({QStringLiteral("0")}));

        std::shared_ptr<ManagedObjectContext> context = openStore(path, model);
        ASSERT_TRUE(context);
        QSet<qint64> present;
        qsizetype inColumns = 0;
        for (const ManagedObject* column : context->fetch(FetchRequest(QStringLiteral("Column")))) {
            inColumns += column->objects(QStringLiteral("cards")).size();
            for (const ManagedObject* card : column->objects(QStringLiteral("cards")))
                present.insert(card->integerValue(QStringLiteral("big")));
        }
        const QList<ManagedObject*> cards = context->fetch(FetchRequest(QStringLiteral("Card")));
        EXPECT_EQ(inColumns, cards.size()) << "every card sits in exactly one column";
        EXPECT_EQ(
            context->fetch(FetchRequest(QStringLiteral("Label"))).value(0)->objects(QStringLiteral("cards")).size(),
            cards.size());
        for (qint64 sequence : std::as_const(committed))
            EXPECT_TRUE(present.contains(sequence)) << "save " << sequence << " was reported committed";
        if (loading) {
            EXPECT_EQ(std::count_if(present.cbegin(), present.cend(), [](qint64 big) { return big < 0; }), BulkCards);
        }
    }
    EXPECT_GE(committed.size(), Kills);
    if (loading) {
        EXPECT_GT(killedWhileLoading, 0) << "no kill came while the cards were read";
    }
}

} // namespace

TEST(StoreCrash, KilledWhileSavingKeepsEveryCommittedSave)
{
    killWhileSaving(false);
}

TEST(StoreCrash, KilledWhileSavingAndReadingInTheBackgroundKeepsEveryCommittedSave)
{
    killWhileSaving(true);
}
