#include "Pelorins/welcome/WelcomeWindowController.h"

#include "Pelorins/welcome/AnimatedWelcomeViewController.h"
#include "Pelorins/welcome/MissingArtwork.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UserDefaults.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

std::unique_ptr<WelcomeWindowController> WelcomeWindowController::make(
    AppDelegate& appDelegate, UserDefaults& defaults, LayerClock& clock, ScreenArea screenArea)
{
    try {
        return std::make_unique<WelcomeWindowController>(appDelegate, defaults, clock, std::move(screenArea));
    } catch (const MissingArtwork& missing) {
        ConsoleLog::write(missing.message());
        return nullptr;
    }
}

std::optional<QRect> WelcomeWindowController::mainScreenArea()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->availableGeometry();
    return std::nullopt;
}

QRect WelcomeWindowController::centredFrame(const QRect& available, const QSize& frameSize)
{
    const int width = std::min(frameSize.width(), available.width());
    const int height = std::min(frameSize.height(), available.height());
    return QRect(available.x() + (available.width() - width) / 2, available.y() + (available.height() - height) / 2,
        width, height);
}

WelcomeWindowController::WelcomeWindowController(
    AppDelegate& appDelegate, UserDefaults& defaults, LayerClock& clock, ScreenArea screenArea)
    : m_defaults(defaults)
    , m_screenArea(std::move(screenArea))
{
    setObjectName(QLatin1String(windowIdentifier));
    setWindowTitle(local(QStringLiteral("Welcome to Pelorins")));
    m_content = new AnimatedWelcomeViewController(WelcomeResources {clock, m_artwork, m_fonts}, appDelegate, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_content);
    setFixedSize(m_content->size());
    windowDidLoad();
}

WelcomeWindowController::~WelcomeWindowController() = default;

void WelcomeWindowController::windowDidLoad()
{
    setWindowProperties();
    if (!m_preferenceKey)
        return;
    if (m_defaults.boolForKey(*m_preferenceKey))
        return;
    centreWindow();
    // Set even when there was no screen to centre on, so that it is not tried again.
    m_defaults.setValue(*m_preferenceKey, true);
    m_defaults.synchronize();
}

void WelcomeWindowController::setWindowProperties()
{
    m_width = 800;
    m_height = 600;
    m_preferenceKey = QString::fromLatin1(positionSetKey);
}

void WelcomeWindowController::centreWindow()
{
    const std::optional<QRect> screen = m_screenArea ? m_screenArea() : std::nullopt;
    if (!screen || !m_width || !m_height)
        return;
    // The frame is the window with its title bar, where the desktop has told us its size.
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    const QMargins decoration(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
        outer.bottom() - inner.bottom());
    const QSize frameSize(int(*m_width) + decoration.left() + decoration.right(),
        int(*m_height) + decoration.top() + decoration.bottom());
    const QRect frame = centredFrame(*screen, frameSize);
    m_width = frame.width() - decoration.left() - decoration.right();
    m_height = frame.height() - decoration.top() - decoration.bottom();
    setFixedSize(int(*m_width), int(*m_height));
    move(frame.topLeft());
}
