#pragma once

#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/ManagedObjectModel.h"

#include <QLatin1String>
#include <QString>
#include <memory>

// The framework's object model: the model versions shipped with it and the entity classes that
// objects of the model are made of.
class EntityModel
{
public:
    // The folder of the model versions among the framework's resources.
    static QString modelDirectory();
    static constexpr QLatin1String currentVersionName {"ReVudozu 34"};

    // Null with `error` set when the shipped model cannot be read.
    static std::shared_ptr<const ManagedObjectModel> currentModel(QString* error = nullptr);
    // Makes objects of every entity of the model instances of their entity class.
    static void registerClasses(ManagedObjectContext& context);
    // A context of `model` with the entity classes registered, ready to load a store.
    static std::unique_ptr<ManagedObjectContext> makeContext(std::shared_ptr<const ManagedObjectModel> model);
};
