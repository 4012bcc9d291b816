#pragma once

#include <QMargins>
#include <QRect>
#include <functional>
#include <optional>

class QWidget;

// Puts windows wholly inside the screen's available area, title bar and borders included. What
// the desktop adds around a window is known only once the window is on screen; before that a
// window of the program already shown tells it.
class WindowPlacement
{
public:
    // The desktop's frame around `window`: its own once shown, else that of another visible
    // window of the program, else none.
    static QMargins decoration(const QWidget& window);

    // The available area of the screen `window` is on, or the primary screen's without a window;
    // none without a screen.
    static std::optional<QRect> availableArea(const QWidget* window = nullptr);

    // A frame of `frameSize`, no larger than `available`, centred over `over` and moved as little
    // as needed to lie inside `available`.
    static QRect centredFrame(const QRect& available, const QSize& frameSize, const QRect& over);

    // Gives the window the frame `frame`, title bar included.
    static void setFrame(QWidget& window, const QRect& frame);

    // Shrinks the window where it is larger than `available` and centres its frame over the
    // frame of `over`, or over `available` without one.
    static void centre(QWidget& window, const QRect& available, const QWidget* over = nullptr);
    // The same on the screen of `over`, or of the window without one.
    static void centre(QWidget& window, const QWidget* over = nullptr);

    // Calls `framed` once `window`, made or being shown, is on screen with the desktop's frame
    // around it: after its first exposure, or soon when it is exposed already. A window shown
    // before any other of the program is placed without knowing that frame, so it fits itself
    // then. Nothing is called once the window is gone.
    static void whenFramed(QWidget& window, std::function<void()> framed);
};
