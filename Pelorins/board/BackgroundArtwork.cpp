#include "Pelorins/board/BackgroundArtwork.h"

#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRegularExpression>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

// The same numbers for the same seed on every machine, unlike the library's generators.
class Seeded
{
public:
    explicit Seeded(std::uint64_t seed)
        : m_state(seed * 0x9E3779B97F4A7C15ULL + 0x632BE59BD9B4E019ULL)
    {
    }
    // In [0, 1).
    double next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return double(m_state >> 11) / double(1ULL << 53);
    }
    double between(double low, double high) { return low + (high - low) * next(); }

private:
    std::uint64_t m_state;
};

// Muted colours, dark enough at the bottom for white cards and light enough for their shadows.
struct Palette
{
    QColor top;
    QColor bottom;
    QColor accent;
};

const std::array<Palette, 6>& palettes()
{
    static const std::array<Palette, 6> all {{
        {QColor(46, 58, 89), QColor(142, 110, 140), QColor(232, 170, 150)}, // dusk
        {QColor(28, 72, 99), QColor(86, 150, 160), QColor(190, 225, 220)}, // sea
        {QColor(38, 66, 52), QColor(112, 142, 98), QColor(210, 220, 170)}, // forest
        {QColor(120, 92, 70), QColor(200, 160, 116), QColor(245, 215, 170)}, // sand
        {QColor(52, 60, 72), QColor(120, 132, 150), QColor(200, 210, 225)}, // slate
        {QColor(64, 40, 72), QColor(150, 96, 128), QColor(235, 180, 190)}, // plum
    }};
    return all;
}

QColor mix(const QColor& a, const QColor& b, double t, int alpha = 255)
{
    return QColor(int(a.red() + (b.red() - a.red()) * t), int(a.green() + (b.green() - a.green()) * t),
        int(a.blue() + (b.blue() - a.blue()) * t), alpha);
}

void fillGradient(QPainter& painter, const QSizeF& size, const Palette& colours, double slant)
{
    QLinearGradient gradient(size.width() * slant, 0, size.width() * (1 - slant), size.height());
    gradient.setColorAt(0, colours.top);
    gradient.setColorAt(1, colours.bottom);
    painter.fillRect(QRectF(QPointF(), size), gradient);
}

void paintWaves(QPainter& painter, const QSizeF& size, const Palette& colours, Seeded& random)
{
    fillGradient(painter, size, colours, 0.0);
    const double w = size.width(), h = size.height();
    for (int band = 0; band < 6; ++band) {
        const double base = h * (0.35 + 0.11 * band);
        const double amplitude = h * random.between(0.02, 0.06);
        const double wavelength = w * random.between(0.35, 0.8);
        const double phase = random.between(0, 2 * std::numbers::pi);
        QPainterPath path(QPointF(0, h));
        for (int step = 0; step <= 128; ++step) {
            const double x = w * step / 128.0;
            path.lineTo(x, base + amplitude * std::sin(2 * std::numbers::pi * x / wavelength + phase));
        }
        path.lineTo(w, h);
        path.closeSubpath();
        painter.fillPath(path, mix(colours.bottom, colours.accent, 0.15 + 0.05 * band, 70));
    }
}

void paintDunes(QPainter& painter, const QSizeF& size, const Palette& colours, Seeded& random)
{
    fillGradient(painter, size, colours, 0.2);
    const double w = size.width(), h = size.height();
    for (int dune = 0; dune < 5; ++dune) {
        const double base = h * (0.45 + 0.12 * dune);
        QPainterPath path(QPointF(0, base));
        double x = 0;
        while (x < w) {
            const double span = w * random.between(0.3, 0.6);
            path.cubicTo(x + span * 0.4, base - h * random.between(0.05, 0.18), x + span * 0.7,
                base + h * random.between(-0.02, 0.05), x + span, base + h * random.between(-0.04, 0.04));
            x += span;
        }
        path.lineTo(w, h);
        path.lineTo(0, h);
        path.closeSubpath();
        QLinearGradient shade(0, base - h * 0.15, w * 0.3, base + h * 0.2);
        shade.setColorAt(0, mix(colours.accent, colours.bottom, 0.3 + 0.1 * dune, 210));
        shade.setColorAt(1, mix(colours.bottom, colours.top, 0.2 + 0.12 * dune, 230));
        painter.fillPath(path, shade);
    }
}

void paintGeometricField(QPainter& painter, const QSizeF& size, const Palette& colours, Seeded& random)
{
    const int columns = 16, rows = 10;
    const double cellWidth = size.width() / columns, cellHeight = size.height() / rows;
    std::array<std::array<QPointF, columns + 1>, rows + 1> points;
    for (int row = 0; row <= rows; ++row)
        for (int column = 0; column <= columns; ++column) {
            const bool edge = row == 0 || row == rows || column == 0 || column == columns;
            const double jitter = edge ? 0 : 0.35;
            points[row][column] = QPointF((column + random.between(-jitter, jitter)) * cellWidth,
                (row + random.between(-jitter, jitter)) * cellHeight);
        }
    painter.setRenderHint(QPainter::Antialiasing, false);
    const auto triangle = [&](const QPointF& a, const QPointF& b, const QPointF& c) {
        const QPointF centre = (a + b + c) / 3;
        const double t = std::clamp(centre.y() / size.height() + 0.15 * (centre.x() / size.width() - 0.5), 0.0, 1.0);
        QColor colour = mix(colours.top, colours.bottom, t);
        colour = mix(colour, colours.accent, random.between(0.0, 0.12));
        painter.setPen(QPen(colour, 1.5 * size.width() / 2560.0));
        painter.setBrush(colour);
        painter.drawPolygon(QPolygonF({a, b, c}));
    };
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            const QPointF& topLeft = points[row][column];
            const QPointF& topRight = points[row][column + 1];
            const QPointF& bottomLeft = points[row + 1][column];
            const QPointF& bottomRight = points[row + 1][column + 1];
            triangle(topLeft, topRight, bottomRight);
            triangle(topLeft, bottomRight, bottomLeft);
        }
    painter.setRenderHint(QPainter::Antialiasing, true);
}

void paintSoftLight(QPainter& painter, const QSizeF& size, const Palette& colours, Seeded& random)
{
    fillGradient(painter, size, colours, 0.6);
    const double scale = size.width() / 2560.0;
    painter.setPen(Qt::NoPen);
    for (int light = 0; light < 70; ++light) {
        const QPointF centre(random.between(0, size.width()), random.between(0, size.height()));
        const double radius = random.between(40, 280) * scale;
        QRadialGradient glow(centre, radius);
        QColor colour = colours.accent;
        colour.setAlpha(int(random.between(14, 46)));
        glow.setColorAt(0, colour);
        glow.setColorAt(0.7, QColor(colour.red(), colour.green(), colour.blue(), colour.alpha() / 2));
        glow.setColorAt(1, QColor(colour.red(), colour.green(), colour.blue(), 0));
        painter.setBrush(glow);
        painter.drawEllipse(centre, radius, radius);
    }
}

void paintContours(QPainter& painter, const QSizeF& size, const Palette& colours, Seeded& random)
{
    fillGradient(painter, size, colours, 0.4);
    const double scale = size.width() / 2560.0;
    painter.setBrush(Qt::NoBrush);
    for (int hill = 0; hill < 3; ++hill) {
        const QPointF centre(random.between(0.1, 0.9) * size.width(), random.between(0.15, 0.85) * size.height());
        const double wobble = random.between(0.04, 0.09);
        const int lobes = 3 + int(random.between(0, 4));
        const double phase = random.between(0, 2 * std::numbers::pi);
        for (int ring = 1; ring <= 22; ++ring) {
            const double radius = ring * 70 * scale;
            QPainterPath path;
            for (int step = 0; step <= 180; ++step) {
                const double angle = 2 * std::numbers::pi * step / 180;
                const double r = radius * (1 + wobble * std::sin(lobes * angle + phase + ring * 0.2));
                const QPointF point = centre + QPointF(r * std::cos(angle), r * 0.8 * std::sin(angle));
                step == 0 ? path.moveTo(point) : path.lineTo(point);
            }
            painter.setPen(QPen(mix(colours.accent, colours.bottom, 0.25, 48), 2.6 * scale));
            painter.drawPath(path);
        }
    }
}

void paintRibbons(QPainter& painter, const QSizeF& size, const Palette& colours, Seeded& random)
{
    fillGradient(painter, size, {colours.top.darker(130), colours.top, colours.accent}, 0.1);
    const double w = size.width(), h = size.height();
    const double scale = w / 2560.0;
    painter.setBrush(Qt::NoBrush);
    for (int ribbon = 0; ribbon < 4; ++ribbon) {
        const double base = h * random.between(0.2, 0.7);
        const double amplitude = h * random.between(0.08, 0.2);
        const double wavelength = w * random.between(0.6, 1.4);
        const double phase = random.between(0, 2 * std::numbers::pi);
        QPainterPath path;
        for (int step = 0; step <= 160; ++step) {
            const double x = w * step / 160.0;
            const QPointF point(x, base + amplitude * std::sin(2 * std::numbers::pi * x / wavelength + phase));
            step == 0 ? path.moveTo(point) : path.lineTo(point);
        }
        // Wide faint strokes under narrow brighter ones: a soft glowing band.
        for (int layer = 0; layer < 6; ++layer) {
            const double width = (220 - 34 * layer) * scale;
            painter.setPen(QPen(mix(colours.bottom, colours.accent, 0.2 * layer / 5.0 + 0.3, 12 + 4 * layer), width,
                Qt::SolidLine, Qt::RoundCap));
            painter.drawPath(path);
        }
    }
}

// Light from the upper left and a faint darkening towards the edges, on every picture.
void paintSoftFinish(QPainter& painter, const QSizeF& size)
{
    QRadialGradient light(QPointF(size.width() * 0.2, size.height() * 0.1), size.width() * 0.7);
    light.setColorAt(0, QColor(255, 255, 255, 34));
    light.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(QRectF(QPointF(), size), light);
    QRadialGradient vignette(QPointF(size.width() / 2, size.height() / 2), size.width() * 0.75);
    vignette.setColorAt(0.55, QColor(0, 0, 0, 0));
    vignette.setColorAt(1, QColor(0, 0, 0, 70));
    painter.fillRect(QRectF(QPointF(), size), vignette);
}

using Style = void (*)(QPainter&, const QSizeF&, const Palette&, Seeded&);

const std::array<Style, 6> styles {
    paintWaves, paintDunes, paintGeometricField, paintSoftLight, paintContours, paintRibbons};

} // namespace

QString BackgroundArtwork::pictureName(int number)
{
    return QStringLiteral("wlbackground%1").arg(number, 2, 10, QLatin1Char('0'));
}

int BackgroundArtwork::pictureNumber(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^wlbackground([0-9][0-9])$"));
    const QRegularExpressionMatch match = pattern.match(name);
    const int number = match.hasMatch() ? match.captured(1).toInt() : 0;
    return number >= 1 && number <= pictureCount ? number : 0;
}

QImage BackgroundArtwork::paint(int number, const QSize& size)
{
    const int index = number - 1;
    if (index < 0 || index >= pictureCount)
        return {};
    QImage image(size, QImage::Format_RGB32);
    // Every style meets every palette at most once: 18 different pictures.
    const int style = index % int(styles.size());
    const Palette& colours = palettes().at(size_t((index + 2 * (index / int(styles.size()))) % int(palettes().size())));
    Seeded random(std::uint64_t(number) * 7919);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    styles.at(size_t(style))(painter, QSizeF(size), colours, random);
    paintSoftFinish(painter, QSizeF(size));
    return image;
}

std::optional<BuiltInBackground> builtInBackground(const QString& name)
{
    const int number = BackgroundArtwork::pictureNumber(name);
    if (!number)
        return std::nullopt;
    BuiltInBackground background {
        name, QStringLiteral(":/images/%1.jpg").arg(name), QStringLiteral(":/images/%1thumb.png").arg(name)};
    if (!QFile::exists(background.picture) || !QFile::exists(background.thumbnail))
        return std::nullopt;
    return background;
}
