#pragma once

#include "Pelorins/shell/MailMessageLookup.h"

// No mail program on this system answers lookups: every message is unknown.
class NoMailMessageLookup : public MailMessageLookup
{
protected:
    Info find(qint64 uniqueID, const QString& mailboxPath, const QString& account) override;
};
