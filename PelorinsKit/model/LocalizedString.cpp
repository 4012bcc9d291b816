#include "PelorinsKit/model/LocalizedString.h"

#include <QCoreApplication>

QString local(const QString& key)
{
    return QCoreApplication::translate("Localizable", key.toUtf8().constData());
}
