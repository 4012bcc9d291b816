#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelorins"));
    QApplication::setOrganizationDomain(QStringLiteral("morvance.com"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Pelorins"));
    window.resize(1100, 720);
    window.show();
    return app.exec();
}
