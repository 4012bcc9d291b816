#pragma once

#include <QString>
#include <optional>

class UpdaterDelegate;

// What the program asks of an update mechanism: the result of "Check Updates…", and once the
// program has started, the question about update checks that the delegate may hold back.
class Updater
{
public:
    // A message for the program to show.
    struct Message
    {
        QString title;
        QString text;
    };

    virtual ~Updater() = default;

    void setDelegate(UpdaterDelegate* delegate) { m_delegate = delegate; }
    UpdaterDelegate* delegate() const { return m_delegate; }

    virtual Message checkForUpdates() = 0;
    // What to put to the user about update checks at start-up, if anything. Never anything while
    // the delegate (or its absence) does not allow it.
    virtual std::optional<Message> permissionPrompt() = 0;

private:
    UpdaterDelegate* m_delegate = nullptr;
};
