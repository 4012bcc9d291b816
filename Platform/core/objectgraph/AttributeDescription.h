#pragma once

#include <QString>
#include <QVariant>

// One attribute of an entity. Stored values are typed as follows (an absent value is an
// invalid QVariant; setting a null QString or QByteArray makes it absent too):
// Integer16/32/64 -> qint64 range-checked to the width, Double -> double, Boolean -> bool,
// String -> QString, Date -> QDateTime (millisecond precision, UTC instant),
// Binary -> QByteArray (kept as bytes; entity classes decode them on first access),
// StringList -> QStringList.
struct AttributeDescription
{
    enum class Type { Integer16, Integer32, Integer64, Double, Boolean, String, Date, Binary, StringList };

    QString name;
    Type type = Type::String;
    // A non-optional attribute must hold a value when its object is saved.
    bool isOptional = true;
    // Given to every new object at insertion; null for none.
    QVariant defaultValue;
    // Position among the entity's attributes; the same in every subentity, because inherited
    // attributes come first.
    int index = -1;
};
