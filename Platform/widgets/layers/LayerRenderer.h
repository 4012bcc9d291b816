#pragma once

#include <QImage>
#include <QTransform>
#include <memory>

class Layer;
class QPainter;

// Draws a layer tree as presented at a moment, with QPainter. For each layer, under its position
// and transform about its anchor and within its opacity (the whole subtree fading as one): its
// shadow, background, contents, its kind's path or text, its sublayers (clipped when it masks)
// and its border, inside its bounds.
//
// Pictures are drawn from copies kept scaled for the device, so that a large picture is not
// smooth-scaled afresh on every frame; a picture whose size changes on every frame is resampled
// from the nearest halving. Paths and text are rasterised once per look and scale and copied
// after that, and shadows are kept until what casts them changes. Keep one renderer per surface
// for as long as it shows frames.
class LayerRenderer
{
public:
    LayerRenderer();
    ~LayerRenderer();
    LayerRenderer(const LayerRenderer&) = delete;
    LayerRenderer& operator=(const LayerRenderer&) = delete;

    // Draws `root`, placed in the painter's current coordinates, at `mediaTime` on its clock.
    void render(QPainter& painter, const Layer& root, double mediaTime);
    // Readies the pictures of every layer under `root`, shown yet or not, for the size their model
    // gives them at `devicePixelRatio`: the work a first frame would otherwise do, done while
    // nothing moves.
    void preparePictures(const Layer& root, double devicePixelRatio);

private:
    struct Target;
    void preparePictures(const Layer& layer, const QTransform& superlayerToDevice);
    void drawLayer(Target& target, const Layer& layer, const QTransform& superlayerToDevice, double superlayerTime);
    void drawBody(Target& target, const Layer& layer, const QTransform& toDevice, double time, bool withShadow);
    void drawContents(Target& target, const Layer& layer, const QTransform& toDevice);
    // The path or text of the layer's kind.
    void drawKindContent(Target& target, const Layer& layer, const QTransform& toDevice);
    void drawShadow(Target& target, const Layer& layer, const QTransform& toDevice, double time);
    // Paints the layer and its sublayers on their own into `image`, of the size of `pixels`, mapped
    // by `toPixels` onto them.
    void drawAlone(QImage& image, const Layer& layer, double time, const QTransform& toPixels, const QRect& pixels,
        bool withShadow);

    class Caches;
    std::unique_ptr<Caches> m_caches;
};
