#pragma once

#include <QString>

class UpdaterDelegate;

// What the program asks of an update mechanism: the result of "Check Updates…". The delegate
// answers the mechanism's own questions.
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

private:
    UpdaterDelegate* m_delegate = nullptr;
};
