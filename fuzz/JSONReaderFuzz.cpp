// libFuzzer target: JSON node payloads and notes dictionaries read by JSONReader, and what it
// makes written back by JSONWriter. Built with clang by scripts/build-fuzz, never by the tests.

#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

struct Environment
{
    Environment()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application = new QGuiApplication(argc, argv);
        folder = new QTemporaryDir;
        DataFolders::setBaseFolderForTesting(folder->path());
        QString error;
        model = EntityModel::currentModel(&error);
        if (!model)
            std::abort();
    }

    int argc = 1;
    char name[16] = "fuzz";
    char* argv[2] = {name, nullptr};
    QGuiApplication* application = nullptr;
    QTemporaryDir* folder = nullptr;
    std::shared_ptr<const ManagedObjectModel> model;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Environment environment;
    ConsoleLog::Capture quiet;
    const QJsonDocument document
        = QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (document.isObject()) {
        JSONReader::attributedStringFrom(document.object());
        return 0;
    }
    if (!document.isArray())
        return 0;
    const QJsonArray array = document.array();
    for (const QJsonValue& entry : array)
        if (entry.isObject())
            JSONReader::attributedStringFrom(entry.toObject());

    std::unique_ptr<ManagedObjectContext> context = EntityModel::makeContext(environment.model);
    JSONReader reader(context.get());
    const QList<ManagedObject*> objects = reader.makeObjectsFromArrayOf(array);
    // What was made must write back without trouble, and read again the same way.
    QJsonArray written;
    for (ManagedObject* object : objects)
        written.append(JSONWriter::genericTraversingNode(object, true));
    reader.setImportedObjects({});
    reader.makeObjectsFromArrayOf(written);
    QString error;
    context->save(&error);
    return 0;
}
