#pragma once

#include <QObject>
#include <QString>

// Where the program learns that the user clicked one of its delivered reminders.
class ReminderCenter : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    // The clicked reminder's card link ("urlString" of the reminder).
    void activated(const QString& urlString);
};
