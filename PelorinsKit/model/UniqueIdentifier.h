#pragma once

#include <QLatin1String>
#include <QString>

class ManagedObject;

// Objects are found again across copies, imports and card links by their "uniqueIdentifier": a
// random UUID in its 36-character upper-case text form.
class UniqueIdentifier
{
public:
    static constexpr QLatin1String key {"uniqueIdentifier"};

    static QString make();
    // Gives the object a new identifier when it has none (absent or empty); a present one stays.
    static void assignIfMissing(ManagedObject& object);
};
