#pragma once

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

// One scheduled reminder: shown at its delivery date, then dropped.
struct Reminder
{
    QString identifier;
    QString title;
    QString subtitle;
    QString informativeText;
    QDateTime deliveryDate;
    // "urlString" names the card; the program's other keys ride along.
    QVariantMap userInfo;
};
Q_DECLARE_TYPEINFO(Reminder, Q_RELOCATABLE_TYPE);

// The program's scheduled reminders. They are kept in a JSON file (written at most once per turn
// of the event loop) and delivered by one timer while the program runs, which wakes at the next
// delivery or after a minute, whichever is earlier, so a suspend, a clock jump or a new time zone
// is noticed within a minute. Reminders missed while the program was closed are delivered once,
// at start(). A click on a delivered reminder reports its card link.
class ReminderCenter : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    static constexpr int checkIntervalMilliseconds = 60 * 1000;
    // A larger file is set aside unread.
    static constexpr qint64 maximumFileBytes = 16 * 1024 * 1024;
    static constexpr QLatin1String fileName {"reminders.json"};

    explicit ReminderCenter(QObject* parent = nullptr);
    ~ReminderCenter() override;

    // Where the reminders are kept, read at once; a file that cannot be read is moved aside as
    // "<file>.unreadable" and the center starts empty. Without a file they live in memory.
    void setStorageFile(const QString& path);
    // The system clock unless a test sets another.
    void setClock(Clock clock);
    QDateTime now() const;

    // Every reminder, read in full: for a single card's, scheduledReminderFor() is cheaper.
    QList<Reminder> scheduledReminders() const;
    // The reminder whose user info links the card, if any.
    std::optional<Reminder> scheduledReminderFor(const QString& urlString) const;
    // A reminder of the same identifier is replaced.
    void scheduleReminder(const Reminder& reminder);
    void removeScheduledReminder(const QString& identifier);

    // Delivers what is due (missed ones included) and arms the timer.
    void start();
    // What the timer runs: delivers every reminder due by now, drops them, and arms it again.
    void tick();
    const QTimer& timer() const { return m_timer; }

    // Shows a reminder now.
    virtual void deliver(const Reminder& reminder) = 0;

signals:
    // The clicked reminder's card link ("urlString" of its user info).
    void activated(const QString& urlString);

private:
    // One reminder as kept in memory: what arming and finding need, read up front; the rest is
    // read from its entry of the file only when delivered or asked for, so thousands load fast.
    struct Entry
    {
        qint64 delivery = 0; // milliseconds since 1970, UTC
        // Hashes narrowed to keep entries small; a match is confirmed on the entry itself.
        quint32 identifierHash = 0;
        quint32 linkHash = 0;
        // Where the entry lies in the file that was loaded, which is never larger than
        // maximumFileBytes.
        quint32 offset = 0;
        quint32 length = 0;
        // A reminder scheduled since, with its entry once encoded.
        struct Scheduled
        {
            Reminder reminder;
            QByteArray encoded;
        };
        std::shared_ptr<Scheduled> scheduled;
    };

    void load();
    void changed();
    void write();
    void arm();
    // A scheduled entry's bytes for the file, encoded once.
    static QByteArray encoded(const Entry& entry);
    std::optional<Reminder> reminderOf(const Entry& entry) const;
    // Takes the entries that meet the condition out, in order.
    QList<Entry> takeWhere(const std::function<bool(const Entry&)>& condition);
    QList<Entry> takeIdentifier(const QString& identifier);

    QList<Entry> m_entries;
    // The file loaded, kept open: its entries are read back from it, never held twice in memory.
    mutable QFile m_source;
    QString m_path;
    Clock m_clock;
    QTimer m_timer;
    bool m_writeScheduled = false;
};
