#include "PelorinsKit/notes/NoteTextStorage.h"

#include "PelorinsKit/notes/AttributeKey.h"

void NoteTextStorage::remove(const QStringList& attributes, TextRange range)
{
    for (const QString& key : attributes)
        removeAttribute(key, range);
}

QList<TextRange> NoteTextStorage::attachmentRanges() const
{
    QList<TextRange> ranges;
    attributedSubstring(TextRange {0, length()})
        .enumerateAttribute(
            AttributeKey::attachment, TextRange {0, length()}, [&ranges](const QVariant& value, TextRange range) {
                if (value.isValid())
                    ranges.append(range);
            });
    return ranges;
}
