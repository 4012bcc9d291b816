#pragma once

#include "PelorinsKit/notes/NoteTextStorage.h"

// Notes text held in an AttributedString: for tests, printing and migrations.
class AttributedStringTextStorage : public NoteTextStorage
{
public:
    AttributedStringTextStorage() = default;
    explicit AttributedStringTextStorage(AttributedString text);

    const AttributedString& attributedString() const { return m_text; }
    void setAttributedString(const AttributedString& text) { m_text = text; }

    QString string() const override;
    int length() const override;
    AttributedString attributedSubstring(TextRange range) const override;
    QVariant attribute(const QString& key, int index) const override;
    void addAttributes(const QVariantMap& attributes, TextRange range) override;
    void removeAttribute(const QString& key, TextRange range) override;
    void replaceCharacters(TextRange range, const AttributedString& text) override;

private:
    AttributedString m_text;
};
