// Exporting the reference dataset to an archive file and importing that file into an empty store
// in one transaction, beside the export and import as they were (one QJsonDocument each way), a
// bare RapidJSON parse and re-write of the same file, and QJsonDocument's own parse and
// serialisation.

#include "LoadedStore.h"
#include "ReferenceDataset.h"

#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sys/resource.h>

namespace {

constexpr int runs = 3;

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

template <typename Run> double median(Run run)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(seconds(timer));
    }
    std::sort(times.begin(), times.end());
    return times[runs / 2];
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

void writeAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
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
    QString error;
    if (!ReferenceDataset::write(source, QDate::currentDate(), &error))
        qFatal("cannot write the dataset: %s", qPrintable(error));

    LoadedStore original = load(source);
    Root* root = rootOf(*original.context);
    for (DisplayItem* child : root->children())
        markForExport(child);
    const QList<DisplayItem*> items = root->children();

    // The export as it was: the nodes as one QJsonArray, serialised whole, written.
    const QString landedPath = folder.filePath(QStringLiteral("landed.Pelorins"));
    QElapsedTimer timer;
    timer.start();
    writeAll(landedPath, QJsonDocument(JSONWriter::archiveArray(items)).toJson(QJsonDocument::Compact));
    const double landedExport = seconds(timer);

    const QString archivePath = folder.filePath(QStringLiteral("archive.Pelorins"));
    const double exported = median([&] {
        QSaveFile file(archivePath);
        if (!file.open(QIODevice::WriteOnly) || !JSONWriter::writeArchive(items, file) || !file.commit())
            qFatal("cannot export: %s", qPrintable(file.errorString()));
    });
    const QByteArray data = readAll(archivePath);
    const bool identical = data == readAll(landedPath);

    const double rapidParse = median([&] {
        rapidjson::Reader reader;
        rapidjson::BaseReaderHandler<> none;
        rapidjson::MemoryStream stream(data.constData(), size_t(data.size()));
        if (!reader.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag>(stream, none))
            qFatal("RapidJSON refuses the archive at %zu", reader.GetErrorOffset());
    });
    const double rapidRewrite = median([&] {
        rapidjson::Reader reader;
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        rapidjson::MemoryStream stream(data.constData(), size_t(data.size()));
        reader.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag>(stream, writer);
    });
    QJsonDocument parsed;
    const double qtParse = median([&] { parsed = QJsonDocument::fromJson(data); });
    const double qtSerialise = median([&] { parsed.toJson(QJsonDocument::Compact); });
    parsed = QJsonDocument();

    const double preview = median([&] {
        const std::optional<QByteArray> bytes = JSONReader::readArchiveFile(archivePath, &error);
        if (!bytes || !JSONReader::checkedArchive(*bytes, original.context->model(), &error))
            qFatal("the archive is refused: %s", qPrintable(error));
    });

    int cards = 0;
    int attempt = 0;
    const double imported = median([&] {
        const QString target = folder.filePath(QStringLiteral("Imported%1.storedata").arg(attempt++));
        LoadedStore fresh = load(target);
        // The reader's console lines would drown the figures.
        ConsoleLog::Capture quiet;
        const std::optional<QByteArray> bytes = JSONReader::readArchiveFile(archivePath, &error);
        JSONReader reader(fresh.context.get());
        Root* freshRoot = rootOf(*fresh.context);
        const QList<ManagedObject*> objects = reader.makeObjectsFromArchiveData(*bytes, &error);
        for (ManagedObject* object : objects)
            static_cast<DisplayItem*>(object)->setParent(freshRoot);
        if (!fresh.context->save(&error))
            qFatal("cannot save the import: %s", qPrintable(error));
        cards = fresh.context->count(FetchRequest(QStringLiteral("ListItem")));
    });

    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("archive: %.1f MB, %d cards read back of %d, %s the export as it was\n", data.size() / 1e6, cards,
        ReferenceDataset::cardsInAll, identical ? "byte for byte" : "DIFFERENT FROM");
    std::printf("export: %.3f s (to the file; medians of %d); as it was %.3f s; target at most 1.5 s\n", exported, runs,
        landedExport);
    std::printf("import: %.3f s (file to objects saved in one transaction); target at most 2.5 s\n", imported);
    std::printf("preview: %.3f s (the sheet's reading and checking)\n", preview);
    std::printf("RapidJSON: bare parse %.3f s (validating UTF-8), bare re-write %.3f s; ratios: export %.1fx the "
                "re-write, import %.1fx the parse\n",
        rapidParse, rapidRewrite, exported / rapidRewrite, imported / rapidParse);
    std::printf("QJsonDocument: parse %.3f s, serialisation %.3f s\n", qtParse, qtSerialise);
    std::printf("peak RSS: %.0f MB\n", usage.ru_maxrss / 1024.0);
    return cards == ReferenceDataset::cardsInAll && identical ? 0 : 1;
}
