#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <functional>

// Delivers named notices between parts of the program that do not know each other. Observers
// are tied to an owner QObject: once the owner is destroyed, its observers are never called.
class NotificationCenter : public QObject
{
    Q_OBJECT
public:
    struct Notification
    {
        QString name;
        const void* object = nullptr;
        QVariantMap userInfo;
    };
    using Handler = std::function<void(const Notification&)>;

    explicit NotificationCenter(QObject* parent = nullptr);

    static NotificationCenter& shared();

    // Calls `handler` for every post of `name`; with `object` set, only for posts of that object.
    void addObserver(QObject* owner, const QString& name, Handler handler, const void* object = nullptr);
    void removeObserver(QObject* owner);
    void removeObserver(QObject* owner, const QString& name);

    void post(const QString& name, const void* object = nullptr, const QVariantMap& userInfo = {});

private:
    struct Observer
    {
        QPointer<QObject> owner;
        QString name;
        const void* object;
        Handler handler;
        quint64 serial;
    };
    QList<Observer> m_observers;
    quint64 m_nextSerial = 0;
};
