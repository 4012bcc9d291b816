#include "Pelorins/shell/DesktopServices.h"
#include "Pelorins/shell/MainWindowAssembly.h"
#include "Platform/core/FreedMemory.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/SingleInstance.h"

#include <QApplication>

namespace {

// The card link the desktop passes for a "pelorins:" address; empty when there is none.
QString cardLinkArgument(const QStringList& arguments)
{
    for (const QString& argument : arguments.mid(1)) {
        if (argument.startsWith(QLatin1String("pelorins:"), Qt::CaseInsensitive))
            return argument;
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    FreedMemory::keepForReuse();
    Q_INIT_RESOURCE(PelorinsResources);
    Q_INIT_RESOURCE(Backgrounds);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelorins"));
    QApplication::setOrganizationDomain(QStringLiteral("morvance.com"));
    QApplication::setDesktopFileName(QStringLiteral("pelorins"));
    const QString link = cardLinkArgument(QApplication::arguments());

    // A later start hands its card link to the running program and ends here.
    SingleInstance instance;
    if (instance.start(link) == SingleInstance::Role::Secondary)
        return 0;

    DesktopServices services(UserDefaults::standard());
    MainWindowAssembly assembly(services.forAssembly());
    assembly.launch(instance, link);
    return app.exec();
}
