#include "Pelorins/card/AnimatedCheckButton.h"

#include "Pelorins/common/ColourHelpers.h"

#include <QEasingCurve>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QTimer>
#include <QVariantAnimation>

namespace {

double g_timeScale = 1.0;

// The tick as a short stroke down to the right and a long one up to the right, in the tick's
// own 11 x 8 box.
const QPointF tickPoints[] = {{0, 5}, {3, 8}, {11, 0}};
constexpr int springMilliseconds = 500;

QColor withAlpha(QColor colour, double alpha)
{
    colour.setAlphaF(alpha);
    return colour;
}

// The part of the tick that `strokeEnd` (0 to 1) of its length covers.
QPainterPath partialTick(qreal strokeEnd)
{
    QPainterPath path;
    path.moveTo(tickPoints[0]);
    const qreal first = QLineF(tickPoints[0], tickPoints[1]).length();
    const qreal second = QLineF(tickPoints[1], tickPoints[2]).length();
    qreal remaining = strokeEnd * (first + second);
    const QLineF segments[] = {{tickPoints[0], tickPoints[1]}, {tickPoints[1], tickPoints[2]}};
    for (const QLineF& segment : segments) {
        if (remaining <= 0)
            break;
        const qreal length = segment.length();
        path.lineTo(segment.pointAt(std::min(1.0, remaining / length)));
        remaining -= length;
    }
    return path;
}

} // namespace

double AnimatedCheckButton::timeScale()
{
    return g_timeScale;
}

void AnimatedCheckButton::setTimeScale(double scale)
{
    g_timeScale = scale;
}

AnimatedCheckButton::AnimatedCheckButton(const Design& design, int width, QWidget* parent)
    : QAbstractButton(parent)
    , m_design(design)
    , m_width(width)
{
    setText(QString());
    // Its owner may draw it smaller (a zoomed card): it keeps its look at any size it is given.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(width, width);
    setMouseTracking(false);
    // The pointer is tracked by hand and never clicks: whatever clicks is a key or a reader.
    connect(this, &QAbstractButton::clicked, this, &AnimatedCheckButton::clickedByUser);
    // A screen reader toggles a check box, which flips it at once: the box shows its state again
    // and asks its owner, as a click does.
    connect(this, &QAbstractButton::toggled, this, [this](bool checked) {
        if (checked == (m_state == 1))
            return;
        const QSignalBlocker quiet(this);
        setChecked(m_state == 1);
        clickedByUser();
    });
    updateColours();
}

bool AnimatedCheckButton::isAnimating() const
{
    for (const QPointer<QVariantAnimation>& animation : {m_fillAnimation, m_strokeAnimation, m_springAnimation})
        if (animation && animation->state() == QAbstractAnimation::Running)
            return true;
    return false;
}

void AnimatedCheckButton::setState(int state)
{
    m_state = state;
    // A box that reads as a check box reads ticked as it shows.
    setChecked(state == 1);
    m_buttonClicked = false;
    stopAnimations();
    updateColours();
    update();
}

void AnimatedCheckButton::setTickShown(bool shown)
{
    if (m_tickShown == shown)
        return;
    m_tickShown = shown;
    update();
}

int AnimatedCheckButton::scaled(int milliseconds) const
{
    return std::max(1, qRound(milliseconds * g_timeScale));
}

AnimatedCheckButton::Colours AnimatedCheckButton::resolveColours() const
{
    const QPalette& colours = palette();
    const QColor label = colours.color(QPalette::Text);
    const bool dark = colours.color(QPalette::Window).lightness() < 128;
    const QColor accent = colours.color(QPalette::Highlight);
    Colours resolved;
    resolved.on = accent;
    resolved.onHighlighted = darker(accent);
    resolved.off = Qt::transparent;
    resolved.offHighlighted = withAlpha(label, 0.10);
    resolved.tertiary = withAlpha(label, 0.26);
    resolved.circleBorder = dark ? withAlpha(label, 0.50) : resolved.tertiary;
    resolved.tickOn = Qt::white;
    resolved.tickOff = label;
    return resolved;
}

void AnimatedCheckButton::updateColours()
{
    const Colours colours = resolveColours();
    if (m_state == 1) {
        m_fill = m_highlighted ? colours.onHighlighted : colours.on;
        m_tickColour = colours.tickOn;
        m_tickShown = true;
        m_strokeEnd = 1.0;
        m_borderWidth = 0.0;
        m_border = colours.tertiary;
    } else {
        m_borderWidth = 1.0;
        m_border = colours.circleBorder;
        if (m_highlighted) {
            m_fill = colours.offHighlighted;
            if (m_design.pressPreviewsTick) {
                m_tickShown = true;
                m_strokeEnd = 1.0;
                m_scale = 0.9;
            }
        } else {
            m_tickShown = false;
            m_fill = colours.off;
            if (m_design.pressPreviewsTick)
                m_scale = 1.0;
        }
        m_tickColour = colours.tickOff;
    }
    update();
}

void AnimatedCheckButton::stopAnimations()
{
    for (QPointer<QVariantAnimation>* animation : {&m_fillAnimation, &m_strokeAnimation, &m_springAnimation}) {
        if (*animation) {
            (*animation)->disconnect(this);
            (*animation)->stop();
            delete animation->data();
        }
    }
    m_scale = 1.0;
    m_strokeEnd = 1.0;
}

void AnimatedCheckButton::animateToggle()
{
    stopAnimations();
    const Colours colours = resolveColours();
    const int duration = scaled(m_design.animationMilliseconds);
    const bool towardsOff = m_state != 0;
    m_borderWidth = towardsOff ? 1.0 : 0.0;
    m_border = towardsOff ? colours.circleBorder : colours.tertiary;
    if (!towardsOff) {
        m_tickColour = colours.tickOn;
        m_tickShown = true;
    }

    m_fillAnimation = new QVariantAnimation(this);
    m_fillAnimation->setDuration(duration);
    m_fillAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    m_fillAnimation->setStartValue(m_fill);
    m_fillAnimation->setEndValue(towardsOff ? colours.off : colours.on);
    connect(m_fillAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_fill = value.value<QColor>();
        update();
    });
    m_fillAnimation->start();

    if (!towardsOff && m_design.springsOn) {
        m_springAnimation = new QVariantAnimation(this);
        m_springAnimation->setDuration(scaled(springMilliseconds));
        m_springAnimation->setEasingCurve(QEasingCurve::OutElastic);
        m_springAnimation->setStartValue(0.9);
        m_springAnimation->setEndValue(1.0);
        connect(m_springAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            m_scale = value.toReal();
            update();
        });
        m_springAnimation->start();
    }

    m_strokeAnimation = new QVariantAnimation(this);
    m_strokeAnimation->setDuration(duration);
    m_strokeAnimation->setStartValue(towardsOff ? 1.0 : 0.0);
    m_strokeAnimation->setEndValue(towardsOff ? 0.0 : 1.0);
    connect(m_strokeAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_strokeEnd = value.toReal();
        update();
    });
    connect(m_strokeAnimation, &QVariantAnimation::finished, this, &AnimatedCheckButton::strokeStopped);
    m_strokeAnimation->start();
}

void AnimatedCheckButton::strokeStopped()
{
    if (m_design.reappliesColoursAfterStroke) {
        tellTarget();
        updateColours();
        return;
    }
    if (m_state == 1) {
        setTickShown(false);
        tellTarget();
        return;
    }
    // The card may be reused for another one, or go, while the delay runs.
    QPointer<AnimatedCheckButton> self(this);
    QTimer::singleShot(scaled(m_design.delayAfterStrokeMilliseconds), this, [self] {
        if (self)
            self->tellTarget();
    });
}

void AnimatedCheckButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_highlighted = true;
    updateColours();
}

void AnimatedCheckButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const bool inside = rect().contains(event->position().toPoint());
    if (inside != m_highlighted) {
        m_highlighted = inside;
        updateColours();
    }
}

void AnimatedCheckButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool inside = rect().contains(event->position().toPoint());
    m_highlighted = false;
    if (!inside) {
        updateColours();
        return;
    }
    clickedByUser();
}

void AnimatedCheckButton::clickedByUser()
{
    m_buttonClicked = true;
    if (m_design.tellsAtOnceWhenOn && m_state == 1) {
        updateColours();
        tellTarget();
        return;
    }
    animateToggle();
}

void AnimatedCheckButton::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !isAnimating())
        updateColours();
}

void AnimatedCheckButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn in the button's own units, whatever size the column's zoom gives it.
    const qreal unit = width() / qreal(m_width);
    painter.scale(unit, unit);
    const qreal w = m_width;
    painter.translate(w / 2, w / 2);
    painter.scale(m_scale, m_scale);
    painter.translate(-w / 2, -w / 2);

    const QRectF box
        = QRectF(0, 0, w, w).adjusted(m_borderWidth / 2, m_borderWidth / 2, -m_borderWidth / 2, -m_borderWidth / 2);
    const qreal radius = m_design.cornerRadius < 0 ? box.width() / 2 : m_design.cornerRadius;
    painter.setBrush(m_fill);
    painter.setPen(m_borderWidth > 0 ? QPen(m_border, m_borderWidth) : Qt::NoPen);
    painter.drawRoundedRect(box, radius, radius);

    if (!m_tickShown || m_strokeEnd <= 0)
        return;
    painter.translate(m_design.tickPosition);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(m_tickColour, m_design.tickLineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawPath(partialTick(m_strokeEnd));
}
