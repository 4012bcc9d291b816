#pragma once

#include "Platform/core/objectgraph/ManagedObjectModel.h"
#include "Platform/core/objectgraph/MappingModel.h"

#include <QString>
#include <memory>
#include <optional>

// Where the model versions and the explicit mappings between them are found: by default the
// framework's own resources (":/ReVudozu.momd" and ":/ReVudozu.mappings"), or folders that
// tests fill.
class ModelBundle
{
public:
    ModelBundle();
    ModelBundle(QString modelDirectory, QString mappingDirectory);

    const QString& modelDirectory() const { return m_modelDirectory; }
    const QString& mappingDirectory() const { return m_mappingDirectory; }

    // The model of one version, read afresh from "<resource>.omo", or "<resource>.mom" when
    // there is no "omo" file. Throws StoreError "unable to find model in bundle" when there is
    // neither, "unable to load model in bundle" when the file is not a model.
    std::shared_ptr<const ManagedObjectModel> managedObjectModel(const QString& resource) const;

    // The explicit mapping shipped for this pair of versions ("<source> to <destination>.mapping"),
    // none when there is no such file. A shipped mapping that cannot be used throws StoreError
    // "Expected modal mapping not present": falling back to an inferred one would skip its
    // policies.
    std::optional<MappingModel> mappingModel(
        const ManagedObjectModel& source, const ManagedObjectModel& destination) const;

private:
    QString m_modelDirectory;
    QString m_mappingDirectory;
};
