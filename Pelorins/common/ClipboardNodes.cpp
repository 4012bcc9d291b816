#include "Pelorins/common/ClipboardNodes.h"

#include "Platform/core/ConsoleLog.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace ClipboardNodes {

std::optional<QJsonArray> read(const QByteArray& bytes, const QString& entityName, const QString& what)
{
    const auto refuse = [&what](const QString& reason) -> std::optional<QJsonArray> {
        ConsoleLog::write(QStringLiteral("Refused %1: %2").arg(what, reason));
        return std::nullopt;
    };
    if (bytes.size() > maximumBytes)
        return refuse(QStringLiteral("larger than 64 MiB"));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return refuse(error.errorString());
    if (!document.isArray())
        return refuse(QStringLiteral("not a list of nodes"));
    const QJsonArray nodes = document.array();
    for (const QJsonValue& node : nodes) {
        const QJsonObject object = node.toObject();
        if (!node.isObject() || object.size() != 1 || object.constBegin().key() != entityName)
            return refuse(QStringLiteral("a node that is not a %1").arg(entityName));
    }
    return nodes;
}

}
