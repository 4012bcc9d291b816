#pragma once

#include <QString>
#include <QVariantMap>

// One object as the migration manager hands it to an entity migration policy: its row in the
// store with the values as SQLite holds them (a null QVariant, qint64, double, QString or
// QByteArray), keyed by column name. Attribute columns are named after their attribute; a
// to-one relationship column holds the destination's primary key.
struct MigrationRecord
{
    QString entityName;
    qint64 primaryKey = 0;
    QVariantMap values;
};
