#pragma once

#include "Platform/services/ReminderCenter.h"

// A reminder center that records what it delivers instead of showing it; tests click by emitting
// `activated` through click().
class RecordingReminderCenter : public ReminderCenter
{
public:
    using ReminderCenter::ReminderCenter;

    void deliver(const Reminder& reminder) override { delivered.append(reminder); }
    void click(const QString& urlString) { emit activated(urlString); }

    QList<Reminder> delivered;
};
