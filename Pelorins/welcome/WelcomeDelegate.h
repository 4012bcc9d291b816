#pragma once

class QObject;

// What the welcome asks of the program: its last page opens the main window.
class WelcomeDelegate
{
public:
    virtual ~WelcomeDelegate() = default;

    virtual void showMainWindow(QObject* sender) = 0;
};
