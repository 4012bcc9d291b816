#include "Pelorins/column/HeaderTextFieldCell.h"

#include "Platform/widgets/RowText.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int shadowBlurRadius = 5;

// Three box-blur passes over the alpha of the drawn text approximate a Gaussian blur of the
// radius; the result is the shadow colour at the blurred alpha.
void blur(QImage& image, int radius, const QColor& colour)
{
    const int width = image.width();
    const int height = image.height();
    std::vector<int> alpha(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x)
            alpha[size_t(y) * size_t(width) + size_t(x)] = qAlpha(row[x]);
    }
    const int box = std::max(1, radius / 2);
    std::vector<int> line;
    const auto pass = [&](int length, int count, int step, int stride) {
        line.resize(size_t(length));
        for (int n = 0; n < count; ++n) {
            int* values = alpha.data() + size_t(n) * size_t(stride);
            for (int i = 0; i < length; ++i)
                line[size_t(i)] = values[size_t(i) * size_t(step)];
            int sum = 0;
            for (int i = -box; i <= box; ++i)
                sum += line[size_t(std::clamp(i, 0, length - 1))];
            for (int i = 0; i < length; ++i) {
                values[size_t(i) * size_t(step)] = sum / (2 * box + 1);
                sum += line[size_t(std::min(i + box + 1, length - 1))] - line[size_t(std::max(i - box, 0))];
            }
        }
    };
    for (int i = 0; i < 3; ++i) {
        pass(width, height, 1, width);
        pass(height, width, width, 1);
    }
    for (int y = 0; y < height; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int a = alpha[size_t(y) * size_t(width) + size_t(x)] * colour.alpha() / 255;
            row[x] = qPremultiply(qRgba(colour.red(), colour.green(), colour.blue(), a));
        }
    }
}

} // namespace

void HeaderTextFieldCell::setText(const QString& text)
{
    m_text = text;
}

void HeaderTextFieldCell::setFont(const QFont& font)
{
    if (font == m_font)
        return;
    m_font = font;
    m_shadowWidth = -1;
}

void HeaderTextFieldCell::setShadowColour(const QColor& colour)
{
    if (colour == m_shadowColour)
        return;
    m_shadowColour = colour;
    m_shadowWidth = -1;
}

void HeaderTextFieldCell::drawInterior(QPainter& painter, const QRectF& frame)
{
    const QFontMetricsF metrics(m_font);
    const QString shown = metrics.elidedText(RowText::elided(m_text), Qt::ElideRight, frame.width());
    const QPointF baseline(frame.left(), frame.center().y() + (metrics.ascent() - metrics.descent()) / 2);
    if (m_shadowColour.alpha() > 0 && !shown.isEmpty()) {
        const int width = int(std::ceil(frame.width()));
        if (m_shadowText != shown || m_shadowWidth != width) {
            const int margin = shadowBlurRadius;
            m_shadow = QImage(
                width + 2 * margin, int(std::ceil(metrics.height())) + 2 * margin, QImage::Format_ARGB32_Premultiplied);
            m_shadow.fill(Qt::transparent);
            QPainter shadowPainter(&m_shadow);
            shadowPainter.setFont(m_font);
            shadowPainter.setPen(Qt::black);
            shadowPainter.drawText(QPointF(margin, margin + metrics.ascent()), shown);
            shadowPainter.end();
            blur(m_shadow, shadowBlurRadius, m_shadowColour);
            m_shadowText = shown;
            m_shadowWidth = width;
        }
        painter.drawImage(baseline - QPointF(shadowBlurRadius, shadowBlurRadius + metrics.ascent()), m_shadow);
    }
    painter.setFont(m_font);
    painter.setPen(m_textColour);
    painter.drawText(baseline, shown);
}
