#include "PelorinsKit/notes/AttributedStringTextStorage.h"

AttributedStringTextStorage::AttributedStringTextStorage(AttributedString text)
    : m_text(std::move(text))
{
}

QString AttributedStringTextStorage::string() const
{
    return m_text.string();
}

int AttributedStringTextStorage::length() const
{
    return m_text.length();
}

AttributedString AttributedStringTextStorage::attributedSubstring(TextRange range) const
{
    return m_text.attributedSubstring(range);
}

QVariant AttributedStringTextStorage::attribute(const QString& key, int index) const
{
    return m_text.attribute(key, index);
}

void AttributedStringTextStorage::addAttributes(const QVariantMap& attributes, TextRange range)
{
    m_text.addAttributes(attributes, range);
}

void AttributedStringTextStorage::removeAttribute(const QString& key, TextRange range)
{
    m_text.removeAttribute(key, range);
}

void AttributedStringTextStorage::replaceCharacters(TextRange range, const AttributedString& text)
{
    m_text.replaceCharacters(range, text);
}
