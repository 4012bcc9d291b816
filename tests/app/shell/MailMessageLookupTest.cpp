#include "Pelorins/shell/NoMailMessageLookup.h"

#include <gtest/gtest.h>

namespace {

TEST(MailMessageLookup, InboxMailboxesNestExceptInTheLocalAccount)
{
    EXPECT_EQ(MailMessageLookup::mailboxPath(QStringLiteral("INBOX.Work"), QStringLiteral("Work Mail")),
        QStringLiteral("INBOX/Work"));
    EXPECT_EQ(MailMessageLookup::mailboxPath(QStringLiteral("INBOX.Work"), QStringLiteral("On My Mac")),
        QStringLiteral("INBOX.Work"));
    EXPECT_EQ(MailMessageLookup::mailboxPath(QStringLiteral("Archive"), QStringLiteral("Work Mail")),
        QStringLiteral("Archive"));
}

TEST(MailMessageLookup, WithoutAMailProgramNothingIsFoundWhateverTheNames)
{
    NoMailMessageLookup lookup;
    const MailMessageLookup::Info info
        = lookup.mailMessageInfo(42, QStringLiteral("INBOX.\"quoted\""), QStringLiteral("Work\" & do shell script \""));
    EXPECT_FALSE(info.messageID.has_value());
    EXPECT_FALSE(info.sender.has_value());
}

} // namespace
