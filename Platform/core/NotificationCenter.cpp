#include "NotificationCenter.h"

NotificationCenter::NotificationCenter(QObject* parent)
    : QObject(parent)
{
}

NotificationCenter& NotificationCenter::shared()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(QObject* owner, const QString& name, Handler handler, const void* object)
{
    if (!owner || !handler)
        return;
    m_observers.append({owner, name, object, std::move(handler), m_nextSerial++});
}

void NotificationCenter::removeObserver(QObject* owner)
{
    m_observers.removeIf([owner](const Observer& o) { return o.owner.isNull() || o.owner == owner; });
}

void NotificationCenter::removeObserver(QObject* owner, const QString& name)
{
    m_observers.removeIf([&](const Observer& o) { return o.owner.isNull() || (o.owner == owner && o.name == name); });
}

void NotificationCenter::post(const QString& name, const void* object, const QVariantMap& userInfo)
{
    m_observers.removeIf([](const Observer& o) { return o.owner.isNull(); });
    // Handlers may add or remove observers; deliver to those registered when the post began,
    // skipping any removed or destroyed on the way.
    QList<quint64> serials;
    for (const Observer& o : std::as_const(m_observers)) {
        if (o.name == name && (!o.object || o.object == object))
            serials.append(o.serial);
    }
    const Notification notification{name, object, userInfo};
    for (quint64 serial : serials) {
        auto it = std::find_if(m_observers.cbegin(), m_observers.cend(),
                               [serial](const Observer& o) { return o.serial == serial; });
        if (it == m_observers.cend() || it->owner.isNull())
            continue;
        const Handler handler = it->handler;
        handler(notification);
    }
}
