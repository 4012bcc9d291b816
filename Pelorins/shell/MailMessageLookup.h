#pragma once

#include <QString>
#include <optional>

// Finds the message-ID header and the sender of a mail message that the user dropped on a card,
// given the mail program's number for it, its mailbox and its account. Backends ask a mail
// program through its own interface, with the names passed as data, never as script text.
class MailMessageLookup
{
public:
    struct Info
    {
        std::optional<QString> messageID;
        std::optional<QString> sender;
    };

    static constexpr QLatin1String localAccountName = QLatin1String("On My Mac");

    virtual ~MailMessageLookup() = default;

    // Blocks until the mail program answers; callers run it off the main thread.
    Info mailMessageInfo(qint64 uniqueID, const QString& mailBox, const QString& account);

    // IMAP mailboxes named with "INBOX." are nested under "INBOX/" except in the local account.
    static QString mailboxPath(const QString& mailBox, const QString& account);

protected:
    virtual Info find(qint64 uniqueID, const QString& mailboxPath, const QString& account) = 0;
};
