// Exporting the reference dataset to an archive and importing that archive into an empty store in
// one transaction, against a plain JSON parse and serialisation of the same archive.

#include "LoadedStore.h"
#include "ReferenceDataset.h"

#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <cstdio>

namespace {

Root* rootOf(ManagedObjectContext& context)
{
    const QList<Root*> roots = context.fetchAs<Root>(FetchRequest(QStringLiteral("Root")));
    return roots.isEmpty() ? context.insertNewObject<Root>(QStringLiteral("Root")) : roots.first();
}

// What the export sheet does when the user ticks everything.
void markForExport(DisplayItem* item)
{
    item->setExport(true);
    for (DisplayItem* child : item->children())
        markForExport(child);
}

double seconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QTemporaryDir folder;
    DataFolders::setBaseFolderForTesting(folder.path());
    const QString source = folder.filePath(QStringLiteral("Reference.storedata"));
    const QString target = folder.filePath(QStringLiteral("Imported.storedata"));
    QString error;
    if (!ReferenceDataset::write(source, QDate::currentDate(), &error))
        qFatal("cannot write the dataset: %s", qPrintable(error));

    LoadedStore original = load(source);
    Root* root = rootOf(*original.context);
    for (DisplayItem* child : root->children())
        markForExport(child);

    QElapsedTimer timer;
    timer.start();
    const QJsonArray archive = JSONWriter::archiveArray(root->children());
    const double nodes = seconds(timer);
    const QByteArray data = QJsonDocument(archive).toJson(QJsonDocument::Compact);
    const double exported = seconds(timer);

    timer.restart();
    const QJsonDocument parsed = QJsonDocument::fromJson(data);
    const double plainParse = seconds(timer);
    timer.restart();
    const QByteArray reserialised = parsed.toJson(QJsonDocument::Compact);
    const double plainSerialise = seconds(timer);

    LoadedStore fresh = load(target);
    int made = 0;
    {
        // The reader's console lines (one per notes run) would drown the figures.
        ConsoleLog::Capture quiet;
        timer.restart();
        const QJsonDocument document = QJsonDocument::fromJson(data);
        JSONReader reader(fresh.context.get());
        Root* freshRoot = rootOf(*fresh.context);
        const QList<ManagedObject*> objects = reader.makeObjectsFromArrayOf(document.array(), &error);
        for (ManagedObject* object : objects)
            static_cast<DisplayItem*>(object)->setParent(freshRoot);
        if (!fresh.context->save(&error))
            qFatal("cannot save the import: %s", qPrintable(error));
        made = int(objects.size());
    }
    const double imported = seconds(timer);
    const int cards = fresh.context->count(FetchRequest(QStringLiteral("ListItem")));

    std::printf("archive: %.1f MB, %d top-level items, %d cards read back of %d\n", data.size() / 1e6, made, cards,
        ReferenceDataset::cardsInAll);
    std::printf(
        "export: %.3f s (nodes %.3f s, serialisation %.3f s); target under 2 s\n", exported, nodes, exported - nodes);
    std::printf("import: %.3f s (parse, check, build, one save); target under 3 s\n", imported);
    std::printf("plain QJsonDocument: parse %.3f s, serialisation %.3f s (%lld bytes)\n", plainParse, plainSerialise,
        qint64(reserialised.size()));
    std::printf("ratio to plain: export %.1fx serialisation, import %.1fx parse\n", exported / plainSerialise,
        imported / plainParse);
    return cards == ReferenceDataset::cardsInAll ? 0 : 1;
}
