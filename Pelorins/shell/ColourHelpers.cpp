#include "Pelorins/shell/ColourHelpers.h"

#include <algorithm>

QColor darker(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    const auto lower = [](float component) { return std::max(0.0f, component - 0.2f); };
    return QColor::fromRgbF(lower(rgb.redF()), lower(rgb.greenF()), lower(rgb.blueF()), rgb.alphaF());
}

QColor colourWithRGB(int rgb, double alpha)
{
    return QColor::fromRgbF(float((rgb >> 16) & 0xFF) / 255.0f, float((rgb >> 8) & 0xFF) / 255.0f,
        float(rgb & 0xFF) / 255.0f, float(alpha));
}

int rgbValue(const QColor& colour)
{
    // From the 16-bit components in integers: floating point would truncate 48.0 to 47.
    const QRgba64 rgb = colour.rgba64();
    const auto byte = [](quint16 component) { return int(quint32(component) * 255 / 65535); };
    return (byte(rgb.red()) << 16) + (byte(rgb.green()) << 8) + byte(rgb.blue());
}
