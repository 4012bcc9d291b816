#pragma once

#include <QString>
#include <stdexcept>

// A failure of the store layer that the program cannot run past: the store cannot be set up,
// migrated or loaded. The framework never ends the process itself; the program shows the
// message and exits, or, when another program holds the store, lets the user try again.
class StoreError : public std::runtime_error
{
public:
    enum class Reason {
        Other,
        // Another program holds the store so that it cannot be read; it may let go.
        InUse,
    };

    explicit StoreError(const QString& message, Reason reason = Reason::Other);

    QString message() const { return QString::fromUtf8(what()); }
    Reason reason() const { return m_reason; }

private:
    Reason m_reason;
};
