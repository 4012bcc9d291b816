#include "PelorinsKit/store/ModelBundle.h"

#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/store/StoreError.h"

#include <QDir>
#include <QFileInfo>

// The resources of a static library are linked in only when something refers to them.
static void initialiseModelHistoryResources()
{
    Q_INIT_RESOURCE(ModelHistory);
}

namespace {
const QString unableToFindModel = QStringLiteral("unable to find model in bundle");
const QString unableToLoadModel = QStringLiteral("unable to load model in bundle");
const QString mappingNotPresent = QStringLiteral("Expected modal mapping not present");
}

ModelBundle::ModelBundle()
    : m_modelDirectory(EntityModel::modelDirectory())
    , m_mappingDirectory(QStringLiteral(":/ReVudozu.mappings"))
{
    initialiseModelHistoryResources();
}

ModelBundle::ModelBundle(QString modelDirectory, QString mappingDirectory)
    : m_modelDirectory(std::move(modelDirectory))
    , m_mappingDirectory(std::move(mappingDirectory))
{
}

std::shared_ptr<const ManagedObjectModel> ModelBundle::managedObjectModel(const QString& resource) const
{
    const QString path = ManagedObjectModel::pathForVersion(m_modelDirectory, resource);
    if (path.isEmpty())
        throw StoreError(unableToFindModel);
    std::shared_ptr<const ManagedObjectModel> model = ManagedObjectModel::fromFile(path);
    if (!model)
        throw StoreError(unableToLoadModel);
    return model;
}

std::optional<MappingModel> ModelBundle::mappingModel(
    const ManagedObjectModel& source, const ManagedObjectModel& destination) const
{
    const QString path = QDir(m_mappingDirectory)
                             .filePath(source.versionName() + QLatin1String(" to ") + destination.versionName()
                                 + QLatin1String(".mapping"));
    if (!QFileInfo::exists(path))
        return std::nullopt;
    std::optional<MappingModel> mapping = MappingModel::fromFile(path, source, destination);
    if (!mapping)
        throw StoreError(mappingNotPresent);
    return mapping;
}
