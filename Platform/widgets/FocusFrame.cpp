#include "Platform/widgets/FocusFrame.h"

#include <QPainter>
#include <algorithm>

void FocusFrame::paint(QPainter& painter, const QRectF& rect, qreal radius)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    // A pen is centred on its path: the blue ring covers the outer two pixels, the lining the
    // next two.
    const QRectF ring = rect.adjusted(1, 1, -1, -1);
    painter.setPen(QPen(ringColour(), 2));
    painter.drawRoundedRect(ring, std::max<qreal>(radius - 1, 0), std::max<qreal>(radius - 1, 0));
    const QRectF lining = rect.adjusted(3, 3, -3, -3);
    painter.setPen(QPen(liningColour(), 2));
    painter.drawRoundedRect(lining, std::max<qreal>(radius - 3, 0), std::max<qreal>(radius - 3, 0));
    painter.restore();
}
