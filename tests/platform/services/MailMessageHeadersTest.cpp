#include "Platform/services/MailMessageHeaders.h"

#include <gtest/gtest.h>

TEST(MailMessageHeaders, ReadsSubjectSenderAndIdFromTheHeaderBlock)
{
    struct Case
    {
        const char* name;
        QByteArray message;
        const char* subject; // null: refused
        const char* sender;
        const char* id;
    };
    const QByteArray body = "\r\n\r\nSubject: not a header\r\nFrom: nobody\r\n";
    const QList<Case> cases {
        {"plain", "From: Ann Lee <ann@example.org>\r\nSubject: Lunch\r\nMessage-ID: <1@example.org>" + body, "Lunch",
            "Ann Lee", "1@example.org"},
        {"folded subject and id",
            "Subject: A long\r\n subject\r\n\tline\nFrom: bob@example.org\nMessage-Id:\n <2@x>\n\nbody",
            "A long subject line", "bob@example.org", "2@x"},
        {"quoted name, bare LF", "From: \"Lee, Ann\" <ann@example.org>\nMessage-ID: <3@x>\nSubject: Hi\n\n", "Hi",
            "Lee, Ann", "3@x"},
        {"B word in UTF-8",
            "Subject: =?UTF-8?B?R3LDvMOfZQ==?=\nFrom: =?utf-8?b?SsO2cmc=?= <j@x>\nMessage-ID: <4@x>\n\n", "Grüße",
            "Jörg", "4@x"},
        {"Q words joined, Latin-1",
            "Subject: =?ISO-8859-1?Q?Caf=E9_au?= =?ISO-8859-1?Q?_lait?= today\n"
            "From: <only@address.org>\nMessage-ID: <5@x>\n\n",
            "Café au lait today", "only@address.org", "5@x"},
        {"name in a comment", "From: carl@example.org (Carl Marx)\nMessage-ID: <6@x>\n\n", "", "Carl Marx", "6@x"},
        {"no From", "Subject: x\nMessage-ID: <7@x>\n\n", nullptr, nullptr, nullptr},
        {"no Message-ID", "Subject: x\nFrom: a@b\n\n", nullptr, nullptr, nullptr},
        {"header block over the limit",
            "From: a@b\nMessage-ID: <8@x>\nX-Pad: " + QByteArray(MailMessageHeaders::maximumHeaderBytes, 'x')
                + "\n\nbody",
            nullptr, nullptr, nullptr},
        {"not mail at all", QByteArray("\x89PNG\r\n\x1a\n\0\0", 10), nullptr, nullptr, nullptr},
    };
    for (const Case& each : cases) {
        QString error;
        const std::optional<MailMessageHeaders> headers = MailMessageHeaders::parse(each.message, &error);
        if (!each.subject) {
            EXPECT_FALSE(headers) << each.name;
            EXPECT_FALSE(error.isEmpty()) << each.name;
            continue;
        }
        ASSERT_TRUE(headers) << each.name << ": " << error.toStdString();
        EXPECT_EQ(headers->subject, QString::fromUtf8(each.subject)) << each.name;
        EXPECT_EQ(headers->sender, QString::fromUtf8(each.sender)) << each.name;
        EXPECT_EQ(headers->messageID, QString::fromUtf8(each.id)) << each.name;
    }
}

TEST(MailMessageHeaders, AnyMessageIdGivesAValidMessageLink)
{
    for (const char* id : {"1@example.org", "a b<c>%d\"e@[10.0.0.1]", "ü@x"}) {
        MailMessageHeaders headers;
        headers.messageID = QString::fromUtf8(id);
        const QUrl link = headers.linkURL();
        EXPECT_TRUE(link.isValid()) << id;
        EXPECT_EQ(link.scheme(), QStringLiteral("message")) << id;
        EXPECT_EQ(link.path(QUrl::FullyDecoded), QStringLiteral("<%1>").arg(QString::fromUtf8(id)));
    }
}
