// Exporting the reference dataset to an archive file and importing that file into an empty store
// in one transaction, beside the export and import as they were (one QJsonDocument each way), a
// bare RapidJSON parse and re-write of the same file, and QJsonDocument's own parse and
// serialisation.

#include "BenchTiming.h"
#include "LoadedStore.h"
#include "ReferenceDataset.h"

#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "PelorinsKit/archive/NodePlan.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "PelorinsKit/store/SharedMethods.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"

#include <QDir>
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

struct Timing
{
    double wall = 0;
    double processor = 0;
};

// The median of the wall times a run reports, with the median of their processor times.
template <typename Run> Timing medianOf(Run run)
{
    std::vector<Timing> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(run());
    const auto byWall = [](const Timing& a, const Timing& b) { return a.wall < b.wall; };
    std::sort(times.begin(), times.end(), byWall);
    std::vector<double> processor;
    for (const Timing& time : times)
        processor.push_back(time.processor);
    std::sort(processor.begin(), processor.end());
    return Timing {times[runs / 2].wall, processor[runs / 2]};
}

// The same for runs timed whole.
template <typename Run> Timing median(Run run)
{
    return medianOf([&run] {
        const BenchClock clock;
        run();
        return Timing {clock.wall() / 1e3, clock.processor() / 1e3};
    });
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
    // "export", "import" or "preview" on the command line runs that alone (for a profiler),
    // without the comparisons.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto runs = [&only](const char* phase) { return only.isEmpty() || only == QLatin1String(phase); };
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

    // The export as the program writes it: a package holding the archive and a copy of every
    // picture its cards show.
    const std::optional<QString> pictures = PictureFolders::attachmentPicturesFolderURL();
    if (!pictures)
        qFatal("no picture folder");
    const int pictureCount = ReferenceDataset::writePictures(*original.context, *pictures);
    CoreDataManager unloaded {std::make_shared<CoreDataMigrator>()};
    const QString packagePath = folder.filePath(QStringLiteral("Export.Pelorins"));
    const QString archivePath = QDir(packagePath).filePath(QStringLiteral("archive.Pelorins"));
    QDir().mkpath(packagePath);
    const auto exportArchive = [&] {
        QSaveFile file(archivePath);
        QStringList pictureFolders;
        if (!file.open(QIODevice::WriteOnly) || !JSONWriter::writeArchive(items, file, &pictureFolders)
            || !SharedMethods(unloaded).copyPictureFoldersToPackage(pictureFolders, packagePath, &error)
            || !file.commit())
            qFatal("cannot export: %s %s", qPrintable(file.errorString()), qPrintable(error));
    };
    Timing exported;
    if (runs("export"))
        exported = median(exportArchive);
    else
        exportArchive();
    const QByteArray data = readAll(archivePath);

    Timing preview;
    if (runs("preview")) {
        preview = median([&] {
            bool unreadable = false;
            if (!JSONReader::checkedArchiveFile(archivePath, original.context->model(), &error, &unreadable))
                qFatal("the archive is refused: %s", qPrintable(error));
        });
    }

    int cards = 0;
    int attempt = 0;
    Timing imported;
    if (runs("import")) {
        // Timed from reading the file to the objects saved: the store is open before, as it is in
        // the program, and closing it afterwards is not part of the import.
        imported = medianOf([&] {
            const QString target = folder.filePath(QStringLiteral("Imported%1.storedata").arg(attempt++));
            LoadedStore fresh = load(target);
            Root* freshRoot = rootOf(*fresh.context);
            if (!fresh.context->save(&error))
                qFatal("cannot save the root: %s", qPrintable(error));
            // The reader's console lines would drown the figures.
            ConsoleLog::Capture quiet;
            const BenchClock clock;
            JSONReader reader(fresh.context.get());
            const QList<ManagedObject*> objects = reader.makeObjectsFromArchiveFile(archivePath, &error);
            for (ManagedObject* object : objects)
                static_cast<DisplayItem*>(object)->setParent(freshRoot);
            if (!fresh.context->save(&error))
                qFatal("cannot save the import: %s", qPrintable(error));
            const Timing timing {clock.wall() / 1e3, clock.processor() / 1e3};
            cards = fresh.context->count(FetchRequest(QStringLiteral("ListItem")));
            return timing;
        });
    }

    std::printf("archive: %.1f MB; medians of %d, wall (processor) time\n", data.size() / 1e6, ::runs);
    if (runs("export"))
        std::printf("export: %.3f s (%.3f s) to the package with its %d pictures copied; target at most 1.5 s\n",
            exported.wall, exported.processor, pictureCount);
    if (runs("import"))
        std::printf("import: %.3f s (%.3f s) file to objects saved in one transaction, %d cards read back of %d; "
                    "target at most 2.0 s\n",
            imported.wall, imported.processor, cards, ReferenceDataset::cardsInAll);
    if (runs("preview"))
        std::printf("preview: %.3f s (%.3f s) the sheet's reading and checking; target at most 0.5 s\n",
            preview.wall, preview.processor);
    if (!only.isEmpty())
        return 0;

    // The export as it was: the nodes as one QJsonArray, serialised whole, written.
    const QString landedPath = folder.filePath(QStringLiteral("landed.Pelorins"));
    const BenchClock clock;
    writeAll(landedPath, QJsonDocument(JSONWriter::archiveArray(items)).toJson(QJsonDocument::Compact));
    const double landedExport = clock.wall() / 1e3;
    const bool identical = data == readAll(landedPath);

    const Timing rapidParse = median([&] {
        rapidjson::Reader reader;
        rapidjson::BaseReaderHandler<> none;
        rapidjson::MemoryStream stream(data.constData(), size_t(data.size()));
        if (!reader.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag>(stream, none))
            qFatal("RapidJSON refuses the archive at %zu", reader.GetErrorOffset());
    });
    const Timing rapidRewrite = median([&] {
        rapidjson::Reader reader;
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        rapidjson::MemoryStream stream(data.constData(), size_t(data.size()));
        reader.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag>(stream, writer);
    });
    QJsonDocument parsed;
    const Timing qtParse = median([&] { parsed = QJsonDocument::fromJson(data); });
    const Timing qtSerialise = median([&] { parsed.toJson(QJsonDocument::Compact); });
    parsed = QJsonDocument();

    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("export as it was (one QJsonDocument): %.3f s; the new export writes it %s\n", landedExport,
        identical ? "byte for byte" : "DIFFERENTLY");
    std::printf("RapidJSON: bare parse %.3f s (validating UTF-8), bare re-write %.3f s; ratios: export %.1fx the "
                "re-write, import %.1fx the parse\n",
        rapidParse.wall, rapidRewrite.wall, exported.wall / rapidRewrite.wall, imported.wall / rapidParse.wall);
    std::printf("QJsonDocument: parse %.3f s, serialisation %.3f s\n", qtParse.wall, qtSerialise.wall);
    std::printf("peak RSS: %.0f MB\n", usage.ru_maxrss / 1024.0);
    return cards == ReferenceDataset::cardsInAll && identical ? 0 : 1;
}
