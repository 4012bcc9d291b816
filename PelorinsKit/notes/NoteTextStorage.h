#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// The rich text of one card's notes as the notes formatter reads and edits it in place, whether
// it lives in an AttributedString or in the editor's document. Positions count UTF-16 code units;
// ranges reaching outside the text are clipped to it.
class NoteTextStorage
{
public:
    virtual ~NoteTextStorage() = default;

    virtual QString string() const = 0;
    virtual int length() const = 0;

    virtual AttributedString attributedSubstring(TextRange range) const = 0;
    // The value of one attribute at `index`; invalid when absent or outside the text.
    virtual QVariant attribute(const QString& key, int index) const = 0;

    virtual void addAttributes(const QVariantMap& attributes, TextRange range) = 0;
    virtual void removeAttribute(const QString& key, TextRange range) = 0;
    // The new characters keep exactly the attributes they carry.
    virtual void replaceCharacters(TextRange range, const AttributedString& text) = 0;

    void insert(const AttributedString& text, int index) { replaceCharacters(TextRange {index, 0}, text); }
    void append(const AttributedString& text) { replaceCharacters(TextRange {length(), 0}, text); }
    // Removes each attribute in turn from the range.
    void remove(const QStringList& attributes, TextRange range);

    // The runs that carry an attachment, in text order.
    virtual QList<TextRange> attachmentRanges() const;
};
