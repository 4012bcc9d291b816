#pragma once

#include <QColor>
#include <algorithm>
#include <cmath>

// How far two colours stand apart to the eye, as accessibility guidelines count it: from 1 (the
// same) to 21 (black on white); marks that must show want 3 at least.
inline double contrastRatio(QRgb a, QRgb b)
{
    const auto luminance = [](QRgb pixel) {
        const auto linear = [](int channel) {
            const double c = channel / 255.0;
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(qRed(pixel)) + 0.7152 * linear(qGreen(pixel)) + 0.0722 * linear(qBlue(pixel));
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
