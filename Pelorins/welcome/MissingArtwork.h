#pragma once

#include <QString>
#include <stdexcept>

// A picture the welcome pages ask for that the program does not carry: a packaging fault.
class MissingArtwork : public std::runtime_error
{
public:
    explicit MissingArtwork(const QString& name)
        : std::runtime_error(("Warning: Unable to locate image named '" + name + "'").toStdString())
        , m_message(QStringLiteral("Warning: Unable to locate image named '") + name + QLatin1Char('\''))
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};
