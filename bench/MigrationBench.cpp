// Migrating a store of the reference dataset's shape from the first model version to the current
// one, against copying the same store file.

#include "PelorinsKit/notes/AttributedString.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "PelorinsKit/store/StoreError.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int runs = 3;

// The first version has no done column, day groups, tags or history: the reference dataset's
// 50,000 cards sit in stage columns (done ones in a last "Done" stage), with about 1 KB of notes
// in their stored form, which the step from version 32 to 33 decodes card by card.
class FirstVersionDataset
{
public:
    explicit FirstVersionDataset(ManagedObjectContext& context)
        : m_context(context)
    {
    }

    void write()
    {
        ManagedObject* root = m_context.insertNewObject(QStringLiteral("Root"));
        addBoard(root, QStringLiteral("Reference board"), 8, 250, 8000);
        for (int f = 0; f < 20; ++f) {
            ManagedObject* folder = m_context.insertNewObject(QStringLiteral("Folder"));
            folder->setValue(QStringLiteral("title"), QStringLiteral("Folder %1").arg(f + 1));
            root->addObject(QStringLiteral("children"), folder);
            for (int b = 0; b < 10; ++b)
                addBoard(folder, QStringLiteral("Board %1.%2").arg(f + 1).arg(b + 1), 4, 40, 40);
        }
    }

    int cards() const { return m_cards; }

private:
    void addBoard(ManagedObject* parent, const QString& title, int stages, int openCardsPerStage, int doneCards)
    {
        ManagedObject* board = m_context.insertNewObject(QStringLiteral("Kanban"));
        board->setValue(QStringLiteral("title"), title);
        parent->addObject(QStringLiteral("children"), board);
        for (int s = 0; s <= stages; ++s) {
            ManagedObject* column = m_context.insertNewObject(QStringLiteral("KanbanColumn"));
            column->setValue(
                QStringLiteral("title"), s < stages ? QStringLiteral("Stage %1").arg(s + 1) : QStringLiteral("Done"));
            board->addObject(QStringLiteral("column"), column);
            const bool done = s == stages;
            for (int c = 0; c < (done ? doneCards : openCardsPerStage); ++c)
                addCard(column, done);
        }
    }

    void addCard(ManagedObject* column, bool done)
    {
        ManagedObject* card = m_context.insertNewObject(QStringLiteral("ListItem"));
        card->setValue(QStringLiteral("done"), done);
        QString notes = QStringLiteral("Card %1: ").arg(m_cards++);
        while (notes.size() < 1024)
            notes += QStringLiteral("a line of notes with a #tag and a checklist item. ");
        card->setValue(QStringLiteral("attributedNotes"), RichTextCodec::encode(AttributedString(notes)));
        column->addObject(QStringLiteral("item"), card);
    }

    ManagedObjectContext& m_context;
    int m_cards = 0;
};

void writeFirstVersionStore(const QString& path, const ModelBundle& bundle)
{
    const auto model = bundle.managedObjectModel(CoreDataMigrationVersion::version(1).rawValue());
    auto coordinator = std::make_shared<PersistentStoreCoordinator>(model);
    QString error;
    if (!coordinator->addPersistentStore(path, &error))
        qFatal("cannot create the store: %s", qPrintable(error));
    {
        ManagedObjectContext context(model);
        if (!context.loadPersistentStore(coordinator, &error))
            qFatal("cannot load the store: %s", qPrintable(error));
        FirstVersionDataset dataset(context);
        dataset.write();
        if (!context.save(&error))
            qFatal("cannot save the store: %s", qPrintable(error));
        std::printf("reference dataset at the first version: %d cards\n", dataset.cards());
    }
    coordinator->removePersistentStore();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const ModelBundle bundle;
    const QString original = folder.filePath(QStringLiteral("original.storedata"));
    writeFirstVersionStore(original, bundle);
    std::printf("store file: %.1f MB\n", QFileInfo(original).size() / 1e6);

    const CoreDataMigrator migrator(bundle, CoreDataMigrator::defaultPolicies(), folder.path());

    std::vector<double> copyTimes;
    std::vector<double> migrationTimes;
    for (int run = 0; run < runs; ++run) {
        const QString store = folder.filePath(QStringLiteral("run%1.storedata").arg(run));
        QElapsedTimer timer;
        timer.start();
        if (!QFile::copy(original, store))
            qFatal("cannot copy the store");
        copyTimes.push_back(timer.nsecsElapsed() / 1e6);

        // Valid notes migrate without a word; a line would mean the run timed another path.
        ConsoleLog::Capture console;
        timer.restart();
        try {
            migrator.migrateStore(store, CoreDataMigrationVersion::current());
        } catch (const StoreError& error) {
            qFatal("migration failed: %s", error.what());
        }
        migrationTimes.push_back(timer.nsecsElapsed() / 1e6);
        if (!console.lines().isEmpty())
            qFatal("the migration wrote %lld console lines, the first: %s", qint64(console.lines().size()),
                qPrintable(console.lines().first()));
        if (migrator.requiresMigration(store, CoreDataMigrationVersion::current()))
            qFatal("the migrated store is not at the current version");
        PersistentStoreCoordinator::destroyStore(store);
    }

    const double copy = median(copyTimes);
    const double migration = median(migrationTimes);
    std::printf("copying the store file: %.1f ms (median of %d)\n", copy, runs);
    std::printf(
        "migrating version 1 to 34 (33 steps): %.1f ms (median of %d, target under 10000 ms)\n", migration, runs);
    std::printf("ratio to copying: %.1fx\n", migration / copy);
    return 0;
}
