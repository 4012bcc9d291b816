#include "Platform/widgets/layers/LayerRenderer.h"

#include "Platform/widgets/layers/Layer.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <unordered_map>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Entries not used for this many frames are let go.
constexpr quint64 cacheLifetime = 300;
// An offscreen group is never larger than this many pixels across.
constexpr int largestGroup = 8192;

quint64 mix(quint64 seed, quint64 value)
{
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    return seed;
}

quint64 mix(quint64 seed, double value)
{
    return mix(seed, std::bit_cast<quint64>(std::round(value * 1024) / 1024));
}

bool isVisible(const QColor& colour)
{
    return colour.isValid() && colour.alpha() > 0;
}

// Where a layer's picture goes, in its own coordinates.
QRectF contentsRect(const Layer& layer)
{
    const QSizeF bounds = layer.boundsSize();
    const QSizeF picture = QSizeF(layer.contents().size()) / layer.contentsScale();
    switch (layer.contentsGravity()) {
    case Layer::Gravity::resize:
        return QRectF(QPointF(), bounds);
    case Layer::Gravity::center:
        return QRectF(
            QPointF((bounds.width() - picture.width()) / 2, (bounds.height() - picture.height()) / 2), picture);
    case Layer::Gravity::left:
        return QRectF(QPointF(0, (bounds.height() - picture.height()) / 2), picture);
    case Layer::Gravity::resizeAspect: {
        const QSizeF fitted = picture.scaled(bounds, Qt::KeepAspectRatio);
        return QRectF(QPointF((bounds.width() - fitted.width()) / 2, (bounds.height() - fitted.height()) / 2), fitted);
    }
    }
    return QRectF(QPointF(), bounds);
}

// The device pixels a layer's picture covers, and whether they are picked rather than smoothed.
struct PictureSize
{
    QSize size;
    bool nearest = false;
};

PictureSize pictureSize(const Layer& layer, const QTransform& toDevice)
{
    if (layer.contents().isNull())
        return {};
    const QRectF rect = contentsRect(layer);
    const QSize size(qRound(rect.width() * std::hypot(toDevice.m11(), toDevice.m12())),
        qRound(rect.height() * std::hypot(toDevice.m21(), toDevice.m22())));
    const Layer::Filter filter
        = size.width() < layer.contents().width() ? layer.minificationFilter() : layer.magnificationFilter();
    return {size, filter == Layer::Filter::nearest};
}

// `top` laid over `bottom`.
QColor over(const QColor& top, const QColor& bottom)
{
    if (!top.isValid() || top.alpha() == 0)
        return bottom;
    const double alpha = top.alphaF() + bottom.alphaF() * (1 - top.alphaF());
    const auto channel = [&](double upper, double lower) {
        return (upper * top.alphaF() + lower * bottom.alphaF() * (1 - top.alphaF())) / alpha;
    };
    return QColor::fromRgbF(float(channel(top.redF(), bottom.redF())), float(channel(top.greenF(), bottom.greenF())),
        float(channel(top.blueF(), bottom.blueF())), float(alpha));
}

// Room around a shadow for its blur, in the caster's coordinates.
double shadowMargin(const Layer& layer)
{
    return std::ceil(1.5 * layer.shadowRadius()) + 1;
}

// All that a layer and its sublayers may cover, in its own coordinates.
QRectF subtreeExtent(const Layer& layer, double time)
{
    const QRectF bounds(QPointF(), layer.boundsSize());
    QRectF extent = bounds.united(layer.contentExtent());
    if (!layer.contents().isNull())
        extent = extent.united(contentsRect(layer));
    for (const std::shared_ptr<Layer>& sublayer : layer.sublayers()) {
        if (sublayer->isHidden())
            continue;
        const double subTime = time - sublayer->beginTime();
        QRectF covered = sublayer->transformToSuperlayer(sublayer->presentationAt(subTime))
                             .mapRect(subtreeExtent(*sublayer, subTime));
        if (sublayer->castsShadow()) {
            const double margin
                = shadowMargin(*sublayer) + std::hypot(sublayer->shadowOffset().x(), sublayer->shadowOffset().y());
            covered.adjust(-margin, -margin, margin, margin);
        }
        extent = extent.united(layer.masksToBounds() ? covered.intersected(bounds) : covered);
    }
    return extent;
}

// Changes whenever what a layer and its sublayers draw changes, apart from the layer's own place.
quint64 lookSignature(const Layer& layer, double time, quint64 seed)
{
    seed = mix(seed, quint64(reinterpret_cast<quintptr>(&layer)));
    seed = mix(seed, layer.revision());
    seed = mix(seed, quint64(layer.sublayers().size()));
    for (const std::shared_ptr<Layer>& sublayer : layer.sublayers()) {
        seed = mix(seed, quint64(sublayer->isHidden()));
        if (sublayer->isHidden())
            continue;
        const double subTime = time - sublayer->beginTime();
        const LayerPresentation presented = sublayer->presentationAt(subTime);
        const QTransform& t = presented.transform;
        for (const double value : {presented.opacity, presented.position.x(), presented.position.y(), t.m11(), t.m12(),
                 t.m21(), t.m22(), t.dx(), t.dy()})
            seed = mix(seed, value);
        seed = lookSignature(*sublayer, subTime, seed);
    }
    return seed;
}

// Sizes of three box blurs that together come close to a Gaussian blur of `sigma`.
std::vector<int> boxRadii(double sigma)
{
    constexpr int passes = 3;
    const double ideal = std::sqrt(12 * sigma * sigma / passes + 1);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const int lowerCount = int(std::round(
        (12 * sigma * sigma - passes * lower * lower - 4 * passes * lower - 3 * passes) / (-4.0 * lower - 4)));
    std::vector<int> radii;
    for (int i = 0; i < passes; ++i)
        radii.push_back(((i < lowerCount ? lower : upper) - 1) / 2);
    return radii;
}

// One box blur along rows (step 1) or columns (step = width) of an alpha plane; outside is clear.
void boxBlur(std::vector<quint8>& plane, int lines, int length, int along, int across, int radius)
{
    if (radius <= 0)
        return;
    std::vector<quint8> line(static_cast<std::size_t>(length));
    const int window = 2 * radius + 1;
    for (int l = 0; l < lines; ++l) {
        quint8* start = plane.data() + std::ptrdiff_t(l) * across;
        for (int i = 0; i < length; ++i)
            line[std::size_t(i)] = start[std::ptrdiff_t(i) * along];
        int sum = 0;
        for (int i = 0; i <= radius && i < length; ++i)
            sum += line[std::size_t(i)];
        for (int i = 0; i < length; ++i) {
            start[std::ptrdiff_t(i) * along] = quint8((sum + window / 2) / window);
            const int entering = i + radius + 1;
            const int leaving = i - radius;
            if (entering < length)
                sum += line[std::size_t(entering)];
            if (leaving >= 0)
                sum -= line[std::size_t(leaving)];
        }
    }
}

// The shadow of `source`'s coverage: blurred, in `colour` at `opacity`.
QImage shadowFrom(const QImage& source, double sigma, const QColor& colour, double opacity)
{
    const int width = source.width();
    const int height = source.height();
    std::vector<quint8> alpha(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < width; ++x)
            alpha[std::size_t(y) * std::size_t(width) + std::size_t(x)] = quint8(qAlpha(row[x]));
    }
    for (const int radius : boxRadii(sigma)) {
        boxBlur(alpha, height, width, 1, width, radius);
        boxBlur(alpha, width, height, width, 1, radius);
    }
    QImage shadow(width, height, QImage::Format_ARGB32_Premultiplied);
    const double strength = opacity * colour.alphaF();
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double a = alpha[std::size_t(y) * std::size_t(width) + std::size_t(x)] / 255.0 * strength;
            row[x] = qRgba(int(colour.red() * a + 0.5), int(colour.green() * a + 0.5), int(colour.blue() * a + 0.5),
                int(255 * a + 0.5));
        }
    }
    return shadow;
}

// Blends two premultiplied pixels, `a` and `b` weighing 256 together.
inline quint32 blend256(quint32 x, quint32 a, quint32 y, quint32 b)
{
    quint32 redBlue = (x & 0xff00ff) * a + (y & 0xff00ff) * b;
    redBlue = (redBlue >> 8) & 0xff00ff;
    const quint32 alphaGreen = (((x >> 8) & 0xff00ff) * a + ((y >> 8) & 0xff00ff) * b) & 0xff00ff00;
    return alphaGreen | redBlue;
}

// `count` pixels of two rows blended, the second weighing `weight` of 256, four at a time.
void blendRows(const quint32* upper, const quint32* lower, quint32 weight, quint32* out, int count)
{
    if (weight == 0) {
        std::copy_n(upper, count, out);
        return;
    }
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i lowerWeight = _mm_set1_epi16(short(weight));
    const __m128i upperWeight = _mm_set1_epi16(short(256 - weight));
    for (; i + 4 <= count; i += 4) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + i));
        // Each channel widened to 16 bits: 255 × 256 still fits.
        const __m128i low = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(x, zero), upperWeight),
                                               _mm_mullo_epi16(_mm_unpacklo_epi8(y, zero), lowerWeight)),
            8);
        const __m128i high = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(x, zero), upperWeight),
                                                _mm_mullo_epi16(_mm_unpackhi_epi8(y, zero), lowerWeight)),
            8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
    }
#endif
    for (; i < count; ++i)
        out[i] = blend256(upper[i], 256 - weight, lower[i], weight);
}

// Where each output pixel samples along one axis: the first of two source pixels and the second's
// weight out of 256.
void samplingTable(int sourceLength, int length, std::vector<int>& first, std::vector<quint32>& weight)
{
    first.resize(std::size_t(length));
    weight.resize(std::size_t(length));
    const double step = double(sourceLength) / length;
    for (int i = 0; i < length; ++i) {
        const double at = std::clamp((i + 0.5) * step - 0.5, 0.0, double(sourceLength - 1));
        const int index = std::min(int(at), std::max(sourceLength - 2, 0));
        first[std::size_t(i)] = index;
        weight[std::size_t(i)] = sourceLength > 1 ? quint32(std::lround((at - index) * 256)) : 0;
    }
}

// Room for the pixels of a picture whose size changes from frame to frame. It grows at once to
// `likely`, or ahead of `count`, so that a growing picture seldom needs new memory, whose first
// use is slow; and it drops the old pixels when it grows, since they are all drawn again.
class PixelBuffer
{
public:
    quint32* reserve(std::size_t count, std::size_t likely)
    {
        if (count > m_capacity) {
            m_capacity = std::max(count + count / 4, likely);
            m_pixels.reset(new quint32[m_capacity]);
        }
        return m_pixels.get();
    }

private:
    std::unique_ptr<quint32[]> m_pixels;
    std::size_t m_capacity = 0;
};

// Where the output pixels sample, and one source row blended between the two that an output row
// samples, kept between frames so that resampling allocates nothing.
struct SamplingTables
{
    std::vector<int> columns;
    std::vector<quint32> columnWeights;
    std::vector<int> rows;
    std::vector<quint32> rowWeights;
    std::vector<quint32> line;
};

// `source` (premultiplied) scaled to `size` by bilinear sampling, on this thread: a picture that
// changes size on every frame is resampled from the nearest halving, and Qt's own scaling, which
// hands large pictures out to worker threads, costs more in hand-offs than in drawing. Each output
// row blends its two source rows whole, several pixels at once, and then picks its columns from
// that line, so that a pixel costs one blend of its own. The result is drawn into `pixels`, which
// only grows, and stays valid until the next call.
QImage resample(const QImage& source, const QSize& size, PixelBuffer& pixels, SamplingTables& tables)
{
    // Made from the smallest halving no smaller than it, a picture never needs more than its source.
    const auto area = [](const QSize& size) { return std::size_t(size.width()) * std::size_t(size.height()); };
    QImage result(reinterpret_cast<uchar*>(pixels.reserve(area(size), area(source.size()))), size.width(),
        size.height(), qsizetype(size.width()) * 4, QImage::Format_ARGB32_Premultiplied);
    std::vector<int>& columns = tables.columns;
    std::vector<quint32>& columnWeights = tables.columnWeights;
    samplingTable(source.width(), size.width(), columns, columnWeights);
    samplingTable(source.height(), size.height(), tables.rows, tables.rowWeights);
    const int width = source.width();
    const int lastRow = source.height() - 1;
    // The last pixel repeated past the end, so that every column has a right neighbour.
    std::vector<quint32>& line = tables.line;
    line.resize(std::size_t(width) + 1);
    for (int y = 0; y < size.height(); ++y) {
        const int row = tables.rows[std::size_t(y)];
        blendRows(reinterpret_cast<const quint32*>(source.constScanLine(row)),
            reinterpret_cast<const quint32*>(source.constScanLine(std::min(row + 1, lastRow))),
            tables.rowWeights[std::size_t(y)], line.data(), width);
        line[std::size_t(width)] = line[std::size_t(width) - 1];
        auto* out = reinterpret_cast<quint32*>(result.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const std::size_t column = std::size_t(columns[std::size_t(x)]);
            const quint32 across = columnWeights[std::size_t(x)];
            out[x] = blend256(line[column], 256 - across, line[column + 1], across);
        }
    }
    return result;
}

// `source` (premultiplied) at half its size, each pixel the mean of the four it covers: what a
// smooth scaling gives, on this thread, without handing the picture out to worker threads.
QImage halved(const QImage& source)
{
    QImage half(source.size() / 2, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < half.height(); ++y) {
        const auto* upper = reinterpret_cast<const quint32*>(source.constScanLine(2 * y));
        const auto* lower = reinterpret_cast<const quint32*>(source.constScanLine(2 * y + 1));
        auto* out = reinterpret_cast<quint32*>(half.scanLine(y));
        for (int x = 0; x < half.width(); ++x) {
            const quint32 pixels[] = {upper[2 * x], upper[2 * x + 1], lower[2 * x], lower[2 * x + 1]};
            quint32 redBlue = 0x00020002;
            quint32 alphaGreen = 0x00020002;
            for (const quint32 pixel : pixels) {
                redBlue += pixel & 0xff00ff;
                alphaGreen += (pixel >> 8) & 0xff00ff;
            }
            out[x] = ((redBlue >> 2) & 0xff00ff) | ((alphaGreen << 6) & 0xff00ff00);
        }
    }
    return half;
}

// Whether `toDevice` only moves and stretches, neither turning nor mirroring.
bool isUpright(const QTransform& toDevice)
{
    return std::abs(toDevice.m12()) < 1e-9 && std::abs(toDevice.m21()) < 1e-9 && toDevice.m11() > 0
        && toDevice.m22() > 0;
}

QImage premultiplied(const QImage& image)
{
    return image.format() == QImage::Format_ARGB32_Premultiplied
        ? image
        : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

struct LayerRenderer::Target
{
    QPainter& painter;
    // Turns a transform to device pixels into the painter's world transform.
    QTransform deviceToWorld;

    void setDeviceTransform(const QTransform& toDevice) { painter.setWorldTransform(toDevice * deviceToWorld); }
};

class LayerRenderer::Caches
{
public:
    quint64 frame = 0;

    // A picture for `size` device pixels: the picture itself, or one scaled exactly to `size` from
    // the smallest halving no smaller than it (bilinear, or by picking pixels), kept while the
    // size holds. A turned picture, and a picked one whose size changes on every frame, is that
    // halving, left to the painter to scale.
    QImage picture(const QImage& image, const QSize& size, bool nearest, bool upright)
    {
        Picture& entry = m_pictures[image.cacheKey()];
        if (entry.original.isNull())
            entry.original = premultiplied(image);
        entry.lastUse = frame;
        if (size == entry.original.size())
            return entry.original;
        if (entry.scaled.size() == size && entry.scaledNearest == nearest)
            return entry.scaled;
        const QImage* level = &entry.original;
        for (std::size_t i = 0; level->width() / 2 >= size.width() && level->height() / 2 >= size.height(); ++i) {
            if (entry.halves.size() <= i)
                entry.halves.push_back(halved(*level));
            level = &entry.halves[i];
        }
        if (!upright)
            return *level;
        if (nearest) {
            // Picked pixels cost little to draw scaled; a size that holds still gets a copy of its
            // own, which is then only copied.
            const bool steady = entry.lastAsked == size && entry.lastAskedFrame + 1 >= frame;
            entry.lastAsked = size;
            entry.lastAskedFrame = frame;
            if (!steady)
                return *level;
            entry.scaled = level->scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        } else {
            entry.scaled = resample(*level, size, entry.pixels, m_tables);
        }
        entry.scaledNearest = nearest;
        return entry.scaled;
    }

    // A picture drawn once and kept while what it shows holds still: a shadow, a fading group, or
    // the path or text of one layer.
    struct Kept
    {
        std::weak_ptr<const Layer> layer;
        quint64 signature = 0;
        QImage image;
        QRectF rect;
        QSizeF scale;
        quint64 lastUse = 0;
        // What was last asked for, to tell a look that holds still from one that changes.
        QSizeF askedScale;
        quint64 askedSignature = 0;
        quint64 askedFrame = 0;
        // A shadow laid out in device pixels for the scale and turn it was last drawn at, with its
        // top left corner there before the move, and the pixels of an upright one.
        QImage placed;
        QPointF placedCorner;
        QTransform placedFor;
        quint64 placedSignature = 0;
        PixelBuffer placedPixels;
        // The pixels a group or a shadow's coverage is painted into.
        PixelBuffer canvasPixels;

        // A picture of `size` over `canvasPixels`, valid until the next call; its pixels are
        // left as they were.
        QImage canvas(const QSize& size)
        {
            const std::size_t area = std::size_t(size.width()) * std::size_t(size.height());
            return QImage(reinterpret_cast<uchar*>(canvasPixels.reserve(area, area)), size.width(), size.height(),
                qsizetype(size.width()) * 4, QImage::Format_ARGB32_Premultiplied);
        }
    };
    Kept& shadowFor(const Layer& layer) { return kept(m_shadows, layer); }
    Kept& groupFor(const Layer& layer) { return kept(m_groups, layer); }
    Kept& contentFor(const Layer& layer) { return kept(m_contents, layer); }
    SamplingTables& tables() { return m_tables; }

    void forgetUnused()
    {
        std::erase_if(m_pictures, [this](const auto& entry) { return entry.second.lastUse + cacheLifetime < frame; });
        std::erase_if(m_shadows, [this](const auto& entry) { return entry.second.lastUse + cacheLifetime < frame; });
        std::erase_if(m_groups, [this](const auto& entry) { return entry.second.lastUse + cacheLifetime < frame; });
        std::erase_if(m_contents, [this](const auto& entry) { return entry.second.lastUse + cacheLifetime < frame; });
    }

private:
    struct Picture
    {
        QImage original;
        // Each half the size of the one before, the first half the original's.
        std::vector<QImage> halves;
        // The picture at the size last asked for, kept while that size holds; a smoothed one is
        // drawn into `pixels`.
        QImage scaled;
        bool scaledNearest = false;
        PixelBuffer pixels;
        QSize lastAsked;
        quint64 lastAskedFrame = 0;
        quint64 lastUse = 0;
    };
    Kept& kept(std::unordered_map<const Layer*, Kept>& entries, const Layer& layer)
    {
        Kept& entry = entries[&layer];
        if (entry.layer.lock().get() != &layer) {
            entry = Kept();
            entry.layer = layer.weak_from_this();
        }
        entry.lastUse = frame;
        return entry;
    }

    std::unordered_map<qint64, Picture> m_pictures;
    SamplingTables m_tables;
    std::unordered_map<const Layer*, Kept> m_shadows;
    std::unordered_map<const Layer*, Kept> m_groups;
    std::unordered_map<const Layer*, Kept> m_contents;
};

LayerRenderer::LayerRenderer()
    : m_caches(std::make_unique<Caches>())
{
}

LayerRenderer::~LayerRenderer() = default;

void LayerRenderer::render(QPainter& painter, const Layer& root, double mediaTime)
{
    ++m_caches->frame;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QTransform toDevice = painter.deviceTransform();
    Target target {painter, toDevice.inverted() * painter.worldTransform()};
    drawLayer(target, root, toDevice, mediaTime);
    painter.restore();
    m_caches->forgetUnused();
}

void LayerRenderer::preparePictures(const Layer& root, double devicePixelRatio)
{
    preparePictures(root, QTransform::fromScale(devicePixelRatio, devicePixelRatio));
}

void LayerRenderer::preparePictures(const Layer& layer, const QTransform& superlayerToDevice)
{
    const QTransform toDevice
        = layer.transformToSuperlayer({layer.opacity(), layer.position(), layer.transform()}) * superlayerToDevice;
    if (const PictureSize picture = pictureSize(layer, toDevice); !picture.size.isEmpty())
        m_caches->picture(layer.contents(), picture.size, picture.nearest, isUpright(toDevice));
    for (const std::shared_ptr<Layer>& sublayer : layer.sublayers())
        preparePictures(*sublayer, toDevice);
}

void LayerRenderer::drawLayer(
    Target& target, const Layer& layer, const QTransform& superlayerToDevice, double superlayerTime)
{
    if (layer.isHidden())
        return;
    const double time = superlayerTime - layer.beginTime();
    const LayerPresentation presented = layer.presentationAt(time);
    const double opacity = std::clamp(presented.opacity, 0.0, 1.0);
    if (opacity <= 0)
        return;
    const QTransform toDevice = layer.transformToSuperlayer(presented) * superlayerToDevice;
    if (opacity >= 1) {
        drawBody(target, layer, toDevice, time, true);
        return;
    }
    QPainter& painter = target.painter;
    const int parts = int(isVisible(layer.backgroundColor())) + int(!layer.contents().isNull())
        + int(!layer.contentExtent().isEmpty()) + int(layer.borderWidth() > 0);
    if (layer.sublayers().empty() && !layer.castsShadow() && parts <= 1) {
        painter.save();
        painter.setOpacity(painter.opacity() * opacity);
        drawBody(target, layer, toDevice, time, true);
        painter.restore();
        return;
    }
    // A panel, its background framed by its border, fades without a picture of its own: the frame
    // takes the colour the border makes over the background, and the background stays inside it,
    // so that neither shows through the other.
    if (layer.sublayers().empty() && !layer.castsShadow() && parts == 2 && isVisible(layer.backgroundColor())
        && layer.borderWidth() > 0) {
        const QRectF bounds(QPointF(), layer.boundsSize());
        const double width = std::min({layer.borderWidth(), bounds.width() / 2, bounds.height() / 2});
        const QRectF inside = bounds.adjusted(width, width, -width, -width);
        QPainterPath frame;
        frame.addRect(bounds);
        frame.addRect(inside);
        target.setDeviceTransform(toDevice);
        painter.save();
        painter.setOpacity(painter.opacity() * opacity);
        painter.fillRect(inside, layer.backgroundColor());
        painter.fillPath(frame, over(layer.borderColor(), layer.backgroundColor()));
        painter.restore();
        return;
    }
    // A fading group fades as one picture, so its parts do not show through one another. The
    // picture is kept while the group's look and scale hold, so that a fade only blends it.
    QRectF extent = subtreeExtent(layer, time);
    if (layer.castsShadow()) {
        const double margin = shadowMargin(layer);
        extent = extent.united(extent.translated(layer.shadowOffset()).adjusted(-margin, -margin, margin, margin));
    }
    const bool upright = isUpright(toDevice);
    if (upright) {
        Caches::Kept& group = m_caches->groupFor(layer);
        const QSizeF scale(toDevice.m11(), toDevice.m22());
        const quint64 signature = lookSignature(layer, time, 0);
        if (group.image.isNull() || group.signature != signature || group.scale != scale) {
            const QRect pixels
                = QTransform::fromScale(scale.width(), scale.height())
                      .mapRect(extent)
                      .toAlignedRect()
                      .adjusted(-1, -1, 1, 1)
                      .intersected(QRect(-largestGroup / 2, -largestGroup / 2, largestGroup, largestGroup));
            if (pixels.isEmpty())
                return;
            group.image = group.canvas(pixels.size());
            drawAlone(group.image, layer, time, QTransform::fromScale(scale.width(), scale.height()), pixels, true);
            group.rect = QRectF(pixels.x() / scale.width(), pixels.y() / scale.height(), pixels.width() / scale.width(),
                pixels.height() / scale.height());
            group.signature = signature;
            group.scale = scale;
        }
        const QPointF corner = toDevice.map(group.rect.topLeft());
        painter.save();
        painter.setWorldTransform(target.deviceToWorld);
        painter.setOpacity(painter.opacity() * opacity);
        painter.drawImage(QPoint(qRound(corner.x()), qRound(corner.y())), group.image);
        painter.restore();
        return;
    }
    const QRect pixels = toDevice.mapRect(extent)
                             .toAlignedRect()
                             .adjusted(-1, -1, 1, 1)
                             .intersected(QRect(-largestGroup / 2, -largestGroup / 2, largestGroup, largestGroup));
    if (pixels.isEmpty())
        return;
    // Drawn afresh on every frame, into the layer's own pixels: a fading group inside it has its own.
    Caches::Kept& kept = m_caches->groupFor(layer);
    kept.scale = QSizeF();
    QImage group = kept.canvas(pixels.size());
    drawAlone(group, layer, time, toDevice, pixels, true);
    painter.save();
    painter.setWorldTransform(target.deviceToWorld);
    painter.setOpacity(painter.opacity() * opacity);
    painter.drawImage(pixels.topLeft(), group);
    painter.restore();
}

void LayerRenderer::drawAlone(
    QImage& image, const Layer& layer, double time, const QTransform& toPixels, const QRect& pixels, bool withShadow)
{
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    Target target {painter, QTransform()};
    drawBody(target, layer, toPixels * QTransform::fromTranslate(-pixels.x(), -pixels.y()), time, withShadow);
}

void LayerRenderer::drawBody(
    Target& target, const Layer& layer, const QTransform& toDevice, double time, bool withShadow)
{
    QPainter& painter = target.painter;
    if (withShadow && layer.castsShadow())
        drawShadow(target, layer, toDevice, time);
    const QRectF bounds(QPointF(), layer.boundsSize());
    target.setDeviceTransform(toDevice);
    if (isVisible(layer.backgroundColor()))
        painter.fillRect(bounds, layer.backgroundColor());
    if (!layer.contents().isNull())
        drawContents(target, layer, toDevice);
    drawKindContent(target, layer, toDevice);
    if (!layer.sublayers().empty()) {
        painter.save();
        if (layer.masksToBounds())
            painter.setClipRect(bounds, Qt::IntersectClip);
        for (const std::shared_ptr<Layer>& sublayer : layer.sublayers())
            drawLayer(target, *sublayer, toDevice, time);
        painter.restore();
    }
    if (layer.borderWidth() > 0 && isVisible(layer.borderColor())) {
        const double inset = layer.borderWidth() / 2;
        target.setDeviceTransform(toDevice);
        painter.save();
        painter.setPen(QPen(layer.borderColor(), layer.borderWidth(), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(bounds.adjusted(inset, inset, -inset, -inset));
        painter.restore();
    }
}

void LayerRenderer::drawContents(Target& target, const Layer& layer, const QTransform& toDevice)
{
    QPainter& painter = target.painter;
    const QRectF rect = contentsRect(layer);
    const auto [size, nearest] = pictureSize(layer, toDevice);
    if (size.isEmpty())
        return;
    const bool upright = isUpright(toDevice);
    const QImage picture = m_caches->picture(layer.contents(), size, nearest, upright);
    if (upright) {
        // Drawn in device pixels: pixel for pixel on whole pixels when the sizes agree, else
        // scaled straight into its place, which is far cheaper than through a transform.
        const QRectF placed = toDevice.mapRect(rect);
        painter.setWorldTransform(target.deviceToWorld);
        if (picture.size() == size) {
            painter.drawImage(QPoint(qRound(placed.x()), qRound(placed.y())), picture);
            return;
        }
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, !nearest);
        painter.drawImage(placed, picture);
        painter.restore();
        return;
    }
    target.setDeviceTransform(toDevice);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !nearest);
    painter.drawImage(rect, picture);
    painter.restore();
}

void LayerRenderer::drawKindContent(Target& target, const Layer& layer, const QTransform& toDevice)
{
    QPainter& painter = target.painter;
    // Glyphs and antialiased edges may reach a little past what the layer reports.
    const QRectF extent = layer.contentExtent().adjusted(-2, -2, 2, 2);
    if (layer.contentExtent().isEmpty())
        return;
    const auto drawDirectly = [&] {
        target.setDeviceTransform(toDevice);
        painter.save();
        layer.drawContent(painter);
        painter.restore();
    };
    if (!isUpright(toDevice)) {
        drawDirectly();
        return;
    }
    // A path or text is rasterised once for its scale and then copied pixel for pixel, placed on
    // whole device pixels; while its scale or look changes from frame to frame it is drawn directly.
    Caches::Kept& content = m_caches->contentFor(layer);
    const QSizeF scale(toDevice.m11(), toDevice.m22());
    const quint64 signature = layer.revision();
    if (content.image.isNull() || content.signature != signature || content.scale != scale) {
        const bool steady = content.askedScale == scale && content.askedSignature == signature
            && content.askedFrame + 1 >= m_caches->frame;
        content.askedScale = scale;
        content.askedSignature = signature;
        content.askedFrame = m_caches->frame;
        const QTransform toPixels = QTransform::fromScale(scale.width(), scale.height());
        const QRect pixels = toPixels.mapRect(extent).toAlignedRect();
        if (!steady || pixels.width() > largestGroup || pixels.height() > largestGroup) {
            drawDirectly();
            return;
        }
        if (content.image.size() != pixels.size())
            content.image = QImage(pixels.size(), QImage::Format_ARGB32_Premultiplied);
        content.image.fill(Qt::transparent);
        QPainter raster(&content.image);
        raster.setRenderHint(QPainter::Antialiasing);
        raster.setWorldTransform(toPixels * QTransform::fromTranslate(-pixels.x(), -pixels.y()));
        layer.drawContent(raster);
        raster.end();
        content.rect = QRectF(pixels.x() / scale.width(), pixels.y() / scale.height(), pixels.width() / scale.width(),
            pixels.height() / scale.height());
        content.signature = signature;
        content.scale = scale;
    }
    const QPointF corner = toDevice.map(content.rect.topLeft());
    painter.setWorldTransform(target.deviceToWorld);
    painter.drawImage(QPoint(qRound(corner.x()), qRound(corner.y())), content.image);
}

void LayerRenderer::drawShadow(Target& target, const Layer& layer, const QTransform& toDevice, double time)
{
    Caches::Kept& shadow = m_caches->shadowFor(layer);
    const quint64 signature = lookSignature(layer, time, mix(quint64(0), layer.shadowRadius()));
    if (shadow.image.isNull() || shadow.signature != signature) {
        // A wide blur loses nothing at half the resolution, and costs a quarter.
        const double scale = layer.shadowRadius() >= 4 ? 0.5 : 1;
        const double margin = shadowMargin(layer);
        const QRectF area = subtreeExtent(layer, time).adjusted(-margin, -margin, margin, margin);
        const QRect pixels = QTransform::fromScale(scale, scale).mapRect(area).toAlignedRect();
        QImage coverage = shadow.canvas(pixels.size());
        drawAlone(coverage, layer, time, QTransform::fromScale(scale, scale), pixels, false);
        shadow.image
            = shadowFrom(coverage, layer.shadowRadius() / 2 * scale, layer.shadowColor(), layer.shadowOpacity());
        shadow.rect = QRectF(pixels.x() / scale, pixels.y() / scale, pixels.width() / scale, pixels.height() / scale);
        shadow.signature = signature;
    }
    // The shadow is laid out once for the device's scale and turn, and then copied on whole pixels
    // at each frame: a transformed, smoothed draw on every frame is handed out to worker threads
    // and costs more in hand-offs than in drawing. Upright shadows are scaled here, on this thread.
    const QTransform shadowToDevice
        = QTransform::fromTranslate(layer.shadowOffset().x(), layer.shadowOffset().y()) * toDevice;
    const QTransform linear(
        shadowToDevice.m11(), shadowToDevice.m12(), shadowToDevice.m21(), shadowToDevice.m22(), 0, 0);
    if (shadow.placedFor != linear || shadow.placedSignature != shadow.signature || shadow.placed.isNull()) {
        const QRectF covered = linear.mapRect(shadow.rect);
        if (isUpright(linear)) {
            const QSize size(qRound(covered.width()), qRound(covered.height()));
            if (size.isEmpty())
                return;
            shadow.placed = resample(shadow.image, size, shadow.placedPixels, m_caches->tables());
            shadow.placedCorner = covered.topLeft();
        } else {
            const QRect pixels = covered.toAlignedRect().adjusted(-1, -1, 1, 1);
            if (pixels.isEmpty() || pixels.width() > largestGroup || pixels.height() > largestGroup)
                return;
            shadow.placed = QImage(pixels.size(), QImage::Format_ARGB32_Premultiplied);
            shadow.placed.fill(Qt::transparent);
            QPainter turned(&shadow.placed);
            turned.setRenderHint(QPainter::SmoothPixmapTransform);
            turned.setWorldTransform(linear * QTransform::fromTranslate(-pixels.x(), -pixels.y()));
            turned.drawImage(shadow.rect, shadow.image);
            shadow.placedCorner = pixels.topLeft();
        }
        shadow.placedFor = linear;
        shadow.placedSignature = shadow.signature;
    }
    QPainter& painter = target.painter;
    painter.setWorldTransform(target.deviceToWorld);
    painter.drawImage(QPoint(qRound(shadow.placedCorner.x() + shadowToDevice.dx()),
                          qRound(shadow.placedCorner.y() + shadowToDevice.dy())),
        shadow.placed);
}
