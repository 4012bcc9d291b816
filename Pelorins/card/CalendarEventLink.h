#pragma once

#include <QString>
#include <QUrl>
#include <optional>

// The link a card's notes keep to a calendar event: "calendar://" followed by the event's UID.
// UIDs often hold "@" and capitals, and QUrl lower-cases what it takes for a host, so a UID is
// read back to be matched regardless of case. A UID that no URL can carry as it is (spaces,
// slashes) is written percent-encoded after one more "/", and read back decoded.
class CalendarEventLink
{
public:
    static constexpr QLatin1String scheme {"calendar"};

    // None for an empty UID.
    static std::optional<QUrl> url(const QString& uid);
    // The UID a link names, as far as its case came back.
    static QString uid(const QUrl& url);
};
