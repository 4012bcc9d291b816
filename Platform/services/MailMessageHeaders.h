#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

// What a card's mail link shows of a mail message dropped as an .eml file or as message/rfc822
// data: its subject, its sender and its Message-ID, read from the message's header block only.
struct MailMessageHeaders
{
    // No more of a message is read: a header block longer than this is refused.
    static constexpr qsizetype maximumHeaderBytes = 256 * 1024;

    QString subject;
    // The sender's display name, else the address.
    QString sender;
    // Without its angle brackets.
    QString messageID;

    // The headers of a message's text; none, with `error` set, without a sender or a Message-ID,
    // or when the header block does not end within the limit.
    static std::optional<MailMessageHeaders> parse(const QByteArray& message, QString* error = nullptr);
    // Reads at most the limit (and one byte more) of the file.
    static std::optional<MailMessageHeaders> read(const QString& path, QString* error = nullptr);

    // "message:<id>", escaped so that any Message-ID gives a valid URL.
    QUrl linkURL() const;
};
