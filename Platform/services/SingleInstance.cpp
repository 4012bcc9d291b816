#include "Platform/services/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTimer>

namespace {

// A running instance answers at once from its event loop; these only bound a hung one.
constexpr int connectTimeoutMs = 1000;
constexpr int answerTimeoutMs = 3000;
// Covers another starting instance's whole turn (connect and answer).
constexpr int startLockTimeoutMs = 10000;
// A client that has not finished its line by then is dropped.
constexpr int clientTimeoutMs = 5000;

const QByteArray exitAnswer = "exit\n";

bool isAcceptableLine(const QString& line)
{
    for (const QChar c : line) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

void drop(QLocalSocket* client)
{
    client->abort();
    client->deleteLater();
}

} // namespace

QString SingleInstance::defaultServerName()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)).filePath("pelorins.socket");
}

SingleInstance::SingleInstance(const QString& serverName, QObject* parent)
    : QObject(parent)
    , m_serverName(serverName)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

// The server closes its clients and removes its socket file.
SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::start(const QString& link)
{
    // Listening with an access option replaces whatever socket has the name, even a live one, so
    // instances started together take turns: only the first listens, the others reach it. When the
    // lock cannot be had (an unwritable folder), start-up goes on unserialised.
    QLockFile lock(m_serverName + ".lock");
    lock.tryLock(startLockTimeoutMs);

    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (socket.waitForConnected(connectTimeoutMs)) {
        socket.write(link.toUtf8() + '\n');
        // Once connected the link is in the running instance's hands even if its answer is late,
        // so this process exits either way rather than run a second program on the same store.
        socket.waitForReadyRead(answerTimeoutMs);
        return Role::Secondary;
    }
    switch (socket.error()) {
    case QLocalSocket::ConnectionRefusedError:
        // Nobody listens: the socket was left behind by an instance that crashed.
        QLocalServer::removeServer(m_serverName);
        [[fallthrough]];
    case QLocalSocket::ServerNotFoundError:
        m_server.listen(m_serverName);
        break;
    default:
        // Something we cannot reach holds the name; it is not ours to take over.
        break;
    }
    return Role::Primary;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket* client = m_server.nextPendingConnection()) {
        // Room for the longest line and its newline; a full buffer without one is dropped.
        client->setReadBufferSize(maximumLineLength + 1);
        connect(client, &QLocalSocket::readyRead, this, [this, client] { readFromClient(client); });
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        QTimer::singleShot(clientTimeoutMs, client, [client] { drop(client); });
    }
}

void SingleInstance::readFromClient(QLocalSocket* client)
{
    if (!client->canReadLine()) {
        if (client->bytesAvailable() > maximumLineLength)
            drop(client);
        return;
    }
    // Only the first line counts.
    disconnect(client, &QLocalSocket::readyRead, this, nullptr);
    QByteArray bytes = client->readLine();
    bytes.chop(1);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString line = decoder(bytes);
    if (decoder.hasError() || !isAcceptableLine(line)) {
        drop(client);
        return;
    }
    client->write(exitAnswer);
    client->disconnectFromServer();

    emit activationRequested();
    if (!line.isEmpty())
        emit linkReceived(line);
}
