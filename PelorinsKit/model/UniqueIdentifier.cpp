#include "PelorinsKit/model/UniqueIdentifier.h"

#include "Platform/core/objectgraph/ManagedObject.h"

#include <QUuid>

QString UniqueIdentifier::make()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

void UniqueIdentifier::assignIfMissing(ManagedObject& object)
{
    if (object.stringValue(key).isEmpty())
        object.setValue(key, make());
}
