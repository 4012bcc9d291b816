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

// Set in the environment of the child process: the store it saves into.
constexpr const char* ChildStoreVariable = "PELORINS_STORE_CRASH_CHILD";
constexpr int ColumnCount = 4;
constexpr int Kills = 20;

std::shared_ptr<ManagedObjectContext> openStore(
    const QString& path, const std::shared_ptr<const ManagedObjectModel>& model)
{
    auto coordinator = std::make_shared<PersistentStoreCoordinator>(model);
    QString error;
    if (!coordinator->addPersistentStore(path, &error)) {
        ADD_FAILURE() << error.toStdString();
        return nullptr;
    }
    auto context = std::make_shared<ManagedObjectContext>(model);
    if (!context->loadPersistentStore(coordinator, &error)) {
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
        GTEST_SKIP() << "runs only as the child process of KilledWhileSavingKeepsEveryCommittedSave";
    std::shared_ptr<ManagedObjectContext> context = openStore(path, graphModel());
    ASSERT_TRUE(context);
    QList<ManagedObject*> columns = context->fetch(FetchRequest(QStringLiteral("Column")));
    ASSERT_EQ(columns.size(), ColumnCount);
    ManagedObject* label = context->fetch(FetchRequest(QStringLiteral("Label"))).value(0);
    ASSERT_TRUE(label);
    qint64 sequence = 0;
    for (const ManagedObject* card : context->fetch(FetchRequest(QStringLiteral("Card"))))
        sequence = std::max(sequence, card->integerValue(QStringLiteral("big")) + 1);

    QRandomGenerator random(quint32(QCoreApplication::applicationPid()));
    for (;;) {
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
        std::printf("committed %lld\n", static_cast<long long>(sequence));
        std::fflush(stdout);
        ++sequence;
    }
}

TEST(StoreCrash, KilledWhileSavingKeepsEveryCommittedSave)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("crash.storedata"));
    const auto model = graphModel();
    {
        std::shared_ptr<ManagedObjectContext> context = openStore(path, model);
        ASSERT_TRUE(context);
        for (int i = 0; i < ColumnCount; ++i)
            context->insertNewObject(QStringLiteral("Column"));
        context->insertNewObject(QStringLiteral("Label"))->setValue(QStringLiteral("name"), QStringLiteral("shared"));
        QString error;
        ASSERT_TRUE(context->save(&error)) << error.toStdString();
    }

    QSet<qint64> committed;
    QRandomGenerator random(7);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(ChildStoreVariable), path);
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
        QThread::msleep(random.bounded(5, 80));
        child.kill();
        child.waitForFinished();
        output += child.readAllStandardOutput();
        for (const QByteArray& line : output.split('\n'))
            if (line.startsWith("committed "))
                committed.insert(line.mid(10).toLongLong());

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
    }
    EXPECT_GE(committed.size(), Kills);
}
