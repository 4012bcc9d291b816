#include "Platform/services/SingleInstance.h"

#include <QDir>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A running instance answers at once from its event loop; these only bound a hung one.
constexpr int connectTimeoutMs = 1000;
constexpr int answerTimeoutMs = 3000;
// A client that has not finished its line by then is dropped.
constexpr int clientTimeoutMs = 5000;

const QByteArray exitAnswer = "exit\n";

std::optional<sockaddr_un> socketAddress(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address {};
    if (encoded.isEmpty() || encoded.size() >= int(sizeof(address.sun_path)))
        return std::nullopt;
    address.sun_family = AF_UNIX;
    std::copy(encoded.begin(), encoded.end(), address.sun_path);
    return address;
}

void setTimeout(int fd, int option, int milliseconds)
{
    timeval time {milliseconds / 1000, (milliseconds % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, option, &time, sizeof(time));
}

// A connected socket, or -1 when nobody listens at `path`.
int connectTo(const QString& path)
{
    const auto address = socketAddress(path);
    if (!address)
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    setTimeout(fd, SO_SNDTIMEO, connectTimeoutMs);
    setTimeout(fd, SO_RCVTIMEO, answerTimeoutMs);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool isAcceptableLine(const QString& line)
{
    for (const QChar c : line) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
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
}

SingleInstance::~SingleInstance()
{
    for (auto it = m_clients.cbegin(); it != m_clients.cend(); ++it) {
        it->notifier->setEnabled(false);
        ::close(it.key());
    }
    if (m_listeningFd >= 0) {
        m_listeningNotifier->setEnabled(false);
        ::close(m_listeningFd);
        ::unlink(QFile::encodeName(m_serverName).constData());
    }
}

SingleInstance::Role SingleInstance::start(const QString& link)
{
    if (handOver(link))
        return Role::Secondary;
    if (listen() != ListenResult::NameTaken)
        return Role::Primary;
    // Another instance began listening between our two attempts.
    return handOver(link) ? Role::Secondary : Role::Primary;
}

bool SingleInstance::handOver(const QString& link) const
{
    const int fd = connectTo(m_serverName);
    if (fd < 0)
        return false;
    const QByteArray line = link.toUtf8() + '\n';
    ::send(fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL);
    // Once connected the link is in the running instance's hands even if its answer is late, so
    // this process exits either way rather than run a second program on the same store.
    char answer[16];
    ::recv(fd, answer, sizeof(answer), 0);
    ::close(fd);
    return true;
}

SingleInstance::ListenResult SingleInstance::listen()
{
    const auto address = socketAddress(m_serverName);
    if (!address)
        return ListenResult::Failed;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return ListenResult::Failed;

    const auto bindAddress = [&] { return ::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)); };
    if (bindAddress() != 0) {
        if (errno != EADDRINUSE) {
            ::close(fd);
            return ListenResult::Failed;
        }
        if (const int probe = connectTo(m_serverName); probe >= 0) {
            ::close(probe);
            ::close(fd);
            return ListenResult::NameTaken;
        }
        // Left behind by an instance that crashed.
        ::unlink(address->sun_path);
        if (bindAddress() != 0) {
            ::close(fd);
            return ListenResult::Failed;
        }
    }
    ::chmod(address->sun_path, S_IRUSR | S_IWUSR);
    if (::listen(fd, 8) != 0) {
        ::close(fd);
        ::unlink(address->sun_path);
        return ListenResult::Failed;
    }

    m_listeningFd = fd;
    m_listeningNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_listeningNotifier, &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
    return ListenResult::Listening;
}

void SingleInstance::acceptConnections()
{
    for (;;) {
        const int fd = ::accept4(m_listeningFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        Client client;
        client.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(client.notifier, &QSocketNotifier::activated, this, [this, fd] { readFromClient(fd); });
        client.timeout = new QTimer(this);
        client.timeout->setSingleShot(true);
        connect(client.timeout, &QTimer::timeout, this, [this, fd] { closeClient(fd); });
        client.timeout->start(clientTimeoutMs);
        m_clients.insert(fd, client);
    }
}

void SingleInstance::readFromClient(int fd)
{
    auto it = m_clients.find(fd);
    if (it == m_clients.end())
        return;
    char chunk[1024];
    for (;;) {
        const ssize_t count = ::recv(fd, chunk, sizeof(chunk), 0);
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (count <= 0) {
            // The client left before finishing its line.
            closeClient(fd);
            return;
        }
        it->buffer.append(chunk, count);
        if (const qsizetype end = it->buffer.indexOf('\n'); end >= 0) {
            finishLine(fd, it->buffer.left(end));
            return;
        }
        if (it->buffer.size() > maximumLineLength) {
            closeClient(fd);
            return;
        }
    }
}

void SingleInstance::finishLine(int fd, QByteArray bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString line = decoder(bytes);
    const bool accepted = bytes.size() <= maximumLineLength && !decoder.hasError() && isAcceptableLine(line);
    if (accepted)
        ::send(fd, exitAnswer.constData(), size_t(exitAnswer.size()), MSG_NOSIGNAL);
    closeClient(fd);
    if (!accepted)
        return;

    emit activationRequested();
    if (!line.isEmpty())
        emit linkReceived(line);
}

void SingleInstance::closeClient(int fd)
{
    const auto it = m_clients.find(fd);
    if (it == m_clients.end())
        return;
    it->notifier->setEnabled(false);
    it->notifier->deleteLater();
    it->timeout->stop();
    it->timeout->deleteLater();
    m_clients.erase(it);
    ::close(fd);
}
