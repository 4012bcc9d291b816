#include "Platform/widgets/WindowPlacement.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace {

QMargins frameMargins(const QWidget& window)
{
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
        outer.bottom() - inner.bottom()};
}

// Windows the desktop decorates: not menus, popups, tooltips or frameless ones.
bool isDecorated(const QWidget& window)
{
    const Qt::WindowType type = window.windowType();
    return type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen && type != Qt::Desktop
        && !(window.windowFlags() & Qt::FramelessWindowHint);
}

// Waits for the first exposure of a window's native window. The desktop frames a window before
// it maps it, so the frame is known by then; the caller runs after the exposure is handled.
class FirstExposure : public QObject
{
public:
    FirstExposure(QWidget& window, std::function<void()> framed)
        : QObject(&window)
        , m_framed(std::move(framed))
    {
        window.windowHandle()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, parent(), std::move(m_framed));
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_framed;
};

} // namespace

QMargins WindowPlacement::decoration(const QWidget& window)
{
    if (!isDecorated(window))
        return {};
    const QMargins own = frameMargins(window);
    if (!own.isNull() || window.isVisible())
        return own;
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == &window || !other->isVisible() || !isDecorated(*other))
            continue;
        if (const QMargins margins = frameMargins(*other); !margins.isNull())
            return margins;
    }
    return {};
}

std::optional<QRect> WindowPlacement::availableArea(const QWidget* window)
{
    const QScreen* screen = window ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return screen->availableGeometry();
}

QRect WindowPlacement::centredFrame(const QRect& available, const QSize& frameSize, const QRect& over)
{
    const int width = std::min(frameSize.width(), available.width());
    const int height = std::min(frameSize.height(), available.height());
    const int x = over.x() + (over.width() - width) / 2;
    const int y = over.y() + (over.height() - height) / 2;
    return {std::clamp(x, available.x(), available.x() + available.width() - width),
        std::clamp(y, available.y(), available.y() + available.height() - height), width, height};
}

void WindowPlacement::setFrame(QWidget& window, const QRect& frame)
{
    window.resize(frame.size().shrunkBy(decoration(window)));
    // A window's position is that of its frame: before the window is on screen Qt moves it by the
    // desktop's frame once that is known.
    window.move(frame.topLeft());
}

void WindowPlacement::centre(QWidget& window, const QRect& available, const QWidget* over)
{
    const QMargins frame = decoration(window);
    // Asked first, so that a window that cannot shrink as far is centred at the size it keeps.
    const QSize fitted = (available - frame).size().boundedTo(window.size());
    window.resize(fitted.expandedTo(window.minimumSize()).boundedTo(window.maximumSize()));
    setFrame(window, centredFrame(available, window.size().grownBy(frame), over ? over->frameGeometry() : available));
}

void WindowPlacement::centre(QWidget& window, const QWidget* over)
{
    if (const std::optional<QRect> available = availableArea(over ? over : &window))
        centre(window, *available, over);
}

void WindowPlacement::whenFramed(QWidget& window, std::function<void()> framed)
{
    // A window is made when it is first shown; made earlier, it has its native window at once.
    if (!window.windowHandle())
        window.winId();
    if (window.windowHandle()->isExposed())
        QTimer::singleShot(0, &window, std::move(framed));
    else
        new FirstExposure(window, std::move(framed));
}
