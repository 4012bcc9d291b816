#include "Pelorins/column/RFOverlayScroller.h"

#include "Pelorins/column/VerticalScrollerDelegate.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPropertyAnimation>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QWheelEvent>

namespace {

constexpr qreal knobWidth = 7;
constexpr qreal knobInsetY = 2;

} // namespace

RFOverlayScroller::RFOverlayScroller(QScrollBar* follows, QWidget* parent)
    : QScrollBar(Qt::Vertical, parent)
    , m_follows(follows)
    , m_opacity(new QGraphicsOpacityEffect(this))
    , m_fade(new QPropertyAnimation(m_opacity, "opacity", this))
    , m_fadeOutCheck(new QTimer(this))
{
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
    m_opacity->setOpacity(0.0);
    setGraphicsEffect(m_opacity);
    m_fadeOutCheck->setSingleShot(true);
    m_fadeOutCheck->setInterval(fadeOutCheckDelay);
    connect(m_fadeOutCheck, &QTimer::timeout, this, &RFOverlayScroller::fadeOutIfMouseNoLongerInBounds);

    setRange(m_follows->minimum(), m_follows->maximum());
    setPageStep(m_follows->pageStep());
    setSingleStep(m_follows->singleStep());
    setValue(m_follows->value());
    connect(m_follows, &QScrollBar::rangeChanged, this, [this](int minimum, int maximum) {
        setPageStep(m_follows->pageStep());
        setRange(minimum, maximum);
    });
    connect(m_follows, &QScrollBar::valueChanged, this, [this](int value) {
        setValue(value);
        scrolled();
    });
    connect(this, &QScrollBar::valueChanged, m_follows, &QScrollBar::setValue);
}

void RFOverlayScroller::wheelEvent(QWheelEvent* event)
{
    // The scroller floats over its list: the wheel over it is the list's, which tells sideways
    // gestures (the board's) from vertical ones. A scroll bar alone would take both as its own.
    auto* list = qobject_cast<QAbstractScrollArea*>(parentWidget());
    if (!list) {
        QScrollBar::wheelEvent(event);
        return;
    }
    QWidget* viewport = list->viewport();
    QWheelEvent forwarded(viewport->mapFromGlobal(event->globalPosition()), event->globalPosition(),
        event->pixelDelta(), event->angleDelta(), event->buttons(), event->modifiers(), event->phase(),
        event->inverted(), event->source());
    QCoreApplication::sendEvent(viewport, &forwarded);
    event->setAccepted(forwarded.isAccepted());
}

qreal RFOverlayScroller::alphaValue() const
{
    return m_opacity->opacity();
}

void RFOverlayScroller::animateAlphaValue(qreal alpha, int milliseconds)
{
    m_fade->stop();
    if (milliseconds <= 0 || m_opacity->opacity() == alpha) {
        m_opacity->setOpacity(alpha);
        return;
    }
    m_fade->setDuration(milliseconds);
    m_fade->setStartValue(m_opacity->opacity());
    m_fade->setEndValue(alpha);
    m_fade->start();
}

bool RFOverlayScroller::isFadeOutCheckPending() const
{
    return m_fadeOutCheck->isActive();
}

void RFOverlayScroller::fadeOut()
{
    animateAlphaValue(0.0, fadeOutDuration);
}

void RFOverlayScroller::fadeOutIfMouseNoLongerInBounds()
{
    if (!m_delegate)
        return;
    if (!m_delegate->mouseIsWithinBounds())
        fadeOut();
    else
        // Looked at again later: Qt sends no leave for a pointer that already rested there when
        // the column appeared, so waiting for one could keep the scroller shown for good.
        m_fadeOutCheck->start();
}

void RFOverlayScroller::scrolled()
{
    animateAlphaValue(1.0, defaultDuration);
    m_fadeOutCheck->start();
}

void RFOverlayScroller::paintEvent(QPaintEvent*)
{
    if (maximum() <= minimum())
        return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor knob = palette().color(QPalette::WindowText);
    knob.setAlphaF(0.45);
    painter.setPen(Qt::NoPen);
    painter.setBrush(knob);
    const QRectF shape((width() - knobWidth) / 2, slider.top() + knobInsetY, knobWidth,
        std::max<qreal>(knobWidth, slider.height() - 2 * knobInsetY));
    painter.drawRoundedRect(shape, knobWidth / 2, knobWidth / 2);
}

void RFOverlayScroller::enterEvent(QEnterEvent* event)
{
    QScrollBar::enterEvent(event);
    animateAlphaValue(1.0, fadeInDuration);
    m_fadeOutCheck->stop();
}

void RFOverlayScroller::mouseMoveEvent(QMouseEvent* event)
{
    QScrollBar::mouseMoveEvent(event);
    animateAlphaValue(1.0, 0);
}

void RFOverlayScroller::leaveEvent(QEvent* event)
{
    QScrollBar::leaveEvent(event);
    fadeOut();
}
