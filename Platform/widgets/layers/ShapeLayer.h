#pragma once

#include "Platform/widgets/layers/Layer.h"

#include <QPainterPath>

// A layer that draws a path, filled and then stroked, centred on the path's line.
class ShapeLayer : public Layer
{
public:
    enum class LineCap { butt, square };
    enum class FillRule { nonZero, evenOdd };

    static std::shared_ptr<ShapeLayer> create(const QString& name = {});

    QPainterPath path() const { return m_path; }
    void setPath(const QPainterPath& path);
    // Opaque black unless set; an invalid colour fills nothing.
    QColor fillColor() const { return m_fillColor; }
    void setFillColor(const QColor& colour);
    // Nothing unless set.
    QColor strokeColor() const { return m_strokeColor; }
    void setStrokeColor(const QColor& colour);
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);
    LineCap lineCap() const { return m_lineCap; }
    void setLineCap(LineCap cap);
    FillRule fillRule() const { return m_fillRule; }
    void setFillRule(FillRule rule);

    void drawContent(QPainter& painter) const override;
    QRectF contentExtent() const override;

protected:
    ShapeLayer() = default;
    QString kindName() const override;

private:
    QPen pen() const;

    QPainterPath m_path;
    QColor m_fillColor = Qt::black;
    QColor m_strokeColor;
    double m_lineWidth = 1;
    LineCap m_lineCap = LineCap::butt;
    FillRule m_fillRule = FillRule::nonZero;
    mutable QRectF m_extent;
    mutable quint64 m_extentRevision = ~quint64(0);
};
