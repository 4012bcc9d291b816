#include "PelorinsKit/notes/CompactText.h"

#include <algorithm>

CompactText::CompactText(const QString& text)
    : m_null(text.isNull())
{
    m_wide = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 0xff; });
    if (m_wide)
        m_utf16 = text;
    else
        m_latin1 = text.toLatin1();
}

QString CompactText::toString() const
{
    if (m_null)
        return QString();
    if (m_wide)
        return m_utf16;
    // An empty text is not the null one.
    return m_latin1.isEmpty() ? QString(QLatin1String("")) : QString::fromLatin1(m_latin1);
}
