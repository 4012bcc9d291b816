#pragma once

#include "Platform/core/objectgraph/ManagedObjectModel.h"

#include <QString>
#include <QStringList>
#include <memory>

class ManagedObject;
class ManagedObjectContext;

// Writes stores of any model version with a small sample board, so that migrations can be tested
// from every version: a folder holding a board with two stage columns of cards, and, where the
// version has them, a done column with a done card, day groups, history entries, tags and
// picture records. Every attribute the version has gets a value.
class StoreFixtureWriter
{
public:
    // Writes a new store at `path` for `model`; false with `error` on failure.
    static bool write(const QString& path, std::shared_ptr<const ManagedObjectModel> model, QString* error = nullptr);

    // One sorted line per object of the store at `path` read with `storeModel`, giving its URI,
    // entity, and the values of the attributes and relationships that both `storeModel` and
    // `properties` (another model version) give its entity. Describing a store before and after
    // a migration, each with the other side's model as `properties`, compares what both
    // versions hold. Empty when the store cannot be read.
    static QStringList describe(const QString& path, std::shared_ptr<const ManagedObjectModel> storeModel,
        const ManagedObjectModel& properties);
};
