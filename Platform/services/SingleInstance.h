#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

class QLocalSocket;

// Keeps one running program per user. The first instance listens on a local socket; a later one
// hands its card link (or nothing, when started without one) to it and is told to exit, so that two
// processes never work on the same store.
//
// Protocol: the client sends one UTF-8 line ending in "\n"; the running instance answers "exit\n"
// and closes. Anything else is dropped unanswered.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        // This process runs the program (listening, or alone when the socket cannot be made).
        Primary,
        // Another instance runs; this process handed its link over and should exit.
        Secondary,
    };

    // The longest line a client may send, in bytes; a longer one is dropped unread.
    static constexpr int maximumLineLength = 4096;

    // "pelorins.socket" in the user's runtime folder.
    static QString defaultServerName();

    // `serverName` is the socket's path.
    explicit SingleInstance(const QString& serverName = defaultServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Hands `link` to a running instance, or becomes the running instance. A socket left behind
    // by a crashed instance is removed and replaced.
    Role start(const QString& link);

    bool isListening() const { return m_server.isListening(); }
    QString serverName() const { return m_serverName; }

signals:
    // A later instance was started with this link.
    void linkReceived(const QString& link);
    // A later instance was started; the program should come to the front.
    void activationRequested();

private:
    void acceptConnections();
    void readFromClient(QLocalSocket* client);

    QString m_serverName;
    QLocalServer m_server;
};
