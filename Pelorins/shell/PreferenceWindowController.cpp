#include "Pelorins/shell/PreferenceWindowController.h"

#include "Pelorins/shell/DueDatePrefViewController.h"
#include "PelorinsKit/model/LocalizedString.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

PreferenceWindowController::PreferenceWindowController(UserDefaults& defaults)
    : m_window(std::make_unique<QWidget>(nullptr, Qt::Window))
{
    m_window->setObjectName(QStringLiteral("preferencesWindow"));
    m_window->setWindowTitle(local(QStringLiteral("Preferences")));
    auto* layout = new QVBoxLayout(m_window.get());
    m_pane = new DueDatePrefViewController(defaults, m_window.get());
    layout->addWidget(m_pane);
}

PreferenceWindowController::~PreferenceWindowController() = default;

void PreferenceWindowController::showWindow()
{
    if (!m_loaded) {
        m_loaded = true;
        windowDidLoad();
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void PreferenceWindowController::windowDidLoad()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    m_window->setGeometry(centredFrame(screen->geometry()));
}

QRect PreferenceWindowController::centredFrame(const QRect& screenFrame)
{
    const int width = std::min(screenFrame.width(), windowWidth);
    const int height = std::min(screenFrame.height(), windowHeight);
    // Measured from the screen's own corner, so a screen beside or above the first is right too.
    return QRect(screenFrame.x() + (screenFrame.width() - width) / 2,
        screenFrame.y() + (screenFrame.height() - height) / 2, width, height);
}
