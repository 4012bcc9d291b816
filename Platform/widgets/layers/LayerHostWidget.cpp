#include "Platform/widgets/layers/LayerHostWidget.h"

#include "Platform/widgets/layers/Layer.h"
#include "Platform/widgets/layers/LayerClock.h"

#include <QEvent>
#include <QPainter>

LayerHostWidget::LayerHostWidget(LayerClock& clock, QWidget* parent)
    : QWidget(parent)
    , m_clock(clock)
{
    connect(&m_clock, &LayerClock::ticked, this, qOverload<>(&QWidget::update));
}

LayerHostWidget::~LayerHostWidget()
{
    if (m_rootLayer)
        m_rootLayer->setClock(nullptr);
}

void LayerHostWidget::setRootLayer(const std::shared_ptr<Layer>& root)
{
    if (m_rootLayer)
        m_rootLayer->setClock(nullptr);
    m_rootLayer = root;
    if (m_rootLayer) {
        m_rootLayer->setAnchorPoint(QPointF(0, 0));
        m_rootLayer->setPosition(QPointF(0, 0));
        m_rootLayer->setBoundsSize(size());
        m_rootLayer->setClock(&m_clock);
    }
    update();
}

void LayerHostWidget::renderLayers(QPainter& painter)
{
    if (m_rootLayer)
        m_renderer.render(painter, *m_rootLayer, m_clock.currentMediaTime());
}

void LayerHostWidget::preparePictures()
{
    if (m_rootLayer)
        m_renderer.preparePictures(*m_rootLayer, devicePixelRatioF());
}

bool LayerHostWidget::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        // A click is judged against a scene whose due stops have all been heard.
        m_clock.deliverDueStops();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void LayerHostWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    renderLayers(painter);
}

void LayerHostWidget::resizeEvent(QResizeEvent* event)
{
    if (m_rootLayer)
        m_rootLayer->setBoundsSize(size());
    QWidget::resizeEvent(event);
}
