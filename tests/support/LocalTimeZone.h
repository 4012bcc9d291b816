#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <time.h>

// Makes `zone` the local time zone while it lives, since the local zone decides which events fall
// on a day.
class LocalTimeZone
{
public:
    explicit LocalTimeZone(const char* zone)
        : m_previous(qgetenv("TZ"))
        , m_hadPrevious(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalTimeZone()
    {
        if (m_hadPrevious)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
        tzset();
    }
    LocalTimeZone(const LocalTimeZone&) = delete;
    LocalTimeZone& operator=(const LocalTimeZone&) = delete;

private:
    QByteArray m_previous;
    bool m_hadPrevious;
};
