#include "Pelorins/welcome/WelcomeWindowController.h"

#include "Pelorins/welcome/AnimatedWelcomeViewController.h"
#include "Pelorins/welcome/MissingArtwork.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/WindowPlacement.h"

std::unique_ptr<WelcomeWindowController> WelcomeWindowController::make(
    WelcomeDelegate& delegate, UserDefaults& defaults, LayerClock& clock, ScreenArea screenArea)
{
    try {
        return std::make_unique<WelcomeWindowController>(delegate, defaults, clock, std::move(screenArea));
    } catch (const MissingArtwork& missing) {
        ConsoleLog::write(missing.message());
        return nullptr;
    }
}

std::optional<QRect> WelcomeWindowController::mainScreenArea()
{
    return WindowPlacement::availableArea();
}

QRect WelcomeWindowController::centredFrame(const QRect& available, const QSize& frameSize)
{
    return WindowPlacement::centredFrame(available, frameSize, available);
}

WelcomeWindowController::WelcomeWindowController(
    WelcomeDelegate& delegate, UserDefaults& defaults, LayerClock& clock, ScreenArea screenArea)
    : m_defaults(defaults)
    , m_screenArea(std::move(screenArea))
{
    setObjectName(QLatin1String(windowIdentifier));
    setWindowTitle(local(QStringLiteral("Welcome to Pelorins")));
    m_content = new AnimatedWelcomeViewController(WelcomeResources {clock, m_artwork, m_fonts}, delegate, this);
    setFixedSize(m_content->size());
    windowDidLoad();
}

WelcomeWindowController::~WelcomeWindowController() = default;

void WelcomeWindowController::windowDidLoad()
{
    setWindowProperties();
    if (!m_preferenceKey)
        return;
    if (m_defaults.boolForKey(*m_preferenceKey)) {
        // The desktop would put a window it is not told about anywhere, even over the main
        // window at the screen's edge: a later opening is centred too, as large as it fits.
        centreWindow();
        return;
    }
    centreWindow();
    // Set even when there was no screen to centre on, so that it is not tried again.
    m_defaults.setValue(*m_preferenceKey, true);
    m_defaults.synchronize();
}

void WelcomeWindowController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Opened before any other window, the welcome was sized without knowing the desktop's frame.
    WindowPlacement::whenFramed(*this, [this] {
        const std::optional<QRect> screen = m_screenArea ? m_screenArea() : std::nullopt;
        if (screen && !screen->contains(frameGeometry()))
            centreWindow();
    });
}

void WelcomeWindowController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The pages stand on the window's bottom edge, as a view at the origin of a Mac window does:
    // a window shorter than the pages loses the top of the greeting, not the button that goes on.
    m_content->move(0, height() - m_content->height());
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
    // The frame is the window with its title bar.
    const QMargins decoration = WindowPlacement::decoration(*this);
    const QRect frame = centredFrame(*screen, QSize(int(*m_width), int(*m_height)).grownBy(decoration));
    const QSize inner = frame.size().shrunkBy(decoration);
    m_width = inner.width();
    m_height = inner.height();
    setFixedSize(inner);
    WindowPlacement::setFrame(*this, frame);
}
