#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <QStringView>

// A text kept in one byte a character when all of its characters are Latin-1, as most notes
// are, else as it is: a search keeps the plain text of every card of a big board.
class CompactText
{
public:
    // The null text.
    CompactText() = default;
    explicit CompactText(const QString& text);

    bool isNull() const { return m_null; }
    bool isEmpty() const { return m_wide ? m_utf16.isEmpty() : m_latin1.isEmpty(); }
    QString toString() const;

    // Calls `use` with the text as a QLatin1StringView or as a QStringView.
    template <typename Use> decltype(auto) visit(Use&& use) const
    {
        return m_wide ? use(QStringView(m_utf16)) : use(QLatin1StringView(m_latin1));
    }

private:
    QByteArray m_latin1;
    QString m_utf16;
    bool m_wide = false;
    bool m_null = true;
};
