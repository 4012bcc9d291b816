#include "PelorinsKit/notes/NoteStyleName.h"

namespace {

const QString titleRawValue = QStringLiteral("title");
const QString headerRawValue = QStringLiteral("header");
const QString bodyRawValue = QStringLiteral("body");

} // namespace

std::optional<NoteStyleName> noteStyleNameFromRawValue(const QString& rawValue)
{
    if (rawValue == titleRawValue)
        return NoteStyleName::title;
    if (rawValue == headerRawValue)
        return NoteStyleName::header;
    if (rawValue == bodyRawValue)
        return NoteStyleName::body;
    return std::nullopt;
}

QString rawValue(NoteStyleName name)
{
    switch (name) {
    case NoteStyleName::title:
        return titleRawValue;
    case NoteStyleName::header:
        return headerRawValue;
    case NoteStyleName::body:
        break;
    }
    return bodyRawValue;
}
