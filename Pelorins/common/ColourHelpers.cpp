#include "Pelorins/common/ColourHelpers.h"

#include <algorithm>
#include <cmath>

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

namespace {

constexpr double readableContrast = 3.0;

double relativeLuminance(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

QColor mixed(const QColor& colour, const QColor& with, double amount)
{
    const QColor a = colour.toRgb();
    const QColor b = with.toRgb();
    const auto mix = [amount](float from, float to) { return float(from + (to - from) * amount); };
    return QColor::fromRgbF(mix(a.redF(), b.redF()), mix(a.greenF(), b.greenF()), mix(a.blueF(), b.blueF()));
}

} // namespace

double contrastRatio(const QColor& first, const QColor& second)
{
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor composited(const QColor& colour, const QColor& over)
{
    const QColor top = colour.toRgb();
    return mixed(over, QColor::fromRgbF(top.redF(), top.greenF(), top.blueF()), top.alphaF());
}

QColor readableOn(const QColor& colour, const QColor& background)
{
    const QColor opaque = composited(colour, background);
    if (contrastRatio(opaque, background) >= readableContrast)
        return opaque;
    // Towards black on a light background, towards white on a dark one: the first step that
    // stands out enough, found by halving.
    const QColor end = relativeLuminance(background) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    double low = 0.0;
    double high = 1.0;
    for (int step = 0; step < 12; ++step) {
        const double middle = (low + high) / 2;
        if (contrastRatio(mixed(opaque, end, middle), background) >= readableContrast)
            high = middle;
        else
            low = middle;
    }
    return mixed(opaque, end, high);
}
