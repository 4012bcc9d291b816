#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects the Qt warnings that begin with `prefix` while it lives; every other message goes to
// the handler installed before it.
class QtWarningCatcher
{
public:
    explicit QtWarningCatcher(QString prefix)
        : m_prefix(std::move(prefix))
        , m_outer(s_current)
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&QtWarningCatcher::handle);
    }
    ~QtWarningCatcher()
    {
        qInstallMessageHandler(m_previous);
        s_current = m_outer;
    }
    QtWarningCatcher(const QtWarningCatcher&) = delete;
    QtWarningCatcher& operator=(const QtWarningCatcher&) = delete;

    QStringList caught() const { return m_caught; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        QtWarningCatcher* catcher = s_current;
        if (type == QtWarningMsg && message.startsWith(catcher->m_prefix))
            catcher->m_caught.append(message);
        else if (catcher->m_previous)
            catcher->m_previous(type, context, message);
    }

    inline static QtWarningCatcher* s_current = nullptr;
    QString m_prefix;
    QtWarningCatcher* m_outer;
    QtMessageHandler m_previous = nullptr;
    QStringList m_caught;
};
