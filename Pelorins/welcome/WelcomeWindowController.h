#pragma once

#include "Pelorins/welcome/WelcomeArtwork.h"
#include "Pelorins/welcome/WelcomeFonts.h"

#include <QRect>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class AnimatedWelcomeViewController;
class WelcomeDelegate;
class LayerClock;
class UserDefaults;

// The welcome window: 800 x 600 points of animated pages, centred on the main screen's free area
// and no larger than it, whenever it opens; the first opening is remembered. It owns the pictures
// and fonts its pages draw with.
class WelcomeWindowController : public QWidget
{
    Q_OBJECT
public:
    // The main screen's available area, if there is a screen.
    using ScreenArea = std::function<std::optional<QRect>()>;

    static constexpr const char* windowIdentifier = "welcomeWindow";
    static constexpr const char* positionSetKey = "welcomeWindowPositionSet";

    // A new welcome window, or null, after saying why on the console, when a picture is missing.
    static std::unique_ptr<WelcomeWindowController> make(
        WelcomeDelegate& delegate, UserDefaults& defaults, LayerClock& clock, ScreenArea screenArea = mainScreenArea);
    static std::optional<QRect> mainScreenArea();
    // A frame of `frameSize`, no larger than `available`, centred in it.
    static QRect centredFrame(const QRect& available, const QSize& frameSize);

    // Throws MissingArtwork when a picture is missing.
    WelcomeWindowController(
        WelcomeDelegate& delegate, UserDefaults& defaults, LayerClock& clock, ScreenArea screenArea = mainScreenArea);
    ~WelcomeWindowController() override;

    void windowDidLoad();
    virtual void setWindowProperties();
    void centreWindow();

    std::optional<double> windowWidth() const { return m_width; }
    std::optional<double> windowHeight() const { return m_height; }
    std::optional<QString> preferenceKey() const { return m_preferenceKey; }
    AnimatedWelcomeViewController* contentViewController() const { return m_content; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    UserDefaults& m_defaults;
    ScreenArea m_screenArea;
    WelcomeArtwork m_artwork;
    WelcomeFonts m_fonts;
    AnimatedWelcomeViewController* m_content = nullptr;
    std::optional<double> m_width;
    std::optional<double> m_height;
    std::optional<QString> m_preferenceKey;
};
