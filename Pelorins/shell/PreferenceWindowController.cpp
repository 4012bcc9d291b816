#include "Pelorins/shell/PreferenceWindowController.h"

#include "Pelorins/shell/DueDatePrefViewController.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "Platform/widgets/WindowPlacement.h"

#include <QVBoxLayout>
#include <QWidget>

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
    // The screen's area less the desktop's panels, so that the title bar is on screen too.
    if (const std::optional<QRect> screen = WindowPlacement::availableArea())
        WindowPlacement::setFrame(*m_window, centredFrame(*screen));
}

QRect PreferenceWindowController::centredFrame(const QRect& screenFrame)
{
    return WindowPlacement::centredFrame(screenFrame, QSize(windowWidth, windowHeight), screenFrame);
}
