#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPointer>

class QVariantAnimation;

// A check box drawn in code that tracks the pointer itself, animates towards the other look
// when clicked and only then tells its owner. A click never flips the state: the owner changes
// the model and calls setState(), which snaps the look to the new state. Space, and the press of
// assistive technology, click it as the pointer does.
class AnimatedCheckButton : public QAbstractButton
{
    Q_OBJECT

public:
    // Every duration of the check buttons is multiplied by this factor; tests make it small.
    static double timeScale();
    static void setTimeScale(double scale);

    int state() const { return m_state; }
    // Stops every animation and shows `state` (0 or 1) at once.
    void setState(int state);
    // True from a click that completed inside the button until the next setState().
    bool buttonClicked() const { return m_buttonClicked; }
    // The tick preview while the box is off (the card shows it on hover).
    bool isTickShown() const { return m_tickShown; }
    void setTickShown(bool shown);

    // The look as last resolved, for tests.
    QColor fillColour() const { return m_fill; }
    qreal strokeEnd() const { return m_strokeEnd; }
    qreal circleScale() const { return m_scale; }
    bool isAnimating() const;

    QSize sizeHint() const override { return QSize(m_width, m_width); }

protected:
    struct Design
    {
        qreal cornerRadius; // a negative radius makes a circle
        QPointF tickPosition;
        qreal tickLineWidth;
        int animationMilliseconds;
        bool pressPreviewsTick; // pressed while off: tick shown and circle at 0.9
        bool springsOn;
        bool tellsAtOnceWhenOn; // a click while on tells without animating
        // After the stroke of a click towards on, the owner is told this much later.
        int delayAfterStrokeMilliseconds;
        bool reappliesColoursAfterStroke;
    };

    AnimatedCheckButton(const Design& design, int width, QWidget* parent);

    // Tells the owner that the user clicked the box.
    virtual void tellTarget() = 0;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    // The owner flips the state, never the click.
    void nextCheckState() override { }

private:
    // A click that reached the box: by the pointer, the keyboard or assistive technology.
    void clickedByUser();
    struct Colours
    {
        QColor on, off, onHighlighted, offHighlighted, circleBorder, tickOn, tickOff, tertiary;
    };

    Colours resolveColours() const;
    void updateColours();
    void animateToggle();
    void strokeStopped();
    void stopAnimations();
    int scaled(int milliseconds) const;

    Design m_design;
    int m_width;
    int m_state = 0;
    bool m_highlighted = false;
    bool m_buttonClicked = false;
    bool m_tickShown = false;
    QColor m_fill;
    QColor m_border;
    qreal m_borderWidth = 1.0;
    QColor m_tickColour;
    qreal m_strokeEnd = 1.0;
    qreal m_scale = 1.0;
    QPointer<QVariantAnimation> m_fillAnimation;
    QPointer<QVariantAnimation> m_strokeAnimation;
    QPointer<QVariantAnimation> m_springAnimation;
};
