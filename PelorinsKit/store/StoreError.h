#pragma once

#include <QString>
#include <stdexcept>

// A failure of the store layer that the program cannot run past: the store cannot be set up,
// migrated or loaded. The framework never ends the process itself; the program shows the
// message and exits.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString& message);

    QString message() const { return QString::fromUtf8(what()); }
};
