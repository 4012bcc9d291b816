// libFuzzer target: archive bytes read by JSONReader::makeObjectsFromArchiveData, checked against
// the node-array entry: both take the same decision and make the same number of objects. Built
// with clang by scripts/build-fuzz, never by the tests.

#include "FuzzEnvironment.h"

#include "PelorinsKit/archive/JSONReader.h"
#include "Platform/core/ConsoleLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <cstdlib>

namespace {

// Whether the node-array entry is asked the same question: an array whose top-level nodes are
// folders and boards (the archive entry refuses anything else before the nodes are checked).
bool comparable(const QJsonDocument& document)
{
    if (!document.isArray())
        return false;
    for (const QJsonValue& entry : document.array()) {
        const QJsonObject node = entry.toObject();
        if (node.size() == 1 && node.constBegin().key() != QLatin1String("Folder")
            && node.constBegin().key() != QLatin1String("Kanban"))
            return false;
    }
    return true;
}

// Every object of the context, of every entity.
int objectCount(const ManagedObjectContext& context)
{
    int count = 0;
    for (const EntityDescription* entity : context.model().entities())
        if (!entity->parentEntity())
            count += context.count(FetchRequest(entity->name()));
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzEnvironment environment;
    ConsoleLog::Capture quiet;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    std::unique_ptr<ManagedObjectContext> archiveContext = EntityModel::makeContext(environment.model);
    JSONReader archiveReader(archiveContext.get());
    QString archiveError;
    const QList<ManagedObject*> fromArchive = archiveReader.makeObjectsFromArchiveData(bytes, &archiveError);
    if (!archiveError.isEmpty() && !fromArchive.isEmpty())
        std::abort();

    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!comparable(document))
        return 0;
    std::unique_ptr<ManagedObjectContext> arrayContext = EntityModel::makeContext(environment.model);
    JSONReader arrayReader(arrayContext.get());
    QString arrayError;
    const QList<ManagedObject*> fromArray = arrayReader.makeObjectsFromArrayOf(document.array(), &arrayError);
    if (archiveError.isEmpty() != arrayError.isEmpty() || fromArchive.size() != fromArray.size())
        std::abort();
    if (objectCount(*archiveContext) != objectCount(*arrayContext))
        std::abort();
    return 0;
}
