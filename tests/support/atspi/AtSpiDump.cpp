// Prints what a screen reader finds of running programs: every object of their accessibility
// trees as the desktop's accessibility bus (AT-SPI) serves it, one line each, indented by depth:
//
//   <role> "<name>" desc="<description>" text="<text>" [<states>] <object path>
//
// Usage: atspi-dump [--pid PID]   (only the program with that process id)
// Exits with 2, saying why, when no accessibility bus can be reached.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QSet>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

namespace {

// An object on the bus: the connection that serves it and its path.
struct Reference
{
    QString service;
    QDBusObjectPath path;
};

QDBusArgument& operator<<(QDBusArgument& argument, const Reference& reference)
{
    argument.beginStructure();
    argument << reference.service << reference.path;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Reference& reference)
{
    argument.beginStructure();
    argument >> reference.service >> reference.path;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(Reference)
Q_DECLARE_METATYPE(QList<Reference>)

namespace {

const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString textInterface = QStringLiteral("org.a11y.atspi.Text");
constexpr int timeoutMilliseconds = 10000;
// Far more than any window holds; a tree that goes on is cut there.
constexpr int objectLimit = 50000;

// The names of the state bits, in their order on the bus.
const char* const stateNames[] = {"invalid", "active", "armed", "busy", "checked", "collapsed", "defunct", "editable",
    "enabled", "expandable", "expanded", "focusable", "focused", "has-tooltip", "horizontal", "iconified", "modal",
    "multi-line", "multiselectable", "opaque", "pressed", "resizable", "selectable", "selected", "sensitive", "showing",
    "single-line", "stale", "transient", "vertical", "visible", "manages-descendants", "indeterminate", "required",
    "truncated", "animated", "invalid-entry", "supports-autocompletion", "selectable-text", "is-default", "visited",
    "checkable", "has-popup", "read-only"};

QString quoted(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('"'), QLatin1String("\\\""));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

class Dumper
{
public:
    Dumper(QDBusConnection bus, QTextStream& out)
        : m_bus(std::move(bus))
        , m_out(out)
    {
    }

    QDBusMessage call(const Reference& object, const QString& interface, const QString& method,
        const QVariantList& arguments = {}) const
    {
        QDBusMessage message = QDBusMessage::createMethodCall(object.service, object.path.path(), interface, method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::Block, timeoutMilliseconds);
    }

    QString property(const Reference& object, const QString& name) const
    {
        const QDBusMessage reply = call(object, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"), {accessibleInterface, name});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().constFirst().value<QDBusVariant>().variant().toString();
    }

    QList<Reference> children(const Reference& object) const
    {
        const QDBusMessage reply = call(object, accessibleInterface, QStringLiteral("GetChildren"));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return qdbus_cast<QList<Reference>>(reply.arguments().constFirst());
    }

    QString states(const Reference& object) const
    {
        const QDBusMessage reply = call(object, accessibleInterface, QStringLiteral("GetState"));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        const QList<uint> words = qdbus_cast<QList<uint>>(reply.arguments().constFirst());
        QStringList names;
        for (int word = 0; word < words.size(); ++word)
            for (int bit = 0; bit < 32; ++bit)
                if (words.at(word) & (1u << bit)) {
                    const int state = word * 32 + bit;
                    names << (state < int(std::size(stateNames)) ? QString::fromLatin1(stateNames[state])
                                                                 : QString::number(state));
                }
        return names.join(QLatin1Char(' '));
    }

    void dump(const Reference& object, int depth)
    {
        if (m_seen.contains(object.path.path()) || m_seen.size() >= objectLimit)
            return;
        m_seen.insert(object.path.path());
        const QDBusMessage role = call(object, accessibleInterface, QStringLiteral("GetRoleName"));
        QString line = QString(depth * 2, QLatin1Char(' '))
            + (role.arguments().isEmpty() ? QStringLiteral("?") : role.arguments().constFirst().toString());
        line += QLatin1Char(' ') + quoted(property(object, QStringLiteral("Name")));
        if (const QString description = property(object, QStringLiteral("Description")); !description.isEmpty())
            line += QStringLiteral(" desc=") + quoted(description);
        const QDBusMessage interfaces = call(object, accessibleInterface, QStringLiteral("GetInterfaces"));
        if (!interfaces.arguments().isEmpty()
            && interfaces.arguments().constFirst().toStringList().contains(textInterface)) {
            const QDBusMessage text = call(object, textInterface, QStringLiteral("GetText"), {0, -1});
            if (!text.arguments().isEmpty())
                line += QStringLiteral(" text=") + quoted(text.arguments().constFirst().toString());
        }
        line += QStringLiteral(" [") + states(object) + QStringLiteral("] ") + object.path.path();
        m_out << line << '\n';
        for (const Reference& child : children(object))
            dump(child, depth + 1);
    }

private:
    QDBusConnection m_bus;
    QTextStream& m_out;
    QSet<QString> m_seen;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    qDBusRegisterMetaType<Reference>();
    qDBusRegisterMetaType<QList<Reference>>();
    QTextStream out(stdout);
    QTextStream errors(stderr);

    qint64 pid = -1;
    const QStringList arguments = application.arguments();
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--pid")); at >= 0 && at + 1 < arguments.size())
        pid = arguments.at(at + 1).toLongLong();

    // The accessibility bus is found through the session bus.
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) {
        errors << "no session bus: " << session.lastError().message() << '\n';
        return 2;
    }
    QDBusInterface launcher(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"), session);
    launcher.setTimeout(timeoutMilliseconds);
    const QDBusReply<QString> address = launcher.call(QStringLiteral("GetAddress"));
    if (!address.isValid() || address.value().isEmpty()) {
        errors << "no AT-SPI bus: " << address.error().message() << '\n';
        return 2;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(address.value(), QStringLiteral("atspi-dump"));
    if (!bus.isConnected()) {
        errors << "cannot connect to the AT-SPI bus: " << bus.lastError().message() << '\n';
        return 2;
    }

    Dumper dumper(bus, out);
    const Reference registry {
        QStringLiteral("org.a11y.atspi.Registry"), QDBusObjectPath("/org/a11y/atspi/accessible/root")};
    int found = 0;
    for (const Reference& application : dumper.children(registry)) {
        if (pid >= 0) {
            QDBusInterface daemon(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), bus);
            const QDBusReply<uint> owner
                = daemon.call(QStringLiteral("GetConnectionUnixProcessID"), application.service);
            if (!owner.isValid() || qint64(owner.value()) != pid)
                continue;
        }
        ++found;
        dumper.dump(application, 0);
    }
    out.flush();
    if (found == 0) {
        errors << "no program of that process on the AT-SPI bus\n";
        return 1;
    }
    return 0;
}
