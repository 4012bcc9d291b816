#include "Platform/widgets/layers/ShapeLayer.h"

#include <QPainter>
#include <QPainterPathStroker>

std::shared_ptr<ShapeLayer> ShapeLayer::create(const QString& name)
{
    std::shared_ptr<ShapeLayer> layer(new ShapeLayer);
    layer->setName(name);
    return layer;
}

void ShapeLayer::setPath(const QPainterPath& path)
{
    m_path = path;
    changed();
}

void ShapeLayer::setFillColor(const QColor& colour)
{
    m_fillColor = colour;
    changed();
}

void ShapeLayer::setStrokeColor(const QColor& colour)
{
    m_strokeColor = colour;
    changed();
}

void ShapeLayer::setLineWidth(double width)
{
    m_lineWidth = width;
    changed();
}

void ShapeLayer::setLineCap(LineCap cap)
{
    m_lineCap = cap;
    changed();
}

void ShapeLayer::setFillRule(FillRule rule)
{
    m_fillRule = rule;
    changed();
}

QString ShapeLayer::kindName() const
{
    return QStringLiteral("ShapeLayer");
}

QPen ShapeLayer::pen() const
{
    if (!m_strokeColor.isValid() || m_strokeColor.alpha() == 0 || m_lineWidth <= 0)
        return Qt::NoPen;
    QPen pen(m_strokeColor, m_lineWidth);
    pen.setCapStyle(m_lineCap == LineCap::square ? Qt::SquareCap : Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setMiterLimit(10);
    return pen;
}

void ShapeLayer::drawContent(QPainter& painter) const
{
    if (m_path.isEmpty())
        return;
    QPainterPath path = m_path;
    path.setFillRule(m_fillRule == FillRule::evenOdd ? Qt::OddEvenFill : Qt::WindingFill);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool fills = m_fillColor.isValid() && m_fillColor.alpha() > 0;
    painter.setBrush(fills ? QBrush(m_fillColor) : QBrush(Qt::NoBrush));
    painter.setPen(pen());
    painter.drawPath(path);
}

QRectF ShapeLayer::contentExtent() const
{
    if (m_extentRevision != revision()) {
        const QPen stroke = pen();
        if (stroke.style() == Qt::NoPen) {
            m_extent = m_path.boundingRect();
        } else {
            QPainterPathStroker stroker(stroke);
            m_extent = stroker.createStroke(m_path).boundingRect().united(m_path.boundingRect());
        }
        m_extentRevision = revision();
    }
    return m_extent;
}
