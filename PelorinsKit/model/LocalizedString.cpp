#include "PelorinsKit/model/LocalizedString.h"

#include <QCoreApplication>

QString local(const QString& key)
{
    return QCoreApplication::translate(localTextContext, key.toUtf8().constData());
}
