#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <optional>

// Cards and stages copied to the clipboard: a UTF-8 JSON array of nodes of one entity, each a
// one-key object naming its class (JSONWriter's form). Pasted data may come from any program, so
// it is read strictly before the JSON reader makes anything of it.
namespace ClipboardNodes {

// Larger copies are refused whole.
inline constexpr qsizetype maximumBytes = 64 * 1024 * 1024;

// The nodes of `bytes` when every one is a node of `entityName`; none for anything else, with
// "Refused <what>: <reason>" on the console.
std::optional<QJsonArray> read(const QByteArray& bytes, const QString& entityName, const QString& what);

}
