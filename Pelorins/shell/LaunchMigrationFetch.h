#pragma once

#include "Platform/core/ConsoleLog.h"
#include "Platform/core/objectgraph/FetchRequest.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QList>
#include <optional>

// The fetch the launch-time migrations share: a failed fetch is written to the console and
// answers none, so the migration stops without setting its flag.
template <typename T> std::optional<QList<T*>> fetchAll(ManagedObjectContext* context, const FetchRequest& request)
{
    if (!context)
        return std::nullopt;
    QString error;
    const QList<T*> objects = context->fetchAs<T>(request, &error);
    if (!error.isEmpty()) {
        ConsoleLog::write(QStringLiteral("fetch error ") + error);
        return std::nullopt;
    }
    return objects;
}
