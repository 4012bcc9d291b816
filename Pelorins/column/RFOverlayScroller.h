#pragma once

#include <QScrollBar>

class QGraphicsOpacityEffect;
class QPropertyAnimation;
class QTimer;
class VerticalScrollerDelegate;

// A vertical scroller that floats over the content and draws only its knob. It follows another
// scroll bar (the list's own, which takes no room) both ways. It shows at once while the list
// scrolls and fades 1.5 s after the last step unless the pointer is over the list; it fades in
// when the pointer enters it and out when the pointer leaves it.
class RFOverlayScroller : public QScrollBar
{
    Q_OBJECT

public:
    static constexpr int scrollerWidth = 11;
    static constexpr int fadeOutCheckDelay = 1500;
    static constexpr int fadeInDuration = 100;
    static constexpr int fadeOutDuration = 300;
    // The length of an animation that names none.
    static constexpr int defaultDuration = 250;

    RFOverlayScroller(QScrollBar* follows, QWidget* parent = nullptr);

    VerticalScrollerDelegate* delegate() const { return m_delegate; }
    void setDelegate(VerticalScrollerDelegate* delegate) { m_delegate = delegate; }

    // How visible the scroller is, from 0 to 1.
    qreal alphaValue() const;
    // Animates the visibility to `alpha`.
    void animateAlphaValue(qreal alpha, int milliseconds);
    bool isFadeOutCheckPending() const;

    void fadeOut();
    void fadeOutIfMouseNoLongerInBounds();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // The list scrolled one step.
    void scrolled();

    QScrollBar* m_follows = nullptr;
    VerticalScrollerDelegate* m_delegate = nullptr;
    QGraphicsOpacityEffect* m_opacity = nullptr;
    QPropertyAnimation* m_fade = nullptr;
    QTimer* m_fadeOutCheck = nullptr;
};
