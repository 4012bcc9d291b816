#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Asks the user a question in a modal alert and answers which button was chosen. The program
// reaches alerts only through this interface, so tests can script the answers.
class AlertPresenter
{
public:
    enum class Style { Warning, Informational, Critical };

    struct Alert
    {
        QString messageText;
        QString informativeText;
        // In the order given; the answer is an index into this list. Escape and closing the
        // alert choose the last button, so a "Cancel" belongs at the end.
        QStringList buttonTitles;
        Style style = Style::Warning;
        // The button that Return chooses.
        int defaultButton = 0;
        // A button drawn as destructive, or -1.
        int destructiveButton = -1;
    };

    virtual ~AlertPresenter() = default;

    // Blocks the window of `parent` (or the application when null) until the user answers.
    virtual int runModal(const Alert& alert, QWidget* parent) = 0;
};
