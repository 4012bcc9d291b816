#include "Pelorins/shell/MailMessageLookup.h"

MailMessageLookup::Info MailMessageLookup::mailMessageInfo(
    qint64 uniqueID, const QString& mailBox, const QString& account)
{
    return find(uniqueID, mailboxPath(mailBox, account), account);
}

QString MailMessageLookup::mailboxPath(const QString& mailBox, const QString& account)
{
    if (!mailBox.contains(QLatin1String("INBOX.")) || account == localAccountName)
        return mailBox;
    return QString(mailBox).replace(QLatin1String("INBOX."), QLatin1String("INBOX/"));
}
