#include "Platform/services/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

QString uniqueServerName(const QTemporaryDir& dir)
{
    return dir.filePath(QUuid::createUuid().toString(QUuid::WithoutBraces).left(8) + ".socket");
}

template <typename Condition> bool spinUntil(Condition condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

// A second process, played by a thread: it blocks on the socket while the running instance
// answers from this thread's event loop.
SingleInstance::Role startSecondInstance(const QString& serverName, const QString& link)
{
    auto second = std::async(std::launch::async, [serverName, link] { return SingleInstance(serverName).start(link); });
    spinUntil([&] { return second.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 15000);
    return second.get();
}

struct Received
{
    QStringList links;
    int activations = 0;
};

void record(SingleInstance& instance, Received& received)
{
    QObject::connect(&instance, &SingleInstance::linkReceived, [&](const QString& link) { received.links << link; });
    QObject::connect(&instance, &SingleInstance::activationRequested, [&] { ++received.activations; });
}

// Sends raw bytes as a client that is not one of ours would, and returns the answer once the
// running instance has closed the connection.
QByteArray sendRaw(const QString& serverName, const QByteArray& bytes, int closeTimeoutMs = 2000)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray path = serverName.toLocal8Bit();
    std::copy(path.begin(), path.end(), address.sun_path);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_EQ(::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL), bytes.size());
    QByteArray answer;
    bool closed = false;
    spinUntil(
        [&] {
            char chunk[64];
            const ssize_t count = ::recv(fd, chunk, sizeof(chunk), MSG_DONTWAIT);
            if (count > 0)
                answer.append(chunk, count);
            closed = count == 0 || (count < 0 && errno != EAGAIN);
            return closed;
        },
        closeTimeoutMs);
    EXPECT_TRUE(closed);
    ::close(fd);
    return answer;
}

} // namespace

TEST(SingleInstance, SecondInstanceHandsItsLinkToTheRunningOneAndExits)
{
    QTemporaryDir dir;
    const QString name = uniqueServerName(dir);
    SingleInstance first(name);
    ASSERT_EQ(first.start(QString()), SingleInstance::Role::Primary);
    ASSERT_TRUE(first.isListening());
    const auto othersMayUse = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
        | QFile::WriteOther | QFile::ExeOther;
    EXPECT_FALSE(QFile::permissions(name) & othersMayUse);
    Received received;
    record(first, received);

    EXPECT_EQ(startSecondInstance(name, "pelorins://6F1C-ÄÖ"), SingleInstance::Role::Secondary);
    ASSERT_TRUE(spinUntil([&] { return !received.links.isEmpty(); }));
    EXPECT_EQ(received.links, QStringList {"pelorins://6F1C-ÄÖ"});

    // Without a link the running instance is only asked to come forward.
    EXPECT_EQ(startSecondInstance(name, QString()), SingleInstance::Role::Secondary);
    ASSERT_TRUE(spinUntil([&] { return received.activations == 2; }));
    EXPECT_EQ(received.links.size(), 1);
}

TEST(SingleInstance, SocketLeftByACrashedInstanceIsReplaced)
{
    QTemporaryDir dir;
    const QString name = uniqueServerName(dir);
    {
        // A bound socket whose process is gone: the file stays, nobody accepts.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray path = name.toLocal8Bit();
        ASSERT_LT(path.size(), int(sizeof(address.sun_path)));
        std::copy(path.begin(), path.end(), address.sun_path);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ::close(fd);
    }
    ASSERT_TRUE(QFile::exists(name));

    SingleInstance first(name);
    EXPECT_EQ(first.start("pelorins://A"), SingleInstance::Role::Primary);
    EXPECT_TRUE(first.isListening());

    Received received;
    record(first, received);
    EXPECT_EQ(startSecondInstance(name, "pelorins://B"), SingleInstance::Role::Secondary);
    ASSERT_TRUE(spinUntil([&] { return !received.links.isEmpty(); }));
    EXPECT_EQ(received.links, QStringList {"pelorins://B"});
}

TEST(SingleInstance, GarbageFromAClientIsIgnoredAndTheServerKeepsWorking)
{
    QTemporaryDir dir;
    const QString name = uniqueServerName(dir);
    SingleInstance first(name);
    ASSERT_EQ(first.start(QString()), SingleInstance::Role::Primary);
    Received received;
    record(first, received);

    const struct
    {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"invalid UTF-8", QByteArray("pelorins://\xff\xfe\n")},
        {"control characters", QByteArray("pelorins://A\0B\n", 15)},
        {"a line longer than allowed", QByteArray(SingleInstance::maximumLineLength + 10, 'x') + '\n'},
        {"an endless line", QByteArray(SingleInstance::maximumLineLength * 4, 'y')},
        {"a line never finished", QByteArray("pelorins://E")},
    };
    for (const auto& garbage : cases) {
        // An unfinished line is only dropped when the client's time is up.
        EXPECT_TRUE(sendRaw(name, garbage.bytes, 8000).isEmpty()) << garbage.what;
        EXPECT_TRUE(received.links.isEmpty()) << garbage.what;
        EXPECT_EQ(received.activations, 0) << garbage.what;
    }

    // Only the first line counts; a well-formed client is still served.
    EXPECT_EQ(sendRaw(name, "pelorins://C\nmore\n"), "exit\n");
    EXPECT_EQ(received.links, QStringList {"pelorins://C"});
    EXPECT_EQ(startSecondInstance(name, "pelorins://D"), SingleInstance::Role::Secondary);
    ASSERT_TRUE(spinUntil([&] { return received.links.size() == 2; }));
    EXPECT_EQ(received.links.last(), "pelorins://D");
}

TEST(SingleInstance, InstancesStartedTogetherLeaveExactlyOneRunning)
{
    QTemporaryDir dir;
    const QString name = uniqueServerName(dir);
    constexpr int count = 4;
    std::atomic<int> started = 0;
    std::vector<std::future<SingleInstance::Role>> instances;
    for (int i = 0; i < count; ++i) {
        instances.push_back(std::async(std::launch::async, [&] {
            // Gives this thread the event dispatcher a listening socket needs.
            QEventLoop loop;
            SingleInstance instance(name);
            const auto role = instance.start(QString());
            ++started;
            // The running one answers the others until all have started.
            QDeadlineTimer deadline(15000);
            while (started < count && !deadline.hasExpired())
                loop.processEvents(QEventLoop::AllEvents, 20);
            return role;
        }));
    }
    int running = 0;
    for (auto& instance : instances)
        running += instance.get() == SingleInstance::Role::Primary;
    EXPECT_EQ(running, 1);
}
