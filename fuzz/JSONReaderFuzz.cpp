// libFuzzer target: JSON node payloads and notes dictionaries read by JSONReader, and what it
// makes written back by JSONWriter. Built with clang by scripts/build-fuzz, never by the tests.

#include "FuzzEnvironment.h"

#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "Platform/core/ConsoleLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzEnvironment environment;
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
